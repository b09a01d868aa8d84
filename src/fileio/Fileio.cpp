// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileio/Fileio.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <random>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

class TFileErrorCategory final : public std::error_category
{
public:
    const char* name() const noexcept override { return "file"; }
    std::string message(int code) const override
    {
        switch (code)
        {
        case feNotRegularFile: return "not a regular file";
        case feEndOfFile: return "the file ends early";
        case feNoSpaceLeft: return "no space left";
        default: return "unknown error";
        }
    }
};

std::error_code LastError()
{
    return {errno, std::generic_category()};
}

std::string Describe(const std::string& path, std::string_view role)
{
    std::string name(role);
    if (!name.empty())
        name += ' ';
    return name + '"' + path + '"';
}

[[noreturn]] void RaiseFor(const std::string& path, std::string_view role, std::string_view action,
                           std::error_code code)
{
    throw std::system_error(code, "cannot " + std::string(action) + ' ' + Describe(path, role));
}

} // namespace

const std::error_category& FileErrorCategory()
{
    static const TFileErrorCategory category;
    return category;
}

TPathKind PathKind(const std::string& path)
{
    if (path.empty())
        return pkMissing;
    struct stat st = {};
    if (::stat(path.c_str(), &st) != 0)
        return ::lstat(path.c_str(), &st) == 0 ? pkBrokenLink : pkMissing;
    if (S_ISREG(st.st_mode))
        return pkRegular;
    return S_ISDIR(st.st_mode) ? pkFolder : pkOther;
}

std::string OutputFolderProblem(const std::string& folder)
{
    const TPathKind kind = PathKind(folder);
    if (kind == pkFolder)
        return {};
    // A file of that name exists: "does not exist" would send the user looking for the wrong thing.
    const bool exists = kind == pkRegular || kind == pkOther;
    return "The output folder \"" + folder + "\" " + (exists ? "is not a folder." : "does not exist.");
}

bool IsRegularFile(const std::string& path)
{
    return PathKind(path) == pkRegular;
}

std::int64_t FreeSpace(const std::string& folder)
{
    if (const std::int64_t assumed = TFile::AssumedFreeSpace.load(); assumed >= 0)
        return assumed;
    struct statvfs info = {};
    if (::statvfs(folder.c_str(), &info) != 0)
        return -1;
    return static_cast<std::int64_t>(info.f_bavail) * static_cast<std::int64_t>(info.f_frsize);
}

void FailWritesPastSizeLimit()
{
    std::signal(SIGXFSZ, SIG_IGN);
}

void SyncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

namespace {

TFileIdentity IdentityOfStat(const struct stat& st)
{
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::int64_t>(st.st_size),
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec,
            static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec};
}

} // namespace

TFileIdentity IdentityOf(const std::string& path)
{
    struct stat st = {};
    return ::stat(path.c_str(), &st) == 0 ? IdentityOfStat(st) : TFileIdentity{};
}

bool IsSameFile(const std::string& a, const std::string& b)
{
    struct stat first = {};
    struct stat second = {};
    return !a.empty() && !b.empty() && ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

TFile::TFile(int fd, std::string path, std::string_view role)
    : Fd(fd), FPath(std::move(path)), Name(Describe(FPath, role))
{}

TFile::~TFile()
{
    if (Fd >= 0)
        ::close(Fd);
}

TFile::TFile(TFile&& other) noexcept
    : Fd(std::exchange(other.Fd, -1)), FPath(std::move(other.FPath)), Name(std::move(other.Name))
{}

TFile& TFile::operator=(TFile&& other) noexcept
{
    if (this != &other)
    {
        if (Fd >= 0)
            ::close(Fd);
        Fd = std::exchange(other.Fd, -1);
        FPath = std::move(other.FPath);
        Name = std::move(other.Name);
    }
    return *this;
}

TFile TFile::OpenForReading(const std::string& path, std::string_view role)
{
    // O_NONBLOCK: a FIFO put where a file was expected must fail here, not wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        RaiseFor(path, role, "open", LastError());
    TFile file(fd, path, role);
    struct stat st = {};
    if (::fstat(fd, &st) != 0)
        file.Raise("open", LastError());
    if (!S_ISREG(st.st_mode))
        file.Raise("open", {feNotRegularFile, FileErrorCategory()});
    return file;
}

TFile TFile::OpenForWriting(const std::string& path, std::string_view role)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        RaiseFor(path, role, "create", LastError());
    return TFile(fd, path, role);
}

std::string TFile::TemporaryPrefix(const std::string& target)
{
    const std::string folder = target.substr(0, target.rfind('/') + 1); // empty for a bare name
    return folder + "." + target.substr(folder.size()) + ".sarvex-";
}

