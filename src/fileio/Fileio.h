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

// The rule for "this file exists": a regular file, after following links. An empty path is none.
bool IsRegularFile(const std::string& path);

// True when both paths name one existing file (same device and inode).
bool IsSameFile(const std::string& a, const std::string& b);

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

    // Closes and reports what only shows at close (delayed write errors). Closing twice is harmless.
    void Close();

    // Test seam: while not negative, the bytes that writes to any file may still take; a write past
    // it puts down what fits and fails as on a full volume. Tests stop a run at any byte with it.
    static std::atomic<std::int64_t> WriteBudget;
    // Test seam: while not negative, reads of any file give the bytes before this offset and fail
    // there as on a damaged medium.
    static std::atomic<std::int64_t> FailReadsFrom;

private:
    friend class TPagePipe;
    TFile(int fd, std::string path, std::string_view role);
    [[noreturn]] void Raise(std::string_view action, std::error_code code) const;

    int Fd = -1;
    std::string FPath;
    std::string Name; // the file as messages name it
};
