// SPDX-License-Identifier: GPL-3.0-or-later
// A kernel pipe that carries a file's bytes from one thread to another by reference to its cached
// pages: filling it copies nothing, and draining it into a file is the only copy the bytes cost.
#pragma once

#include "fileio/Fileio.h"

#include <cstddef>
#include <cstdint>
#include <span>

class TPagePipe
{
public:
    // Without a pipe (no descriptors left) every Fill takes nothing and callers read as usual.
    TPagePipe();
    ~TPagePipe();
    TPagePipe(const TPagePipe&) = delete;
    TPagePipe& operator=(const TPagePipe&) = delete;

    // Takes up to count bytes of source from offset on, never waiting. Takes fewer where the source
    // ends, when the pipe is full, on any failure, and none while a test seam of TFile is set: the
    // caller reads the rest, so that a failure is raised by the read that meets it.
    std::size_t Fill(const TFile& source, std::int64_t offset, std::size_t count);
    // Writes the next count bytes of the pipe at out's position. Where the kernel cannot (a file
    // system without the means, a full volume), the rest goes through scratch (count bytes at least)
    // and an ordinary write, which raises the failure as out's own.
    void Drain(TFile& out, std::size_t count, std::span<std::uint8_t> scratch);
    // Takes the next bytes out of the pipe into buffer, all of it.
    void Read(std::span<std::uint8_t> buffer);

private:
    int ReadEnd = -1;
    int WriteEnd = -1;
};
