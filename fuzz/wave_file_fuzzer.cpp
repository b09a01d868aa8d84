// SPDX-License-Identifier: GPL-3.0-or-later
// WAVE file bytes -> ReadWaveHeader's chunk walk and the WAVE source's seek and read. The input itself
// is the oracle: whatever the source returns must be the bytes of the file at DataOffset + position,
// and a refusal always says why.
#include "FuzzSupport.h"

#include "sources/Audiosource.h"
#include "sources/Wavesource.h"
#include "synthesis/Msf.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::int64_t GetLE32Signed(const std::uint8_t* b)
{
    return static_cast<std::int32_t>(b[0] | b[1] << 8 | b[2] << 16 | std::uint32_t(b[3]) << 24);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using fuzz::Check;
    const std::string path = fuzz::ScratchFile("input.wav");
    fuzz::WriteFile(path, data, size);
    const auto fileSize = static_cast<std::int64_t>(size);

    TWaveInfo info;
    const TWaveCheck result = ReadWaveHeader(path, info);
    Check(result != wcCannotOpen, "an existing file reported as missing");
    if (result == wcAccepted)
    {
        Check(info.DataOffset >= 8 && info.DataOffset <= fileSize, "data offset outside the file");
        Check(info.DataLength >= 0 && info.DataOffset + info.DataLength <= fileSize, "data past the end of the file");
        Check(std::memcmp(data + info.DataOffset - 8, "data", 4) == 0, "data offset not behind a data chunk header");
        Check(info.Problem.empty() && info.FormatTag == 1, "accepted with a problem or without PCM");
        Check(info.Channels >= 1, "channel count");
        Check(info.BitsPerSample > 0 && info.BitsPerSample % 8 == 0, "sample size");
    }
    else
    {
        Check(!info.Problem.empty() || info.FormatTag != 1, "refused without a reason");
    }

    const bool playable =
        result == wcAccepted && info.Channels == 2 && info.BitsPerSample == 16 && info.SampleRate == 44100;
    try
    {
        TLuCueWavFile source(path);
        Check(playable, "the source accepted a file the header reader refused");
        Check(source.DataStart == info.DataOffset && source.DataLength == info.DataLength,
              "source and header disagree");
        Check(source.DataEnd == source.DataStart + source.DataLength, "DataEnd");
        Check(source.Seek(0, soEnd) == source.DataLength, "seek to the end");

        // The last bytes of the input drive a few seeks and reads, the way the composer makes them.
        std::vector<std::uint8_t> buffer(2448 * 2);
        const std::size_t steps = std::min<std::size_t>(size / 8, 16);
        for (std::size_t i = 0; i < steps; ++i)
        {
            const std::uint8_t* op = data + size - 8 * (i + 1);
            const std::int64_t offset = GetLE32Signed(op);
            const auto origin = static_cast<TSeekOrigin>(op[4] % 3);
            const std::size_t count = (op[5] | op[6] << 8) % buffer.size();
            const std::int64_t position = source.Seek(offset, origin);
            Check(position == source.Position, "Seek result and Position differ");
            Check(position >= 0 && position <= source.DataLength, "position outside the data chunk");
            const std::size_t n = source.Read(buffer.data(), count);
            Check(static_cast<std::int64_t>(n) ==
                      std::min<std::int64_t>(static_cast<std::int64_t>(count), source.DataLength - position),
                  "short read inside the data chunk");
            Check(source.Position == position + static_cast<std::int64_t>(n), "Position after a read");
            Check(std::memcmp(buffer.data(), data + source.DataStart + position, n) == 0, "read returned other bytes");
        }
    }
    catch (const EAudioRefused& error)
    {
        Check(!playable, "the source refused a playable file");
        Check(std::string_view(error.what()).starts_with("input.wav: "), "a refusal that does not name the file");
    }
    return 0;
}
