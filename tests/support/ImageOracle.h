// SPDX-License-Identifier: GPL-3.0-or-later
// Independent checks of converted images: the codes are written the plain bit-by-bit way,
// straight from their definitions, so they share nothing with the table-driven production code.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace oracle {

inline constexpr std::size_t SECTOR = 2352;
inline constexpr std::size_t RECORD = 96;

// CRC-16/GSM of the Q channel: poly 0x1021, init 0, no reflection, final inversion.
constexpr std::uint16_t QCrc(const std::uint8_t* data, std::size_t count)
{
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < count; ++i)
    {
        crc = static_cast<std::uint16_t>(crc ^ (data[i] << 8));
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return static_cast<std::uint16_t>(crc ^ 0xFFFF);
}
constexpr std::uint8_t CHECK_TEXT[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
static_assert(QCrc(CHECK_TEXT, 9) == 0xCE3C);

// CRC-32/CD-ROM-EDC: reflected poly 0xD8018001, init 0, no final XOR.
constexpr std::uint32_t Edc(const std::uint8_t* data, std::size_t count)
{
    std::uint32_t crc = 0;
    for (std::size_t i = 0; i < count; ++i)
    {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xD8018001u : crc >> 1;
    }
    return crc;
}
static_assert(Edc(CHECK_TEXT, 9) == 0x6EC2EDC4);

// GF(2^8) with x^8 + x^4 + x^3 + x^2 + 1, by shift and add.
constexpr std::uint8_t GfMul(std::uint8_t a, std::uint8_t b)
{
    std::uint8_t product = 0;
    for (int bit = 0; bit < 8; ++bit)
    {
        if (b & 1)
            product ^= a;
        a = static_cast<std::uint8_t>((a & 0x80) ? (a << 1) ^ 0x1D : a << 1);
        b >>= 1;
    }
    return product;
}
constexpr std::uint8_t GfPow2(int n)
{
    std::uint8_t v = 1;
    for (int i = 0; i < n; ++i)
        v = GfMul(v, 2);
    return v;
}
static_assert(GfPow2(25) == 3); // 1 + alpha
inline constexpr std::uint8_t GF_INV_ALPHA25 = GfPow2(230);
static_assert(GfMul(GfPow2(25), GF_INV_ALPHA25) == 1);

// Syndromes of one RS code word of n symbols taken at the given byte offsets: both must vanish.
template <typename Offset>
bool CodeWordValid(const std::uint8_t* sector, int n, Offset offset)
{
    std::uint8_t s0 = 0;
    std::uint8_t s1 = 0;
    for (int i = 0; i < n; ++i)
    {
        const std::uint8_t d = sector[offset(i)];
        s0 ^= d;
        s1 ^= GfMul(GfPow2(n - 1 - i), d);
    }
    return s0 == 0 && s1 == 0;
}

// Fills the last two symbols of a code word so that both syndromes vanish. With them zero, the
// weighted sum s1 comes by Horner's rule; then p0 = (s0 + s1) / (1 + alpha) and p1 = s0 + p0.
template <typename Offset>
void EncodeCodeWord(std::uint8_t* sector, int n, Offset offset)
{
    sector[offset(n - 2)] = 0;
    sector[offset(n - 1)] = 0;
    std::uint8_t s0 = 0;
    std::uint8_t s1 = 0;
    for (int i = 0; i < n; ++i)
    {
        const std::uint8_t d = sector[offset(i)];
        s0 ^= d;
        s1 = GfMul(s1, 2) ^ d;
    }
    const std::uint8_t p0 = GfMul(s0 ^ s1, GF_INV_ALPHA25);
    sector[offset(n - 2)] = p0;
    sector[offset(n - 1)] = s0 ^ p0;
}

// Byte of symbol `row` of P column `column` in lane v (0 low bytes, 1 high bytes) of a Mode 1 sector.
inline int PWordByte(int column, int v, int row)
{
    return 12 + 86 * row + 2 * column + v;
}

// Byte of symbol i of Q diagonal `diagonal` in lane v; the last two are the Q parity.
inline int QWordByte(int diagonal, int v, int i)
{
    if (i < 43)
        return 12 + 2 * ((44 * i + 43 * diagonal) % 1118) + v;
    return (i == 43 ? 2248 : 2300) + 2 * diagonal + v;
}

// The ECMA-130 P and Q product code of a Mode 1 sector (bytes 12-2351) checks out.
inline bool Mode1EccValid(const std::uint8_t* sector)
{
    for (int v = 0; v < 2; ++v)
    {
        for (int column = 0; column < 43; ++column)
            if (!CodeWordValid(sector, 26, [&](int row) { return PWordByte(column, v, row); }))
                return false;
        for (int diagonal = 0; diagonal < 26; ++diagonal)
            if (!CodeWordValid(sector, 45, [&](int i) { return QWordByte(diagonal, v, i); }))
                return false;
    }
    return true;
}

// The plain Mode 1 encoder: EDC over bytes 0-2063, then P over the columns, then Q over the
// diagonals, which take in the P bytes.
inline void EncodeMode1(std::uint8_t* sector)
{
    const std::uint32_t edc = Edc(sector, 2064);
    for (int i = 0; i < 4; ++i)
        sector[2064 + i] = static_cast<std::uint8_t>(edc >> (8 * i));
    for (int v = 0; v < 2; ++v)
        for (int column = 0; column < 43; ++column)
            EncodeCodeWord(sector, 26, [&](int row) { return PWordByte(column, v, row); });
    for (int v = 0; v < 2; ++v)
        for (int diagonal = 0; diagonal < 26; ++diagonal)
            EncodeCodeWord(sector, 45, [&](int i) { return QWordByte(diagonal, v, i); });
}

inline std::uint32_t StoredEdc(const std::uint8_t* sector)
{
    return sector[2064] | sector[2065] << 8 | sector[2066] << 16 | std::uint32_t(sector[2067]) << 24;
}

constexpr std::uint8_t Bcd(int v)
{
    return static_cast<std::uint8_t>(v / 10 * 16 + v % 10);
}

// Sync field and header of a sector with its own absolute address.
inline bool HeaderMatches(const std::uint8_t* sector, int address, int mode)
{
    static constexpr std::array<std::uint8_t, 12> sync = {0,    0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                          0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
    for (std::size_t i = 0; i < sync.size(); ++i)
        if (sector[i] != sync[i])
            return false;
    return sector[12] == Bcd(address / 4500) && sector[13] == Bcd(address / 75 % 60) &&
           sector[14] == Bcd(address % 75) && sector[15] == mode;
}

// In a channel record each channel row holds its 96 bits MSB first, so the P and Q frames are
// simply rows 0 and 1.
inline std::array<std::uint8_t, 12> Channel(const std::uint8_t* record, int channel)
{
    std::array<std::uint8_t, 12> row{};
    for (int i = 0; i < 12; ++i)
        row[static_cast<std::size_t>(i)] = record[12 * channel + i];
    return row;
}

// The 6-bit R-W symbol k of a record, gathered bit by bit from channels R (bit 5) to W (bit 0).
inline std::uint8_t RwSymbol(const std::uint8_t* record, int k)
{
    std::uint8_t symbol = 0;
    for (int channel = 2; channel < 8; ++channel)
    {
        const int bit = (record[12 * channel + k / 8] >> (7 - k % 8)) & 1;
        symbol = static_cast<std::uint8_t>(symbol << 1 | bit);
    }
    return symbol;
}

// FNV-1a, for whole-file digests.
inline std::uint64_t Digest64(std::string_view data)
{
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (const char c : data)
        hash = (hash ^ static_cast<std::uint8_t>(c)) * 0x100000001b3ull;
    return hash;
}

// GF(64) with x^6 + x + 1, by shift and add.
inline std::uint8_t Gf64Mul(std::uint8_t a, std::uint8_t b)
{
    std::uint8_t product = 0;
    for (int bit = 0; bit < 6; ++bit)
    {
        if (b & 1)
            product ^= a;
        a = static_cast<std::uint8_t>(a << 1);
        if (a & 0x40)
            a ^= 0x43;
        b >>= 1;
    }
    return product;
}

inline std::uint8_t Gf64Pow2(int n)
{
    std::uint8_t v = 1;
    for (int i = 0; i < n; ++i)
        v = Gf64Mul(v, 2);
    return v;
}

// The Q check of an R-W pack: both syndromes of symbols 0-3 are zero.
inline bool PackQCheckHolds(const std::uint8_t* pack)
{
    std::uint8_t q0 = 0, q1 = 0;
    for (int i = 0; i < 4; ++i)
    {
        q0 ^= pack[i] & 0x3F;
        q1 ^= Gf64Mul(Gf64Pow2(3 - i), pack[i] & 0x3F);
    }
    return q0 == 0 && q1 == 0;
}

// The P check of an R-W pack: all four syndromes over the 24 symbols are zero.
inline bool PackPCheckHolds(const std::uint8_t* pack)
{
    for (int m = 0; m < 4; ++m)
    {
        std::uint8_t s = 0;
        for (int i = 0; i < 24; ++i)
            s ^= Gf64Mul(Gf64Pow2(m * (23 - i)), pack[i] & 0x3F);
        if (s != 0)
            return false;
    }
    return true;
}

} // namespace oracle
