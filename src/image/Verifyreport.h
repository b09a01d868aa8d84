// SPDX-License-Identifier: GPL-3.0-or-later
// The verifier's report: its findings and rows, as text (terminal, clipboard) and as one JSON object
// (scripts).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum TFindingKind : std::uint8_t
{
    fkFile = 0,      // file sizes
    fkToc = 1,       // the TOC entries and track sections of the .ccd
    fkCdText = 2,    // the CD-TEXT packs of the .ccd
    fkQCrc = 3,      // a Q frame whose CRC fails
    fkQPosition = 4, // a position frame that disagrees with the TOC or its place
    fkQIsrc = 5,     // an ISRC frame that disagrees with the .ccd
    fkQCatalog = 6,  // a catalogue frame that disagrees with the .ccd
    fkPFlag = 7,     // a P frame that is mixed or set far from a pause
    fkSync = 8,
    fkHeader = 9, // header address, mode, subheader, or a blank sector inside a data track
    fkEdc = 10,
    fkEccP = 11,
    fkEccQ = 12,
    fkRwParity = 13, // an R-W pack whose P or Q parity fails
    fkSideCar = 14,  // a .sbi/.lsd beside the set that cannot be read or disagrees with it
};

// Short fixed name of a kind, as the reports show it ("Q CRC", "EDC").
const char* FindingKindName(TFindingKind kind);
// The kind as a fixed code for programs ("q_crc", "edc"), as the JSON report writes it.
const char* FindingKindCode(TFindingKind kind);

struct TFinding
{
    TFindingKind Kind = fkFile;
    std::int32_t Lba = -1; // -1: the set as a whole, not one sector
    std::string Text;
};

struct TTrackReport
{
    std::int32_t Number = 0;
    std::int32_t Mode = 0; // 0 audio, 1, 2; -1 a data track of unknown mode
    std::int32_t FirstLba = 0;
    std::int64_t Sectors = 0; // those in the image
    bool InImage = true;      // false: the control file places it past the image's end
    std::int64_t QCrc = 0;
    std::int64_t QPosition = 0;
    std::int64_t QOther = 0; // ISRC, catalogue and P flag
    std::int64_t Header = 0; // sync, header and blank sectors
    std::int64_t Edc = 0;
    std::int64_t Ecc = 0; // sectors whose P or Q parity fails
    std::int64_t RwParity = 0;
};

struct TVerifyReport
{
    std::string CcdPath;
    std::string ImgPath;
    std::string SubPath;
    std::int64_t Sectors = 0;      // whole sectors in the .img
    std::int64_t PartialBytes = 0; // of a last sector that is not whole
    std::vector<TTrackReport> Tracks;
    std::vector<TFinding> Findings; // the first ones by address, set-wide ones first
    std::int64_t Problems = 0;      // all that were found, listed or not
    std::vector<std::int32_t> LibCryptLbas;
    std::string SideCar;               // the path of a .sbi/.lsd beside the set, if any
    std::int32_t SideCarMatched = -1;  // protection frames listed there alike; -1 without a readable side-car
    std::int32_t SideCarListed = 0;    // frames the side-car lists
    std::int32_t SideCarDiffering = 0; // listed at a protection frame's address with other bytes
    std::int32_t SideCarAbsent = 0;    // listed where the set holds no protection frame
    std::int32_t SideCarUnlisted = 0;  // protection frames of the set the side-car leaves out
};

// True when the report names no problem at all.
bool IsSound(const TVerifyReport& report);

// Line-feed separated, fixed-pitch columns.
std::string BuildVerifyText(const TVerifyReport& report);

// The schema version of the JSON report, raised when a field changes its meaning or goes.
inline constexpr int VERIFY_JSON_FORMAT = 1;
// One JSON object, without a trailing line end.
std::string BuildVerifyJson(const TVerifyReport& report);
