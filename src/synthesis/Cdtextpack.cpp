// SPDX-License-Identifier: GPL-3.0-or-later
#include "synthesis/Cdtextpack.h"

#include "synthesis/Lusubqcrc.h"
#include "text/Asciitext.h"

#include <algorithm>

namespace {

constexpr std::size_t SIZE_INFO_PACKS = 3;
constexpr std::size_t MAX_TEXT_PACKS = CD_TEXT_MAX_PACKS - SIZE_INFO_PACKS;
constexpr std::uint8_t MAX_CHAR_POSITION = 15;
constexpr std::uint8_t DOUBLE_BYTE_FLAG = 0x80;
constexpr char TAB = '\t';

// One pack type of a block laid out as the bytes its packs carry, before they are cut into packs.
struct TTypeStream
{
    std::string Bytes;
    std::vector<std::size_t> ItemStart; // where each string begins in Bytes
    std::vector<bool> CharStart;        // true where a character begins (never in a terminator)
};

bool IsShiftJisLead(std::uint8_t b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// A repeated track string becomes TAB (two TABs in a double-byte block): "same as the previous track".
TTypeStream LayOutType(const std::vector<std::string>& strings, bool doubleByte)
{
    TTypeStream stream;
    for (std::size_t i = 0; i < strings.size(); ++i)
    {
        stream.ItemStart.push_back(stream.Bytes.size());
        const bool same = i >= 2 && !strings[i].empty() && strings[i] == strings[i - 1];
        const std::string text = same ? std::string(doubleByte ? 2 : 1, TAB) : strings[i];
        stream.Bytes += text;
        for (std::size_t k = 0; k < text.size(); ++k)
        {
            stream.CharStart.push_back(true);
            // A double-byte character is one character; its trail byte may look like a lead byte.
            if (doubleByte && !same && k + 1 < text.size() && IsShiftJisLead(static_cast<std::uint8_t>(text[k])))
            {
                stream.CharStart.push_back(false);
                ++k;
            }
        }
        // Double-byte strings keep an even length, so every terminator is a NUL pair on a pair boundary.
        std::size_t terminator = doubleByte ? 2 + text.size() % 2 : 1;
        stream.Bytes.append(terminator, '\0');
        stream.CharStart.insert(stream.CharStart.end(), terminator, false);
    }
    return stream;
}

std::size_t PacksFor(const TTypeStream& stream)
{
    return (stream.Bytes.size() + CD_TEXT_PAYLOAD - 1) / CD_TEXT_PAYLOAD;
}

// The string that holds byte offset of the stream.
std::size_t ItemAt(const TTypeStream& stream, std::size_t offset)
{
    const auto next = std::upper_bound(stream.ItemStart.begin(), stream.ItemStart.end(), offset);
    return static_cast<std::size_t>(next - stream.ItemStart.begin()) - 1;
}

void CloseWithCrc(TCdTextPack& pack, const TLuSubQCrc& crc)
{
    const std::uint16_t value = crc.ComputeBytes(std::span<const std::uint8_t>(pack.data(), CD_TEXT_PACK_SIZE - 2));
    pack[16] = static_cast<std::uint8_t>(value >> 8);
    pack[17] = static_cast<std::uint8_t>(value);
}

// One block's strings laid out, and the packs each type needs.
struct TBlockLayout
{
    std::array<TTypeStream, CD_TEXT_TEXT_TYPES> Streams;
    std::array<std::uint8_t, 16> Counts{}; // by pack type - ptTitle, as the size information lists them
    std::size_t Packs = 0;                 // all of the block's, the size information's included
};

// False, with where the block ran out of packs when overflow is given, when its strings need more.
bool LayOutBlock(const TCdTextBlock& block, std::size_t b, TBlockLayout& layout, TCdTextOverflow* overflow)
{
    const bool doubleByte = block.CharCode == ccMsJis;
    std::size_t total = 0;
    for (std::size_t t = 0; t < CD_TEXT_TEXT_TYPES; ++t)
    {
        if (block.Strings[t].empty())
            continue;
        layout.Streams[t] = LayOutType(block.Strings[t], doubleByte);
        const std::size_t n = PacksFor(layout.Streams[t]);
        if (total + n > MAX_TEXT_PACKS)
        {
            if (overflow)
                *overflow = {b, static_cast<std::uint8_t>(ptTitle + t),
                             ItemAt(layout.Streams[t], (MAX_TEXT_PACKS - total) * CD_TEXT_PAYLOAD)};
            return false;
        }
        layout.Counts[t] = static_cast<std::uint8_t>(n);
        total += n;
    }
    layout.Counts[ptSizeInfo - ptTitle] = SIZE_INFO_PACKS;
    layout.Packs = total + SIZE_INFO_PACKS;
    return true;
}

// Numbers, marks and closes the packs of one block in order.
struct TBlockWriter
{
    std::uint8_t BlockBits; // the block number and the double-byte flag, in every pack's byte 3
    const TLuSubQCrc& Crc;
    std::vector<TCdTextPack>& Packs;
    std::uint8_t Sequence = 0;

    void Add(TCdTextPack pack)
    {
        pack[2] = Sequence++;
        pack[3] |= BlockBits;
        CloseWithCrc(pack, Crc);
        Packs.push_back(pack);
    }
};

void AddTextPacks(const TBlockLayout& layout, std::uint8_t firstTrack, TBlockWriter& writer)
{
    for (std::size_t t = 0; t < CD_TEXT_TEXT_TYPES; ++t)
    {
        const TTypeStream& stream = layout.Streams[t];
        for (std::size_t p = 0; p < layout.Counts[t]; ++p)
        {
            const std::size_t offset = p * CD_TEXT_PAYLOAD;
            const std::size_t item = ItemAt(stream, offset);
            // Characters of the current string already carried by earlier packs.
            const auto begin = stream.CharStart.begin();
            const auto done = std::count(begin + static_cast<std::ptrdiff_t>(stream.ItemStart[item]),
                                         begin + static_cast<std::ptrdiff_t>(offset), true);
            TCdTextPack pack{};
            pack[0] = static_cast<std::uint8_t>(ptTitle + t);
            pack[1] = static_cast<std::uint8_t>(item == 0 ? 0 : firstTrack + item - 1);
            pack[3] = static_cast<std::uint8_t>(std::min<std::ptrdiff_t>(done, MAX_CHAR_POSITION));
            const std::size_t n = std::min(CD_TEXT_PAYLOAD, stream.Bytes.size() - offset);
            std::copy_n(stream.Bytes.begin() + static_cast<std::ptrdiff_t>(offset), n, pack.begin() + 4);
            writer.Add(pack);
        }
    }
}

// The size information of block b: a 36-byte record over three packs. lastSequence: of every block.
void AddSizeInfo(std::span<const TCdTextBlock> blocks, std::size_t b, const TBlockLayout& layout,
                 const std::array<std::uint8_t, CD_TEXT_MAX_BLOCKS>& lastSequence, std::uint8_t firstTrack,
                 std::uint8_t lastTrack, TBlockWriter& writer)
{
    std::array<std::uint8_t, 3 * CD_TEXT_PAYLOAD> info{};
    info[0] = blocks[b].CharCode;
    info[1] = firstTrack;
    info[2] = lastTrack;
    std::copy(layout.Counts.begin(), layout.Counts.end(), info.begin() + 4);
    std::copy(lastSequence.begin(), lastSequence.end(), info.begin() + 20);
    for (std::size_t k = 0; k < blocks.size(); ++k)
        info[28 + k] = blocks[k].Language;
    for (std::size_t p = 0; p < SIZE_INFO_PACKS; ++p)
    {
        TCdTextPack pack{};
        pack[0] = ptSizeInfo;
        pack[1] = static_cast<std::uint8_t>(p);
        std::copy_n(info.begin() + static_cast<std::ptrdiff_t>(p * CD_TEXT_PAYLOAD), CD_TEXT_PAYLOAD,
                    pack.begin() + 4);
        writer.Add(pack);
    }
}

} // namespace

bool BuildCdTextPacks(std::span<const TCdTextBlock> blocks, std::uint8_t firstTrack, std::uint8_t lastTrack,
                      std::vector<TCdTextPack>& packs, TCdTextOverflow* overflow)
{
    if (blocks.size() > CD_TEXT_MAX_BLOCKS)
        return false;
    // Every block's size information names the last sequence number of all blocks, so lay out all first.
    std::vector<TBlockLayout> layouts(blocks.size());
    std::array<std::uint8_t, CD_TEXT_MAX_BLOCKS> lastSequence{};
    for (std::size_t b = 0; b < blocks.size(); ++b)
    {
        if (!LayOutBlock(blocks[b], b, layouts[b], overflow))
            return false;
        lastSequence[b] = static_cast<std::uint8_t>(layouts[b].Packs - 1);
    }
    const TLuSubQCrc crc;
    for (std::size_t b = 0; b < blocks.size(); ++b)
    {
        TBlockWriter writer{
            static_cast<std::uint8_t>((b << 4) | (blocks[b].CharCode == ccMsJis ? DOUBLE_BYTE_FLAG : 0)), crc,
            packs};
        AddTextPacks(layouts[b], firstTrack, writer);
        AddSizeInfo(blocks, b, layouts[b], lastSequence, firstTrack, lastTrack, writer);
    }
    return true;
}

std::size_t CdTextHeaderSize(std::uint64_t size, std::uint8_t first, std::uint8_t second)
{
    constexpr std::uint64_t HEADER = 4;
    return size >= HEADER && size % CD_TEXT_PACK_SIZE == HEADER && std::uint64_t(first << 8 | second) == size - 2
               ? HEADER
               : 0;
}

TCdTextFileCheck CheckCdTextPacks(std::span<const std::uint8_t> bytes)
{
    TCdTextFileCheck check;
    if (bytes.size() >= 2)
        check.HeaderSize = CdTextHeaderSize(bytes.size(), bytes[0], bytes[1]);
    const std::size_t size = bytes.size() - check.HeaderSize;
    check.Packs = size / CD_TEXT_PACK_SIZE;
    if (size == 0)
        check.Fault = cfEmpty;
    else if (size % CD_TEXT_PACK_SIZE != 0)
        check.Fault = cfPartialPack;
    else if (check.Packs > CD_TEXT_FILE_MAX_PACKS)
        check.Fault = cfTooManyPacks;
    const TLuSubQCrc crc;
    int block = -1;
    unsigned expected = 0;
    for (std::size_t i = 0; i < check.Packs && check.Fault == cfNone; ++i)
    {
        const auto pack = bytes.subspan(check.HeaderSize + i * CD_TEXT_PACK_SIZE, CD_TEXT_PACK_SIZE);
        check.Pack = i + 1;
        check.Found = pack[0];
        if (pack[0] < ptTitle || pack[0] > ptSizeInfo)
        {
            check.Fault = cfPackType;
            break;
        }
        // A block may count from 0 again or go on from the block before.
        const int packBlock = (pack[3] >> 4) & 7;
        if (packBlock != block && pack[2] == 0)
            expected = 0;
        block = packBlock;
        check.Found = pack[2];
        check.Expected = expected;
        if (pack[2] != expected)
            check.Fault = cfSequence;
        expected = pack[2] + 1u; // past 255 no pack of the block can match
        if (crc.ComputeBytes(pack.first(CD_TEXT_PACK_SIZE - 2)) != (pack[16] << 8 | pack[17]))
            check.BadCrcPacks.push_back(i + 1);
    }
    if (check.Fault == cfNone)
        check.Pack = check.Found = check.Expected = 0;
    return check;
}

std::uint16_t CdTextGenreCode(std::string_view name)
{
    // Codes 2 to 27 in order, as readers name them (there is no code for soundtracks).
    static constexpr std::string_view GENRES[] = {
        "Adult Contemporary",
        "Alternative Rock",
        "Childrens Music",
        "Classical",
        "Contemporary Christian",
        "Country",
        "Dance",
        "Easy Listening",
        "Erotic",
        "Folk",
        "Gospel",
        "Hip Hop",
        "Jazz",
        "Latin",
        "Musical",
        "New Age",
        "Opera",
        "Operetta",
        "Pop Music",
        "Rap",
        "Reggae",
        "Rock Music",
        "Rhythm & Blues",
        "Sound Effects",
        "Spoken Word",
        "World Music",
    };
    constexpr std::string_view MUSIC = " Music";
    for (std::size_t i = 0; i < std::size(GENRES); ++i)
    {
        const std::string_view genre = GENRES[i];
        const bool shortForm = genre.size() > MUSIC.size() && genre.ends_with(MUSIC) &&
                               EqualsIgnoreCase(name, genre.substr(0, genre.size() - MUSIC.size()));
        if (EqualsIgnoreCase(name, genre) || shortForm)
            return static_cast<std::uint16_t>(i + 2);
    }
    return 0x0001;
}
