// SPDX-License-Identifier: GPL-3.0-or-later
// The cue sheet: model, parser, disc layout (address and TOC tables) and the sector composer.
#pragma once

#include "cuesheet/Cuetrack.h"
#include "cuesheet/Discmodel.h"
#include "cuesheet/Subqpatchrow.h"
#include "sources/Audiosource.h"
#include "sources/Sourcefile.h"
#include "synthesis/Msf.h"
#include "synthesis/Sector.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

inline constexpr int MAX_FILES = 100;
inline constexpr int MAX_TRACKS = 99;
inline constexpr int MAX_TRACK_NUMBER = 99;
inline constexpr std::int32_t LEAD_OUT_TRACK = 0xAA;
// The last lead-out address that the two BCD digits of minutes in the TOC and Q frames can hold: 99:59:74.
inline constexpr std::int32_t MAX_LEAD_OUT = 100 * FRAMES_PER_MINUTE - 1;
// The shortest track the Red Book allows, four seconds; shorter ones are loaded with a warning.
inline constexpr std::int32_t MIN_TRACK_LENGTH = 4 * FRAMES_PER_SECOND;

// Between two sessions: the lead-out of the one before (6,750 sectors after the first session, 2,250 after
// a later one), the lead-in of the next and the pregap of its first track. None of it is stored.
inline constexpr std::int32_t FIRST_LEAD_OUT_LENGTH = 6750;
inline constexpr std::int32_t LEAD_OUT_LENGTH = 2250;
inline constexpr std::int32_t LEAD_IN_LENGTH = 4500;
inline constexpr std::int32_t SESSION_PREGAP_LENGTH = PROGRAM_START;
inline constexpr std::int32_t MAX_SESSIONS = 99;

// What lies before a session after the first, as the sheet's REM lines give it or the standard has it.
struct TSessionGap
{
    std::int32_t LeadOut = FIRST_LEAD_OUT_LENGTH; // of the session before
    std::int32_t LeadIn = LEAD_IN_LENGTH;
    std::int32_t Pregap = SESSION_PREGAP_LENGTH; // of its first track
    std::uint32_t Line = 0;                      // of its REM SESSION
    bool Standard = true;                        // false when a REM line gave another length

    std::int32_t Length() const { return LeadOut + LeadIn + Pregap; }
};

// Command groups of the packed load status.
enum TCueErrorGroup : std::uint32_t
{
    egSheet = 0x000,
    egEnd = 0x100,
    egCdTextFile = 0x200,
    egCatalog = 0x300,
    egFile = 0x400,
    egTrack = 0x500,
    egFlags = 0x600,
    egIsrc = 0x700,
    egPregap = 0x800,
    egIndex = 0x900,
    egPostgap = 0xA00,
    egCdText = 0xB00,   // the sheet's text lines, after the whole sheet was read
    egSession = 0xC00,  // REM SESSION and the gap lengths before a session
    egTocEntry = 0xD00, // REM TOC-ENTRY, and its entry laid over the composed TOC
};

// Reasons of the packed load status; each keeps one sense across the groups. Some numbers carry two
// senses, each with its own name.
enum TCueErrorReason : std::uint32_t
{
    erNone = 0,
    erNotFound = 1,   // the named file does not exist
    erNoFileYet = 1,  // a TRACK, or the end of the sheet, with no FILE before it
    erUnreadable = 2, // the sheet could not be read
    erOpenFailed = 3, // a source could not be opened or a track object not made
    erGivenTwice = 4,
    erTooMany = 4, // the FILE after the last one a disc can hold
    erBadArgument = 5,
    erUnsupportedType = 6,
    erNoTrack = 7,         // the current file has no TRACK
    erNoIndex = 8,         // the previous or last track has no INDEX
    erMisplaced = 9,       // before the track's first INDEX or after its POSTGAP, where not allowed
    erNotConsecutive = 10, // a TRACK or INDEX number that does not follow the last one
    erFileStartNotZero = 11,
    erFirstIndexNotZeroOrOne = 12,
    erCanceled = 13,  // the user stopped the load while a source was counted
    erPastEnd = 14,   // an INDEX after the last sector of its file
    erNoSectors = 15, // an INDEX that leaves a track without sectors of index 1
    erTooLong = 16,   // the lead-out would start after MAX_LEAD_OUT
    erSameFile = 17,  // a session's first TRACK in the file of the session before
    erGapLength = 18, // a session's first track with a pregap of another length than the session's
    // The CD-TEXT block ran out of packs: plus the pack type's low four bits, plus 0x10 in block 1.
    erCdTextFull = 0x80,
};

