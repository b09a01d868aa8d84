// SPDX-License-Identifier: GPL-3.0-or-later
#include "sources/Wavesource.h"

#include "sources/Audiosource.h"

#include "fileio/Paths.h"
#include "synthesis/Sector.h"

#include <algorithm>
#include <array>
#include <cstdio>
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

constexpr std::int64_t RIFF_HEADER_SIZE = 12;
constexpr std::int64_t CHUNK_HEADER_SIZE = 8;
constexpr std::uint32_t PCM_FORMAT_SIZE = 16;
constexpr std::uint32_t EXTENSIBLE_FORMAT_SIZE = 40;
constexpr std::uint16_t FORMAT_PCM = 1;
constexpr std::uint16_t FORMAT_FLOAT = 3;
constexpr std::uint16_t FORMAT_EXTENSIBLE = 0xFFFE;
// An extensible header names its samples by a GUID: the format tag, then these fixed bytes.
constexpr std::array<std::uint8_t, 14> SUBFORMAT_TAIL = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                         0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

TWaveCheck NotWave(TWaveInfo& info, const char* problem)
{
    info.Problem = problem;
    return wcNotWave;
}

// The body of the first "fmt " chunk, zero-filled past its end. Samples other than PCM are no
// acceptable WAVE, but leave Problem empty: the caller names their format.
TWaveCheck ReadFormatBody(std::span<const std::uint8_t, EXTENSIBLE_FORMAT_SIZE> body, std::uint32_t size,
                          TWaveInfo& info)
{
    if (size < PCM_FORMAT_SIZE)
        return NotWave(info, "the format chunk is too short");
    const std::uint8_t* b = body.data();
    std::uint32_t tag = GetLE16(Field16(b));
    const std::uint32_t channels = GetLE16(Field16(b + 2));
    const std::uint32_t sampleRate = GetLE32(Field32(b + 4));
    const std::uint32_t blockAlign = GetLE16(Field16(b + 12));
    const std::uint32_t bits = GetLE16(Field16(b + 14));
    if (tag == FORMAT_EXTENSIBLE)
    {
        if (size < EXTENSIBLE_FORMAT_SIZE || GetLE16(Field16(b + 16)) < EXTENSIBLE_FORMAT_SIZE - 18)
            return NotWave(info, "the extensible format chunk is too short");
        if (GetLE16(Field16(b + 18)) > bits)
            return NotWave(info, "the format chunk's sizes disagree");
        if (std::equal(SUBFORMAT_TAIL.begin(), SUBFORMAT_TAIL.end(), b + 26))
            tag = GetLE16(Field16(b + 24));
    }
    info.FormatTag = static_cast<std::uint16_t>(tag);
    info.Channels = static_cast<std::int32_t>(channels);
    info.BitsPerSample = static_cast<std::int32_t>(bits);
    info.SampleRate = static_cast<std::int32_t>(sampleRate);
    if (tag != FORMAT_PCM)
        return wcNotWave;
    if (channels == 0 || bits == 0 || bits % 8 != 0 || bits * channels / 8 != blockAlign ||
        std::uint64_t(blockAlign) * sampleRate != GetLE32(Field32(b + 8)))
        return NotWave(info, "the format chunk's sizes disagree");
    return wcAccepted;
}

// Walks the chunks: any may come before "fmt ", and any between it and "data"; an odd-sized
// chunk is followed by a pad byte.
TWaveCheck ReadFormat(const TFile& file, TWaveInfo& info)
{
    const std::int64_t fileSize = file.Size();
    std::array<std::uint8_t, RIFF_HEADER_SIZE> riff{};
    if (file.ReadAt(0, riff) != riff.size() || std::memcmp(riff.data(), "RIFF", 4) != 0 ||
        std::memcmp(riff.data() + 8, "WAVE", 4) != 0)
        return NotWave(info, "no RIFF WAVE header");
    bool formatSeen = false;
    std::int64_t position = RIFF_HEADER_SIZE;
    for (;;)
    {
        std::array<std::uint8_t, CHUNK_HEADER_SIZE> chunk{};
        if (position >= fileSize || file.ReadAt(position, chunk) != chunk.size())
            return NotWave(info, formatSeen ? "no data chunk" : "no format chunk");
        position += CHUNK_HEADER_SIZE;
        const std::uint32_t chunkSize = GetLE32(Field32(chunk.data() + 4));
        if (std::memcmp(chunk.data(), "fmt ", 4) == 0 && !formatSeen)
        {
            std::array<std::uint8_t, EXTENSIBLE_FORMAT_SIZE> body{};
            file.ReadAt(position, std::span<std::uint8_t>(body.data(), std::min<std::size_t>(body.size(), chunkSize)));
            if (const TWaveCheck result = ReadFormatBody(body, chunkSize, info); result != wcAccepted)
                return result;
            formatSeen = true;
        }
        else if (std::memcmp(chunk.data(), "data", 4) == 0)
        {
            if (!formatSeen)
                return NotWave(info, "the data chunk comes before the format chunk");
            info.DataOffset = position;
            const std::int64_t available = fileSize > position ? fileSize - position : 0;
            info.DataLength = std::min<std::int64_t>(chunkSize, available);
            return wcAccepted;
        }
        position += static_cast<std::int64_t>(chunkSize) + (chunkSize & 1);
    }
}

// "16-bit", or the kind of samples that are no PCM.
std::string SampleKind(const TWaveInfo& info)
{
    if (info.FormatTag == FORMAT_PCM)
        return std::to_string(info.BitsPerSample) + "-bit";
    if (info.FormatTag == FORMAT_FLOAT)
        return std::to_string(info.BitsPerSample) + "-bit float";
    char tag[32];
    std::snprintf(tag, sizeof tag, "WAVE format 0x%04X", unsigned{info.FormatTag});
    return tag;
}

// Reads the header before the source opens its own descriptor.
TWaveInfo CheckedWaveInfo(const std::string& path)
{
    TWaveInfo info;
    const TWaveCheck result = ReadWaveHeader(path, info);
    if (result == wcCannotOpen)
        throw EFOpenError("File Open Error");
    if (!info.Problem.empty())
        throw EAudioRefused(FileLabel(path) + ": not a readable WAVE file (" + info.Problem + ")");
    if (result != wcAccepted || info.Channels != 2 || info.BitsPerSample != 16 || info.SampleRate != CD_SAMPLE_RATE)
        throw EAudioRefused(AudioRefusalText(FileLabel(path), info.SampleRate, SampleKind(info), info.Channels));
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
    catch (const std::system_error& error)
    {
        // A header that cannot be read is no acceptable header.
        info.Problem = error.code().message();
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
