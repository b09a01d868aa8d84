// SPDX-License-Identifier: GPL-3.0-or-later
#include "synthesis/Errorcorrectmode1.h"

#include <cstring>
#include <mutex>
#include <new>
#include <utility>

namespace {

constexpr auto ANTILOG = MakeGf256Antilog();

// Layout of the product code: 26 rows of 43 16-bit words from byte 12; rows 0-23 are the data of
// the P columns, rows 24-25 their parity. Byte c of a row is vector c & 1 of word column c / 2,
// and the two vectors are coded on their own, so every byte column is one code word.
constexpr std::size_t ROW_BYTES = 86;
constexpr std::size_t P_DATA_ROWS = 24;
constexpr std::size_t Q_ROWS = 26;
constexpr std::size_t Q_WORDS = 43;
constexpr std::size_t Q_DIAGONALS = 26;
static_assert(HEADER_OFFSET + ROW_BYTES * P_DATA_ROWS == ECC_P_OFFSET);
static_assert(ECC_P_OFFSET + ROW_BYTES * 2 == ECC_Q_OFFSET);
static_assert(ECC_Q_OFFSET + Q_DIAGONALS * 4 == SECTOR_SIZE);

// 32-byte lanes: one register each with AVX2, a pair of SSE2 registers in the baseline build.
constexpr std::size_t VB = 32;
using V = std::uint8_t __attribute__((vector_size(VB)));
using SV = std::int8_t __attribute__((vector_size(VB)));

// The kernels are built twice, for AVX2 and for the baseline, and picked at load time.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(SARVEX_PORTABLE_BITS)
#define SARVEX_KERNEL_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define SARVEX_KERNEL_CLONES
#endif
// The 32-byte helpers are always inlined, so their calling convention never matters.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

inline __attribute__((always_inline)) V Load(const std::uint8_t* p) noexcept
{
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline __attribute__((always_inline)) void Store(std::uint8_t* p, V v) noexcept
{
    std::memcpy(p, &v, sizeof v);
}

// Multiplication by alpha in every lane.
inline __attribute__((always_inline)) V XTime(V x) noexcept
{
    const V carry = reinterpret_cast<V>(reinterpret_cast<SV>(x) < 0);
    return (x + x) ^ (carry & 0x1D);
}

constexpr unsigned Alpha(unsigned e)
{
    return ANTILOG[e % 255];
}

// Multiplication by a constant: shift and add over its bits.
template <unsigned C>
inline __attribute__((always_inline)) V MulConst(V x) noexcept
{
    V acc = {};
#pragma GCC unroll 8
    for (unsigned b = 0; b < 8; ++b)
    {
        if ((C >> b) & 1)
            acc ^= x;
        x = XTime(x);
    }
    return acc;
}

// Division by 1 + alpha = alpha^25.
inline __attribute__((always_inline)) V DivOnePlusAlpha(V x) noexcept
{
    return MulConst<Alpha(255 - 25)>(x);
}

// P: in each byte column, d0..d23 give S0 = sum dj and S1 = sum alpha^(25-j) dj; Horner over the
// rows keeps all 86 columns in flight with plain vector operations.
SARVEX_KERNEL_CLONES void ComputeP(const std::uint8_t* sector, std::uint8_t* parity) noexcept
{
    constexpr std::size_t VECS = 3; // 96 lanes; lanes 86-95 read the next row and are dropped
    V sum[VECS] = {};
    V horner[VECS] = {};
    const std::uint8_t* row = sector + HEADER_OFFSET;
    for (std::size_t j = 0; j < P_DATA_ROWS; ++j, row += ROW_BYTES)
    {
#pragma GCC unroll 3
        for (std::size_t v = 0; v < VECS; ++v)
        {
            const V d = Load(row + VB * v);
            sum[v] ^= d;
            horner[v] = XTime(horner[v]) ^ d;
        }
    }
    alignas(VB) std::uint8_t p0[VB * VECS];
    alignas(VB) std::uint8_t p1[VB * VECS];
#pragma GCC unroll 3
    for (std::size_t v = 0; v < VECS; ++v)
    {
        const V q = DivOnePlusAlpha(sum[v] ^ XTime(XTime(horner[v])));
        Store(p0 + VB * v, q);
        Store(p1 + VB * v, sum[v] ^ q);
    }
    std::memcpy(parity, p0, ROW_BYTES);
    std::memcpy(parity + ROW_BYTES, p1, ROW_BYTES);
}

// Q: diagonal k takes word column i from row (i + k) mod 26, with weight alpha^(44 - i).
// Row r is added to wide accumulators shifted by 25 - r words, so word column i lands in lane
// n = i + 25 - r and every lane holds one diagonal: k = (25 - n) mod 26. Horner over the rows
// gives lane n the factor alpha^(25 - r); a final alpha^(44 - n) per lane completes alpha^(44 - i).
constexpr std::size_t Q_LANES = Q_WORDS + Q_ROWS - 1; // 68 words
constexpr std::size_t Q_VECS = (2 * Q_LANES + VB - 1) / VB;
constexpr std::size_t MASK_PAD = 64;

constexpr std::array<std::uint8_t, 2 * MASK_PAD + ROW_BYTES> MakeRowMask()
{
    std::array<std::uint8_t, 2 * MASK_PAD + ROW_BYTES> mask{};
    for (std::size_t i = MASK_PAD; i < MASK_PAD + ROW_BYTES; ++i)
        mask[i] = 0xFF;
    return mask;
}

// Bit b of lane n's weight alpha^(44 - n), as a byte mask over the accumulator bytes.
using TLaneMasks = std::array<std::array<std::uint8_t, VB * Q_VECS>, 8>;
constexpr TLaneMasks MakeLaneMasks()
{
    TLaneMasks masks{};
    for (std::size_t n = 0; n < Q_LANES; ++n)
    {
        const unsigned w = Alpha(44 + 255 - static_cast<unsigned>(n));
        for (unsigned b = 0; b < 8; ++b)
            masks[b][2 * n] = masks[b][2 * n + 1] = ((w >> b) & 1) ? 0xFF : 0x00;
    }
    return masks;
}
static_assert(MakeLaneMasks()[0][0] == 0x00 && MakeLaneMasks()[0][2 * 44] == 0xFF, "lane 44 has weight 1");

using TRowMask = std::array<std::uint8_t, 2 * MASK_PAD + ROW_BYTES>;

struct TMode1Tables
{
    TLuEdc Edc;
    alignas(16) TLaneMasks LaneMasks; // 16, not VB: keeps the plain (not over-aligned) new
    alignas(16) TRowMask RowMask;
};

// Shared by every TMode1ErrorCorrect of the process. Batch workers make and destroy cue sheets
// concurrently, so the count and the pointer change under the lock; an instance only reads the
// tables, which stay while it lives.
TMode1Tables* Shared = nullptr;
int SharedRefCount = 0;
std::mutex SharedLock;

template <std::size_t R>
inline __attribute__((always_inline)) void AddQRow(const std::uint8_t* sector, const std::uint8_t* rowMask,
                                                   V (&sum)[Q_VECS], V (&horner)[Q_VECS]) noexcept
{
    constexpr std::size_t shift = 2 * (Q_ROWS - 1 - R); // accumulator byte of the row's byte 0
    constexpr std::size_t first = shift / VB;
    constexpr std::size_t last = (shift + ROW_BYTES - 1) / VB;
    // Lanes below the window have seen no row yet and are still zero.
#pragma GCC unroll 5
    for (std::size_t v = first; v < Q_VECS; ++v)
        horner[v] = XTime(horner[v]);
    constexpr std::size_t rowAt = HEADER_OFFSET + ROW_BYTES * R;
    // Only vectors that overlap the row.
#pragma GCC unroll 5
    for (std::size_t v = first; v <= last; ++v)
    {
        V d;
        if (rowAt + VB * v >= shift)
        {
            d = Load(sector + rowAt + VB * v - shift);
        }
        else
        {
            // The row-0 vector would start before the sector; its leading bytes are masked anyway.
            alignas(VB) std::uint8_t head[VB] = {};
            const std::size_t skip = shift - rowAt - VB * v;
            std::memcpy(head + skip, sector, VB - skip);
            d = Load(head);
        }
        if (VB * v < shift || VB * v + VB > shift + ROW_BYTES)
            d &= Load(rowMask + MASK_PAD + VB * v - shift);
        sum[v] ^= d;
        horner[v] ^= d;
    }
}

template <std::size_t... R>
inline __attribute__((always_inline)) void AddQRows(const std::uint8_t* sector, const std::uint8_t* rowMask,
                                                    V (&sum)[Q_VECS], V (&horner)[Q_VECS],
                                                    std::index_sequence<R...>) noexcept
{
    (AddQRow<R>(sector, rowMask, sum, horner), ...);
}

SARVEX_KERNEL_CLONES void ComputeQ(const std::uint8_t* sector, std::uint8_t* parity, const TMode1Tables& t) noexcept
{
    V sum[Q_VECS] = {};
    V horner[Q_VECS] = {};
    AddQRows(sector, t.RowMask.data(), sum, horner, std::make_index_sequence<Q_ROWS>{});

    // Per-lane weights, then fold lanes n, n + 26 and n + 52 of one diagonal together.
    constexpr std::size_t FOLD = 2 * Q_ROWS; // bytes per group of 26 lanes
    constexpr std::size_t FOLD_VECS = (FOLD + VB - 1) / VB;
    alignas(VB) std::uint8_t s0[2 * FOLD + VB * FOLD_VECS] = {};
    alignas(VB) std::uint8_t s1[2 * FOLD + VB * FOLD_VECS] = {};
    static_assert(sizeof s0 >= VB * Q_VECS);
#pragma GCC unroll 5
    for (std::size_t v = 0; v < Q_VECS; ++v)
    {
        V x = horner[v];
        V weighted = {};
#pragma GCC unroll 8
        for (std::size_t b = 0; b < 8; ++b)
        {
            weighted ^= x & Load(t.LaneMasks[b].data() + VB * v);
            x = XTime(x);
        }
        Store(s0 + VB * v, sum[v]);
        Store(s1 + VB * v, weighted);
    }
    alignas(VB) std::uint8_t q0[VB * FOLD_VECS];
    alignas(VB) std::uint8_t q1[VB * FOLD_VECS];
#pragma GCC unroll 2
    for (std::size_t v = 0; v < FOLD_VECS; ++v)
    {
        const std::size_t at = VB * v;
        const V a = Load(s0 + at) ^ Load(s0 + at + FOLD) ^ Load(s0 + at + 2 * FOLD);
        const V b = Load(s1 + at) ^ Load(s1 + at + FOLD) ^ Load(s1 + at + 2 * FOLD);
        const V q = DivOnePlusAlpha(a ^ b);
        Store(q0 + at, q);
        Store(q1 + at, a ^ q);
    }
    // Folded lane m holds diagonal 25 - m.
    std::uint8_t* out0 = parity;
    std::uint8_t* out1 = out0 + 2 * Q_DIAGONALS;
    for (std::size_t m = 0; m < Q_DIAGONALS; ++m)
    {
        const std::size_t k = Q_DIAGONALS - 1 - m;
        out0[2 * k] = q0[2 * m];
        out0[2 * k + 1] = q0[2 * m + 1];
        out1[2 * k] = q1[2 * m];
        out1[2 * k + 1] = q1[2 * m + 1];
    }
}

} // namespace

TMode1ErrorCorrect::TMode1ErrorCorrect() noexcept
{
    const std::lock_guard lock(SharedLock);
    ++SharedRefCount;
    if (Shared == nullptr)
    {
        Shared = new (std::nothrow) TMode1Tables; // a failed allocation leaves no tables
        if (Shared != nullptr)
        {
            Shared->LaneMasks = MakeLaneMasks();
            Shared->RowMask = MakeRowMask();
        }
    }
}

TMode1ErrorCorrect::~TMode1ErrorCorrect()
{
    const std::lock_guard lock(SharedLock);
    if (--SharedRefCount < 1)
    {
        delete Shared;
        Shared = nullptr;
    }
}

bool TMode1ErrorCorrect::HasTables() noexcept
{
    return Shared != nullptr;
}

bool TMode1ErrorCorrect::Generate(std::span<std::uint8_t, SECTOR_SIZE> sector) const noexcept
{
    const TMode1Tables* t = Shared;
    if (t == nullptr)
        return false;
    PutLE32(sector.subspan<EDC_OFFSET, 4>(), t->Edc.Compute(sector));
    ComputeP(sector.data(), sector.data() + ECC_P_OFFSET);
    ComputeQ(sector.data(), sector.data() + ECC_Q_OFFSET, *t);
    return true;
}

bool TMode1ErrorCorrect::GenerateParity(std::span<std::uint8_t, SECTOR_SIZE> sector) const noexcept
{
    const TMode1Tables* t = Shared;
    if (t == nullptr)
        return false;
    ComputeP(sector.data(), sector.data() + ECC_P_OFFSET);
    ComputeQ(sector.data(), sector.data() + ECC_Q_OFFSET, *t);
    return true;
}

bool TMode1ErrorCorrect::CheckParity(std::span<const std::uint8_t, SECTOR_SIZE> sector, bool& pGood,
                                     bool& qGood) const noexcept
{
    const TMode1Tables* t = Shared;
    if (t == nullptr)
        return false;
    std::uint8_t p[ECC_P_SIZE];
    std::uint8_t q[ECC_Q_SIZE];
    ComputeP(sector.data(), p);
    ComputeQ(sector.data(), q, *t);
    pGood = std::memcmp(p, sector.data() + ECC_P_OFFSET, ECC_P_SIZE) == 0;
    qGood = std::memcmp(q, sector.data() + ECC_Q_OFFSET, ECC_Q_SIZE) == 0;
    return true;
}
