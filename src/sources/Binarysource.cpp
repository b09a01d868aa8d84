// SPDX-License-Identifier: GPL-3.0-or-later
#include "sources/Binarysource.h"

TLuCueBinFile::TLuCueBinFile(const std::string& path) : TLuCueFile(path) {}

std::int64_t TLuCueBinFile::Seek(std::int64_t offset, TSeekOrigin origin)
{
    return SeekFromStart(offset, origin);
}

std::size_t TLuCueBinFile::Read(void* buffer, std::size_t count)
{
    const std::size_t n = ReadAt(Position, buffer, count);
    Position += static_cast<std::int64_t>(n);
    return n;
}

bool TLuCueBinFile::LocateRaw(std::size_t count, TRawBytes& raw) const
{
    raw = {&Descriptor(), Position, count, this};
    return true;
}