// The status of a load without its line: group | reason.
constexpr std::uint32_t CueStatus(TCueErrorGroup group, TCueErrorReason reason)
{
    return static_cast<std::uint32_t>(group) | reason;
}

// The packed status, line << 16 | group | reason; it has 16 bits for the line: a later line is left
// out, never reported as another. reason: a TCueErrorReason, or erCdTextFull with its extra bits.
constexpr std::uint32_t PackStatus(std::uint32_t line, TCueErrorGroup group, std::uint32_t reason)
{
    return ((line <= 0xFFFF ? line : 0) << 16) + static_cast<std::uint32_t>(group) + reason;
}

// The parts of a packed status.
constexpr TCueErrorGroup CueStatusGroup(std::uint32_t status)
{
    return static_cast<TCueErrorGroup>(status & 0xF00);
}
constexpr std::uint32_t CueStatusLine(std::uint32_t status)
{
    return status >> 16;
}

// What a conversion asks of the composer; the job passes the user's choice with every sector.
struct TComposeOptions
{
    bool CorrectEdcEcc = true; // rebuild sync, header, EDC and ECC of raw data sectors
};

// One sector's subchannel as composed, P and Q apart from the R-W symbols: the conversion
// interleaves the packs before it joins them, and most sectors have none.
struct TSubChannel
{
    TQFrame P{};
    TQFrame Q{};
    bool HasPacks = false; // Packs holds the sector's R-W packs; all zero otherwise
    TSubBlock Packs{};     // as read and coded; only bits 5-0 of each symbol are R-W
};

class TLuCueSheet
{
public:
    // One run of consecutive sectors; addresses are absolute (LBA + 150).
    struct TAddressTable
    {
        std::int32_t TrackNumber = 0;
        std::int32_t IndexNumber = 0;
        std::int32_t StartAddress = 0;
        std::int32_t RelativeStart = 0;
        TAddressKind Kind = akFile;
        std::int32_t FileNumber = 0;
        std::int64_t FileOffset = 0; // bytes
    };

    struct TTocTable
    {
        std::int32_t TrackNumber = 0;
        std::int32_t Index1Address = 0;
        std::int32_t StartAddress = 0;
        std::uint32_t Control = 0;
    };

    TLuCueSheet();
    ~TLuCueSheet();
    TLuCueSheet(const TLuCueSheet&) = delete;
    TLuCueSheet& operator=(const TLuCueSheet&) = delete;

    std::string CuePath;
    std::array<std::unique_ptr<TLuCueFile>, MAX_FILES> Files;
    std::int32_t FileCount = 0;
    std::array<std::unique_ptr<TLuCueTrack>, MAX_TRACKS> Tracks;
    std::int32_t TrackCount = 0;
    std::int32_t FirstTrackNo = 0;
    // One per session after the first; a sheet without REM SESSION lines is one session.
    std::vector<TSessionGap> SessionGaps;
    // TOC entries the sheet gives whole (REM TOC-ENTRY), in line order; BuildDiscModel lays them over
    // the composed ones.
    struct TTocLine
    {
        std::uint32_t Line = 0;
        TTocEntry Entry;
    };
    std::vector<TTocLine> TocLines;
    std::string CdTextFile;
    std::string Catalog;
    TCueText DiscText; // TITLE, PERFORMER and the rest before the first TRACK; CATALOG too
    std::uint32_t ErrorCode = 0;
    // Why a data file was refused, naming it ("song.flac: 48,000 Hz, ..."); empty when no reason is known.
    std::string ErrorDetail;
    // What a successful load found doubtful but kept, one sentence each; both front ends show them.
    std::vector<std::string> LoadWarnings;
    // The non-blank lines that are no command and not REM, as the sheet spells them: ignored, as ever,
    // but shown by the layout report and warned of by the front ends.
    struct TIgnoredLine
    {
        std::uint32_t LineNo = 0;
        std::string Text;
    };
    std::vector<TIgnoredLine> IgnoredLines;
    // The FILE or CDTEXTFILE the reader looked for last, as the sheet names it and the path it tried:
    // after a load that could not find or open one, the file that failed.
    std::string TriedFileName;
    std::string TriedFilePath;

