// SPDX-License-Identifier: GPL-3.0-or-later
#include "sources/Flacsource.h"

#include <FLAC/stream_decoder.h>

#include <cstring>
#include <exception>

// libFLAC's decoder, and the callbacks through which it reads the file and hands over samples.
struct TLuCueFlacFile::TContext
{
    FLAC__StreamDecoder* Decoder = nullptr;

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
};

namespace {

TLuCueFlacFile& Self(void* self)
{
    return *static_cast<TLuCueFlacFile*>(self);
}

} // namespace

TLuCueFlacFile::TLuCueFlacFile(const std::string& path, const TCountProgress& progress)
    : TLuCueAudioFile(path, progress)
{
    Format = "FLAC";
    ChecksAtEnd = true;
    FileLength = FileSize();
    Open();
    if (!FLAC__stream_decoder_process_until_end_of_metadata(Context->Decoder) || !HaveInfo)
    {
        Close();
        throw EAudioRefused(Name + ": not a readable FLAC stream" + (Error.empty() ? "" : " (" + Error + ")"));
    }
    if (Rate != CD_SAMPLE_RATE || Bits != 16 || Channels != 2)
    {
        Close();
        Refuse(Rate, static_cast<int>(Bits), static_cast<int>(Channels));
    }
    if (TotalSamples == 0)
    {
        // No count in STREAMINFO: count by decoding once.
        Counting = true;
        while (FLAC__stream_decoder_get_state(Context->Decoder) != FLAC__STREAM_DECODER_END_OF_STREAM)
        {
            if (!FLAC__stream_decoder_process_single(Context->Decoder) || !Error.empty())
            {
                const std::string error = Error.empty() ? "decoder error" : Error;
                Close();
                throw EAudioRefused(Name + ": " + error + " while counting the samples");
            }
            try
            {
                ReportCount(FileOffset, FileLength);
            }
            catch (...)
            {
                Close();
                throw;
            }
        }
        Counting = false;
        TotalSamples = static_cast<std::uint64_t>(Decoded);
    }
    Close();
    DataLength = static_cast<std::int64_t>(TotalSamples) * CD_SAMPLE_BYTES;
}

TLuCueFlacFile::~TLuCueFlacFile()
{
    Close();
}

void TLuCueFlacFile::Open()
{
    Context = std::make_unique<TContext>();
    Context->Decoder = FLAC__stream_decoder_new();
    if (Context->Decoder == nullptr)
    {
        Context.reset();
        throw std::bad_alloc();
    }
    FLAC__stream_decoder_set_md5_checking(Context->Decoder, true);
    FileOffset = 0;
    Decoded = 0;
    Error.clear();
    if (FLAC__stream_decoder_init_stream(Context->Decoder, TContext::ReadProc, TContext::SeekProc, TContext::TellProc,
                                         TContext::LengthProc, TContext::EofProc, TContext::WriteProc,
                                         TContext::MetadataProc, TContext::ErrorProc,
                                         this) != FLAC__STREAM_DECODER_INIT_STATUS_OK)
    {
        Close();
        throw EAudioRefused(Name + ": the FLAC decoder cannot start");
    }
}

void TLuCueFlacFile::Close()
{
    if (!Context)
        return;
    FLAC__stream_decoder_finish(Context->Decoder);
    FLAC__stream_decoder_delete(Context->Decoder);
    Context.reset();
}

void TLuCueFlacFile::ThrowIfFailed(std::int64_t sample)
{
    if (Error.empty())
        return;
    const std::string error = Error;
    // The decoder is in an unknown state: the next read starts a new one.
    Close();
    Fail(error, sample);
}

std::int64_t TLuCueFlacFile::Restart(std::int64_t sample)
{
    if (!Context)
        Open();
    Error.clear();
    if (sample == 0)
    {
        // A reset, unlike a seek, keeps the MD5 check of the pass.
        if (!FLAC__stream_decoder_reset(Context->Decoder))
            Fail("the FLAC decoder cannot restart", 0);
        FileOffset = 0;
        Decoded = 0;
        return 0;
    }
    Decoded = sample;
    const bool sought = FLAC__stream_decoder_seek_absolute(Context->Decoder, static_cast<FLAC__uint64>(sample));
    ThrowIfFailed(sample);
    if (!sought)
    {
        Close();
        Fail("cannot seek in the stream", sample);
    }
    // libFLAC delivered the block from the target sample on during the seek.
    Decoded = sample + static_cast<std::int64_t>(Block.size()) / CD_SAMPLE_BYTES;
    return sample;
}

bool TLuCueFlacFile::Decode()
{
    if (!Context)
        return false;
    while (Block.empty())
    {
        if (FLAC__stream_decoder_get_state(Context->Decoder) == FLAC__STREAM_DECODER_END_OF_STREAM)
            return false;
        const bool ok = FLAC__stream_decoder_process_single(Context->Decoder);
        ThrowIfFailed(Decoded);
        if (!ok)
        {
            Close();
            Fail("decoder error", Decoded);
        }
    }
    return true;
}

