#include "synthesis/Errorcorrectmode1.h"

#include <cstring>
#include <new>

namespace {

struct TMode1Tables {
    TLuEdc Edc;
    std::array<std::uint8_t, GF256_ANTILOG_SIZE> Antilog;
    std::array<std::uint16_t, 256> Log;
    std::array<std::uint8_t, 256> DivOnePlusAlpha;  // x / (1 + alpha) = x * alpha^230
};

// Shared by every TMode1ErrorCorrect of the process. Built and released on the GUI thread
// (cue sheets are made and destroyed there); a conversion only reads the tables.
TMode1Tables* Shared = nullptr;
int SharedRefCount = 0;

constexpr auto ANTILOG = MakeGf256Antilog();
constexpr auto LOG = MakeGf256Log();

constexpr std::array<std::uint8_t, 256> MakeDivOnePlusAlpha()
{
    std::array<std::uint8_t, 256> table{};
    for (unsigned x = 1; x < 256; ++x)
        table[x] = ANTILOG[LOG[x] + 230];
    return table;
}
static_assert(MakeDivOnePlusAlpha()[3] == 1 && MakeDivOnePlusAlpha()[0] == 0);

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

// P: in each byte column, d0..d23 give S0 = sum dj and S1 = sum alpha^(25-j) dj; Horner over the
// rows keeps all 86 columns in flight with plain vector operations.
void ComputeP(std::uint8_t* sector, const TMode1Tables& t) noexcept
{
    constexpr std::size_t VECS = 6;  // 96 lanes; lanes 86-95 read the next row and are dropped
    V16 sum[VECS] = {};
    V16 horner[VECS] = {};
    const std::uint8_t* row = sector + HEADER_OFFSET;
    for (std::size_t j = 0; j < P_DATA_ROWS; ++j, row += ROW_BYTES) {
        for (std::size_t v = 0; v < VECS; ++v) {
            const V16 d = Load(row + 16 * v);
            sum[v] ^= d;
            horner[v] = XTime(horner[v]) ^ d;
        }
    }
    alignas(16) std::uint8_t s0[16 * VECS];
    alignas(16) std::uint8_t s01[16 * VECS];
    for (std::size_t v = 0; v < VECS; ++v) {
        Store(s0 + 16 * v, sum[v]);
        Store(s01 + 16 * v, sum[v] ^ XTime(XTime(horner[v])));
    }
    std::uint8_t* p0 = sector + ECC_P_OFFSET;
    std::uint8_t* p1 = p0 + ROW_BYTES;
    for (std::size_t c = 0; c < ROW_BYTES; ++c) {
        const std::uint8_t q = t.DivOnePlusAlpha[s01[c]];
        p0[c] = q;
        p1[c] = static_cast<std::uint8_t>(s0[c] ^ q);
    }
}

// Q: diagonal k takes word column i from row (i + k) mod 26, with weight alpha^(44 - i).
// Row r is added to wide accumulators shifted by 25 - r words, so word column i lands in lane
// n = i + 25 - r and every lane holds one diagonal: k = (25 - n) mod 26. Horner over the rows
// gives lane n the factor alpha^(25 - r); a final alpha^(44 - n) per lane completes alpha^(44 - i).
constexpr std::size_t Q_LANES = Q_WORDS + Q_ROWS - 1;  // 68 words
constexpr std::size_t Q_VECS = (2 * Q_LANES + 15) / 16;

constexpr std::array<std::uint8_t, 214> MakeRowMask()
{
    std::array<std::uint8_t, 214> mask{};
    for (std::size_t i = 64; i < 64 + ROW_BYTES; ++i)
        mask[i] = 0xFF;
    return mask;
}
constexpr std::array<std::uint8_t, 214> ROW_MASK = MakeRowMask();

constexpr std::array<std::uint16_t, Q_LANES> MakeLaneWeights()
{
    std::array<std::uint16_t, Q_LANES> w{};
    for (std::size_t n = 0; n < Q_LANES; ++n)
        w[n] = static_cast<std::uint16_t>((44 + 255 - n) % 255);
    return w;
}
constexpr std::array<std::uint16_t, Q_LANES> LANE_WEIGHTS = MakeLaneWeights();

void ComputeQ(std::uint8_t* sector, const TMode1Tables& t) noexcept
{
    V16 sum[Q_VECS] = {};
    V16 horner[Q_VECS] = {};
    for (std::size_t r = 0; r < Q_ROWS; ++r) {
        for (auto& h : horner)
            h = XTime(h);
        const std::size_t shift = 2 * (Q_ROWS - 1 - r);  // accumulator byte of the row's byte 0
        const std::uint8_t* row = sector + HEADER_OFFSET + ROW_BYTES * r;
        // Only the vectors that overlap the row; their loads stay inside the sector.
        for (std::size_t v = shift / 16; v <= (shift + ROW_BYTES - 1) / 16; ++v) {
            const V16 d = Load(row + 16 * v - shift) & Load(ROW_MASK.data() + 64 + 16 * v - shift);
            sum[v] ^= d;
            horner[v] ^= d;
        }
    }
    alignas(16) std::uint8_t s0[16 * Q_VECS];
    alignas(16) std::uint8_t h[16 * Q_VECS];
    for (std::size_t v = 0; v < Q_VECS; ++v) {
        Store(s0 + 16 * v, sum[v]);
        Store(h + 16 * v, horner[v]);
    }
    std::uint8_t* q0 = sector + ECC_Q_OFFSET;
    std::uint8_t* q1 = q0 + 2 * Q_DIAGONALS;
    for (std::size_t k = 0; k < Q_DIAGONALS; ++k) {
        for (std::size_t b = 0; b < 2; ++b) {
            unsigned a = 0;
            unsigned s = 0;
            for (std::size_t n = Q_ROWS - 1 - k; n < Q_LANES; n += Q_ROWS) {
                a ^= s0[2 * n + b];
                s ^= t.Antilog[t.Log[h[2 * n + b]] + LANE_WEIGHTS[n]];
            }
            const std::uint8_t q = t.DivOnePlusAlpha[a ^ s];
            q0[2 * k + b] = q;
            q1[2 * k + b] = static_cast<std::uint8_t>(a ^ q);
        }
    }
}

} // namespace

TMode1ErrorCorrect::TMode1ErrorCorrect() noexcept
{
    ++SharedRefCount;
    if (Shared == nullptr) {
        Shared = new (std::nothrow) TMode1Tables;  // a failed allocation leaves no tables
        if (Shared != nullptr) {
            Shared->Antilog = ANTILOG;
            Shared->Log = LOG;
            Shared->DivOnePlusAlpha = MakeDivOnePlusAlpha();
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
    ComputeP(sector.data(), *t);
    ComputeQ(sector.data(), *t);
    return true;
}
