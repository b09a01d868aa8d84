// SPDX-License-Identifier: GPL-3.0-or-later
// FLAC source: libFLAC with frame CRCs checked and the MD5 of the audio checked at the end of a full pass.
#pragma once

#include "sources/Audiosource.h"

#include <memory>

class TLuCueFlacFile final : public TLuCueAudioFile
{
public:
    // Reads STREAMINFO (decodes the whole stream once, reported to progress, when it holds no sample count).
    TLuCueFlacFile(const std::string& path, const TCountProgress& progress);
    ~TLuCueFlacFile() override;

private:
    std::int64_t Restart(std::int64_t sample) override;
    bool Decode() override;
    void CheckEnd() override;

    void Open();
    void Close();
    void ThrowIfFailed(std::int64_t sample);

    struct TContext;
    std::unique_ptr<TContext> Context; // while a decoder is open
    std::int64_t FileOffset = 0;
    std::int64_t FileLength = 0;
    std::int64_t Decoded = 0; // samples delivered in this pass, for messages
    bool Counting = false;
    bool HaveInfo = false;
    std::uint32_t Rate = 0;
    std::uint32_t Bits = 0;
    std::uint32_t Channels = 0;
    std::uint64_t TotalSamples = 0;
    std::string Error; // set by the callbacks, which must not throw through libFLAC
};
