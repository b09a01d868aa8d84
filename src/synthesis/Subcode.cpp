// SPDX-License-Identifier: GPL-3.0-or-later
#include "synthesis/Subcode.h"

#include <array>
#include <cstring>

#if defined(__SSE2__) && !defined(SARVEX_PORTABLE_BITS)
#include <emmintrin.h>
#endif

namespace {

// Six-bit character codes of ISRC and catalogue texts: digits 0-9, letters 17-42, anything else 0.
constexpr std::array<std::uint8_t, 128> MakeCharCodes()
{
    std::array<std::uint8_t, 128> codes{};
    for (int c = 0; c < 10; ++c)
        codes['0' + c] = static_cast<std::uint8_t>(c);
    for (int c = 0; c < 26; ++c)
    {
        codes['A' + c] = static_cast<std::uint8_t>(0x11 + c);
        codes['a' + c] = static_cast<std::uint8_t>(0x11 + c);
    }
    return codes;
}
constexpr std::array<std::uint8_t, 128> CHAR_CODES = MakeCharCodes();
static_assert(CHAR_CODES['9'] == 9 && CHAR_CODES['A'] == 0x11 && CHAR_CODES['z'] == 0x2A && CHAR_CODES['-'] == 0);

template <std::size_t N>
std::array<unsigned, N> CodesOf(std::string_view text) noexcept
{
    std::array<unsigned, N> codes{};
    for (std::size_t i = 0; i < N && i < text.size(); ++i)
    {
        const auto c = static_cast<unsigned char>(text[i]);
        codes[i] = c < 128 ? CHAR_CODES[c] : 0;
    }
    return codes;
}

[[maybe_unused]] std::uint64_t LoadBE64(const std::uint8_t* p) noexcept
{
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i)
        v = v << 8 | p[i];
    return v;
}

[[maybe_unused]] void StoreBE64(std::uint8_t* p, std::uint64_t v) noexcept
{
    for (int i = 7; i >= 0; --i)
    {
        p[i] = static_cast<std::uint8_t>(v);
        v >>= 8;
    }
}

// Transposes an 8x8 bit matrix held row by row, row 0 in the top byte and column 0 in bit 7 of
// each byte. Eight symbol bytes go in; out come the eight channel bytes, P in the top byte.
constexpr std::uint64_t Transpose8(std::uint64_t x)
{
    std::uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAull;
    x ^= t ^ (t << 7);
    t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCull;
    x ^= t ^ (t << 14);
    t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ull;
    x ^= t ^ (t << 28);
    return x;
}
static_assert(Transpose8(0x8000000000000000ull) == 0x8000000000000000ull);
static_assert(Transpose8(0x0100000000000000ull) == 0x0000000000000080ull);
static_assert(Transpose8(0x8080808080808080ull) == 0xFF00000000000000ull);

// Bit 7 of each of the eight bytes of x (byte 0 on top), gathered into one byte, byte 0 in bit 7.
constexpr std::uint8_t GatherTopBits(std::uint64_t x)
{
    // After the shift the bits sit at 56, 48, ..., 0; the multiplier moves each one to 63..56
    // without two partial products ever meeting in the same bit.
    return static_cast<std::uint8_t>((((x >> 7) & 0x0101010101010101ull) * 0x0102040810204080ull) >> 56);
}
static_assert(GatherTopBits(0x8000000000000000ull) == 0x80 && GatherTopBits(0x0000000000000080ull) == 0x01);
static_assert(GatherTopBits(0xFFFFFFFFFFFFFFFFull) == 0xFF && GatherTopBits(0x7F7F7F7F7F7F7F7Full) == 0x00);

constexpr std::uint64_t PQ_BITS = 0xC0C0C0C0C0C0C0C0ull;

#if defined(__SSE2__) && !defined(SARVEX_PORTABLE_BITS)
// Reverses the bytes of each 8-byte half, so that a byte mask lists symbol 8j in bit 7 of its
// frame byte, as the channels have it.
inline __m128i ReverseHalves(__m128i x) noexcept
{
    x = _mm_shufflehi_epi16(_mm_shufflelo_epi16(x, 0x1B), 0x1B);
    return _mm_or_si128(_mm_slli_epi16(x, 8), _mm_srli_epi16(x, 8));
}

