// SPDX-License-Identifier: GPL-3.0-or-later
#include "sources/Sourcefile.h"

#include "text/Asciitext.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <system_error>

// Refuses anything but a regular file, without blocking on a FIFO swapped in after the check.
TLuCueFile::TLuCueFile(const std::string& path) : File(TFile::OpenForReading(path)), Loaded(File.Identity()) {}

TLuCueFile::~TLuCueFile() = default;

bool TLuCueFile::LocateRaw(std::size_t, TRawBytes&) const
{
    return false;
}

bool TLuCueFile::RefersTo(const std::string& path) const
{
    return File.RefersTo(path);
}

void TLuCueFile::CheckUnchanged() const
{
    const TFileIdentity named = IdentityOf(Path());
    if (named.Size < 0)
        RaiseChanged("it is gone");
    if (named.Device != Loaded.Device || named.Inode != Loaded.Inode)
        RaiseChanged("another file has its name now");
    const TFileIdentity now = File.Identity();
    if (now.Size != Loaded.Size)
        RaiseChanged(GroupedNumber(now.Size) + " bytes, was " + GroupedNumber(Loaded.Size));
    if (now != Loaded)
        RaiseChanged("it was written since");
}

void TLuCueFile::CheckReadEnd(std::int64_t end) const
{
    if (end < Loaded.Size)
    {
        CheckUnchanged();
        RaiseChanged("it ends at byte " + GroupedNumber(end));
    }
}

void TLuCueFile::RaiseChanged(const std::string& how) const
{
    throw ESourceChanged("\"" + Path() + "\" changed after the sheet was loaded (" + how + "); load the sheet again");
}

void TLuCueFile::ReleaseBuffer()
{
    Buffer.reset();
    BufferLength = 0;
}

std::int64_t TLuCueFile::FileSize() const
{
    return File.Size();
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
        if (count - done >= DIRECT_READ)
        {
            done += File.ReadAt(at, std::span(out + done, count - done));
            break;
        }
        if (!Buffer)
            Buffer = std::make_unique_for_overwrite<std::uint8_t[]>(READ_AHEAD);
        BufferLength = 0;
        std::size_t n = 0;
        try
        {
            n = File.ReadAt(at, std::span(Buffer.get(), READ_AHEAD));
        }
        catch (const std::system_error&)
        {
            // Damage in the read-ahead, beyond what was asked for, must not fail this read.
            done += File.ReadAt(at, std::span(out + done, count - done));
            break;
        }
        if (n == 0)
            break;
        BufferStart = at;
        BufferLength = n;
    }
    if (done < count && offset >= 0)
        CheckReadEnd(offset + static_cast<std::int64_t>(done));
    return done;
}

std::int64_t TLuCueFile::SeekFromStart(std::int64_t offset, TSeekOrigin origin)
{
    std::int64_t base = 0;
    if (origin == soCurrent)
        base = Position;
    else if (origin == soEnd)
        base = FileSize();
    const std::int64_t target = base + offset;
    if (target < 0)
        throw std::system_error(std::make_error_code(std::errc::invalid_argument),
                                "cannot seek before the start of \"" + Path() + "\"");
    Position = target;
    return Position;
}

std::int64_t TLuCueFile::SeekClamped(std::int64_t offset, TSeekOrigin origin, std::int64_t length)
{
    std::int64_t target = offset;
    if (origin == soCurrent)
        target = Position + offset;
    else if (origin == soEnd)
        target = length + std::min<std::int64_t>(offset, 0);
    Position = std::clamp<std::int64_t>(target, 0, length);
    return Position;
}

std::size_t TLuCueFile::BytesLeft(std::size_t count, std::int64_t length) const
{
    const std::int64_t left = length - Position;
    return left <= 0 ? 0 : static_cast<std::size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(count)));
}
