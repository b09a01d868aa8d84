#include "cuesheet/Tpos.h"

#include "cuesheet/Lucuebin.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::uint32_t GetLE32(const std::uint8_t* b)
{
    return b[0] | b[1] << 8 | b[2] << 16 | std::uint32_t(b[3]) << 24;
}

std::uint16_t GetLE16(const std::uint8_t* b)
{
    return static_cast<std::uint16_t>(b[0] | b[1] << 8);
}

// Closes the descriptor on every path out of the header reader.
class TFdGuard
{
public:
    explicit TFdGuard(int fd) : Fd(fd) {}
    ~TFdGuard()
    {
        if (Fd >= 0)
            ::close(Fd);
    }
    TFdGuard(const TFdGuard&) = delete;
    TFdGuard& operator=(const TFdGuard&) = delete;
    int Get() const { return Fd; }

private:
    int Fd;
};

bool ReadExact(int fd, std::int64_t offset, std::uint8_t* buffer, std::size_t count)
{
    std::size_t done = 0;
    while (done < count)
    {
        const ssize_t n = ::pread(fd, buffer + done, count - done, offset + static_cast<std::int64_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

bool TryStrToInt(std::string_view text, std::int32_t& value)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
    {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size())
        return false;
    std::int64_t result = 0;
    for (; i < text.size(); ++i)
    {
        if (!IsDigit(text[i]))
            return false;
        result = result * 10 + (text[i] - '0');
        if (result > std::int64_t(INT32_MAX) + 1)
            return false;
    }
    if (negative)
        result = -result;
    if (result < INT32_MIN || result > INT32_MAX)
        return false;
    value = static_cast<std::int32_t>(result);
    return true;
}

bool StrToMsf(std::string_view text, TMsf& msf)
{
    if (text.size() != 8 || text[2] != ':' || text[5] != ':')
        return false;
    auto pair = [&](std::size_t at) {
        std::int32_t v = -1;
        if (!TryStrToInt(text.substr(at, 2), v))
            v = -1;
        return static_cast<std::uint32_t>(v);
    };
    const std::uint32_t minute = pair(0);
    const std::uint32_t second = pair(3);
    const std::uint32_t frame = pair(6);
    if (minute > 98 || second > 59 || frame > 74)
        return false;
    msf.Reserved = 0;
    msf.Minute = static_cast<std::uint8_t>(minute);
    msf.Second = static_cast<std::uint8_t>(second);
    msf.Frame = static_cast<std::uint8_t>(frame);
    return true;
}

std::string MsfToStr(TMsf msf)
{
    char text[16];
    std::snprintf(text, sizeof text, "%.2u:%.2u:%.2u", unsigned(msf.Minute), unsigned(msf.Second), unsigned(msf.Frame));
    return text;
}

TMsf FramesToMsf(std::uint32_t frames)
{
    TMsf msf;
    msf.Minute = static_cast<std::uint8_t>(frames / FRAMES_PER_SECOND / 60);
    msf.Second = static_cast<std::uint8_t>(frames / FRAMES_PER_SECOND % 60);
    msf.Frame = static_cast<std::uint8_t>(frames % FRAMES_PER_SECOND);
    return msf;
}

std::int32_t MsfToFrames(TMsf msf)
{
    return (msf.Minute * 60 + msf.Second) * FRAMES_PER_SECOND + msf.Frame;
}

int ReadWaveHeader(const std::string& path, TWaveInfo& info)
{
    if (!IsRegularFile(path))
        return -1;
    TFdGuard fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.Get() < 0)
        return -1;
    struct stat st = {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    const std::int64_t fileSize = st.st_size;

    std::uint8_t head[36];
    if (!ReadExact(fd.Get(), 0, head, sizeof head))
        return 0;
    if (std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0 ||
        std::memcmp(head + 12, "fmt ", 4) != 0)
        return 0;
    const std::uint32_t formatSize = GetLE32(head + 16);
    if (GetLE16(head + 20) != 1)
        return 0;
    const std::uint32_t channels = GetLE16(head + 22);
    if (channels != 1 && channels != 2)
        return 0;
    info.Channels = static_cast<std::int32_t>(channels);
    const std::uint32_t bits = GetLE16(head + 34);
    if (bits != 16 && bits != 8)
        return 0;
    info.BitsPerSample = static_cast<std::int32_t>(bits);
    const std::uint32_t blockAlign = GetLE16(head + 32);
    const std::uint32_t sampleRate = GetLE32(head + 24);
    if (bits * channels / 8 != blockAlign)
        return 0;
    if (std::uint64_t(blockAlign) * sampleRate != GetLE32(head + 28))
        return 0;
    info.SampleRate = static_cast<std::int32_t>(sampleRate);

    // Walk the chunks after "fmt "; an odd-sized chunk is followed by a pad byte.
    std::int64_t position = 20;
    std::uint64_t chunkSize = formatSize;
    for (;;)
    {
        position += static_cast<std::int64_t>(chunkSize + (chunkSize & 1));
        if (position >= fileSize)
            return 0;
        std::uint8_t chunk[8];
        if (!ReadExact(fd.Get(), position, chunk, sizeof chunk))
            return 0;
        position += 8;
        chunkSize = GetLE32(chunk + 4);
        if (std::memcmp(chunk, "data", 4) == 0)
        {
            info.DataOffset = position;
            const std::int64_t available = fileSize > position ? fileSize - position : 0;
            info.DataLength = std::min<std::int64_t>(static_cast<std::int64_t>(chunkSize), available);
            return 1;
        }
    }
}
