// SPDX-License-Identifier: GPL-3.0-or-later
// Reads a written control file back for tests: its CR LF lines, one section's lines, or all
// sections as maps of keys.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace ccdtext {

// Every line must end in CR LF; a tail without one is returned marked "<no CR LF>".
inline std::vector<std::string> SplitCrLf(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size())
    {
        const std::size_t end = text.find("\r\n", pos);
        if (end == std::string::npos)
        {
            lines.push_back(text.substr(pos) + "<no CR LF>");
            break;
        }
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

// The lines of one section, without its header; empty when there is no such section.
inline std::vector<std::string> Section(const std::string& text, const std::string& name)
{
    std::vector<std::string> result;
    bool inside = false;
    for (const std::string& line : SplitCrLf(text))
    {
        if (!line.empty() && line.front() == '[')
        {
            if (inside)
                break;
            inside = line == "[" + name + "]";
            continue;
        }
        if (inside)
            result.push_back(line);
    }
    return result;
}

inline std::vector<std::string> SectionNames(const std::string& text)
{
    std::vector<std::string> names;
    for (const std::string& line : SplitCrLf(text))
        if (!line.empty() && line.front() == '[')
            names.push_back(line);
    return names;
}

using TCcd = std::map<std::string, std::map<std::string, std::string>>;

// The control file as sections of keys; every line must end in CR LF.
inline TCcd ParseCcd(const std::string& text)
{
    TCcd ccd;
    std::string section;
    for (const std::string& line : SplitCrLf(text))
    {
        EXPECT_EQ(line.find("<no CR LF>"), std::string::npos) << "line without CR LF: " << line;
        EXPECT_EQ(line.find('\n'), std::string::npos) << line;
        if (line.empty())
            continue;
        if (line.front() == '[')
            section = line.substr(1, line.size() - 2);
        else
            ccd[section][line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
    }
    return ccd;
}

} // namespace ccdtext
