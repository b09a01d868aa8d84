// File names as sheets made on other machines spell them: in another case, or by a Windows drive path.
#pragma once

#include <string>
#include <string_view>

// "D:\..." or "d:/...": a path that means nothing on this machine.
bool IsDrivePath(std::string_view name);

// path with each component that does not exist replaced by the entry of its folder that matches it
// ignoring ASCII case (the first in byte order); path itself when a component has no match.
std::string CaseInsensitiveLookup(const std::string& path);

// A file as refusals name it: the name the sheet gives, without its folders.
std::string FileLabel(std::string_view name);

// Why path names no regular file, worded to follow its label: "no such file", "is a folder", ...;
// empty when it does name one.
std::string NoFileReason(const std::string& path);
