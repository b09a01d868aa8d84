#include "synthesis/Luedc.h"

namespace {

inline std::uint32_t Load32(const std::uint8_t* p) noexcept
{
    return GetLE32(std::span<const std::uint8_t, 4>(p, 4));
}

} // namespace

std::uint32_t TLuEdc::Update(std::uint32_t crc, std::span<const std::uint8_t> data) const noexcept
{
    const std::uint8_t* p = data.data();
    std::size_t n = data.size();
    const auto& t = Tables;
    // Sixteen independent lookups per step instead of a chain of sixteen.
    for (; n >= 16; n -= 16, p += 16) {
        const std::uint32_t a = crc ^ Load32(p);
        const std::uint32_t b = Load32(p + 4);
        const std::uint32_t c = Load32(p + 8);
        const std::uint32_t d = Load32(p + 12);
        crc = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^ t[12][a >> 24]
            ^ t[11][b & 0xFF] ^ t[10][(b >> 8) & 0xFF] ^ t[9][(b >> 16) & 0xFF] ^ t[8][b >> 24]
            ^ t[7][c & 0xFF] ^ t[6][(c >> 8) & 0xFF] ^ t[5][(c >> 16) & 0xFF] ^ t[4][c >> 24]
            ^ t[3][d & 0xFF] ^ t[2][(d >> 8) & 0xFF] ^ t[1][(d >> 16) & 0xFF] ^ t[0][d >> 24];
    }
    for (; n > 0; --n, ++p)
        crc = (crc >> 8) ^ t[0][(crc ^ *p) & 0xFF];
    return crc;
}

std::uint32_t TLuEdc::Compute(std::span<const std::uint8_t, SECTOR_SIZE> sector) const noexcept
{
    return Update(0, sector.first<EDC_OFFSET>());
}