// P and Q frames of 16 symbols (two frame bytes each) from bits 7 and 6.
inline void GatherPQ(__m128i symbols, std::uint8_t* p, std::uint8_t* q) noexcept
{
    const __m128i r = ReverseHalves(symbols);
    const unsigned pBits = static_cast<unsigned>(_mm_movemask_epi8(r));
    const unsigned qBits = static_cast<unsigned>(_mm_movemask_epi8(_mm_add_epi8(r, r)));
    p[0] = static_cast<std::uint8_t>(pBits);
    p[1] = static_cast<std::uint8_t>(pBits >> 8);
    q[0] = static_cast<std::uint8_t>(qBits);
    q[1] = static_cast<std::uint8_t>(qBits >> 8);
}

// 0xFF in lane i where bit 7 - i % 8 of frame byte i / 8 (of the two given) is set.
inline __m128i SpreadBits(std::uint8_t first, std::uint8_t second) noexcept
{
    const __m128i select = _mm_setr_epi8(-128, 64, 32, 16, 8, 4, 2, 1, -128, 64, 32, 16, 8, 4, 2, 1);
    constexpr std::uint64_t ones = 0x0101010101010101ull;
    const __m128i v = _mm_set_epi64x(static_cast<long long>(second * ones), static_cast<long long>(first * ones));
    return _mm_cmpeq_epi8(_mm_and_si128(v, select), select);
}
#endif

} // namespace

bool BuildIsrcPayload(std::string_view isrc, std::span<std::uint8_t, Q_FRAME_SIZE> qFrame) noexcept
{
    const auto c = CodesOf<12>(isrc);
    qFrame[1] = static_cast<std::uint8_t>(c[0] << 2 | c[1] >> 4);
    qFrame[2] = static_cast<std::uint8_t>((c[1] & 0x0F) << 4 | c[2] >> 2);
    qFrame[3] = static_cast<std::uint8_t>((c[2] & 0x03) << 6 | c[3]);
    qFrame[4] = static_cast<std::uint8_t>(c[4] << 2);
    qFrame[5] = static_cast<std::uint8_t>(c[5] * 16 + c[6]);
    qFrame[6] = static_cast<std::uint8_t>(c[7] * 16 + c[8]);
    qFrame[7] = static_cast<std::uint8_t>(c[9] * 16 + c[10]);
    qFrame[8] = static_cast<std::uint8_t>(c[11] * 16);
    return true;
}

bool BuildMcnPayload(std::string_view catalog, std::span<std::uint8_t, Q_FRAME_SIZE> qFrame) noexcept
{
    const auto c = CodesOf<13>(catalog);
    for (std::size_t i = 1; i <= 6; ++i)
        qFrame[i] = static_cast<std::uint8_t>(c[2 * i - 2] * 16 + c[2 * i - 1]);
    qFrame[7] = static_cast<std::uint8_t>(c[12] * 16);
    qFrame[8] = 0;
    return true;
}

void MergePQ(std::span<std::uint8_t, SUBCODE_SIZE> block, std::span<const std::uint8_t, Q_FRAME_SIZE> pFrame,
             std::span<const std::uint8_t, Q_FRAME_SIZE> qFrame) noexcept
{
#if defined(__SSE2__) && !defined(SARVEX_PORTABLE_BITS)
    for (std::size_t g = 0; g < SUBCODE_SIZE / 16; ++g)
    {
        auto* at = reinterpret_cast<__m128i*>(block.data() + 16 * g);
        const __m128i p = _mm_and_si128(SpreadBits(pFrame[2 * g], pFrame[2 * g + 1]), _mm_set1_epi8(-128));
        const __m128i q = _mm_and_si128(SpreadBits(qFrame[2 * g], qFrame[2 * g + 1]), _mm_set1_epi8(0x40));
        const __m128i rw = _mm_and_si128(_mm_loadu_si128(at), _mm_set1_epi8(0x3F));
        _mm_storeu_si128(at, _mm_or_si128(rw, _mm_or_si128(p, q)));
    }
#else
    for (std::size_t j = 0; j < Q_FRAME_SIZE; ++j)
    {
        // Transposing rows P and Q back gives bits 7 and 6 of the eight symbol bytes.
        const std::uint64_t pq = Transpose8(std::uint64_t(pFrame[j]) << 56 | std::uint64_t(qFrame[j]) << 48);
        std::uint8_t* p = block.data() + 8 * j;
        StoreBE64(p, (LoadBE64(p) & ~PQ_BITS) | pq);
    }
#endif
}

