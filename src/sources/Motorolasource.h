// SPDX-License-Identifier: GPL-3.0-or-later
// MOTOROLA data file source: raw big-endian 16-bit audio, presented with each byte pair swapped.
#pragma once

#include "sources/Sourcefile.h"

class TLuCueMotorolaFile final : public TLuCueFile
{
public:
    explicit TLuCueMotorolaFile(const std::string& path);
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::size_t Read(void* buffer, std::size_t count) override;
};
