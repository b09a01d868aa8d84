#include "cuesheet/Lucuewav.h"

#include "synthesis/Sector.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

std::span<const std::uint8_t, 2> Field16(const std::uint8_t* at)
{
    return std::span<const std::uint8_t, 2>(at, 2);
}

std::span<const std::uint8_t, 4> Field32(const std::uint8_t* at)
{
    return std::span<const std::uint8_t, 4>(at, 4);
}

TWaveCheck ReadFormat(const TFile& file, TWaveInfo& info)
{
    const std::int64_t fileSize = file.Size();
    std::array<std::uint8_t, 36> head{};
    if (file.ReadAt(0, head) != head.size())
        return wcNotWave;
    const std::uint8_t* h = head.data();
    if (std::memcmp(h, "RIFF", 4) != 0 || std::memcmp(h + 8, "WAVE", 4) != 0 || std::memcmp(h + 12, "fmt ", 4) != 0)
        return wcNotWave;
    const std::uint32_t formatSize = GetLE32(Field32(h + 16));
    if (GetLE16(Field16(h + 20)) != 1)
        return wcNotWave;
    const std::uint32_t channels = GetLE16(Field16(h + 22));
    if (channels != 1 && channels != 2)
        return wcNotWave;
    info.Channels = static_cast<std::int32_t>(channels);
    const std::uint32_t bits = GetLE16(Field16(h + 34));
    if (bits != 16 && bits != 8)
        return wcNotWave;
    info.BitsPerSample = static_cast<std::int32_t>(bits);
    const std::uint32_t blockAlign = GetLE16(Field16(h + 32));
    const std::uint32_t sampleRate = GetLE32(Field32(h + 24));
    if (bits * channels / 8 != blockAlign)
        return wcNotWave;
    if (std::uint64_t(blockAlign) * sampleRate != GetLE32(Field32(h + 28)))
        return wcNotWave;
    info.SampleRate = static_cast<std::int32_t>(sampleRate);

    // Walk the chunks after "fmt "; an odd-sized chunk is followed by a pad byte.
    std::int64_t position = 20;
    std::uint64_t chunkSize = formatSize;
    for (;;)
    {
        position += static_cast<std::int64_t>(chunkSize + (chunkSize & 1));
        if (position >= fileSize)
            return wcNotWave;
        std::array<std::uint8_t, 8> chunk{};
        if (file.ReadAt(position, chunk) != chunk.size())
            return wcNotWave;
        position += 8;
        chunkSize = GetLE32(Field32(chunk.data() + 4));
        if (std::memcmp(chunk.data(), "data", 4) == 0)
        {
            info.DataOffset = position;
            const std::int64_t available = fileSize > position ? fileSize - position : 0;
            info.DataLength = std::min<std::int64_t>(static_cast<std::int64_t>(chunkSize), available);
            return wcAccepted;
        }
    }
}

// Reads the header before the source opens its own descriptor.
TWaveInfo CheckedWaveInfo(const std::string& path)
{
    TWaveInfo info;
    const TWaveCheck result = ReadWaveHeader(path, info);
    if (result == wcCannotOpen)
        throw EFOpenError("File Open Error");
    if (result != wcAccepted || info.Channels != 2 || info.BitsPerSample != 16 || info.SampleRate != 44100)
        throw EFOpenError("File Format Error");
    return info;
}

} // namespace

TWaveCheck ReadWaveHeader(const std::string& path, TWaveInfo& info)
{
    if (!IsRegularFile(path))
        return wcCannotOpen;
    TFile file;
    try
    {
        file = TFile::OpenForReading(path);
    }
    catch (const std::system_error&)
    {
        return wcCannotOpen;
    }
    try
    {
        return ReadFormat(file, info);
    }
    catch (const std::system_error&)
    {
        // A header that cannot be read is no acceptable header.
        return wcNotWave;
    }
}

TLuCueWavFile::TLuCueWavFile(const std::string& path) : TLuCueWavFile(path, CheckedWaveInfo(path)) {}

TLuCueWavFile::TLuCueWavFile(const std::string& path, const TWaveInfo& info) : TLuCueFile(path)
{
    DataStart = info.DataOffset;
    DataLength = info.DataLength;
    DataEnd = DataStart + DataLength;
    Position = 0;
}

std::int64_t TLuCueWavFile::Seek(std::int64_t offset, TSeekOrigin origin)
{
    return SeekClamped(offset, origin, DataLength);
}

std::size_t TLuCueWavFile::Read(void* buffer, std::size_t count)
{
    const std::size_t wanted = BytesLeft(count, DataLength);
    if (wanted == 0)
        return 0;
    const std::size_t n = ReadAt(DataStart + Position, buffer, wanted);
    Position += static_cast<std::int64_t>(n);
    return n;
}

bool TLuCueWavFile::LocateRaw(std::size_t count, TRawBytes& raw) const
{
    raw = {&Descriptor(), DataStart + Position, BytesLeft(count, DataLength), this};
    return true;
}

std::size_t TLuCueWavFile::Write(const void*, std::size_t)
{
    return 0;
}
