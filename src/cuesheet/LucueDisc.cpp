// The disc a loaded sheet makes, as its control file tells it.
#include "cuesheet/Lucue.h"

#include "cuesheet/Cdtextfile.h"
#include "fileio/Fileio.h"

#include <algorithm>

namespace {

// No file, a folder, or a path we may not even look at means no CD-TEXT, as it does for the parser;
// anything else named there must open as a regular file.
bool CdTextFileIsNamed(const std::string& path)
{
    const TPathKind kind = PathKind(path);
    return kind == pkRegular || kind == pkOther;
}

} // namespace

TDiscModel TLuCueSheet::DiscModel() const
{
    TDiscModel disc;
    disc.Toc = TocEntries();
    disc.Catalog = Catalog;
    if (CdTextFileIsNamed(CdTextFile))
    {
        disc.HasCdText = true;
        disc.CdText = ReadCdTextEntries(CdTextFile);
    }
    else if (!CdTextPacks.empty())
    {
        disc.HasCdText = true;
        for (const TCdTextPack& pack : CdTextPacks)
            std::copy_n(pack.begin(), TCdTextEntry{}.size(), disc.CdText.emplace_back().begin());
    }

    TDiscSession& session = disc.Sessions.front();
    for (std::int32_t j = 0; j < TrackCount; ++j)
    {
        TDiscTrack& track = session.Tracks.emplace_back();
        track.Number = FirstTrackNo + j;
        track.Mode = GetTrackMode(track.Number);
        track.Control = static_cast<std::uint8_t>(Tracks[static_cast<std::size_t>(j)]->GetControl() >> 4);
        track.Isrc = GetTrackIsrc(track.Number);
        for (std::int32_t i = 0; i <= MAX_INDEX; ++i)
        {
            const std::int32_t address = GetIndexAddress(track.Number, i);
            if (address == -1)
            {
                if (i == 0)
                    continue;
                break;
            }
            // The first track's index 0 lies before LBA 0, in the pregap that no image holds.
            if (i == 0 && j == 0)
                continue;
            track.Indexes.push_back(TDiscIndex{i, address - PROGRAM_START});
        }
    }
    return disc;
}