TFile TFile::CreateTemporary(const std::string& target, std::string_view role)
{
    static constexpr char LETTERS[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    const std::string prefix = TemporaryPrefix(target);
    for (int attempt = 0;; ++attempt)
    {
        std::string path = prefix;
        for (int i = 0; i < 6; ++i)
            path += LETTERS[random() % (sizeof LETTERS - 1)];
        // O_EXCL with 0666: the name is new, and the umask decides the permissions as for any new file.
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
        {
            TFile file(fd, std::move(path), role);
            file.Name = Describe(target, role);
            return file;
        }
        if (errno != EEXIST || attempt == 100)
            RaiseFor(target, role, "create", LastError());
    }
}

void TFile::Truncate(std::int64_t size)
{
    if (::ftruncate(Fd, static_cast<off_t>(size)) != 0)
        Raise("write", LastError());
}

void TFile::Sync()
{
    if (::fsync(Fd) != 0)
        Raise("write", LastError());
}

void TFile::StartWriteback(std::int64_t offset, std::int64_t length) const
{
    ::sync_file_range(Fd, static_cast<off_t>(offset), static_cast<off_t>(length), SYNC_FILE_RANGE_WRITE);
}

void TFile::RenameTo(const std::string& target)
{
    if (::rename(FPath.c_str(), target.c_str()) != 0)
        Raise("create", LastError());
    FPath = target;
}

TFileIdentity TFile::Identity() const
{
    struct stat st = {};
    if (::fstat(Fd, &st) != 0)
        Raise("query", LastError());
    return IdentityOfStat(st);
}

void TFile::Raise(std::string_view action, std::error_code code) const
{
    throw std::system_error(code, "cannot " + std::string(action) + ' ' + Name);
}

std::int64_t TFile::Size() const
{
    struct stat st = {};
    if (::fstat(Fd, &st) != 0)
        Raise("query", LastError());
    return st.st_size;
}

bool TFile::RefersTo(const std::string& path) const
{
    struct stat mine = {};
    struct stat other = {};
    return Fd >= 0 && ::fstat(Fd, &mine) == 0 && ::stat(path.c_str(), &other) == 0 && mine.st_dev == other.st_dev &&
           mine.st_ino == other.st_ino;
}

std::size_t TFile::ReadAt(std::int64_t offset, std::span<std::uint8_t> buffer) const
{
    std::size_t done = 0;
    while (offset >= 0 && done < buffer.size())
    {
        const std::int64_t at = offset + static_cast<std::int64_t>(done);
        std::size_t want = buffer.size() - done;
        if (const std::int64_t damage = FailReadsFrom.load(); damage >= 0)
        {
            if (at >= damage)
                Raise("read", std::make_error_code(std::errc::io_error));
            want = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(want), damage - at));
        }
        const ssize_t n = ::pread(Fd, buffer.data() + done, want, static_cast<off_t>(at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            Raise("read", LastError());
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(done), buffer.end(), std::uint8_t{0});
    return done;
}

void TFile::ReadExact(std::int64_t offset, std::span<std::uint8_t> buffer) const
{
    if (ReadAt(offset, buffer) != buffer.size())
        Raise("read", {feEndOfFile, FileErrorCategory()});
}

std::string TFile::ReadAll() const
{
    std::string text;
    text.reserve(static_cast<std::size_t>(std::max<std::int64_t>(Size(), 0)));
    char chunk[1 << 16];
    for (;;)
    {
        const ssize_t n = ::pread(Fd, chunk, sizeof chunk, static_cast<off_t>(text.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            Raise("read", LastError());
        if (n == 0)
            return text;
        text.append(chunk, static_cast<std::size_t>(n));
    }
}

std::atomic<std::int64_t> TFile::WriteBudget{-1};
std::atomic<std::int64_t> TFile::FailReadsFrom{-1};
std::atomic<std::int64_t> TFile::AssumedFreeSpace{-1};

void TFile::WriteAll(std::span<const std::uint8_t> data)
{
    const std::int64_t budget = WriteBudget.load();
    const bool overBudget = budget >= 0 && static_cast<std::uint64_t>(budget) < data.size();
    if (budget >= 0)
        WriteBudget -= overBudget ? budget : static_cast<std::int64_t>(data.size());
    if (overBudget)
        data = data.first(static_cast<std::size_t>(budget));
    while (!data.empty())
    {
        const ssize_t written = ::write(Fd, data.data(), data.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            Raise("write", LastError());
        if (written == 0)
            Raise("write", {feNoSpaceLeft, FileErrorCategory()});
        data = data.subspan(static_cast<std::size_t>(written));
    }
    if (overBudget)
        Raise("write", std::make_error_code(std::errc::no_space_on_device));
}

void TFile::CopyFrom(const TFile& source, std::int64_t offset, std::int64_t count, std::span<std::uint8_t> buffer)
{
    const std::int64_t copied = CopyInKernel(source, offset, count);
    offset += copied;
    count -= copied;
    while (count > 0)
    {
        const auto part =
            buffer.first(static_cast<std::size_t>(std::min<std::int64_t>(count, std::int64_t(buffer.size()))));
        source.ReadExact(offset, part);
        WriteAll(part);
        offset += static_cast<std::int64_t>(part.size());
        count -= static_cast<std::int64_t>(part.size());
    }
}

std::int64_t TFile::CopyInKernel(const TFile& source, std::int64_t offset, std::int64_t count)
{
    if (WriteBudget.load() >= 0 || FailReadsFrom.load() >= 0)
        return 0;
    loff_t from = offset;
    while (from - offset < count)
    {
        const ssize_t n =
            ::copy_file_range(source.Fd, &from, Fd, nullptr, static_cast<std::size_t>(count - (from - offset)), 0);
        if (n < 0 && errno == EINTR)
            continue;
        // Nothing copied: the end of the source, a failure, or no means to copy.
        if (n <= 0)
            break;
    }
    return from - offset;
}

void TFile::WriteAll(std::string_view text)
{
    WriteAll(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

void TFile::Close()
{
    const int fd = std::exchange(Fd, -1);
    // Delayed write errors (NFS, quotas) only show here; after EINTR the descriptor is gone all the same.
    if (fd >= 0 && ::close(fd) != 0 && errno != EINTR)
        Raise("close", LastError());
}
