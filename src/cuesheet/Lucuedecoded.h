// Audio decoded by FFmpeg's libavformat/libavcodec: WavPack, APE, MP3, ALAC, AIFF, Ogg Vorbis and others.
#pragma once

#include "cuesheet/Lucueaudio.h"

#include <memory>

class TLuCueDecodedFile final : public TLuCueAudioFile
{
public:
    // Checks the format and finds the exact sample count (by one pass over the packets where the
    // container does not state it). Throws EFOpenError when the file is not audio the library knows.
    explicit TLuCueDecodedFile(const std::string& path);
    ~TLuCueDecodedFile() override;

    struct TContext;

private:
    std::int64_t Restart(std::int64_t sample) override;
    bool Decode() override;
    void CheckEnd() override;

    void Open();
    std::int64_t CountSamples();
    void AppendFrame();

    std::unique_ptr<TContext> Context;
    std::int64_t FileOffset = 0;
    std::int64_t Decoded = 0;
    std::string IoError; // set by the I/O callbacks, which must not throw through the library
};
