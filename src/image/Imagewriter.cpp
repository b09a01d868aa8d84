// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Imagewriter.h"

#include "fileio/Pagepipe.h"
#include "synthesis/Sector.h"

#include <algorithm>
#include <cstring>

namespace {

// What a read that the kernel left goes through: whole sectors, and large enough to cost few calls.
inline constexpr std::size_t SCRATCH_BYTES = 256 * SECTOR_SIZE;
// Copies wait no longer than this, so that the progress shown is never far ahead of the image.
inline constexpr std::size_t LONGEST_WAIT = 8192 * SECTOR_SIZE;

} // namespace

void ReadRaw(const TRawBytes& raw, std::size_t from, std::span<std::uint8_t> into)
{
    const std::size_t held = std::clamp(raw.Length, from, from + into.size()) - from;
    const std::int64_t start = raw.Offset + static_cast<std::int64_t>(from);
    const std::size_t got = raw.File->ReadAt(start, into.first(held));
    if (got < held && raw.Source)
        raw.Source->CheckReadEnd(start + static_cast<std::int64_t>(got));
    std::fill(into.begin() + static_cast<std::ptrdiff_t>(held), into.end(), std::uint8_t{0});
}

TImageWriter::TImageWriter(TFile& image, std::atomic<bool>& kernelCopy)
    : Image(image), KernelCopy(kernelCopy), Scratch(new std::uint8_t[SCRATCH_BYTES])
{}

void TImageWriter::Write(std::span<const std::uint8_t> bytes)
{
    Flush();
    Image.WriteAll(bytes);
    FWritten += static_cast<std::int64_t>(bytes.size());
}

void TImageWriter::Copy(const TRawBytes& raw, std::size_t length)
{
    // Only whole sectors wait for more: a run cut short is followed by the zeros of its last sector.
    const bool goesOn = Waiting.File == raw.File &&
                        Waiting.Offset + static_cast<std::int64_t>(Waiting.Length) == raw.Offset &&
                        Waiting.Length % SECTOR_SIZE == 0 && Waiting.Length + length <= LONGEST_WAIT;
    if (!goesOn)
    {
        Flush();
        Waiting = raw;
        Waiting.Length = 0;
    }
    Waiting.Length += length;
}

void TImageWriter::Drain(TPagePipe& pipe, std::size_t length, std::span<std::uint8_t> scratch)
{
    Flush();
    pipe.Drain(Image, length, scratch);
    FWritten += static_cast<std::int64_t>(length);
}

void TImageWriter::Flush()
{
    if (!Waiting.File)
        return;
    const TRawBytes raw = Waiting;
    Waiting = {};
    CopyWaiting(raw);
}

void TImageWriter::CopyWaiting(const TRawBytes& raw)
{
    const auto done =
        static_cast<std::size_t>(Image.CopyInKernel(*raw.File, raw.Offset, static_cast<std::int64_t>(raw.Length)));
    FWritten += static_cast<std::int64_t>(done);
    if (done == raw.Length)
        return;
    const std::int64_t before = FWritten;
    ReadAndWrite(raw, done);
    // Where the kernel copied none of what reads well, it has no means: the composer reads from now on.
    if (done == 0 && FWritten > before)
        KernelCopy.store(false);
}

// The rest of a run from from on, a scratch at a time; after a failed read, a sector at a time up to the
// sector that fails, whose error passes on.
void TImageWriter::ReadAndWrite(const TRawBytes& raw, std::size_t from)
{
    const std::span<std::uint8_t> scratch(Scratch.get(), SCRATCH_BYTES);
    std::size_t step = SCRATCH_BYTES;
    while (from < raw.Length)
    {
        const std::size_t to = std::min(raw.Length, (from / step + 1) * step);
        try
        {
            ReadRaw(raw, from, scratch.first(to - from));
        }
        catch (...)
        {
            if (step == SECTOR_SIZE)
                throw;
            step = SECTOR_SIZE;
            continue;
        }
        Image.WriteAll(scratch.first(to - from));
        FWritten += static_cast<std::int64_t>(to - from);
        from = to;
    }
}
