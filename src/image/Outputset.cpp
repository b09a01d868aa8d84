// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Outputset.h"

#include "fileio/Paths.h"
#include "synthesis/Sector.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

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

TOutputSet::TOutputSet(const std::string& ccdPath, std::time_t startedAt)
    : CcdPath(ccdPath), ImgPath(ChangeFileExt(ccdPath, ".img")), SubPath(ChangeFileExt(ccdPath, ".sub")),
      FReplacing(ReplacesAny({CcdPath, ImgPath, SubPath}))
{
    for (const std::string* path : {&CcdPath, &ImgPath, &SubPath})
        RemoveStaleTemporaries(*path, startedAt);
    try
    {
        Ccd = TFile::CreateTemporary(CcdPath);
        Img = TFile::CreateTemporary(ImgPath);
        Sub = TFile::CreateTemporary(SubPath);
    }
    catch (...)
    {
        RemoveTemporaries();
        throw;
    }
}

TOutputSet::~TOutputSet()
{
    RemoveTemporaries();
}

void TOutputSet::RemoveTemporaries() noexcept
{
    for (TFile* file : {&Ccd, &Img, &Sub})
    {
        // A file already renamed into place has its final name and stays.
        const std::string& path = file->Path();
        if (!path.empty() && path != CcdPath && path != ImgPath && path != SubPath)
            ::unlink(path.c_str());
        try
        {
            file->Close();
        }
        catch (...)
        {}
    }
}

void TOutputSet::Commit()
{
    for (TFile* file : {&Img, &Sub, &Ccd})
    {
        if (FReplacing)
            file->Sync();
        file->Close();
    }
    Img.RenameTo(ImgPath);
    Sub.RenameTo(SubPath);
    Ccd.RenameTo(CcdPath);
    if (FReplacing)
        SyncFolder(FolderOf(CcdPath));
}

void TOutputSet::CommitPartial(std::int64_t sectors)
{
    Img.Truncate(sectors * static_cast<std::int64_t>(SECTOR_SIZE));
    Sub.Truncate(sectors * static_cast<std::int64_t>(SUBCODE_SIZE));
    Commit();
}
