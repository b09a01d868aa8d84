// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CD-TEXT packs of the lead-in: 18 bytes each (4 header, 12 text, CRC high byte first), grouped in
// language blocks of at most 256 packs that each end with three size-information packs.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::size_t CD_TEXT_PACK_SIZE = 18;
inline constexpr std::size_t CD_TEXT_PAYLOAD = 12;
inline constexpr std::size_t CD_TEXT_MAX_PACKS = 256; // per block: the sequence number is one byte
inline constexpr std::size_t CD_TEXT_MAX_BLOCKS = 8;
inline constexpr std::size_t CD_TEXT_TEXT_TYPES = 15; // 0x80 to 0x8E; 0x8F is the size information

using TCdTextPack = std::array<std::uint8_t, CD_TEXT_PACK_SIZE>;

enum TCdTextPackType : std::uint8_t
{
    ptTitle = 0x80,
    ptPerformer = 0x81,
    ptSongwriter = 0x82,
    ptComposer = 0x83,
    ptArranger = 0x84,
    ptMessage = 0x85,
    ptDiscId = 0x86,
    ptGenre = 0x87,
    ptUpcIsrc = 0x8E,
    ptSizeInfo = 0x8F,
};

enum TCdTextCharCode : std::uint8_t
{
    ccIso8859_1 = 0x00,
    ccAscii = 0x01,
    ccMsJis = 0x80, // double-byte block: Shift-JIS bytes, strings end with two NULs
};

inline constexpr std::uint8_t LANGUAGE_ENGLISH = 0x09;
inline constexpr std::uint8_t LANGUAGE_JAPANESE = 0x69;

struct TCdTextBlock
{
    std::uint8_t CharCode = ccIso8859_1;
    std::uint8_t Language = LANGUAGE_ENGLISH;
    // Encoded strings without their terminator, by pack type (index type - 0x80): [0] is the disc,
    // [n] the n-th track of the disc. An empty list leaves the type out. A genre string starts with
    // its two code bytes.
    std::array<std::vector<std::string>, CD_TEXT_TEXT_TYPES> Strings;
};

// Where a block ran out of packs: the block, the pack type and the string (0 the disc, n the n-th track).
struct TCdTextOverflow
{
    std::size_t Block = 0;
    std::uint8_t Type = 0;
    std::size_t Item = 0;
};

// Appends the packs of every block, CRC included, block 0 first. firstTrack and lastTrack go into the
// size information. Returns false and appends nothing when a block needs more than 256 packs.
bool BuildCdTextPacks(std::span<const TCdTextBlock> blocks, std::uint8_t firstTrack, std::uint8_t lastTrack,
                      std::vector<TCdTextPack>& packs, TCdTextOverflow* overflow = nullptr);

// A CD-TEXT file may hold four times the packs a lead-in can: room for odd dumps, and what the control
// file takes.
inline constexpr std::size_t CD_TEXT_FILE_MAX_PACKS = 4 * CD_TEXT_MAX_BLOCKS * CD_TEXT_MAX_PACKS;

enum TCdTextFault : std::uint8_t
{
    cfNone = 0,
    cfEmpty = 1,        // no pack at all
    cfPartialPack = 2,  // the bytes after the header are no whole number of packs
    cfTooManyPacks = 3, // more than CD_TEXT_FILE_MAX_PACKS
    cfPackType = 4,     // Found is a type outside 0x80-0x8F
    cfSequence = 5,     // Found is a sequence number other than Expected
};

// What CheckCdTextPacks found in the bytes of a CD-TEXT file. Packs are numbered from 1.
struct TCdTextFileCheck
{
    TCdTextFault Fault = cfNone;
    std::size_t Pack = 0; // the first pack at fault
    unsigned Found = 0;
    unsigned Expected = 0;
    std::size_t HeaderSize = 0; // 4 when the file starts with a READ TOC header
    std::size_t Packs = 0;
    std::vector<std::size_t> BadCrcPacks; // packs that fail their CRC; they are no fault
};

// Drives and dumping tools save the answer of READ TOC/PMA/ATIP as it came: a 4-byte header (the data
// length, big-endian, then two reserved bytes) before the packs. 4 for a file of size bytes that
// starts with one, else 0; first and second are its first two bytes.
std::size_t CdTextHeaderSize(std::uint64_t size, std::uint8_t first, std::uint8_t second);

// Checks the packs of a CD-TEXT file: whole packs after an optional header, types 0x80-0x8F and
// sequence numbers that count up from 0 in each block (or go on from the block before).
TCdTextFileCheck CheckCdTextPacks(std::span<const std::uint8_t> bytes);

// The genre code for a genre name (case-insensitive; "Rock" stands for "Rock Music"), or 0x0001
// "not defined" when the name is not in the list.
std::uint16_t CdTextGenreCode(std::string_view name);
