// SPDX-License-Identifier: GPL-3.0-or-later
// LibCrypt side-cars: the deliberately damaged Q frames of a protected PlayStation disc, kept in an
// .sbi or .lsd file beside the cue sheet and laid over the Q channel the composer makes.
#pragma once

#include "cuesheet/Subqpatchrow.h"
#include "fileio/Error.h"
#include "synthesis/Sector.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class TLuCueSheet;
class TLuSubQCrc;

enum TSubQPatchFormat : std::uint8_t
{
    pfSbi = 0,
    pfLsd = 1,
};

struct TSubQPatchList
{
    std::vector<TSubQPatch> Patches; // sorted by address, each address once
    std::vector<std::string> Warnings;
};

inline constexpr std::size_t SBI_HEADER_SIZE = 4;
inline constexpr std::size_t LSD_RECORD_SIZE = 15;
// Offset of the Q channel in a 96-byte .sub record.
inline constexpr std::size_t Q_CHANNEL_OFFSET = 12;

// Strict reading of a whole side-car. A refusal names name as its file ("Game.sbi: record 7 is cut
// short"); it leaves result.Patches alone. Addresses must lie in [150, leadOut); pass INT32_MAX when
// there is no disc to check against.
TError ParseSubQPatches(std::span<const std::uint8_t> bytes, TSubQPatchFormat format, std::string_view name,
                        std::int32_t leadOut, TSubQPatchList& result);

// Reads and parses the side-car at path as ParseSubQPatches does, with its file name in every message.
TError ReadSubQPatchFile(const std::string& path, std::int32_t leadOut, TSubQPatchList& result);

// .lsd or .sbi by the extension (any case), else by the "SBI\0" header.
TSubQPatchFormat SubQPatchFormatOf(std::string_view path, std::span<const std::uint8_t> bytes);

// Every side-car beside a cue sheet: in its folder, regular files named its base name + ".lsd" or
// ".sbi", compared ignoring ASCII case; the .lsd ones first, each kind in byte order.
std::vector<std::string> SubQPatchFilesOf(const std::string& cuePath);

// The side-car a cue sheet takes: the first of SubQPatchFilesOf, or empty when there is none.
std::string FindSubQPatchFile(const std::string& cuePath);

// The frame the .sub holds at the patch's address. normal: the undamaged position frame there.
// An .sbi frame gets the complement of its valid CRC, so that a drive drops it as the disc's does.
TQFrame PatchedQFrame(const TSubQPatch& patch, const TQFrame& normal, const TLuSubQCrc& crc) noexcept;

struct TSubQPatchSpan
{
    std::size_t First = 0;
    std::size_t Size = Q_FRAME_SIZE;
};

// The Q frame bytes a patch of this kind gives: all twelve of a whole frame, the payload of an .sbi
// record (which never keeps the CRC).
TSubQPatchSpan SubQPatchSpanOf(TSubQPatchKind kind) noexcept;

// True when q holds the bytes the patch gives.
bool SubQPatchMatches(const TSubQPatch& patch, std::span<const std::uint8_t, Q_FRAME_SIZE> q) noexcept;

// Reads the side-car at path for a loaded sheet and stores its frames, whole, in the sheet's
// SubQPatches and its path in SubQPatchFile. A frame the set would not store (between sessions) is
// refused. On any fault the sheet is left unchanged.
TError AttachSubQPatches(TLuCueSheet& sheet, const std::string& path, std::vector<std::string>& warnings);

// "16 Q frames from Game.sbi", or empty for a sheet without a side-car.
std::string SubQPatchSummary(const TLuCueSheet& sheet);

// True at the absolute addresses of the LibCrypt protection frames: 16 pairs, five sectors apart, the
// list the PlayStation emulators use to find the 16-bit key.
bool IsLibCryptAddress(std::int32_t address);
