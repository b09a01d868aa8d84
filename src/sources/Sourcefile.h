// SPDX-License-Identifier: GPL-3.0-or-later
// The base of the data file sources: a file named by a FILE command, presented as a byte sequence of
// track data. The sources themselves are in this folder, one unit each.
#pragma once

#include "fileio/Fileio.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

enum TSeekOrigin : std::uint16_t
{
    soBeginning = 0,
    soCurrent = 1,
    soEnd = 2,
};

// Bytes of a data file as they are, where they can be copied file to file. Length may fall short of
// what was asked for: zeros stand for the rest.
class TLuCueFile;
struct TRawBytes
{
    const TFile* File = nullptr;
    std::int64_t Offset = 0;
    std::size_t Length = 0;
    const TLuCueFile* Source = nullptr; // told when the bytes fall short: CheckReadEnd
};

// Raised when a data file is no longer the file that the sheet's load measured.
class ESourceChanged : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Raised when a data file is not of its type at all: a WAVE file without a readable header, a file
// that no decoder recognises. Audio of the wrong format raises EAudioRefused with the reason.
class EFOpenError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Owns one read-only descriptor. Reads go through a read-ahead buffer so that sequential
// sector reads cost no system call each; every result equals that of a plain seek and read.
// I/O errors are raised as std::system_error; short reads at the end are not errors.
class TLuCueFile
{
public:
    virtual ~TLuCueFile();
    TLuCueFile(const TLuCueFile&) = delete;
    TLuCueFile& operator=(const TLuCueFile&) = delete;

    virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    // Where the count bytes a read from Position would give lie in the file unchanged, if they do.
    virtual bool LocateRaw(std::size_t count, TRawBytes& raw) const;

    // True when path names the very file this source reads (same device and inode).
    bool RefersTo(const std::string& path) const;

    // Raises ESourceChanged when the file under the source's name, or the open file itself, is not
    // the one the load measured (another file, another size, written since).
    void CheckUnchanged() const;
    // A read of the file's own bytes ended at end, short of what was asked: raises ESourceChanged
    // when the file held more at the load. A partial last sector of an unchanged file is no change.
    void CheckReadEnd(std::int64_t end) const;
    // Checks that a skipped part of the conversion's reads left unchecked (a stream's signature
    // over the whole audio) is sound; raises what the reads would have.
    virtual void CheckIntact() {}

    // Forgets and frees the read-ahead data (the file may have changed since it was read).
    void ReleaseBuffer();

    // Held across a seek and the reads that follow it: conversions of one sheet share its sources.
    std::mutex& Guard() const { return ReadGuard; }

    std::int64_t Position = 0;

protected:
    // Opens a regular file only (never anything that could block); throws on failure.
    explicit TLuCueFile(const std::string& path);
    std::int64_t FileSize() const;
    const std::string& Path() const { return File.Path(); }
    const TFile& Descriptor() const { return File; }
    std::size_t ReadAt(std::int64_t offset, void* buffer, std::size_t count);
    // A raw file may be read past its end (zeros follow), never before its start.
    std::int64_t SeekFromStart(std::int64_t offset, TSeekOrigin origin);
    // A stream of length bytes: every origin lands within 0..length.
    std::int64_t SeekClamped(std::int64_t offset, TSeekOrigin origin, std::int64_t length);
    // How many of count bytes a stream of length bytes still holds from Position.
    std::size_t BytesLeft(std::size_t count, std::int64_t length) const;

private:
    static constexpr std::size_t READ_AHEAD = 1 << 20;
    // Requests from this size on (a run of sectors) go straight into the caller's memory.
    static constexpr std::size_t DIRECT_READ = 1 << 17;
    [[noreturn]] void RaiseChanged(const std::string& how) const;

    mutable std::mutex ReadGuard;
    TFile File;
    TFileIdentity Loaded;
    std::unique_ptr<std::uint8_t[]> Buffer;
    std::int64_t BufferStart = 0;
    std::size_t BufferLength = 0;
};
