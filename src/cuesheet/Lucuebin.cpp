#include "cuesheet/Lucuebin.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

[[noreturn]] void ThrowErrno(const std::string& what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

} // namespace

bool IsRegularFile(const std::string& path)
{
    struct stat st = {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

TLuCueFile::TLuCueFile(const std::string& path)
{
    // O_NONBLOCK keeps a FIFO swapped in after the check from blocking the open.
    Fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (Fd < 0)
        ThrowErrno("cannot open " + path);
    struct stat st = {};
    if (::fstat(Fd, &st) != 0 || !S_ISREG(st.st_mode))
    {
        ::close(Fd);
        Fd = -1;
        errno = EINVAL;
        ThrowErrno(path + " is not a regular file");
    }
}

TLuCueFile::~TLuCueFile()
{
    if (Fd >= 0)
        ::close(Fd);
}

std::size_t TLuCueFile::Write(const void*, std::size_t)
{
    return 0;
}

bool TLuCueFile::RefersTo(const std::string& path) const
{
    struct stat mine = {};
    struct stat other = {};
    return ::fstat(Fd, &mine) == 0 && ::stat(path.c_str(), &other) == 0 && mine.st_dev == other.st_dev &&
           mine.st_ino == other.st_ino;
}

void TLuCueFile::ReleaseBuffer()
{
    Buffer.reset();
    BufferLength = 0;
}

std::int64_t TLuCueFile::FileSize() const
{
    struct stat st = {};
    if (::fstat(Fd, &st) != 0)
        ThrowErrno("cannot query a data file");
    return st.st_size;
}

std::size_t TLuCueFile::ReadAt(std::int64_t offset, void* buffer, std::size_t count)
{
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < count)
    {
        const std::int64_t at = offset + static_cast<std::int64_t>(done);
        if (at < 0)
            break;
        if (BufferLength > 0 && at >= BufferStart && at < BufferStart + static_cast<std::int64_t>(BufferLength))
        {
            const auto from = static_cast<std::size_t>(at - BufferStart);
            const std::size_t n = std::min(count - done, BufferLength - from);
            std::memcpy(out + done, Buffer.get() + from, n);
            done += n;
            continue;
        }
        // A large request bypasses the buffer; a small one refills it from here on.
        if (count - done >= READ_AHEAD)
        {
            const ssize_t n = ::pread(Fd, out + done, count - done, at);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                ThrowErrno("cannot read a data file");
            if (n == 0)
                break;
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (!Buffer)
            Buffer = std::make_unique<std::uint8_t[]>(READ_AHEAD);
        BufferLength = 0;
        ssize_t n;
        do
            n = ::pread(Fd, Buffer.get(), READ_AHEAD, at);
        while (n < 0 && errno == EINTR);
        if (n < 0)
            ThrowErrno("cannot read a data file");
        if (n == 0)
            break;
        BufferStart = at;
        BufferLength = static_cast<std::size_t>(n);
    }
    return done;
}

TLuCueBinFile::TLuCueBinFile(const std::string& path) : TLuCueFile(path) {}

std::int64_t TLuCueBinFile::Seek(std::int64_t offset, std::uint16_t origin)
{
    std::int64_t base = 0;
    if (origin == soCurrent)
        base = Position;
    else if (origin == soEnd)
        base = FileSize();
    const std::int64_t target = base + offset;
    if (target < 0)
    {
        errno = EINVAL;
        ThrowErrno("invalid seek in a data file");
    }
    Position = target;
    return Position;
}

std::size_t TLuCueBinFile::Read(void* buffer, std::size_t count)
{
    const std::size_t n = ReadAt(Position, buffer, count);
    Position += static_cast<std::int64_t>(n);
    return n;
}
