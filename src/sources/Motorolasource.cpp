// SPDX-License-Identifier: GPL-3.0-or-later
#include "sources/Motorolasource.h"

#include <algorithm>
#include <utility>

namespace {

constexpr std::size_t CHUNK = 1 << 16;

} // namespace

TLuCueMotorolaFile::TLuCueMotorolaFile(const std::string& path) : TLuCueFile(path) {}

std::int64_t TLuCueMotorolaFile::Seek(std::int64_t offset, TSeekOrigin origin)
{
    return SeekFromStart(offset, origin);
}

std::size_t TLuCueMotorolaFile::Read(void* buffer, std::size_t count)
{
    // Byte n of the stream is byte n ^ 1 of the file: read whole pairs and swap them.
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::uint8_t pairs[CHUNK + 2];
    std::size_t done = 0;
    while (done < count)
    {
        const std::int64_t at = Position;
        const std::int64_t first = at & ~std::int64_t(1);
        const std::size_t wanted = std::min(count - done, CHUNK);
        const auto span =
            static_cast<std::size_t>(((at + static_cast<std::int64_t>(wanted) + 1) & ~std::int64_t(1)) - first);
        const std::size_t got = ReadAt(first, pairs, span);
        if (got % 2 != 0)
            pairs[got] = 0; // an odd last byte has no partner
        for (std::size_t i = 0; i + 1 < span; i += 2)
            std::swap(pairs[i], pairs[i + 1]);
        const auto skip = static_cast<std::size_t>(at - first);
        if (got <= skip)
            break;
        const std::size_t n = std::min(wanted, got - skip);
        std::copy_n(pairs + skip, n, out + done);
        done += n;
        Position += static_cast<std::int64_t>(n);
        if (n < wanted)
            break;
    }
    return done;
}
