// SPDX-License-Identifier: GPL-3.0-or-later
#include "sources/Audioprobe.h"

#include "fileio/Paths.h"
#include "sources/Binarysource.h"
#include "sources/Ffmpegsource.h"
#include "sources/Filetypes.h"
#include "sources/Flacsource.h"
#include "sources/Wavesource.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr std::size_t ID3_HEADER_SIZE = 10;

// The offset of the first byte after any ID3v2 tags at the start of the file.
std::int64_t SkipId3Tags(TLuCueFile& file)
{
    std::int64_t offset = 0;
    std::array<std::uint8_t, ID3_HEADER_SIZE> head{};
    for (;;)
    {
        file.Seek(offset, soBeginning);
        if (file.Read(head.data(), head.size()) != head.size() || std::memcmp(head.data(), "ID3", 3) != 0)
            return offset;
        // The size is "synchsafe": seven bits per byte; a footer doubles the header.
        std::int64_t size = 0;
        for (std::size_t i = 6; i < 10; ++i)
            size = (size << 7) | (head[i] & 0x7F);
        offset += static_cast<std::int64_t>(ID3_HEADER_SIZE) + size + ((head[5] & 0x10) ? 10 : 0);
    }
}

} // namespace

bool IsAudioFileType(std::string_view type)
{
    return std::find(FILE_TYPES.begin() + FIRST_AUDIO_FILE_TYPE, FILE_TYPES.end(), type) != FILE_TYPES.end();
}

std::unique_ptr<TLuCueFile> OpenAudioFile(const std::string& path, const TCountProgress& progress)
{
    std::array<std::uint8_t, 12> head{};
    std::int64_t audioStart = 0;
    {
        TLuCueBinFile probe(path);
        const std::size_t n = probe.Read(head.data(), head.size());
        if (n == 0)
            throw EAudioRefused(BaseName(path) + ": the file is empty");
        if (n == head.size() && std::memcmp(head.data(), "RIFF", 4) == 0 &&
            std::memcmp(head.data() + 8, "WAVE", 4) == 0)
            return std::make_unique<TLuCueWavFile>(path);
        audioStart = SkipId3Tags(probe);
        probe.Seek(audioStart, soBeginning);
        head.fill(0);
        probe.Read(head.data(), 4);
    }
    if (std::memcmp(head.data(), "fLaC", 4) == 0)
        return std::make_unique<TLuCueFlacFile>(path, progress);
    return std::make_unique<TLuCueDecodedFile>(path, progress);
}
