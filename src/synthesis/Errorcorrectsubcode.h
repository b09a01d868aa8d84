// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reed-Solomon parity of R-W packs over GF(64) (x^6 + x + 1), recording direction only.
// Symbols live in bits 5-0 of each pack byte; bits 7 and 6 (P and Q) are never read or changed.

#include <array>
#include <cstdint>
#include <span>

#include "synthesis/Sector.h"

inline constexpr std::size_t GF64_EXP_ROWS = 72; // covers the largest exponent used, 3 * 23 = 69

constexpr std::array<std::uint8_t, 140> MakeGf64Antilog()
{
    std::array<std::uint8_t, 140> antilog{};
    unsigned v = 1;
    for (auto& entry : antilog)
    {
        entry = static_cast<std::uint8_t>(v);
        v <<= 1;
        if (v & 0x40)
            v ^= 0x43;
    }
    return antilog;
}

constexpr std::array<std::uint8_t, 64> MakeGf64Log()
{
    const auto antilog = MakeGf64Antilog();
    std::array<std::uint8_t, 64> log{}; // log[0] stays 0 and is never used as a logarithm
    for (unsigned i = 0; i < 63; ++i)
        log[antilog[i]] = static_cast<std::uint8_t>(i);
    return log;
}
static_assert(MakeGf64Antilog()[6] == 0x03 && MakeGf64Antilog()[63] == 1 &&
              MakeGf64Antilog()[139] == MakeGf64Antilog()[13]);
static_assert(MakeGf64Log()[2] == 1 && MakeGf64Log()[3] == 6 && MakeGf64Log()[7] == 26 && MakeGf64Log()[15] == 18);

using TGf64MulTable = std::array<std::array<std::uint8_t, 64>, GF64_EXP_ROWS>;

// Row i multiplies by alpha^i. Column 0 holds alpha^i, not 0: callers test for a zero symbol.
constexpr TGf64MulTable MakeGf64MulTable()
{
    const auto antilog = MakeGf64Antilog();
    const auto log = MakeGf64Log();
    TGf64MulTable table{};
    for (std::size_t i = 0; i < GF64_EXP_ROWS; ++i)
        for (std::size_t j = 0; j < 64; ++j)
            table[i][j] = antilog[i + log[j]];
    return table;
}
static_assert(MakeGf64MulTable()[1][0x20] == 0x03 && MakeGf64MulTable()[6][1] == 0x03);

class TSubCodeErrorCorrect
{
public:
    // The first live instance builds the shared table, the last one releases it.
    TSubCodeErrorCorrect() noexcept;
    ~TSubCodeErrorCorrect();
    TSubCodeErrorCorrect(const TSubCodeErrorCorrect&) = delete;
    TSubCodeErrorCorrect& operator=(const TSubCodeErrorCorrect&) = delete;

    // Symbols 2 and 3 from symbols 0 and 1. False, pack unchanged, when the table is missing.
    bool SetQParity(std::span<std::uint8_t, PACK_SIZE> pack) const noexcept;
    // Symbols 20-23 from symbols 0-19; run SetQParity first, its symbols are part of the input.
    bool SetPParity(std::span<std::uint8_t, PACK_SIZE> pack) const noexcept;

    static bool HasTable() noexcept;
};
