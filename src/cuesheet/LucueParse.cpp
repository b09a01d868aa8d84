// Reading a cue sheet: one command per line, checked against the placement rules in order.
#include "cuesheet/Lucue.h"

#include "cuesheet/Lucuewav.h"
#include "cuesheet/Tpos.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Tracks longer than this many sectors are cut: it keeps every disc address within 32 bits
// even for 100 sparse files of absurd size (about 39 GB of raw sectors per track).
constexpr std::int64_t MAX_TRACK_SECTORS = std::int64_t(1) << 24;

constexpr std::uint32_t ERR_NOT_FOUND = 1;
constexpr std::uint32_t ERR_UNREADABLE = 2;
constexpr std::uint32_t ERR_OPEN = 3;
constexpr std::uint32_t ERR_TWICE = 4;
constexpr std::uint32_t ERR_ARGUMENT = 5;
constexpr std::uint32_t ERR_TYPE = 6;
constexpr std::uint32_t ERR_NO_TRACK = 7;
constexpr std::uint32_t ERR_NO_INDEX = 8;
constexpr std::uint32_t ERR_ORDER = 9;
constexpr std::uint32_t ERR_SEQUENCE = 10;
constexpr std::uint32_t ERR_FILE_START = 11;
constexpr std::uint32_t ERR_FIRST_INDEX = 12;

bool IsBlankOrControl(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}
char UpperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}
char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}
bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlankOrControl(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlankOrControl(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string_view TrimLeftBlanks(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    return s;
}

std::string_view TrimRightBlanks(std::string_view s)
{
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

// The whole file, or false when it cannot be read. Never blocks on a FIFO or device.
bool ReadWholeFile(const std::string& path, std::string& text)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat st = {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok)
    {
        try
        {
            text.clear();
            text.reserve(static_cast<std::size_t>(st.st_size));
            char chunk[1 << 16];
            for (;;)
            {
                const ssize_t n = ::read(fd, chunk, sizeof chunk);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n < 0)
                {
                    ok = false;
                    break;
                }
                if (n == 0)
                    break;
                text.append(chunk, static_cast<std::size_t>(n));
            }
        }
        catch (...)
        {
            ok = false;
        }
    }
    ::close(fd);
    return ok;
}

// Finds an entry of folder whose name matches name ignoring ASCII case; first in sorted order.
bool MatchEntry(const std::string& folder, const std::string& name, std::string& found)
{
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return false;
    std::vector<std::string> matches;
    while (const dirent* entry = ::readdir(dir))
    {
        if (EqualsIgnoreCase(entry->d_name, name))
            matches.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    if (matches.empty())
        return false;
    found = *std::min_element(matches.begin(), matches.end());
    return true;
}

std::string CaseInsensitiveLookup(const std::string& path)
{
    std::string result;
    std::size_t pos = 0;
    if (!path.empty() && path[0] == '/')
    {
        result = "/";
        pos = 1;
    }
    while (pos <= path.size())
    {
        std::size_t next = path.find('/', pos);
        if (next == std::string::npos)
            next = path.size();
        const std::string part = path.substr(pos, next - pos);
        pos = next + 1;
        if (part.empty())
            continue;
        std::string candidate = result + part;
        struct stat st = {};
        if (part != "." && part != ".." && ::stat(candidate.c_str(), &st) != 0)
        {
            std::string found;
            if (!MatchEntry(result, part, found))
                return path;
            candidate = result + found;
        }
        result = candidate;
        if (pos <= path.size())
            result += '/';
    }
    return result;
}

struct TParseState
{
    std::int32_t CurrentFile = -1;
    std::int32_t CurrentTrack = -1;
    std::int32_t LastTrackNo = 0;
    std::int32_t LastIndexNo = -1;
    std::int64_t ConsumedBytes = 0;
    bool CdTextGiven = false;
    bool CatalogGiven = false;
    bool FileHasTrack = false;
    bool FileHasIndex = false;
    bool TrackHasIndex = false;
    bool FlagsGiven = false;
    bool IsrcGiven = false;
    bool PregapGiven = false;
    bool PostgapGiven = false;
};

struct TKeyword
{
    std::string_view Text;
    std::uint32_t Group; // 0 for REM
};

constexpr TKeyword KEYWORDS[] = {
    {"REM ", 0},         {"CDTEXTFILE ", egCdTextFile}, {"CATALOG ", egCatalog}, {"FILE ", egFile},
    {"TRACK ", egTrack}, {"FLAGS ", egFlags},           {"ISRC ", egIsrc},       {"PREGAP ", egPregap},
    {"INDEX ", egIndex}, {"POSTGAP ", egPostgap},
};

constexpr std::string_view TRACK_TYPES[] = {
    "", "AUDIO", "CDG", "MODE1/2048", "MODE1/2352", "MODE2/2336", "MODE2/2352", "CDI/2336", "CDI/2352",
};

} // namespace

std::string TLuCueSheet::ResolvePath(std::string_view name) const
{
    name = Trim(name);
    if (name.empty())
        return {};
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
        name = name.substr(1, name.size() - 2);
    std::string path(name);
    // Sheets made on Windows separate folders with backslashes.
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.empty() || path[0] != '/')
    {
        const std::size_t slash = CuePath.rfind('/');
        path = (slash == std::string::npos ? std::string() : CuePath.substr(0, slash + 1)) + path;
    }
    if (IsRegularFile(path))
        return path;
    return CaseInsensitiveLookup(path);
}

