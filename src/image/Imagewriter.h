// SPDX-License-Identifier: GPL-3.0-or-later
// The image file written in order from three kinds of pieces: bytes in memory, runs of a data file
// copied inside the kernel, and bytes waiting in a page pipe. It counts what the file surely holds,
// so that a failure still leaves every whole sector before it.
#pragma once

#include "fileio/Fileio.h"
#include "sources/Sourcefile.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

class TPagePipe;

// Bytes from .. from + into's size of a run into into, zeros where the file holds none. A file that
// ends early is checked for a change since the load; a failed read raises.
void ReadRaw(const TRawBytes& raw, std::size_t from, std::span<std::uint8_t> into);

class TImageWriter
{
public:
    // kernelCopy is turned off the first time the kernel copies nothing of a run that reads well (a data
    // file on another volume): the composer then reads the runs itself.
    TImageWriter(TFile& image, std::atomic<bool>& kernelCopy);

    void Write(std::span<const std::uint8_t> bytes);
    // length bytes of raw from its start. A run that goes on from the last one in the same file waits to
    // be copied with it: each copy costs a call, however short.
    void Copy(const TRawBytes& raw, std::size_t length);
    // The next length bytes of pipe; scratch (length bytes at least) takes them should the kernel fail.
    void Drain(TPagePipe& pipe, std::size_t length, std::span<std::uint8_t> scratch);
    // Copies what waits. A read that fails leaves every whole sector before it, and raises its error.
    void Flush();

    // The bytes the image surely holds, waiting copies not counted.
    std::int64_t Written() const { return FWritten; }

private:
    void CopyWaiting(const TRawBytes& raw);
    void ReadAndWrite(const TRawBytes& raw, std::size_t from);

    TFile& Image;
    std::atomic<bool>& KernelCopy;
    TRawBytes Waiting; // Length is what waits
    std::unique_ptr<std::uint8_t[]> Scratch;
    std::int64_t FWritten = 0;
};