void SplitPQ(std::span<std::uint8_t, SUBCODE_SIZE> block, std::span<std::uint8_t, Q_FRAME_SIZE> pFrame,
             std::span<std::uint8_t, Q_FRAME_SIZE> qFrame) noexcept
{
#if defined(__SSE2__) && !defined(SARVEX_PORTABLE_BITS)
    for (std::size_t g = 0; g < SUBCODE_SIZE / 16; ++g)
    {
        auto* at = reinterpret_cast<__m128i*>(block.data() + 16 * g);
        const __m128i x = _mm_loadu_si128(at);
        GatherPQ(x, pFrame.data() + 2 * g, qFrame.data() + 2 * g);
        _mm_storeu_si128(at, _mm_and_si128(x, _mm_set1_epi8(0x3F)));
    }
#else
    for (std::size_t j = 0; j < Q_FRAME_SIZE; ++j)
    {
        std::uint8_t* p = block.data() + 8 * j;
        const std::uint64_t v = LoadBE64(p);
        pFrame[j] = GatherTopBits(v);
        qFrame[j] = GatherTopBits(v << 1);
        StoreBE64(p, v & ~PQ_BITS);
    }
#endif
}

void SymbolsToChannels(std::span<const std::uint8_t, SUBCODE_SIZE> block,
                       std::span<std::uint8_t, SUBCODE_SIZE> channels) noexcept
{
#if defined(__SSE2__) && !defined(SARVEX_PORTABLE_BITS)
    __m128i groups[SUBCODE_SIZE / 16];
    __m128i any = _mm_setzero_si128();
    for (std::size_t g = 0; g < SUBCODE_SIZE / 16; ++g)
    {
        groups[g] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block.data() + 16 * g));
        any = _mm_or_si128(any, groups[g]);
    }
    const bool noRw =
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(any, _mm_set1_epi8(0x3F)), _mm_setzero_si128())) == 0xFFFF;
    if (noRw)
    {
        // No R-W data (every sector outside CD+G tracks): only the P and Q rows carry bits.
        std::memset(channels.data() + 2 * Q_FRAME_SIZE, 0, SUBCODE_SIZE - 2 * Q_FRAME_SIZE);
        for (std::size_t g = 0; g < SUBCODE_SIZE / 16; ++g)
            GatherPQ(groups[g], channels.data() + 2 * g, channels.data() + Q_FRAME_SIZE + 2 * g);
        return;
    }
    for (std::size_t g = 0; g < SUBCODE_SIZE / 16; ++g)
    {
        __m128i r = ReverseHalves(groups[g]);
        for (std::size_t ch = 0; ch < 8; ++ch)
        {
            // Channel ch is bit 7 - ch: after ch doublings it is the top bit.
            const unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(r));
            channels[ch * Q_FRAME_SIZE + 2 * g] = static_cast<std::uint8_t>(bits);
            channels[ch * Q_FRAME_SIZE + 2 * g + 1] = static_cast<std::uint8_t>(bits >> 8);
            r = _mm_add_epi8(r, r);
        }
    }
#else
    for (std::size_t j = 0; j < Q_FRAME_SIZE; ++j)
    {
        const std::uint64_t t = Transpose8(LoadBE64(block.data() + 8 * j));
        for (std::size_t ch = 0; ch < 8; ++ch)
            channels[ch * Q_FRAME_SIZE + j] = static_cast<std::uint8_t>(t >> (56 - 8 * ch));
    }
#endif
}

void ChannelsToSymbols(std::span<const std::uint8_t, SUBCODE_SIZE> channels,
                       std::span<std::uint8_t, SUBCODE_SIZE> block) noexcept
{
    // The bit matrix transpose is its own inverse: the eight channel bytes j go in, P on top.
    for (std::size_t j = 0; j < Q_FRAME_SIZE; ++j)
    {
        std::uint64_t rows = 0;
        for (std::size_t ch = 0; ch < 8; ++ch)
            rows = rows << 8 | channels[ch * Q_FRAME_SIZE + j];
        StoreBE64(block.data() + 8 * j, Transpose8(rows));
    }
}
