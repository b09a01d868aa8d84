// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Ccdfile.h"

#include "cuesheet/Lucue.h"
#include "image/Ccdformat.h"
#include "image/Inifile.h"
#include "synthesis/Cdtextpack.h"
#include "synthesis/Msf.h"
#include "text/Asciitext.h"

#include <stdexcept>

namespace {

void WriteCdText(TIniFile& ini, const std::vector<TCdTextEntry>& packs)
{
    ini.WriteInteger(CCD_CD_TEXT, CCD_CD_TEXT_ENTRIES, static_cast<std::int32_t>(packs.size()));
    for (std::size_t i = 0; i < packs.size(); ++i)
        ini.WriteString(CCD_CD_TEXT, CcdNumbered(CCD_CD_TEXT_ENTRY, static_cast<std::int32_t>(i)), HexBytes(packs[i], ' ', hcLower));
}

void WriteEntry(TIniFile& ini, std::size_t k, const TCcdEntry& e)
{
    const std::string section = CcdNumbered(CCD_ENTRY, static_cast<std::int32_t>(k));
    ini.WriteInteger(section, CCD_SESSION, e.Session);
    ini.WriteString(section, CCD_POINT, HexByte(static_cast<unsigned>(e.Point)));
    ini.WriteString(section, CCD_ADR, HexByte(static_cast<unsigned>(e.Adr)));
    ini.WriteString(section, CCD_CONTROL, HexByte(static_cast<unsigned>(e.Control)));
    ini.WriteInteger(section, CCD_TRACK_NO, e.TrackNo);
    ini.WriteInteger(section, CCD_A_MIN, e.AMin);
    ini.WriteInteger(section, CCD_A_SEC, e.ASec);
    ini.WriteInteger(section, CCD_A_FRAME, e.AFrame);
    ini.WriteInteger(section, CCD_A_LBA, e.ALba);
    ini.WriteInteger(section, CCD_ZERO, e.Zero);
    ini.WriteInteger(section, CCD_P_MIN, e.PMin);
    ini.WriteInteger(section, CCD_P_SEC, e.PSec);
    ini.WriteInteger(section, CCD_P_FRAME, e.PFrame);
    ini.WriteInteger(section, CCD_P_LBA, e.PLba);
}

void WriteTrack(TIniFile& ini, const TDiscTrack& track)
{
    const std::string section = CcdNumbered(CCD_TRACK, track.Number);
    ini.WriteInteger(section, CCD_MODE, track.Mode);
    if (!track.Isrc.empty())
        ini.WriteString(section, CCD_ISRC, track.Isrc);
    for (const TDiscIndex& index : track.Indexes)
        ini.WriteInteger(section, CcdNumbered(CCD_INDEX, index.Number), index.Lba);
}

} // namespace

std::string CcdFileText(const TDiscModel& disc)
{
    TIniFile ini(std::string{});
    ini.WriteInteger(CCD_CLONECD, CCD_VERSION, 3);
    ini.WriteInteger(CCD_DISC, CCD_TOC_ENTRIES, static_cast<std::int32_t>(disc.Toc.size()));
    ini.WriteInteger(CCD_DISC, CCD_SESSIONS, static_cast<std::int32_t>(disc.Sessions.size()));
    ini.WriteInteger(CCD_DISC, CCD_DATA_TRACKS_SCRAMBLED, 0);
    ini.WriteInteger(CCD_DISC, CCD_CD_TEXT_LENGTH, static_cast<std::int32_t>(disc.CdText.size() * CD_TEXT_PACK_SIZE));
    if (!disc.Catalog.empty())
        ini.WriteString(CCD_DISC, CCD_CATALOG, disc.Catalog);
    if (disc.HasCdText)
        WriteCdText(ini, disc.CdText);
    for (const TDiscSession& session : disc.Sessions)
    {
        const std::string section = CcdNumbered(CCD_SESSION, session.Number);
        ini.WriteInteger(section, CCD_PRE_GAP_MODE, session.Tracks.empty() ? 0 : session.Tracks.front().Mode);
        ini.WriteInteger(section, CCD_PRE_GAP_SUBC, 0);
    }
    for (std::size_t k = 0; k < disc.Toc.size(); ++k)
        WriteEntry(ini, k, CcdEntryOf(disc.Toc[k]));
    for (const TDiscSession& session : disc.Sessions)
        for (const TDiscTrack& track : session.Tracks)
            WriteTrack(ini, track);
    return ini.Text();
}

std::string CcdFileText(const TLuCueSheet& sheet)
{
    if (sheet.TrackCount < 1 || sheet.TocEntries().empty())
        throw std::runtime_error("No cue sheet with tracks is loaded");
    // Built whole in memory: a CD-TEXT file that cannot be read fails the run before anything is written.
    return CcdFileText(sheet.DiscModel());
}
