// WAVE data file source: presents only the body of the "data" chunk.
#pragma once

#include "cuesheet/Lucuebin.h"

#include <stdexcept>

struct TWaveInfo;

// Raised when a WAVE file cannot be opened or is not 44,100 Hz 16-bit stereo PCM.
class EFOpenError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class TLuCueWavFile final : public TLuCueFile
{
public:
    explicit TLuCueWavFile(const std::string& path);
    std::int64_t Seek(std::int64_t offset, std::uint16_t origin) override;
    std::size_t Read(void* buffer, std::size_t count) override;
    std::size_t Write(const void* buffer, std::size_t count) override;

    // File offsets; Position runs 0..DataLength.
    std::int64_t DataStart = 0;
    std::int64_t DataEnd = 0;
    std::int64_t DataLength = 0;

private:
    TLuCueWavFile(const std::string& path, const TWaveInfo& info);
};
