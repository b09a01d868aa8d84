// SPDX-License-Identifier: GPL-3.0-or-later
// Audio file bytes -> OpenAudioFile (detection by content, FLAC through libFLAC, the rest through the
// decoder library) and the source's seek and read. Whatever opens must hold whole stereo samples and
// read the same bytes again after a backward seek; anything else may only be refused as audio is.
#include "FuzzSupport.h"

#include "sources/Audioprobe.h"
#include "sources/Audiosource.h"
#include "sources/Wavesource.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Bounds the work per input: a header may claim hours of audio.
constexpr std::int64_t READ_LIMIT = 1 << 16;

bool CheckCount(std::int64_t done, std::int64_t total, const std::string& name, std::int64_t& previous)
{
    fuzz::Check(done >= previous && total >= 0, "count progress went backward");
    fuzz::Check(name == "input.audio", "count progress named another file");
    previous = done;
    return true;
}

std::vector<std::uint8_t> ReadFrom(TLuCueFile& file, std::int64_t at, std::int64_t count)
{
    std::vector<std::uint8_t> out(static_cast<std::size_t>(count));
    file.Seek(at, soBeginning);
    out.resize(file.Read(out.data(), out.size()));
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using fuzz::Check;
    const std::string path = fuzz::ScratchFile("input.audio");
    fuzz::WriteFile(path, data, size);
    std::int64_t lastDone = -1;
    try
    {
        const auto file =
            OpenAudioFile(path, [&lastDone](std::int64_t done, std::int64_t total, const std::string& name) {
                return CheckCount(done, total, name, lastDone);
            });
        const std::int64_t length = file->Seek(0, soEnd);
        Check(length >= 0, "negative data length");
        if (dynamic_cast<const TLuCueAudioFile*>(file.get()) != nullptr)
            Check(length % 4 == 0, "a partial stereo sample");
        const std::int64_t head = std::min(length, READ_LIMIT);
        const std::vector<std::uint8_t> first = ReadFrom(*file, 0, head);
        Check(static_cast<std::int64_t>(first.size()) == head, "short read inside the data");
        const std::int64_t tail = std::max<std::int64_t>(0, length - 5000);
        Check(static_cast<std::int64_t>(ReadFrom(*file, tail, 10000).size()) == length - tail, "short read at the end");
        Check(ReadFrom(*file, length + 1, 100).empty(), "a read past the end");
        Check(ReadFrom(*file, 0, head) == first, "a backward seek read other bytes");
    }
    catch (const EFOpenError&)
    {}
    catch (const EAudioRefused&)
    {}
    catch (const EAudioDamaged&)
    {}
    return 0;
}
