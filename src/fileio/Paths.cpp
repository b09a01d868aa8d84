// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileio/Paths.h"

#include "fileio/Fileio.h"
#include "text/Asciitext.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>
#include <vector>

namespace {

// Finds an entry of folder whose name matches name ignoring ASCII case; first in sorted order.
bool MatchEntry(const std::string& folder, const std::string& name, std::string& found)
{
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return false;
    std::vector<std::string> matches;
    while (const dirent* entry = ::readdir(dir))
    {
        if (EqualsIgnoreCase(entry->d_name, name))
            matches.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    if (matches.empty())
        return false;
    found = *std::min_element(matches.begin(), matches.end());
    return true;
}

} // namespace

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string FolderPrefix(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1));
}

std::string BaseName(std::string_view path)
{
    return std::string(path.substr(path.rfind('/') + 1));
}

std::string_view FileExtOf(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return {};
    return path.substr(dot);
}

std::string ChangeFileExt(std::string_view path, std::string_view ext)
{
    std::string result(path.substr(0, path.size() - FileExtOf(path).size()));
    result += ext;
    return result;
}

bool IsWindowsDrivePath(std::string_view name)
{
    const char drive = LowerAscii(name.empty() ? '\0' : name[0]);
    return name.size() > 3 && drive >= 'a' && drive <= 'z' && name[1] == ':' && (name[2] == '\\' || name[2] == '/');
}

std::string CaseInsensitiveLookup(const std::string& path)
{
    std::string result;
    std::size_t pos = 0;
    if (!path.empty() && path[0] == '/')
    {
        result.push_back('/');
        pos = 1;
    }
    while (pos <= path.size())
    {
        std::size_t next = path.find('/', pos);
        if (next == std::string::npos)
            next = path.size();
        const std::string part = path.substr(pos, next - pos);
        pos = next + 1;
        if (part.empty())
            continue;
        std::string candidate = result + part;
        struct stat st = {};
        if (part != "." && part != ".." && ::stat(candidate.c_str(), &st) != 0)
        {
            std::string found;
            if (!MatchEntry(result, part, found))
                return path;
            candidate = result + found;
        }
        result = candidate;
        if (pos <= path.size())
            result += '/';
    }
    return result;
}

std::string ResolveBesideSheet(const std::string& sheetPath, std::string_view name)
{
    const std::string folder = FolderPrefix(sheetPath);
    std::string path(name);
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.empty() || path[0] != '/')
        path = folder + path;
    if (IsRegularFile(path))
        return path;
    std::string found = CaseInsensitiveLookup(path);
    if (!IsRegularFile(found) && IsWindowsDrivePath(name))
        found = CaseInsensitiveLookup(folder + FileLabel(name));
    return found;
}

std::string FileLabel(std::string_view name)
{
    const std::size_t slash = name.find_last_of("\\/");
    return std::string(slash == std::string_view::npos ? name : name.substr(slash + 1));
}

std::string NoFileReason(const std::string& path)
{
    if (path.empty())
        return "no such file";
    struct stat st = {};
    if (::stat(path.c_str(), &st) != 0)
    {
        if (errno == ELOOP)
            return "is a link loop";
        if (errno == EACCES)
            return "cannot be reached (Permission denied)";
        if (errno == ENAMETOOLONG)
            return "path too long";
        return ::lstat(path.c_str(), &st) == 0 ? "is a link to no file" : "no such file";
    }
    if (S_ISREG(st.st_mode))
        return {};
    if (S_ISDIR(st.st_mode))
        return "is a folder";
    if (S_ISFIFO(st.st_mode))
        return "is a pipe, not a file";
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        return "is a device, not a file";
    return "is not a regular file";
}

std::string NoFileText(std::string_view name, const std::string& path)
{
    struct stat st = {};
    const bool device = ::stat(path.c_str(), &st) == 0 && (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode));
    return (device ? std::string(name) : FileLabel(name)) + ": " + NoFileReason(path);
}
