// SPDX-License-Identifier: GPL-3.0-or-later
#include "sources/Audiosource.h"

#include "fileio/Paths.h"
#include "synthesis/Msf.h"
#include "text/Asciitext.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr std::int64_t SAMPLES_PER_FRAME = 588; // one CD sector of audio
} // namespace

TLuCueAudioFile::TLuCueAudioFile(const std::string& path, const TCountProgress& progress)
    : TLuCueFile(path), Name(BaseName(path)), CountProgress(progress)
{}

void TLuCueAudioFile::ReportCount(std::int64_t done, std::int64_t total)
{
    if (!CountProgress)
        return;
    // A thousand steps at most: the handler may redraw a window each time.
    const std::int64_t permille = total > 0 ? std::clamp<std::int64_t>(done * 1000 / total, 0, 1000) : 0;
    if (permille == LastPermille)
        return;
    LastPermille = permille;
    if (!CountProgress(done, total, Name))
        throw ECountCanceled(Name + ": counting the samples was canceled");
}

std::int64_t TLuCueAudioFile::Seek(std::int64_t offset, TSeekOrigin origin)
{
    return SeekClamped(offset, origin, DataLength);
}

std::size_t TLuCueAudioFile::Read(void* buffer, std::size_t count)
{
    const std::size_t wanted = BytesLeft(count, DataLength);
    if (wanted == 0)
        return 0;
    // A retry after a failure (one sector at a time, after a seek) must fail again where the damage is.
    if (!Damage.empty() && Position + static_cast<std::int64_t>(wanted) > DamageAt)
        throw EAudioDamaged(Damage);
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < wanted)
    {
        if (!Started || Position < BlockStart)
        {
            Block.clear();
            const std::int64_t sample = Position / CD_SAMPLE_BYTES;
            BlockStart = Restart(sample) * CD_SAMPLE_BYTES;
            Started = true;
            FromStart = BlockStart == 0;
            EndChecked = false;
        }
        const std::int64_t blockEnd = BlockStart + static_cast<std::int64_t>(Block.size());
        if (Position >= blockEnd)
        {
            Block.clear();
            BlockStart = blockEnd;
            if (!Decode())
                Fail("the stream ends before its stated length", BlockStart / CD_SAMPLE_BYTES);
            if (FromStart && !EndChecked && BlockStart + static_cast<std::int64_t>(Block.size()) >= DataLength)
            {
                EndChecked = true;
                CheckEnd();
                EndVerified = true;
            }
            continue;
        }
        const auto from = static_cast<std::size_t>(Position - BlockStart);
        const std::size_t n = std::min(wanted - done, Block.size() - from);
        std::memcpy(out + done, Block.data() + from, n);
        done += n;
        Position += static_cast<std::int64_t>(n);
    }
    return done;
}

void TLuCueAudioFile::Fail(const std::string& what, std::int64_t sample)
{
    const auto frames = static_cast<std::uint32_t>(std::max<std::int64_t>(sample, 0) / SAMPLES_PER_FRAME);
    Damage = Name + ": " + what + " at " + MsfToStr(FramesToMsf(frames)) + " (" + Format + ")";
    // Damage found at the end (the signature) spoils the last read too.
    DamageAt = std::clamp<std::int64_t>(sample * CD_SAMPLE_BYTES, 0, std::max<std::int64_t>(DataLength - 1, 0));
    throw EAudioDamaged(Damage);
}

void TLuCueAudioFile::CheckIntact()
{
    if (!ChecksAtEnd || !Started || EndVerified)
        return;
    std::vector<std::uint8_t> chunk(1 << 16);
    Position = 0;
    while (Read(chunk.data(), chunk.size()) > 0)
    {
    }
}

void TLuCueAudioFile::Refuse(std::int64_t rate, int bits, int channels) const
{
    throw EAudioRefused(AudioRefusalText(Name, rate, bits > 0 ? std::to_string(bits) + "-bit" : Format, channels));
}

std::string AudioRefusalText(const std::string& name, std::int64_t rate, const std::string& samples, int channels)
{
    return name + ": " + GroupedNumber(rate) + " Hz, " + samples + ", " + std::to_string(channels) +
           (channels == 1 ? " channel" : " channels") + "; audio must be 44,100 Hz, 16-bit, stereo";
}
