// SPDX-License-Identifier: GPL-3.0-or-later
#include "cuesheet/Lucue.h"

#include <mutex>

TLuCueSheet::TLuCueSheet() = default;

TLuCueSheet::~TLuCueSheet()
{
    Clear();
}

void TLuCueSheet::Clear()
{
    for (auto& file : Files)
        file.reset();
    for (auto& track : Tracks)
        track.reset();
    CuePath.clear();
    CdTextFile.clear();
    Catalog.clear();
    DiscText = {};
    CdTextPacks.clear();
    CdTextCharCodes.clear();
    CdTextReplaced = 0;
    LoadWarnings.clear();
    IgnoredLines.clear();
    TextCharset = scUtf8;
    FileCount = 0;
    TrackCount = 0;
    FirstTrackNo = 0;
    SessionGaps.clear();
    TocLines.clear();
    Disc = {};
    AddressTable.clear();
    AddressStarts.clear();
    TocTable.clear();
    IsrcInterval = 0;
    IsrcOffset = PROGRAM_START;
    McnInterval = 0;
    McnOffset = PROGRAM_START;
    SubQPatchFile.clear();
    SubQPatches.clear();
}

void TLuCueSheet::CheckSourcesUnchanged() const
{
    for (std::int32_t i = 0; i < FileCount; ++i)
        Files[static_cast<std::size_t>(i)]->CheckUnchanged();
}

void TLuCueSheet::CheckSourcesIntact()
{
    for (std::int32_t i = 0; i < FileCount; ++i)
    {
        TLuCueFile& file = *Files[static_cast<std::size_t>(i)];
        const std::lock_guard hold(file.Guard());
        file.CheckIntact();
    }
}

TLuCueTrack* TLuCueSheet::GetTrack(std::int32_t number) const
{
    if (number < FirstTrackNo || number > MAX_TRACK_NUMBER || FirstTrackNo == 0)
        return nullptr;
    return Tracks[static_cast<std::size_t>(number - FirstTrackNo)].get();
}

void TLuCueSheet::ReleaseReadAhead()
{
    for (auto& file : Files)
    {
        if (file)
        {
            const std::lock_guard hold(file->Guard());
            file->ReleaseBuffer();
        }
    }
}