    // CD-TEXT from the sheet's text lines. Set UseSheetCdText before Load; Load builds the packs when
    // it is set, the sheet has text lines and no CDTEXTFILE.
    bool UseSheetCdText = true;
    // Set before Load: told how a pass that reads an audio file whole to count its samples goes; when it
    // returns false, Load stops with CueStatus(egSheet, erCanceled).
    TCountProgress CountProgress;
    std::vector<TCdTextPack> CdTextPacks;
    std::vector<std::uint8_t> CdTextCharCodes; // of each block written, block 0 first
    std::int32_t CdTextReplaced = 0;           // characters that no block could hold, written as '?'
    TSheetCharset TextCharset = scUtf8;

    // Q-frame schedule: ISRC and catalogue frames every Interval sectors from Offset (absolute).
    std::int32_t IsrcInterval = 0;
    std::int32_t IsrcOffset = PROGRAM_START;
    std::int32_t McnInterval = 0;
    std::int32_t McnOffset = PROGRAM_START;

    // LibCrypt side-car: whole Q frames that replace the composed ones, sorted by address, and the
    // file they came from (empty when none). Set by AttachSubQPatches after loading.
    std::string SubQPatchFile;
    std::vector<TSubQPatch> SubQPatches;

    bool Load(const std::string& cuePath);
    // The files that the sheet's FILE and CDTEXTFILE lines name, found as Load finds them, without
    // opening or checking anything else; names of no file are left out, and so is an unreadable sheet.
    static std::vector<std::string> NamedFiles(const std::string& cuePath);
    void Clear();
    TLuCueTrack* GetTrack(std::int32_t number) const;
    std::string ResolvePath(std::string_view name) const;
    // ResolvePath for a FILE or CDTEXTFILE name that also keeps it as the file tried last.
    std::string NoteFileTried(std::string_view name);

    // After the sheet was read: the disc it makes, from which the layout tables below are made. A TOC
    // entry of the sheet that contradicts its tracks or breaks the TOC rule sets ErrorCode and ErrorDetail.
    void BuildDiscModel();
    void BuildAddressTable();
    void BuildTocTable();
    void BuildSubQSchedule();

    std::int32_t FindAddressRow(std::uint32_t address) const;
    std::int32_t AddressRowCount() const { return static_cast<std::int32_t>(AddressTable.size()); }
    const TAddressTable& AddressRow(std::int32_t i) const { return AddressTable[static_cast<std::size_t>(i)]; }
    const TTocTable& TocRow(std::int32_t i) const { return TocTable[static_cast<std::size_t>(i)]; }
    // The lead-out address, or 0 for an empty sheet.
    std::int32_t LeadOutAddress() const;

    // The full TOC's descriptors: per session A0, A1, A2 (B0), the sheet's own, then one per track;
    // empty for an empty sheet.
    std::vector<TTocEntry> TocEntries() const;
    // The disc this sheet makes, as its control file tells it: no extents, and the CD-TEXT packs. A
    // CD-TEXT file that cannot be read raises std::system_error or std::runtime_error.
    TDiscModel DiscModel() const;
    // The disc as the load laid it out, extents included, CD-TEXT left out.
    const TDiscModel& Model() const { return Disc; }

    // Frees every source's read-ahead data; a conversion starts with fresh reads.
    void ReleaseReadAhead();
    // Before a conversion: raises ESourceChanged when a data file is not the one the load measured.
    void CheckSourcesUnchanged() const;
    // After a conversion's reads: raises what a source's skipped whole-stream check finds.
    void CheckSourcesIntact();

private:
    void ReadSheet(const std::string& text);
    // Decodes the text lines and builds the packs; a block that overflows sets ErrorCode.
    void BuildCdText();

    TDiscModel Disc; // without its CD-TEXT, which DiscModel adds
    std::vector<TAddressTable> AddressTable;
    std::vector<std::int32_t> AddressStarts; // StartAddress per row, for the binary search
    std::vector<TTocTable> TocTable;
};

// One sentence naming the tracks whose played length is below MIN_TRACK_LENGTH; empty when there are none.
std::string ShortTrackWarning(const TLuCueSheet& sheet);
