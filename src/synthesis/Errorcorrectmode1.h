// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Mode 1 EDC and ECC (P and Q Reed-Solomon product code over GF(2^8), x^8+x^4+x^3+x^2+1).

#include <array>
#include <cstdint>
#include <span>

#include "synthesis/Luedc.h"
#include "synthesis/Sector.h"

inline constexpr unsigned GF256_POLY = 0x11D;
inline constexpr std::size_t GF256_ANTILOG_SIZE = 1024;
inline constexpr std::uint16_t GF256_LOG_OF_ZERO = 512; // lands in the zero tail of the antilog

// Entry j = alpha^j for j < 510, so two logarithms add without a reduction modulo 255; the
// entries from 510 on are 0, the product of anything with 0.
constexpr std::array<std::uint8_t, GF256_ANTILOG_SIZE> MakeGf256Antilog()
{
    std::array<std::uint8_t, GF256_ANTILOG_SIZE> antilog{};
    unsigned v = 1;
    for (std::size_t j = 0; j < 510; ++j)
    {
        antilog[j] = static_cast<std::uint8_t>(v);
        v <<= 1;
        if (v & 0x100)
            v ^= GF256_POLY;
    }
    return antilog;
}

constexpr std::array<std::uint16_t, 256> MakeGf256Log()
{
    const auto antilog = MakeGf256Antilog();
    std::array<std::uint16_t, 256> log{};
    log[0] = GF256_LOG_OF_ZERO;
    for (std::uint16_t i = 0; i < 255; ++i)
        log[antilog[i]] = i;
    return log;
}
static_assert(MakeGf256Antilog()[8] == 0x1D && MakeGf256Antilog()[255] == 1 &&
              MakeGf256Antilog()[509] == MakeGf256Antilog()[254]);
static_assert(MakeGf256Antilog()[25] == 3, "1 + alpha = alpha^25");
static_assert(MakeGf256Log()[2] == 1 && MakeGf256Log()[3] == 25);

class TMode1ErrorCorrect
{
public:
    // The first live instance builds the shared tables, the last one releases them.
    TMode1ErrorCorrect() noexcept;
    ~TMode1ErrorCorrect();
    TMode1ErrorCorrect(const TMode1ErrorCorrect&) = delete;
    TMode1ErrorCorrect& operator=(const TMode1ErrorCorrect&) = delete;

    // Bytes 0-2063 and 2068-2075 must be final. Writes the EDC (2064-2067), P parity (2076-2247)
    // and Q parity (2248-2351). False, sector untouched, when the shared tables are missing.
    bool Generate(std::span<std::uint8_t, SECTOR_SIZE> sector) const noexcept;
    // The P parity from bytes 12-2075, then the Q parity from bytes 12-2247; the EDC field is
    // left alone (a Mode 2 form 1 sector keeps user data there). False when the tables are missing.
    bool GenerateParity(std::span<std::uint8_t, SECTOR_SIZE> sector) const noexcept;
    // Judges a stored sector without copying it: P from bytes 12-2075 against 2076-2247, Q from bytes
    // 12-2247 as stored (its P included) against 2248-2351. False when the tables are missing.
    bool CheckParity(std::span<const std::uint8_t, SECTOR_SIZE> sector, bool& pGood, bool& qGood) const noexcept;

    static bool HasTables() noexcept;
};