bool TLuCueSheet::Load(const std::string& cuePath)
{
    Clear();
    ErrorCode = 0;
    if (!IsRegularFile(cuePath))
    {
        ErrorCode = egSheet | ERR_NOT_FOUND;
        return false;
    }
    std::string text;
    if (!ReadWholeFile(cuePath, text))
    {
        ErrorCode = egSheet | ERR_UNREADABLE;
        return false;
    }
    CuePath = cuePath;
    try
    {
        ReadSheet(text);
    }
    catch (...)
    {
        if (ErrorCode == 0)
            ErrorCode = egSheet | ERR_UNREADABLE;
    }
    text.clear();
    text.shrink_to_fit();
    if (ErrorCode != 0)
    {
        Clear();
        return false;
    }
    BuildAddressTable();
    BuildTocTable();
    BuildSubQSchedule();
    return true;
}

void TLuCueSheet::ReadSheet(const std::string& text)
{
    TParseState state;
    std::string upper;
    std::uint32_t lineNo = 0;
    std::size_t pos = 0;
    // Sheets saved by common Windows tools start with a UTF-8 byte order mark.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        pos = 3;

    // Closes the current track: its end comes from the size of its file's data.
    auto closeTrack = [&] {
        TLuCueTrack& track = *Tracks[static_cast<std::size_t>(state.CurrentTrack)];
        const std::int64_t dataSize = Files[static_cast<std::size_t>(state.CurrentFile)]->Seek(0, soEnd);
        const std::int64_t remaining = dataSize - state.ConsumedBytes;
        const std::int64_t size = track.GetSectorSize();
        const std::int64_t sectors = std::min((remaining + size - 1) / size, MAX_TRACK_SECTORS);
        track.End =
            static_cast<std::int32_t>(track.GetIndexPos(static_cast<std::uint32_t>(track.LastIndexNo)) + sectors);
    };

    while (pos < text.size() && ErrorCode == 0)
    {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos)
            end = text.size();
        const std::string_view original(text.data() + pos, end - pos);
        // A line ends at CR, LF or CR LF.
        pos = end;
        if (pos < text.size())
            pos += (text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') ? 2 : 1;
        ++lineNo;

        // Keywords and arguments are checked upper-cased; file names keep their case,
        // taken from the original line at the same positions.
        const std::string_view trimmedOriginal = Trim(original);
        if (trimmedOriginal.empty())
            continue;
        upper.assign(trimmedOriginal);
        std::transform(upper.begin(), upper.end(), upper.begin(), UpperAscii);
        const std::string_view line(upper);

        const TKeyword* keyword = nullptr;
        for (const TKeyword& k : KEYWORDS)
        {
            if (line.substr(0, k.Text.size()) == k.Text)
            {
                keyword = &k;
                break;
            }
        }
        if (!keyword || keyword->Group == 0)
            continue;
        const std::string_view arg = TrimLeftBlanks(line.substr(keyword->Text.size()));
        const std::string_view argOriginal = trimmedOriginal.substr(trimmedOriginal.size() - arg.size());
        const std::uint32_t group = keyword->Group;
        // The status has 16 bits for the line: a later line is reported without one, never as another.
        auto fail = [&](std::uint32_t reason) { ErrorCode = ((lineNo <= 0xFFFF ? lineNo : 0) << 16) + group + reason; };
        TLuCueTrack* track =
            state.CurrentTrack >= 0 ? Tracks[static_cast<std::size_t>(state.CurrentTrack)].get() : nullptr;

        switch (group)
        {
        case egCdTextFile:
        {
            if (state.CdTextGiven)
                return fail(ERR_TWICE);
            const std::string path = ResolvePath(argOriginal);
            if (!IsRegularFile(path))
                return fail(ERR_NOT_FOUND);
            CdTextFile = path;
            state.CdTextGiven = true;
            break;
        }
        case egCatalog:
            if (state.CatalogGiven)
                return fail(ERR_TWICE);
            if (arg.size() != 13 || !std::all_of(arg.begin(), arg.end(), IsDigit))
                return fail(ERR_ARGUMENT);
            Catalog = arg;
            state.CatalogGiven = true;
            break;
        case egFile:
        {
            if (FileCount >= MAX_FILES)
                return fail(ERR_TWICE);
            if (state.CurrentFile >= 0)
            {
                if (!state.FileHasTrack)
                    return fail(ERR_NO_TRACK);
                // A track without any INDEX would reach the disc with no sectors at all.
                if (!state.TrackHasIndex)
                    return fail(ERR_NO_INDEX);
                try
                {
                    closeTrack();
                }
                catch (...)
                {
                    return fail(ERR_OPEN);
                }
            }
            const std::size_t blank = arg.rfind(' ');
            if (blank == std::string_view::npos)
                return fail(ERR_ARGUMENT);
            const std::string_view type = TrimLeftBlanks(arg.substr(blank));
            const std::string path = ResolvePath(argOriginal.substr(0, blank));
            if (!IsRegularFile(path))
                return fail(ERR_NOT_FOUND);
            if (type != "BINARY" && type != "WAVE")
                return fail(ERR_TYPE);
            try
            {
                if (type == "BINARY")
                    Files[static_cast<std::size_t>(FileCount)] = std::make_unique<TLuCueBinFile>(path);
                else
                    Files[static_cast<std::size_t>(FileCount)] = std::make_unique<TLuCueWavFile>(path);
            }
            catch (...)
            {
                return fail(ERR_OPEN);
            }
            state.CurrentFile = FileCount++;
            state.FileHasTrack = false;
            state.FileHasIndex = false;
            state.TrackHasIndex = true;
            state.ConsumedBytes = 0;
            break;
        }
        case egTrack:
        {
            if (state.CurrentFile < 0)
                return fail(ERR_NOT_FOUND);
            if (!state.TrackHasIndex)
                return fail(ERR_NO_INDEX);
            const std::size_t blank = arg.rfind(' ');
            if (blank == std::string_view::npos)
                return fail(ERR_ARGUMENT);
            std::int32_t number = 0;
            if (!TryStrToInt(TrimRightBlanks(arg.substr(0, blank)), number))
                number = 0;
            if (number < 1 || number > MAX_TRACK_NUMBER)
                return fail(ERR_ARGUMENT);
            if (FirstTrackNo == 0)
                FirstTrackNo = number;
            else if (number != state.LastTrackNo + 1)
                return fail(ERR_SEQUENCE);
            const std::string_view typeText = TrimLeftBlanks(arg.substr(blank));
            const auto found = std::find(std::begin(TRACK_TYPES) + 1, std::end(TRACK_TYPES), typeText);
            if (found == std::end(TRACK_TYPES))
                return fail(ERR_ARGUMENT);
            const auto type = static_cast<std::uint32_t>(found - std::begin(TRACK_TYPES));
            if (type == ttCdi_2336 || type == ttCdi_2352)
                return fail(ERR_TYPE);
            try
            {
                auto created = std::make_unique<TLuCueTrack>();
                created->SetType(type);
                created->FileIndex = state.CurrentFile;
                Tracks[static_cast<std::size_t>(TrackCount)] = std::move(created);
            }
            catch (...)
            {
                return fail(ERR_OPEN);
            }
            state.CurrentTrack = TrackCount++;
            state.LastTrackNo = number;
            state.FileHasTrack = true;
            state.TrackHasIndex = false;
            state.FlagsGiven = state.IsrcGiven = state.PregapGiven = state.PostgapGiven = false;
            state.LastIndexNo = -1;
            break;
        }
        case egFlags:
        {
            if (state.FlagsGiven)
                return fail(ERR_TWICE);
            if (!state.FileHasTrack)
                return fail(ERR_NO_TRACK);
            if (state.TrackHasIndex)
                return fail(ERR_ORDER);
            std::string rest(arg);
            for (std::string_view token : {"DCP", "4CH", "PRE", "SCMS"})
            {
                const std::size_t at = rest.find(token);
                if (at == std::string::npos)
                    continue;
                rest.erase(at, token.size());
                if (token == "DCP")
                    track->SetCopyPermitted(true);
                else if (token == "4CH")
                    track->SetFourChannel(true);
                else if (token == "PRE")
                    track->SetPreEmphasis(true);
            }
            if (!TrimRightBlanks(TrimLeftBlanks(rest)).empty())
                return fail(ERR_ARGUMENT);
            state.FlagsGiven = true;
            break;
        }
        case egIsrc:
        {
            if (state.IsrcGiven)
                return fail(ERR_TWICE);
            if (!state.FileHasTrack)
                return fail(ERR_NO_TRACK);
            if (state.TrackHasIndex)
                return fail(ERR_ORDER);
            bool valid = arg.size() == 12;
            for (std::size_t i = 0; valid && i < 12; ++i)
                valid = IsDigit(arg[i]) || (i < 5 && arg[i] >= 'A' && arg[i] <= 'Z');
            if (!valid)
                return fail(ERR_ARGUMENT);
            track->Isrc = arg;
            state.IsrcGiven = true;
            break;
        }
        case egPregap:
        {
            if (state.PregapGiven)
                return fail(ERR_TWICE);
            if (!state.FileHasTrack)
                return fail(ERR_NO_TRACK);
            if (state.TrackHasIndex)
                return fail(ERR_ORDER);
            TMsf msf;
            if (!StrToMsf(arg, msf))
                return fail(ERR_ARGUMENT);
            track->Pregap = MsfToFrames(msf);
            state.PregapGiven = true;
            break;
        }
        case egIndex:
        {
            if (state.PostgapGiven)
                return fail(ERR_ORDER);
            if (!state.FileHasTrack)
                return fail(ERR_NO_TRACK);
            const std::size_t blank = arg.find(' ');
            if (blank == std::string_view::npos)
                return fail(ERR_ARGUMENT);
            TMsf msf;
            if (!StrToMsf(arg.substr(blank + 1), msf))
                return fail(ERR_ARGUMENT);
            const std::int32_t position = MsfToFrames(msf);
            std::int32_t number = 100;
            if (!TryStrToInt(Trim(arg.substr(0, blank)), number))
                number = 100;
            if (static_cast<std::uint32_t>(number) > MAX_INDEX)
                return fail(ERR_ARGUMENT);
            const bool trackHadIndex = state.TrackHasIndex;
            TLuCueTrack* previous =
                state.CurrentTrack > 0 ? Tracks[static_cast<std::size_t>(state.CurrentTrack - 1)].get() : nullptr;
            if (!trackHadIndex)
            {
                if (number != 0 && number != 1)
                    return fail(ERR_FIRST_INDEX);
                if (!state.FileHasIndex)
                {
                    if (position != 0)
                        return fail(ERR_FILE_START);
                }
                else if (previous)
                {
                    previous->End = position;
                }
            }
            else if (number != state.LastIndexNo + 1)
            {
                return fail(ERR_SEQUENCE);
            }
            track->SetIndex(static_cast<std::uint32_t>(number), position);
            if (trackHadIndex)
                state.ConsumedBytes += track->GetIndexBytes(static_cast<std::uint32_t>(number - 1));
            else if (state.FileHasIndex && previous)
                state.ConsumedBytes += previous->GetIndexBytes(static_cast<std::uint32_t>(previous->LastIndexNo));
            state.LastIndexNo = number;
            state.TrackHasIndex = true;
            state.FileHasIndex = true;
            break;
        }
        case egPostgap:
        {
            if (state.PostgapGiven)
                return fail(ERR_TWICE);
            if (!state.FileHasTrack)
                return fail(ERR_NO_TRACK);
            if (!state.TrackHasIndex)
                return fail(ERR_ORDER);
            TMsf msf;
            if (!StrToMsf(arg, msf))
                return fail(ERR_ARGUMENT);
            track->Postgap = MsfToFrames(msf);
            state.PostgapGiven = true;
            break;
        }
        default: break;
        }
    }
    if (ErrorCode != 0)
        return;

    if (!state.TrackHasIndex)
        ErrorCode = egEnd | ERR_NO_INDEX;
    if (!state.FileHasTrack)
        ErrorCode = egEnd | ERR_NO_TRACK;
    if (state.CurrentFile < 0)
        ErrorCode = egEnd | ERR_NOT_FOUND;
    if (ErrorCode != 0)
        return;
    try
    {
        closeTrack();
    }
    catch (...)
    {
        ErrorCode = egFile | ERR_OPEN;
    }
}

