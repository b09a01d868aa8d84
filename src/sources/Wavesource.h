// SPDX-License-Identifier: GPL-3.0-or-later
// WAVE data file source: presents only the body of the "data" chunk.
#pragma once

#include "sources/Sourcefile.h"

struct TWaveInfo
{
    std::int64_t DataOffset = 0;
    std::int64_t DataLength = 0;
    std::int32_t Channels = 0;
    std::int32_t BitsPerSample = 0;
    std::int32_t SampleRate = 0;
    std::uint16_t FormatTag = 0; // of the samples, also under an extensible header: 1 is PCM
    // Why the header cannot be read, for messages; empty when it can (it may still hold no PCM).
    std::string Problem;
};

enum TWaveCheck : std::uint8_t
{
    wcCannotOpen = 0, // missing, not a regular file, or not openable
    wcNotWave = 1,    // not an acceptable PCM WAVE file
    wcAccepted = 2,
};

// Reads the header of a PCM WAVE file, plain or extensible. DataLength is clamped to the bytes that
// really follow DataOffset.
TWaveCheck ReadWaveHeader(const std::string& path, TWaveInfo& info);

class TLuCueWavFile final : public TLuCueFile
{
public:
    explicit TLuCueWavFile(const std::string& path);
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::size_t Read(void* buffer, std::size_t count) override;
    bool LocateRaw(std::size_t count, TRawBytes& raw) const override;

    // File offsets; Position runs 0..DataLength.
    std::int64_t DataStart = 0;
    std::int64_t DataEnd = 0;
    std::int64_t DataLength = 0;

private:
    TLuCueWavFile(const std::string& path, const TWaveInfo& info);
};
