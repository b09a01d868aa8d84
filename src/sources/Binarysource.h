// SPDX-License-Identifier: GPL-3.0-or-later
// BINARY data file source: the whole file is track data, as it is.
#pragma once

#include "sources/Sourcefile.h"

class TLuCueBinFile final : public TLuCueFile
{
public:
    explicit TLuCueBinFile(const std::string& path);
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::size_t Read(void* buffer, std::size_t count) override;
    bool LocateRaw(std::size_t count, TRawBytes& raw) const override;
};
