// SPDX-License-Identifier: GPL-3.0-or-later
#include "synthesis/Luedc.h"

#if defined(__x86_64__) && defined(__GNUC__) && !defined(SARVEX_PORTABLE_BITS)
#define SARVEX_EDC_CLMUL 1
#include <immintrin.h>
#endif

namespace {

inline std::uint32_t Load32(const std::uint8_t* p) noexcept
{
    return GetLE32(std::span<const std::uint8_t, 4>(p, 4));
}

// Folding constants of a reflected CRC-32 over carry-less products: the remainders of x^n modulo
// the (unreflected, 33-bit) polynomial, bit-reversed and shifted left by one.
constexpr std::uint64_t Reflect(std::uint64_t v, int bits)
{
    std::uint64_t r = 0;
    for (int i = 0; i < bits; ++i)
        r |= ((v >> i) & 1) << (bits - 1 - i);
    return r;
}

constexpr std::uint64_t FoldConstant(std::uint64_t poly33, int exponent)
{
    std::uint64_t r = 1;
    for (int i = 0; i < exponent; ++i)
    {
        r <<= 1;
        if (r & (1ull << 32))
            r ^= poly33;
    }
    return Reflect(r, 32) << 1;
}

// Barrett constant: floor(x^64 / P), reflected over 33 bits.
constexpr std::uint64_t BarrettConstant(std::uint64_t poly33)
{
    unsigned __int128 rem = static_cast<unsigned __int128>(1) << 64;
    std::uint64_t q = 0;
    for (int bit = 64; bit >= 32; --bit)
        if ((rem >> bit) & 1)
        {
            q |= 1ull << (bit - 32);
            rem ^= static_cast<unsigned __int128>(poly33) << (bit - 32);
        }
    return Reflect(q, 33);
}

struct TFoldConstants
{
    std::uint64_t K1, K2, K3, K4, K5, Poly, Mu;
};

constexpr TFoldConstants MakeFoldConstants(std::uint64_t poly33)
{
    return {FoldConstant(poly33, 4 * 128 + 32),
            FoldConstant(poly33, 4 * 128 - 32),
            FoldConstant(poly33, 128 + 32),
            FoldConstant(poly33, 128 - 32),
            FoldConstant(poly33, 64),
            Reflect(poly33, 33),
            BarrettConstant(poly33)};
}

// The generator reproduces the published constants of the common CRC-32 (0x04C11DB7).
constexpr TFoldConstants CRC32_FOLD = MakeFoldConstants(0x104C11DB7);
static_assert(CRC32_FOLD.K1 == 0x154442BD4 && CRC32_FOLD.K2 == 0x1C6E41596);
static_assert(CRC32_FOLD.K3 == 0x1751997D0 && CRC32_FOLD.K4 == 0x0CCAA009E);
static_assert(CRC32_FOLD.K5 == 0x163CD6124 && CRC32_FOLD.Poly == 0x1DB710641 && CRC32_FOLD.Mu == 0x1F7011641);

constexpr TFoldConstants EDC_FOLD = MakeFoldConstants(0x18001801B);
static_assert(EDC_FOLD.Poly == 0x1B0030003);

#ifdef SARVEX_EDC_CLMUL
#pragma GCC push_options
#pragma GCC target("pclmul,sse4.1")
// Register update over len bytes, len a multiple of 16 and at least 64: four 128-bit lanes
// folded 64 bytes at a time, then folded into one, then reduced to 32 bits.
std::uint32_t ClmulUpdate(std::uint32_t crc, const std::uint8_t* p, std::size_t len) noexcept
{
    const auto load = [](const std::uint8_t* q) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q)); };
    const auto fold = [](__m128i x, __m128i k, __m128i next) {
        return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)), next);
    };
    __m128i x1 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
    __m128i x2 = load(p + 16);
    __m128i x3 = load(p + 32);
    __m128i x4 = load(p + 48);
    p += 64;
    len -= 64;
    const __m128i k12 = _mm_set_epi64x(static_cast<long long>(EDC_FOLD.K2), static_cast<long long>(EDC_FOLD.K1));
    for (; len >= 64; len -= 64, p += 64)
    {
        x1 = fold(x1, k12, load(p));
        x2 = fold(x2, k12, load(p + 16));
        x3 = fold(x3, k12, load(p + 32));
        x4 = fold(x4, k12, load(p + 48));
    }
    const __m128i k34 = _mm_set_epi64x(static_cast<long long>(EDC_FOLD.K4), static_cast<long long>(EDC_FOLD.K3));
    x1 = fold(x1, k34, x2);
    x1 = fold(x1, k34, x3);
    x1 = fold(x1, k34, x4);
    for (; len >= 16; len -= 16, p += 16)
        x1 = fold(x1, k34, load(p));

    // 128 bits to 64.
    const __m128i low32 = _mm_setr_epi32(-1, 0, -1, 0);
    __m128i t = _mm_clmulepi64_si128(x1, k34, 0x10);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), t);
    const __m128i k5 = _mm_set_epi64x(0, static_cast<long long>(EDC_FOLD.K5));
    t = _mm_srli_si128(x1, 4);
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, low32), k5, 0x00), t);
    // Barrett reduction to 32 bits.
    const __m128i pmu = _mm_set_epi64x(static_cast<long long>(EDC_FOLD.Mu), static_cast<long long>(EDC_FOLD.Poly));
    t = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), pmu, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), pmu, 0x00);
    x1 = _mm_xor_si128(x1, t);
    return static_cast<std::uint32_t>(_mm_extract_epi32(x1, 1));
}
#pragma GCC pop_options

const bool HAS_CLMUL = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
#endif

} // namespace

std::uint32_t TLuEdc::Update(std::uint32_t crc, std::span<const std::uint8_t> data) const noexcept
{
    const std::uint8_t* p = data.data();
    std::size_t n = data.size();
#ifdef SARVEX_EDC_CLMUL
    if (HAS_CLMUL && n >= 64)
    {
        const std::size_t bulk = n & ~std::size_t{15};
        crc = ClmulUpdate(crc, p, bulk);
        p += bulk;
        n -= bulk;
    }
#endif
    const auto& t = Tables;
    // Sixteen independent lookups per step instead of a chain of sixteen.
    for (; n >= 16; n -= 16, p += 16)
    {
        const std::uint32_t a = crc ^ Load32(p);
        const std::uint32_t b = Load32(p + 4);
        const std::uint32_t c = Load32(p + 8);
        const std::uint32_t d = Load32(p + 12);
        crc = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^ t[12][a >> 24] ^ t[11][b & 0xFF] ^
              t[10][(b >> 8) & 0xFF] ^ t[9][(b >> 16) & 0xFF] ^ t[8][b >> 24] ^ t[7][c & 0xFF] ^ t[6][(c >> 8) & 0xFF] ^
              t[5][(c >> 16) & 0xFF] ^ t[4][c >> 24] ^ t[3][d & 0xFF] ^ t[2][(d >> 8) & 0xFF] ^ t[1][(d >> 16) & 0xFF] ^
              t[0][d >> 24];
    }
    for (; n > 0; --n, ++p)
        crc = (crc >> 8) ^ t[0][(crc ^ *p) & 0xFF];
    return crc;
}

std::uint32_t TLuEdc::Compute(std::span<const std::uint8_t, SECTOR_SIZE> sector) const noexcept
{
    return Update(0, sector.first<EDC_OFFSET>());
}
