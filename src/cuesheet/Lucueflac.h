// FLAC source: libFLAC with frame CRCs checked and the MD5 of the audio checked at the end of a full pass.
#pragma once

#include "cuesheet/Lucueaudio.h"

#include <FLAC/stream_decoder.h>

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

    static FLAC__StreamDecoderReadStatus ReadProc(const FLAC__StreamDecoder*, FLAC__byte buffer[], size_t* bytes,
                                                  void* self);
    static FLAC__StreamDecoderSeekStatus SeekProc(const FLAC__StreamDecoder*, FLAC__uint64 offset, void* self);
    static FLAC__StreamDecoderTellStatus TellProc(const FLAC__StreamDecoder*, FLAC__uint64* offset, void* self);
    static FLAC__StreamDecoderLengthStatus LengthProc(const FLAC__StreamDecoder*, FLAC__uint64* length, void* self);
    static FLAC__bool EofProc(const FLAC__StreamDecoder*, void* self);
    static FLAC__StreamDecoderWriteStatus WriteProc(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                                    const FLAC__int32* const buffer[], void* self);
    static void MetadataProc(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata, void* self);
    static void ErrorProc(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus status, void* self);

    FLAC__StreamDecoder* Decoder = nullptr;
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