void TLuCueFlacFile::CheckEnd()
{
    // Frames beyond the stated length would not be played; reaching the end verifies the MD5.
    const std::vector<std::uint8_t> last = Block;
    while (FLAC__stream_decoder_get_state(Context->Decoder) != FLAC__STREAM_DECODER_END_OF_STREAM)
    {
        if (!FLAC__stream_decoder_process_single(Context->Decoder))
            break;
        ThrowIfFailed(Decoded);
    }
    Block = last;
    const bool intact = FLAC__stream_decoder_finish(Context->Decoder);
    ThrowIfFailed(Decoded);
    FLAC__stream_decoder_delete(Context->Decoder);
    Context.reset();
    if (!intact)
        Fail("the decoded audio does not match the MD5 signature of the stream",
             static_cast<std::int64_t>(TotalSamples));
}

FLAC__StreamDecoderReadStatus TLuCueFlacFile::TContext::ReadProc(const FLAC__StreamDecoder*, FLAC__byte buffer[],
                                                                 size_t* bytes, void* self)
{
    TLuCueFlacFile& file = Self(self);
    try
    {
        const std::size_t n = file.ReadAt(file.FileOffset, buffer, *bytes);
        file.FileOffset += static_cast<std::int64_t>(n);
        *bytes = n;
        return n == 0 ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM : FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
    }
    catch (const std::exception& error)
    {
        file.Error = error.what();
    }
    catch (...)
    {
        file.Error = "read error";
    }
    *bytes = 0;
    return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
}

FLAC__StreamDecoderSeekStatus TLuCueFlacFile::TContext::SeekProc(const FLAC__StreamDecoder*, FLAC__uint64 offset,
                                                                 void* self)
{
    Self(self).FileOffset = static_cast<std::int64_t>(offset);
    return FLAC__STREAM_DECODER_SEEK_STATUS_OK;
}

FLAC__StreamDecoderTellStatus TLuCueFlacFile::TContext::TellProc(const FLAC__StreamDecoder*, FLAC__uint64* offset,
                                                                 void* self)
{
    *offset = static_cast<FLAC__uint64>(Self(self).FileOffset);
    return FLAC__STREAM_DECODER_TELL_STATUS_OK;
}

FLAC__StreamDecoderLengthStatus TLuCueFlacFile::TContext::LengthProc(const FLAC__StreamDecoder*, FLAC__uint64* length,
                                                                     void* self)
{
    *length = static_cast<FLAC__uint64>(Self(self).FileLength);
    return FLAC__STREAM_DECODER_LENGTH_STATUS_OK;
}

FLAC__bool TLuCueFlacFile::TContext::EofProc(const FLAC__StreamDecoder*, void* self)
{
    return Self(self).FileOffset >= Self(self).FileLength;
}

FLAC__StreamDecoderWriteStatus TLuCueFlacFile::TContext::WriteProc(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                                                   const FLAC__int32* const buffer[], void* self)
{
    TLuCueFlacFile& file = Self(self);
    const std::uint32_t count = frame->header.blocksize;
    file.Decoded += count;
    if (file.Counting)
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    if (frame->header.channels != 2 || frame->header.bits_per_sample != 16 || frame->header.sample_rate != file.Rate)
    {
        file.Error = "a frame differs in format from the stream";
        return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    }
    const std::size_t start = file.Block.size();
    file.Block.resize(start + std::size_t(count) * CD_SAMPLE_BYTES);
    std::uint8_t* out = file.Block.data() + start;
    const FLAC__int32* left = buffer[0];
    const FLAC__int32* right = buffer[1];
    for (std::uint32_t i = 0; i < count; ++i)
    {
        const auto l = static_cast<std::uint16_t>(left[i]);
        const auto r = static_cast<std::uint16_t>(right[i]);
        out[0] = static_cast<std::uint8_t>(l);
        out[1] = static_cast<std::uint8_t>(l >> 8);
        out[2] = static_cast<std::uint8_t>(r);
        out[3] = static_cast<std::uint8_t>(r >> 8);
        out += 4;
    }
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void TLuCueFlacFile::TContext::MetadataProc(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata,
                                            void* self)
{
    if (metadata->type != FLAC__METADATA_TYPE_STREAMINFO)
        return;
    TLuCueFlacFile& file = Self(self);
    const auto& info = metadata->data.stream_info;
    file.HaveInfo = true;
    file.Rate = info.sample_rate;
    file.Bits = info.bits_per_sample;
    file.Channels = info.channels;
    file.TotalSamples = info.total_samples;
}

void TLuCueFlacFile::TContext::ErrorProc(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus status, void* self)
{
    TLuCueFlacFile& file = Self(self);
    if (!file.Error.empty())
        return;
    switch (status)
    {
    case FLAC__STREAM_DECODER_ERROR_STATUS_FRAME_CRC_MISMATCH: file.Error = "damaged frame (CRC mismatch)"; break;
    case FLAC__STREAM_DECODER_ERROR_STATUS_LOST_SYNC: file.Error = "damaged stream (lost sync)"; break;
    case FLAC__STREAM_DECODER_ERROR_STATUS_BAD_HEADER: file.Error = "damaged frame header"; break;
    default: file.Error = "undecodable stream"; break;
    }
}
