// SPDX-License-Identifier: GPL-3.0-or-later
// The one way the core touches files: an owned descriptor, opened for reading (regular files only,
// never waiting on a FIFO or device) or for writing (never creating folders), with exact and
// positioned reads, complete writes and a checked close. Failures are std::system_error raised
// where they happen, their text naming the file.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

// What a path names after following links. A path that cannot be looked at counts as missing.
enum TPathKind : std::uint8_t
{
    pkMissing = 0,
    pkRegular = 1,
    pkFolder = 2,
    pkOther = 3,      // FIFO, device, socket
    pkBrokenLink = 4, // a link that leads nowhere (or to a name we may not look at)
};
TPathKind PathKind(const std::string& path);
// Why folder cannot take the files written into it, as the front ends say it; empty when it can.
std::string OutputFolderProblem(const std::string& folder);

// The rule for "this file exists": a regular file, after following links. An empty path is none.
bool IsRegularFile(const std::string& path);

// True when both paths name one existing file (same device and inode).
bool IsSameFile(const std::string& a, const std::string& b);

// Bytes an unprivileged writer may still put into the folder's volume, or -1 when it cannot be told.
std::int64_t FreeSpace(const std::string& folder);

// Makes a write past the file size limit (ulimit -f) fail with EFBIG, reported as a full volume is,
// instead of the signal that kills the process and leaves its temporaries. Front ends call it first.
void FailWritesPastSizeLimit();

// Flushes the folder's entries (renames into it) to the medium; failures are ignored, as nothing
// can be done about them once the files themselves are safe.
void SyncFolder(const std::string& folder);

// What makes a file the same file with the same bytes: where it is and when it last changed.
struct TFileIdentity
{
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    std::int64_t Size = -1;
    std::int64_t ModifiedNs = 0;
    std::int64_t ChangedNs = 0; // ctime: a write with its modification time put back still moves it
    bool operator==(const TFileIdentity&) const = default;
};
// The identity of what path names now; Size is -1 when nothing can be looked at there.
TFileIdentity IdentityOf(const std::string& path);

// Failures that have no errno of their own.
enum TFileError : int
{
    feNotRegularFile = 1,
    feEndOfFile = 2,
    feNoSpaceLeft = 3,
};
const std::error_category& FileErrorCategory();

class TFile
{
public:
    TFile() = default;
    ~TFile();
    TFile(TFile&& other) noexcept;
    TFile& operator=(TFile&& other) noexcept;
    TFile(const TFile&) = delete;
    TFile& operator=(const TFile&) = delete;

    // Opens a regular file read-only; anything else is refused without blocking. role, when given,
    // names the file in messages ("the CD-TEXT file"), before its quoted path.
    static TFile OpenForReading(const std::string& path, std::string_view role = {});
    // Creates or truncates a file for reading and writing; the folder must exist.
    static TFile OpenForWriting(const std::string& path, std::string_view role = {});
    // Creates a new file beside target, named ".<target's name>.sarvex-XXXXXX", with the permissions a
    // new file gets. Messages name target: the user knows no other name.
    static TFile CreateTemporary(const std::string& target, std::string_view role = {});
    // The name pattern of CreateTemporary, without the six random characters.
    static std::string TemporaryPrefix(const std::string& target);

    bool IsOpen() const { return Fd >= 0; }
    const std::string& Path() const { return FPath; }
    std::int64_t Size() const;
    // True when path names this very file (same device and inode).
    bool RefersTo(const std::string& path) const;

    // Reads from offset until buffer is full or the file ends, fills the rest with zeros and
    // returns the count read. A negative offset reads nothing.
    std::size_t ReadAt(std::int64_t offset, std::span<std::uint8_t> buffer) const;
    // Reads all of buffer from offset; a file that ends first raises feEndOfFile.
    void ReadExact(std::int64_t offset, std::span<std::uint8_t> buffer) const;
    // The whole file from its start.
    std::string ReadAll() const;

    // Appends all of data at the current position, or raises.
    void WriteAll(std::span<const std::uint8_t> data);
    void WriteAll(std::string_view text);

    // Appends count bytes of source from offset at the current position, copied by the kernel where
    // it can; elsewhere (a file system without the means, a test seam set) read and written through
    // buffer. Failures raise as ReadExact's and WriteAll's do, a source that ends first included.
    void CopyFrom(const TFile& source, std::int64_t offset, std::int64_t count, std::span<std::uint8_t> buffer);
    // Appends up to count bytes of source from offset at the current position, copied inside the
    // kernel, and returns how many it copied: fewer where the source ends or fails or the volume is
    // full, none where the file system has no means or a test seam is set. Never raises: the caller
    // reads and writes the rest, and so meets the failure in its own words.
    std::int64_t CopyInKernel(const TFile& source, std::int64_t offset, std::int64_t count);

    // Cuts or extends the file to size bytes.
    void Truncate(std::int64_t size);
    // Puts the file's bytes on the medium (fsync).
    void Sync();
    // Starts putting length bytes from offset on the medium without waiting for them, so that a Sync
    // at the end has little left to wait for. A file system that cannot is left to do it later.
    void StartWriteback(std::int64_t offset, std::int64_t length) const;
    // Gives the file the name target in the same volume, replacing what is there, and takes that name.
    void RenameTo(const std::string& target);
    // The file as it is now: its identity by the descriptor.
    TFileIdentity Identity() const;

    // Closes and reports what only shows at close (delayed write errors). Closing twice is harmless.
    void Close();

    // Test seam: while not negative, the bytes that writes to any file may still take; a write past
    // it puts down what fits and fails as on a full volume. Tests stop a run at any byte with it.
    static std::atomic<std::int64_t> WriteBudget;
    // Test seam: while not negative, reads of any file give the bytes before this offset and fail
    // there as on a damaged medium.
    static std::atomic<std::int64_t> FailReadsFrom;
    // Test seam: while not negative, FreeSpace answers this for every folder.
    static std::atomic<std::int64_t> AssumedFreeSpace;

private:
    friend class TPagePipe;
    TFile(int fd, std::string path, std::string_view role);
    [[noreturn]] void Raise(std::string_view action, std::error_code code) const;

    int Fd = -1;
    std::string FPath;
    std::string Name; // the file as messages name it
};
