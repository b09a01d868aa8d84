// SPDX-License-Identifier: GPL-3.0-or-later
#include "synthesis/Errorcorrectsubcode.h"

#include <mutex>
#include <new>

namespace {

// Shared by every TSubCodeErrorCorrect of the process. Batch workers make and destroy cue sheets
// concurrently, so the count and the pointer change under the lock; an instance only reads the
// table, which stays while it lives.
TGf64MulTable* SharedMul = nullptr;
int SharedRefCount = 0;
std::mutex SharedLock;

constexpr TGf64MulTable MUL_SOURCE = MakeGf64MulTable();

// alpha^e * v, with the zero test the table's column 0 asks for.
inline std::uint8_t Mul(const TGf64MulTable& mul, unsigned e, unsigned v) noexcept
{
    return v != 0 ? mul[e][v] : 0;
}

inline void SetSymbol(std::span<std::uint8_t, PACK_SIZE> pack, std::size_t i, unsigned v) noexcept
{
    pack[i] = static_cast<std::uint8_t>((pack[i] & 0xC0) | v);
}

// Division by alpha^k is multiplication by alpha^(63 - k).
constexpr unsigned Div(unsigned k)
{
    return 63 - k;
}

} // namespace

TSubCodeErrorCorrect::TSubCodeErrorCorrect() noexcept
{
    const std::lock_guard lock(SharedLock);
    ++SharedRefCount;
    if (SharedMul == nullptr)
    {
        SharedMul = new (std::nothrow) TGf64MulTable; // a failed allocation leaves no table
        if (SharedMul != nullptr)
            *SharedMul = MUL_SOURCE;
    }
}

TSubCodeErrorCorrect::~TSubCodeErrorCorrect()
{
    const std::lock_guard lock(SharedLock);
    if (--SharedRefCount < 1)
    {
        delete SharedMul;
        SharedMul = nullptr;
    }
}

bool TSubCodeErrorCorrect::HasTable() noexcept
{
    return SharedMul != nullptr;
}

bool TSubCodeErrorCorrect::SetQParity(std::span<std::uint8_t, PACK_SIZE> pack) const noexcept
{
    if (SharedMul == nullptr)
        return false;
    const TGf64MulTable& mul = *SharedMul;
    const unsigned a = pack[0] & 0x3F;
    const unsigned c = pack[1] & 0x3F;
    const unsigned t = a ^ c;
    const unsigned d = Mul(mul, 3, a) ^ Mul(mul, 2, c);
    const unsigned q0 = Mul(mul, Div(6), t ^ d);
    SetSymbol(pack, 2, q0);
    SetSymbol(pack, 3, t ^ q0);
    return true;
}

bool TSubCodeErrorCorrect::SetPParity(std::span<std::uint8_t, PACK_SIZE> pack) const noexcept
{
    if (SharedMul == nullptr)
        return false;
    const TGf64MulTable& mul = *SharedMul;
    // Syndromes of the data part: S[m] = sum of alpha^(m * (23 - i)) * s[i], i = 0..19.
    unsigned s0 = 0, s1 = 0, s2 = 0, s3 = 0;
    for (unsigned i = 0; i < 20; ++i)
    {
        const unsigned v = pack[i] & 0x3F;
        if (v == 0)
            continue;
        const unsigned e = 23 - i;
        s0 ^= v;
        s1 ^= mul[e][v];
        s2 ^= mul[2 * e][v];
        s3 ^= mul[3 * e][v];
    }
    // Solve the 4x4 system for the parity symbols at positions 20-23.
    const unsigned r = s0 ^ s1;
    const unsigned u = s0 ^ s2;
    const unsigned w = s0 ^ s3;
    const unsigned x = w ^ Mul(mul, 26, r);
    const unsigned y = w ^ Mul(mul, 20, u);
    const unsigned z = x ^ Mul(mul, 5, y);
    const unsigned p0 = Mul(mul, Div(52), z);
    const unsigned p1 = Mul(mul, Div(45), x ^ Mul(mul, 17, p0));
    const unsigned p2 = Mul(mul, Div(6), r ^ Mul(mul, 32, p0) ^ Mul(mul, 12, p1));
    SetSymbol(pack, 20, p0);
    SetSymbol(pack, 21, p1);
    SetSymbol(pack, 22, p2);
    SetSymbol(pack, 23, s0 ^ p0 ^ p1 ^ p2);
    return true;
}