std::string CueErrorMessage(std::uint32_t errorCode)
{
    switch (errorCode & 0xFFFF)
    {
    case 0x001:
    case 0x002: return "Unable to find or open CUE SHEET";
    case 0x101: return "No FILEs were specified";
    case 0x107: return "No TRACKs were defined for the last file";
    case 0x108: return "No starting INDEX was defined for the last track";
    case 0x201: return "Unable to find or open CDTEXTFILE";
    case 0x204:
    case 0x304: return "Command cannot be specified more than one per disc";
    case 0x305: return "CATALOG number is wrong length or contains illegal characters";
    case 0x401:
    case 0x403: return "Unable to find or open FILE";
    case 0x404: return "TRACK cannot be specified more than 99 per disc";
    case 0x405: return "Illegal FILE type is specified";
    case 0x406: return "Unsupported FILE type is specified";
    case 0x407: return "No TRACKs were defined for the previous file";
    case 0x408: return "No starting INDEX was defined for the previous track";
    case 0x501: return "Illigal command placement";
    case 0x503: return "Could not create track object";
    case 0x505: return "Illegal TRACK number or type is specifie";
    case 0x506: return "Unsupported TRACK type is specified";
    case 0x508: return "No starting INDEX was defined for the previous track";
    case 0x50A: return "TRACK numbers are not in sequential order";
    case 0x604:
    case 0x704:
    case 0x804: return "Command cannot be specified more than one per track";
    case 0x605: return "Illegal FLAGS type is specified";
    case 0x705: return "ISRC number is wrong length or contains illegal characters";
    case 0x805:
    case 0xA05: return "Illegal address is specified";
    case 0x905: return "Illegal INDEX number or address is specified";
    case 0x90A: return "INDEX numbers are not in sequential order";
    case 0x90B: return "First INDEX of file does not start at 00:00:00";
    case 0x607:
    case 0x609:
    case 0x707:
    case 0x709:
    case 0x807:
    case 0x809:
    case 0x907:
    case 0x909:
    case 0x90C:
    case 0xA04:
    case 0xA07:
    case 0xA09: return "Illigal command placement";
    default: return {};
    }
}

std::string CueErrorText(std::uint32_t errorCode)
{
    if (errorCode == 0)
        return {};
    std::string text;
    if (const std::uint32_t line = errorCode >> 16; line != 0)
        text = "Invalid CUE SHEET command at line " + std::to_string(line) + "\n";
    return text + CueErrorMessage(errorCode);
}
