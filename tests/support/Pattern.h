// SPDX-License-Identifier: GPL-3.0-or-later
// Filler bytes for data files in tests.
#pragma once

#include <cstddef>
#include <string>

// Differs per byte, per sector and per seed, so a shifted, swapped, cut or zero-filled range shows.
// A shorter pattern is a prefix of a longer one with the same seed.
inline std::string Pattern(std::size_t size, unsigned seed = 0)
{
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        data[i] = static_cast<char>((i * 7 + seed * 13 + i / 251 + (i >> 12) * seed) & 0xFF);
    return data;
}
