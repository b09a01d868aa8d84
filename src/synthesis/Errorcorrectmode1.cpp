#include "synthesis/Errorcorrectmode1.h"

#include <cstring>
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

using V16 = std::uint8_t __attribute__((vector_size(16)));
using S16 = std::int8_t __attribute__((vector_size(16)));

inline V16 Load(const std::uint8_t* p) noexcept
{
    V16 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void Store(std::uint8_t* p, V16 v) noexcept
{
    std::memcpy(p, &v, sizeof v);
}

// Multiplication by alpha in all 16 lanes.
inline V16 XTime(V16 x) noexcept
{
    const V16 carry = reinterpret_cast<V16>(reinterpret_cast<S16>(x) < 0);
    return (x + x) ^ (carry & 0x1D);
}

constexpr unsigned Alpha(unsigned e)
{
    return ANTILOG[e % 255];
}

// Multiplication by a constant: shift and add over its bits.
template <unsigned C>
inline V16 MulConst(V16 x) noexcept
{
    V16 acc = {};
#pragma GCC unroll 8
    for (unsigned b = 0; b < 8; ++b) {
        if ((C >> b) & 1)
            acc ^= x;
        x = XTime(x);
    }
    return acc;
}

// Division by 1 + alpha = alpha^25.
inline V16 DivOnePlusAlpha(V16 x) noexcept
{
    return MulConst<Alpha(255 - 25)>(x);
}

// P: in each byte column, d0..d23 give S0 = sum dj and S1 = sum alpha^(25-j) dj; Horner over the
// rows keeps all 86 columns in flight with plain vector operations.
void ComputeP(std::uint8_t* sector) noexcept
{
    constexpr std::size_t VECS = 6;  // 96 lanes; lanes 86-95 read the next row and are dropped
    V16 sum[VECS] = {};
    V16 horner[VECS] = {};
    const std::uint8_t* row = sector + HEADER_OFFSET;
    for (std::size_t j = 0; j < P_DATA_ROWS; ++j, row += ROW_BYTES) {
#pragma GCC unroll 6
        for (std::size_t v = 0; v < VECS; ++v) {
            const V16 d = Load(row + 16 * v);
            sum[v] ^= d;
            horner[v] = XTime(horner[v]) ^ d;
        }
    }
    alignas(16) std::uint8_t p0[16 * VECS];
    alignas(16) std::uint8_t p1[16 * VECS];
#pragma GCC unroll 6
    for (std::size_t v = 0; v < VECS; ++v) {
        const V16 q = DivOnePlusAlpha(sum[v] ^ XTime(XTime(horner[v])));
        Store(p0 + 16 * v, q);
        Store(p1 + 16 * v, sum[v] ^ q);
    }
    std::memcpy(sector + ECC_P_OFFSET, p0, ROW_BYTES);
    std::memcpy(sector + ECC_P_OFFSET + ROW_BYTES, p1, ROW_BYTES);
}

// Q: diagonal k takes word column i from row (i + k) mod 26, with weight alpha^(44 - i).
// Row r is added to wide accumulators shifted by 25 - r words, so word column i lands in lane
// n = i + 25 - r and every lane holds one diagonal: k = (25 - n) mod 26. Horner over the rows
// gives lane n the factor alpha^(25 - r); a final alpha^(44 - n) per lane completes alpha^(44 - i).
constexpr std::size_t Q_LANES = Q_WORDS + Q_ROWS - 1;  // 68 words
constexpr std::size_t Q_VECS = (2 * Q_LANES + 15) / 16;
constexpr std::size_t MASK_PAD = 64;

constexpr std::array<std::uint8_t, 2 * MASK_PAD + ROW_BYTES> MakeRowMask()
{
    std::array<std::uint8_t, 2 * MASK_PAD + ROW_BYTES> mask{};
    for (std::size_t i = MASK_PAD; i < MASK_PAD + ROW_BYTES; ++i)
        mask[i] = 0xFF;
    return mask;
}

// Bit b of lane n's weight alpha^(44 - n), as a byte mask over the accumulator bytes.
using TLaneMasks = std::array<std::array<std::uint8_t, 16 * Q_VECS>, 8>;
constexpr TLaneMasks MakeLaneMasks()
{
    TLaneMasks masks{};
    for (std::size_t n = 0; n < Q_LANES; ++n) {
        const unsigned w = Alpha(44 + 255 - static_cast<unsigned>(n));
        for (unsigned b = 0; b < 8; ++b)
            masks[b][2 * n] = masks[b][2 * n + 1] = ((w >> b) & 1) ? 0xFF : 0x00;
    }
    return masks;
}
static_assert(MakeLaneMasks()[0][0] == 0x00 && MakeLaneMasks()[0][2 * 44] == 0xFF, "lane 44 has weight 1");

using TRowMask = std::array<std::uint8_t, 2 * MASK_PAD + ROW_BYTES>;

struct TMode1Tables {
    TLuEdc Edc;
    alignas(16) TLaneMasks LaneMasks;
    alignas(16) TRowMask RowMask;
};

// Shared by every TMode1ErrorCorrect of the process. Built and released on the GUI thread
// (cue sheets are made and destroyed there); a conversion only reads the tables.
TMode1Tables* Shared = nullptr;
int SharedRefCount = 0;

template <std::size_t R>
inline void AddQRow(const std::uint8_t* sector, const std::uint8_t* rowMask, V16 (&sum)[Q_VECS],
                    V16 (&horner)[Q_VECS]) noexcept
{
    constexpr std::size_t shift = 2 * (Q_ROWS - 1 - R);  // accumulator byte of the row's byte 0
    constexpr std::size_t first = shift / 16;
    constexpr std::size_t last = (shift + ROW_BYTES - 1) / 16;
    // Lanes below the window have seen no row yet and are still zero.
#pragma GCC unroll 9
    for (std::size_t v = first; v < Q_VECS; ++v)
        horner[v] = XTime(horner[v]);
    const std::uint8_t* row = sector + HEADER_OFFSET + ROW_BYTES * R;
    // Only vectors that overlap the row, so every load stays inside the sector.
#pragma GCC unroll 9
    for (std::size_t v = first; v <= last; ++v) {
        V16 d = Load(row + 16 * v - shift);
        if (16 * v < shift || 16 * v + 16 > shift + ROW_BYTES)
            d &= Load(rowMask + MASK_PAD + 16 * v - shift);
        sum[v] ^= d;
        horner[v] ^= d;
    }
}

template <std::size_t... R>
inline void AddQRows(const std::uint8_t* sector, const std::uint8_t* rowMask, V16 (&sum)[Q_VECS],
                     V16 (&horner)[Q_VECS], std::index_sequence<R...>) noexcept
{
    (AddQRow<R>(sector, rowMask, sum, horner), ...);
}

void ComputeQ(std::uint8_t* sector, const TMode1Tables& t) noexcept
{
    V16 sum[Q_VECS] = {};
    V16 horner[Q_VECS] = {};
    AddQRows(sector, t.RowMask.data(), sum, horner, std::make_index_sequence<Q_ROWS>{});

    // Per-lane weights, then fold lanes n, n + 26 and n + 52 of one diagonal together.
    alignas(16) std::uint8_t s0[16 * Q_VECS + 48] = {};
    alignas(16) std::uint8_t s1[16 * Q_VECS + 48] = {};
#pragma GCC unroll 9
    for (std::size_t v = 0; v < Q_VECS; ++v) {
        V16 x = horner[v];
        V16 weighted = {};
#pragma GCC unroll 8
        for (std::size_t b = 0; b < 8; ++b) {
            weighted ^= x & Load(t.LaneMasks[b].data() + 16 * v);
            x = XTime(x);
        }
        Store(s0 + 16 * v, sum[v]);
        Store(s1 + 16 * v, weighted);
    }
    constexpr std::size_t FOLD = 2 * Q_ROWS;  // bytes per group of 26 lanes
    alignas(16) std::uint8_t q0[64];
    alignas(16) std::uint8_t q1[64];
#pragma GCC unroll 4
    for (std::size_t v = 0; v < 4; ++v) {
        const std::size_t at = 16 * v;
        const V16 a = Load(s0 + at) ^ Load(s0 + at + FOLD) ^ Load(s0 + at + 2 * FOLD);
        const V16 b = Load(s1 + at) ^ Load(s1 + at + FOLD) ^ Load(s1 + at + 2 * FOLD);
        const V16 q = DivOnePlusAlpha(a ^ b);
        Store(q0 + at, q);
        Store(q1 + at, a ^ q);
    }
    // Folded lane m holds diagonal 25 - m.
    std::uint8_t* out0 = sector + ECC_Q_OFFSET;
    std::uint8_t* out1 = out0 + 2 * Q_DIAGONALS;
    for (std::size_t m = 0; m < Q_DIAGONALS; ++m) {
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
    ++SharedRefCount;
    if (Shared == nullptr) {
        Shared = new (std::nothrow) TMode1Tables;  // a failed allocation leaves no tables
        if (Shared != nullptr) {
            Shared->LaneMasks = MakeLaneMasks();
            Shared->RowMask = MakeRowMask();
        }
    }
}

TMode1ErrorCorrect::~TMode1ErrorCorrect()
{
    if (--SharedRefCount < 1) {
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
    ComputeP(sector.data());
    ComputeQ(sector.data(), *t);
    return true;
}
