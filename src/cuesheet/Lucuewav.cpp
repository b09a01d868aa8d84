#include "cuesheet/Lucuewav.h"

#include "cuesheet/Tpos.h"

#include <algorithm>

namespace {

// Reads the header before the source opens its own descriptor.
TWaveInfo CheckedWaveInfo(const std::string& path)
{
    TWaveInfo info;
    const int result = ReadWaveHeader(path, info);
    if (result < 0)
        throw EFOpenError("File Open Error");
    if (result == 0 || info.Channels != 2 || info.BitsPerSample != 16 || info.SampleRate != 44100)
        throw EFOpenError("File Format Error");
    return info;
}

} // namespace

TLuCueWavFile::TLuCueWavFile(const std::string& path) : TLuCueWavFile(path, CheckedWaveInfo(path)) {}

TLuCueWavFile::TLuCueWavFile(const std::string& path, const TWaveInfo& info) : TLuCueFile(path)
{
    DataStart = info.DataOffset;
    DataLength = info.DataLength;
    DataEnd = DataStart + DataLength;
    Position = 0;
}

std::int64_t TLuCueWavFile::Seek(std::int64_t offset, std::uint16_t origin)
{
    // Every origin is clamped to the data chunk.
    std::int64_t target = offset;
    if (origin == soCurrent)
        target = Position + offset;
    else if (origin == soEnd)
        target = DataLength + std::min<std::int64_t>(offset, 0);
    Position = std::clamp<std::int64_t>(target, 0, DataLength);
    return Position;
}

std::size_t TLuCueWavFile::Read(void* buffer, std::size_t count)
{
    const std::int64_t left = DataLength - Position;
    if (left <= 0)
        return 0;
    const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(count)));
    const std::size_t n = ReadAt(DataStart + Position, buffer, wanted);
    Position += static_cast<std::int64_t>(n);
    return n;
}

std::size_t TLuCueWavFile::Write(const void*, std::size_t)
{
    return 0;
}
