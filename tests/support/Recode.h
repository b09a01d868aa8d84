// SPDX-License-Identifier: GPL-3.0-or-later
// Text in another charset, converted by the C library on the test's side.
#pragma once

#include <gtest/gtest.h>

#include <iconv.h>

#include <string>

inline std::string Recode(const std::string& utf8, const char* charset)
{
    iconv_t cd = iconv_open(charset, "UTF-8");
    std::string out(utf8.size() * 4, '\0');
    char* in = const_cast<char*>(utf8.data());
    char* dst = out.data();
    std::size_t left = utf8.size();
    std::size_t room = out.size();
    EXPECT_NE(iconv(cd, &in, &left, &dst, &room), static_cast<std::size_t>(-1)) << charset << ": " << utf8;
    iconv_close(cd);
    out.resize(out.size() - room);
    return out;
}
