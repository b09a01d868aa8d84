// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileio/Outputlock.h"

#include "fileio/Fileio.h"

#include <cerrno>
#include <stdexcept>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Another run removes the lock file and a third makes it anew between our open and our lock: rare
// enough that so many rounds in a row mean a run holds it all the same.
constexpr int ATTEMPTS = 100;

bool NamesFile(const std::string& path, int fd)
{
    struct stat mine = {};
    struct stat named = {};
    return ::fstat(fd, &mine) == 0 && ::lstat(path.c_str(), &named) == 0 && mine.st_dev == named.st_dev &&
           mine.st_ino == named.st_ino;
}

[[noreturn]] void RaiseBusy(const std::string& target)
{
    throw std::runtime_error("another run is writing " + target);
}

} // namespace

TOutputLock::TOutputLock(const std::string& target) : Path(TFile::TemporaryPrefix(target) + "lock")
{
    const std::string what = "cannot create \"" + target + "\"";
    for (int attempt = 0; attempt < ATTEMPTS; ++attempt)
    {
        // Read-only, so that a lock file another user's killed run left can still be locked; a FIFO or a
        // link put at its name fails here instead of blocking or leading elsewhere.
        const int fd = ::open(Path.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
        if (fd < 0)
            throw std::system_error(errno, std::generic_category(), what);
        struct stat info = {};
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        {
            ::close(fd);
            throw std::system_error(feNotRegularFile, FileErrorCategory(), what);
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        {
            const int error = errno;
            if (error == EWOULDBLOCK)
            {
                ::close(fd);
                RaiseBusy(target);
            }
            // A file system that has no locks (some network mounts): nothing keeps others off there.
            Fd = fd;
            return;
        }
        // The run before may have removed the name after we opened it: a lock on a file that lost its
        // name keeps no one out, so it must be the file under the name now.
        if (NamesFile(Path, fd))
        {
            Fd = fd;
            FHeld = true;
            return;
        }
        ::close(fd);
    }
    RaiseBusy(target);
}

TOutputLock::~TOutputLock()
{
    // Removed while held: a run that opened the file before finds it nameless once it has the lock and
    // takes the lock of the name instead, so two runs never hold one each.
    if (FHeld && NamesFile(Path, Fd))
        ::unlink(Path.c_str());
    if (Fd >= 0)
        ::close(Fd);
}
