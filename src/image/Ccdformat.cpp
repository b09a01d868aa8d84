// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Ccdformat.h"

#include "cuesheet/Lucue.h"

namespace {

std::int32_t Lba(TMsf msf)
{
    return MsfToFrames(msf) - PROGRAM_START;
}

TMsf Msf(std::int32_t minute, std::int32_t second, std::int32_t frame)
{
    return TMsf{0, static_cast<std::uint8_t>(minute), static_cast<std::uint8_t>(second),
                static_cast<std::uint8_t>(frame)};
}

} // namespace

std::string CcdNumbered(std::string_view name, std::int32_t number)
{
    return std::string(name) + " " + std::to_string(number);
}

TCcdEntry CcdEntryOf(const TTocEntry& entry)
{
    TCcdEntry row;
    row.Session = entry.Session;
    row.Point = entry.Point;
    row.Adr = entry.Adr;
    row.Control = entry.Control;
    row.TrackNo = entry.TrackNo;
    row.AMin = entry.A.Minute;
    row.ASec = entry.A.Second;
    row.AFrame = entry.A.Frame;
    row.ALba = Lba(entry.A);
    row.Zero = entry.Zero;
    row.PMin = entry.P.Minute;
    row.PSec = entry.P.Second;
    row.PFrame = entry.P.Frame;
    row.PLba = Lba(entry.P);
    return row;
}

TTocEntry TocEntryOf(const TCcdEntry& row)
{
    TTocEntry entry;
    entry.Session = static_cast<std::uint8_t>(row.Session);
    entry.Point = static_cast<std::uint8_t>(row.Point);
    entry.Adr = static_cast<std::uint8_t>(row.Adr);
    entry.Control = static_cast<std::uint8_t>(row.Control);
    entry.TrackNo = static_cast<std::uint8_t>(row.TrackNo);
    entry.A = Msf(row.AMin, row.ASec, row.AFrame);
    entry.Zero = static_cast<std::uint8_t>(row.Zero);
    entry.P = Msf(row.PMin, row.PSec, row.PFrame);
    return entry;
}
