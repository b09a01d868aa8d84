// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Outputset.h"

#include "fileio/Paths.h"
#include "synthesis/Sector.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

void RemoveStaleTemporaries(const std::string& target, std::time_t startedAt)
{
    namespace fs = std::filesystem;
    const std::string prefix = TFile::TemporaryPrefix(target);
    const std::string name = BaseName(prefix);
    std::error_code error;
    for (fs::directory_iterator it(FolderOf(target), error), end; !error && it != end; it.increment(error))
    {
        const std::string entry = it->path().filename().string();
        if (entry.size() != name.size() + 6 || entry.compare(0, name.size(), name) != 0)
            continue;
        const std::string path = it->path().string();
        struct stat info = {};
        if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_mtime < startedAt)
            ::unlink(path.c_str());
    }
}

bool ReplacesAny(const std::vector<std::string>& paths)
{
    for (const std::string& path : paths)
        if (PathKind(path) != pkMissing)
            return true;
    return false;
}

TTemporaryFiles::TTemporaryFiles(const std::vector<std::string>& paths, std::time_t startedAt)
    : Lock(paths.back()), Paths(paths), FReplacing(ReplacesAny(paths))
{
    if (Lock.Held())
        for (const std::string& path : Paths)
            RemoveStaleTemporaries(path, startedAt);
    try
    {
        for (const std::string& path : Paths)
            Files.push_back(TFile::CreateTemporary(path));
    }
    catch (...)
    {
        RemoveTemporaries();
        throw;
    }
}

TTemporaryFiles::~TTemporaryFiles()
{
    RemoveTemporaries();
}

void TTemporaryFiles::RemoveTemporaries() noexcept
{
    for (TFile& file : Files)
    {
        // A file already renamed into place has its final name and stays.
        const std::string& path = file.Path();
        if (!path.empty() && std::find(Paths.begin(), Paths.end(), path) == Paths.end())
            ::unlink(path.c_str());
        try
        {
            file.Close();
        }
        catch (...)
        {}
    }
}

void TTemporaryFiles::Commit()
{
    for (std::size_t i = 0; i < Files.size(); ++i)
    {
        if (FReplacing && Kept(i))
            Files[i].Sync();
        Files[i].Close();
    }
    try
    {
        PutInPlace();
    }
    catch (const std::exception& error)
    {
        if (Replaced.empty())
            throw;
        std::string text = std::string(error.what()) + "; already replaced:";
        for (const std::string& path : Replaced)
            text += " \"" + path + "\"" + (&path == &Replaced.back() ? "" : ",");
        throw std::runtime_error(text);
    }
    if (FReplacing)
        SyncFolder(FolderOf(Paths.back()));
}

void TTemporaryFiles::PutInPlace()
{
    for (std::size_t i = 0; i + 1 < Files.size(); ++i)
        if (!Kept(i) && ::unlink(Paths[i].c_str()) == 0)
            Replaced.push_back(Paths[i]);
    for (std::size_t i = 0; i < Files.size(); ++i)
        if (Kept(i))
        {
            Files[i].RenameTo(Paths[i]);
            Replaced.push_back(Paths[i]);
        }
}

TOutputSet::TOutputSet(const std::string& ccdPath, std::time_t startedAt)
    : Files({ChangeFileExt(ccdPath, ".img"), ChangeFileExt(ccdPath, ".sub"), ccdPath}, startedAt), Img(Files[0]),
      Sub(Files[1]), Ccd(Files[2])
{}

void TOutputSet::CommitPartial(std::int64_t sectors)
{
    Img.Truncate(sectors * static_cast<std::int64_t>(SECTOR_SIZE));
    Sub.Truncate(sectors * static_cast<std::int64_t>(SUBCODE_SIZE));
    Commit();
}
