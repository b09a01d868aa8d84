// SPDX-License-Identifier: GPL-3.0-or-later
// Audio decoded by FFmpeg's libavformat/libavcodec: WavPack, APE, MP3, ALAC, AIFF, Ogg Vorbis and others.
#pragma once

#include "sources/Audiosource.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TLuCueDecodedFile final : public TLuCueAudioFile
{
public:
    // Checks the format and finds the exact sample count: stated by a lossless container, summed over
    // MP3 frames, else by decoding once (reported to progress). Throws EFOpenError when the file is not
    // audio the library knows.
    TLuCueDecodedFile(const std::string& path, const TCountProgress& progress);
    ~TLuCueDecodedFile() override;

    struct TContext;

private:
    std::int64_t Restart(std::int64_t sample) override;
    bool Decode() override;
    void CheckEnd() override;

    // Opens the file from its start: the demuxer on the I/O callbacks, then the decoder.
    void Open();
    // The file's first bytes for the probe, past ID3 tags that hold cover art, with the probe's padding.
    std::vector<std::uint8_t> ProbeHead();
    void AttachIo(TContext& context);
    void OpenDemuxer(TContext& context);
    // The MP3 frames' samples less those marked for skipping; -1 when a frame has no duration.
    std::int64_t CountFrames();
    std::int64_t CountByDecoding();
    void AppendFrame();

    std::unique_ptr<TContext> Context;
    std::int64_t FileOffset = 0;
    std::int64_t Decoded = 0;
    std::string IoError; // set by the I/O callbacks, which must not throw through the library
};
