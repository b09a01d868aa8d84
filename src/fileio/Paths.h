// SPDX-License-Identifier: GPL-3.0-or-later
// Paths as strings (folder, name, extension), and the lookups that sheets made on other machines
// need: names in another case, folders separated by backslashes, Windows drive paths.
#pragma once

#include <string>
#include <string_view>

// The folder part of a path as the file system sees it: "." for a bare name, "/" for the root.
std::string FolderOf(const std::string& path);
// The folder part with its trailing '/', for a name to follow; empty for a bare name.
std::string FolderPrefix(std::string_view path);
// What follows the last '/'.
std::string BaseName(std::string_view path);
// The extension of the last name with its dot, or empty; a dot in a folder's name is none.
std::string_view FileExtOf(std::string_view path);
// path with its extension replaced by ext, or with ext appended when it has none.
std::string ChangeFileExt(std::string_view path, std::string_view ext);

// "D:\..." or "d:/...": a path that means nothing on this machine.
bool IsWindowsDrivePath(std::string_view name);

// path with each component that does not exist replaced by the entry of its folder that matches it
// ignoring ASCII case (the first in byte order); path itself when a component has no match.
std::string CaseInsensitiveLookup(const std::string& path);

// The file a sheet names, as its maker meant it: beside the sheet unless absolute, with backslashes
// as separators, in another case, or by a Windows drive path to a file that lies beside the sheet.
// The best guess when none exists.
std::string ResolveBesideSheet(const std::string& sheetPath, std::string_view name);

// A file as refusals name it: the name the sheet gives, without its folders.
std::string FileLabel(std::string_view name);

// Why path names no regular file, worded to follow its label: "no such file", "is a folder", ...;
// empty when it does name one.
std::string NoFileReason(const std::string& path);
// The refusal line for a name the sheet gives that names no regular file at path: its label and why.
// A device keeps its folders, as "zero" alone would not say which.
std::string NoFileText(std::string_view name, const std::string& path);
