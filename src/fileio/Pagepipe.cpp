// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileio/Pagepipe.h"

#include <cerrno>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace {

// A batch of the conversion (about 600 KB) in one pipe; the most an unprivileged process may ask.
constexpr int CAPACITY = 1 << 20;

} // namespace

TPagePipe::TPagePipe()
{
    int ends[2];
    // Never blocking: a full pipe shortens a fill, and an empty one is a fault, not a wait.
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    ReadEnd = ends[0];
    WriteEnd = ends[1];
    // Refused beyond the system's limit: the default size then takes what fits.
    ::fcntl(WriteEnd, F_SETPIPE_SZ, CAPACITY);
}

TPagePipe::~TPagePipe()
{
    if (ReadEnd >= 0)
        ::close(ReadEnd);
    if (WriteEnd >= 0)
        ::close(WriteEnd);
}

std::size_t TPagePipe::Fill(const TFile& source, std::int64_t offset, std::size_t count)
{
    if (WriteEnd < 0 || offset < 0 || TFile::WriteBudget.load() >= 0 || TFile::FailReadsFrom.load() >= 0)
        return 0;
    std::size_t done = 0;
    while (done < count)
    {
        loff_t from = static_cast<loff_t>(offset) + static_cast<loff_t>(done);
        const ssize_t n = ::splice(source.Fd, &from, WriteEnd, nullptr, count - done, SPLICE_F_NONBLOCK);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n == 0 || errno != EINTR)
            break;
    }
    return done;
}

void TPagePipe::Drain(TFile& out, std::size_t count, std::span<std::uint8_t> scratch)
{
    while (count > 0)
    {
        const ssize_t n = ::splice(ReadEnd, nullptr, out.Fd, nullptr, count, SPLICE_F_MOVE);
        if (n > 0)
            count -= static_cast<std::size_t>(n);
        else if (n == 0 || errno != EINTR)
            break;
    }
    if (count == 0)
        return;
    Read(scratch.first(count));
    out.WriteAll(scratch.first(count));
}

void TPagePipe::Read(std::span<std::uint8_t> buffer)
{
    std::size_t done = 0;
    while (done < buffer.size())
    {
        const ssize_t n = ::read(ReadEnd, buffer.data() + done, buffer.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        // Fewer bytes in the pipe than were put in: nothing a caller could do about it.
        if (n <= 0)
            throw std::system_error(n < 0 ? errno : EIO, std::generic_category(), "cannot empty the page pipe");
        done += static_cast<std::size_t>(n);
    }
}
