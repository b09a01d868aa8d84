// SPDX-License-Identifier: GPL-3.0-or-later
#include "sources/Ffmpegsource.h"

#include "sources/Avlibrary.h"
#include "text/Asciitext.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <mutex>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/intreadwrite.h>
}

namespace {

// Demuxers for audio files; anything else (playlists, images, raw streams) is not opened.
constexpr const char* DEMUXERS = "aiff,ape,asf,caf,matroska,mov,mp3,ogg,tta,w64,wav,wv";
constexpr int IO_BUFFER_SIZE = 1 << 16;
constexpr std::size_t PROBE_SIZE = 1 << 20;
constexpr std::int64_t MAX_TAGS_SIZE = 64 << 20;
// A header's count is kept below this: still far longer than any disc, which the sheet then refuses,
// and its byte count stays well within 64 bits.
constexpr std::int64_t MAX_STATED_SAMPLES = std::int64_t(1) << 40;

// Loaded by then: a decoded file's constructor refuses the file when the libraries cannot be loaded.
const TAvLibrary& Av()
{
    return *LoadAvLibrary();
}

std::string ErrorString(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    Av().av_strerror(code, text, sizeof text);
    return text;
}

std::string FormatName(AVCodecID id, const AVCodecDescriptor* descriptor)
{
    switch (id)
    {
    case AV_CODEC_ID_MP3: return "MP3";
    case AV_CODEC_ID_WAVPACK: return "WavPack";
    case AV_CODEC_ID_APE: return "APE";
    case AV_CODEC_ID_ALAC: return "ALAC";
    case AV_CODEC_ID_VORBIS: return "Vorbis";
    case AV_CODEC_ID_OPUS: return "Opus";
    case AV_CODEC_ID_TTA: return "TTA";
    case AV_CODEC_ID_PCM_S16BE:
    case AV_CODEC_ID_PCM_S16LE: return "PCM";
    default: return descriptor != nullptr ? descriptor->name : "unknown";
    }
}

std::int64_t Id3TagsLength(const std::uint8_t* head, std::size_t size)
{
    std::int64_t offset = 0;
    while (offset + 10 <= static_cast<std::int64_t>(size) && std::memcmp(head + offset, "ID3", 3) == 0)
    {
        const std::uint8_t* tag = head + offset;
        std::int64_t length = 0;
        for (int i = 6; i < 10; ++i)
            length = (length << 7) | (tag[i] & 0x7F);
        offset += 10 + length + ((tag[5] & 0x10) ? 10 : 0);
    }
    return offset;
}

int RefuseOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**)
{
    // A demuxer asking for a second file (a reference, a playlist entry) gets none.
    return AVERROR(EPERM);
}

// By content (the name's extension only breaks ties); a weak guess is not enough. head: padded.
const AVInputFormat* ProbeInput(const std::string& name, std::vector<std::uint8_t>& head)
{
    AVProbeData probe{};
    probe.filename = name.c_str();
    probe.buf = head.data();
    probe.buf_size = static_cast<int>(head.size() - AVPROBE_PADDING_SIZE);
    int score = 0;
    const AVInputFormat* input = Av().av_probe_input_format3(&probe, 1, &score);
    if (input == nullptr || score < AVPROBE_SCORE_RETRY)
        throw EFOpenError("File Format Error");
    return input;
}

std::int16_t FloatToSample(float value)
{
    // Plain rounding: no dither.
    const float scaled = std::nearbyint(value * 32768.0F);
    return static_cast<std::int16_t>(std::clamp(scaled, -32768.0F, 32767.0F));
}

} // namespace

struct TLuCueDecodedFile::TContext
{
    AVFormatContext* Format = nullptr;
    AVIOContext* Io = nullptr;
    AVCodecContext* Codec = nullptr;
    AVPacket* Packet = nullptr;
    AVFrame* Frame = nullptr;
    AVStream* Stream = nullptr;
    bool Draining = false;

    ~TContext()
    {
        Av().av_frame_free(&Frame);
        Av().av_packet_free(&Packet);
        Av().avcodec_free_context(&Codec);
        Av().avformat_close_input(&Format);
        if (Io != nullptr)
        {
            Av().av_freep(&Io->buffer);
            Av().avio_context_free(&Io);
        }
    }
};

TLuCueDecodedFile::TLuCueDecodedFile(const std::string& path, const TCountProgress& progress)
    : TLuCueAudioFile(path, progress)
{
    if (LoadAvLibrary() == nullptr)
        throw EAudioRefused(Name + ": " + AvLoadError());
    static std::once_flag quiet;
    std::call_once(quiet, [] { Av().av_log_set_level(AV_LOG_QUIET); });
    Open();
    const AVCodecParameters& parameters = *Context->Stream->codecpar;
    const AVCodecDescriptor* descriptor = Av().avcodec_descriptor_get(parameters.codec_id);
    Format = FormatName(parameters.codec_id, descriptor);
    Lossy = descriptor == nullptr || (descriptor->props & AV_CODEC_PROP_LOSSLESS) == 0;
    const auto sampleFormat = static_cast<AVSampleFormat>(parameters.format);
    int bits = parameters.bits_per_raw_sample;
    if (bits == 0 && sampleFormat != AV_SAMPLE_FMT_NONE)
        bits = Av().av_get_bytes_per_sample(sampleFormat) * 8;
    const int channels = parameters.ch_layout.nb_channels;
    bool usable = parameters.sample_rate == CD_SAMPLE_RATE && channels == 2;
    if (Lossy)
        usable = usable && (sampleFormat == AV_SAMPLE_FMT_S16 || sampleFormat == AV_SAMPLE_FMT_S16P ||
                            sampleFormat == AV_SAMPLE_FMT_FLT || sampleFormat == AV_SAMPLE_FMT_FLTP);
    else
        usable = usable && bits == 16 && (sampleFormat == AV_SAMPLE_FMT_S16 || sampleFormat == AV_SAMPLE_FMT_S16P);
    if (!usable)
    {
        const int rate = parameters.sample_rate;
        Context.reset();
        Refuse(rate, Lossy ? 0 : bits, channels);
    }

    // Lossless containers state the count, MP3 frames hold 1,152 samples each and carry the encoder's
    // delay and padding as samples to skip. Others (Vorbis, AAC, WMA, any Matroska or ASF file, whose
    // times are in milliseconds) deliver what their decoder delivers: count that.
    const AVStream& stream = *Context->Stream;
    const AVRational base = stream.time_base;
    const bool wholeSamples = base.num > 0 && base.den % (std::int64_t{CD_SAMPLE_RATE} * base.num) == 0;
    std::int64_t count = -1;
    if (wholeSamples && !Lossy && stream.duration > 0 &&
        Context->Format->duration_estimation_method == AVFMT_DURATION_FROM_STREAM)
        count = Av().av_rescale_q(stream.duration, base, AVRational{1, CD_SAMPLE_RATE});
    else if (wholeSamples && parameters.codec_id == AV_CODEC_ID_MP3)
        count = CountFrames();
    if (count < 0)
        count = CountByDecoding();
    Context.reset();
    DataLength = std::min(count, MAX_STATED_SAMPLES) * CD_SAMPLE_BYTES;
}

TLuCueDecodedFile::~TLuCueDecodedFile() = default;

namespace {

void OpenDecoder(TLuCueDecodedFile::TContext& context, const std::string& name)
{
    const AVCodecParameters& parameters = *context.Stream->codecpar;
    // The fixed-point MP3 decoder rounds to 16 bits itself.
    const AVCodec* codec = parameters.codec_id == AV_CODEC_ID_MP3 ? Av().avcodec_find_decoder_by_name("mp3") : nullptr;
    if (codec == nullptr)
        codec = Av().avcodec_find_decoder(parameters.codec_id);
    if (codec == nullptr)
        throw EAudioRefused(name + ": no decoder for " + Av().avcodec_get_name(parameters.codec_id) + " audio");
    context.Codec = Av().avcodec_alloc_context3(codec);
    context.Packet = Av().av_packet_alloc();
    context.Frame = Av().av_frame_alloc();
    if (context.Codec == nullptr || context.Packet == nullptr || context.Frame == nullptr)
        throw std::bad_alloc();
    if (Av().avcodec_parameters_to_context(context.Codec, &parameters) < 0)
        throw std::bad_alloc();
    // Checksums are checked; a lossless stream that breaks any rule is damaged.
    context.Codec->err_recognition = AV_EF_CRCCHECK;
    const AVCodecDescriptor* descriptor = Av().avcodec_descriptor_get(parameters.codec_id);
    if (descriptor != nullptr && (descriptor->props & AV_CODEC_PROP_LOSSLESS) != 0)
        context.Codec->err_recognition |= AV_EF_BITSTREAM | AV_EF_EXPLODE;
    const int result = Av().avcodec_open2(context.Codec, codec, nullptr);
    if (result < 0)
        throw EAudioRefused(name + ": the " + codec->name + " decoder cannot start (" + ErrorString(result) + ")");
}

} // namespace

void TLuCueDecodedFile::Open()
{
    Context.reset();
    auto context = std::make_unique<TContext>();
    FileOffset = 0;
    Decoded = 0;
    IoError.clear();
    OpenDemuxer(*context);
    OpenDecoder(*context, Name);
    Context = std::move(context);
}

std::vector<std::uint8_t> TLuCueDecodedFile::ProbeHead()
{
    const std::int64_t size = FileSize();
    std::vector<std::uint8_t> head(static_cast<std::size_t>(std::min<std::int64_t>(size, PROBE_SIZE)) +
                                   AVPROBE_PADDING_SIZE);
    std::size_t got = ReadAt(0, head.data(), head.size() - AVPROBE_PADDING_SIZE);
    const std::int64_t tags = Id3TagsLength(head.data(), got);
    if (tags > 0 && tags < MAX_TAGS_SIZE && tags + 10 > static_cast<std::int64_t>(got))
    {
        // Cover art in the tags: probe what follows them.
        head.assign(static_cast<std::size_t>(std::min<std::int64_t>(size, tags + PROBE_SIZE)) + AVPROBE_PADDING_SIZE,
                    0);
        got = ReadAt(0, head.data(), head.size() - AVPROBE_PADDING_SIZE);
    }
    std::fill(head.begin() + static_cast<std::ptrdiff_t>(got), head.end(), 0);
    head.resize(got + AVPROBE_PADDING_SIZE);
    return head;
}

void TLuCueDecodedFile::AttachIo(TContext& context)
{
    auto* buffer = static_cast<unsigned char*>(Av().av_malloc(IO_BUFFER_SIZE));
    if (buffer == nullptr)
        throw std::bad_alloc();
    context.Io = Av().avio_alloc_context(
        buffer, IO_BUFFER_SIZE, 0, this,
        [](void* self, std::uint8_t* out, int wanted) -> int {
            auto& file = *static_cast<TLuCueDecodedFile*>(self);
            try
            {
                const std::size_t n = file.ReadAt(file.FileOffset, out, static_cast<std::size_t>(wanted));
                file.FileOffset += static_cast<std::int64_t>(n);
                return n == 0 ? AVERROR_EOF : static_cast<int>(n);
            }
            catch (const std::exception& error)
            {
                file.IoError = error.what();
            }
            catch (...)
            {
                file.IoError = "read error";
            }
            return AVERROR(EIO);
        },
        nullptr,
        [](void* self, std::int64_t offset, int whence) -> std::int64_t {
            auto& file = *static_cast<TLuCueDecodedFile*>(self);
            try
            {
                const std::int64_t length = file.FileSize();
                if (whence == AVSEEK_SIZE)
                    return length;
                whence &= ~AVSEEK_FORCE;
                const std::int64_t base = whence == SEEK_CUR ? file.FileOffset : whence == SEEK_END ? length : 0;
                if (base + offset < 0)
                    return AVERROR(EINVAL);
                file.FileOffset = base + offset;
                return file.FileOffset;
            }
            catch (...)
            {
                return AVERROR(EIO);
            }
        });
    if (context.Io == nullptr)
    {
        Av().av_free(buffer);
        throw std::bad_alloc();
    }
}

void TLuCueDecodedFile::OpenDemuxer(TContext& context)
{
    std::vector<std::uint8_t> head = ProbeHead();
    const AVInputFormat* input = ProbeInput(Name, head);
    AttachIo(context);
    context.Format = Av().avformat_alloc_context();
    if (context.Format == nullptr)
        throw std::bad_alloc();
    context.Format->pb = context.Io;
    context.Format->flags |= AVFMT_FLAG_CUSTOM_IO;
    context.Format->io_open = RefuseOpen;
    context.Format->format_whitelist = Av().av_strdup(DEMUXERS);
    const std::string url = Name;
    const int result = Av().avformat_open_input(&context.Format, url.c_str(), input, nullptr);
    if (result < 0)
        throw EFOpenError("File Format Error"); // it frees the context itself
    if (Av().avformat_find_stream_info(context.Format, nullptr) < 0)
        throw EAudioRefused(Name + ": no audio stream can be read from this " + input->name + " file");
    const int index = Av().av_find_best_stream(context.Format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (index < 0)
        throw EAudioRefused(Name + ": the file holds no audio stream");
    context.Stream = context.Format->streams[index];
    for (unsigned i = 0; i < context.Format->nb_streams; ++i)
        if (static_cast<int>(i) != index)
            context.Format->streams[i]->discard = AVDISCARD_ALL;
}

std::int64_t TLuCueDecodedFile::CountFrames()
{
    const AVRational perSample{1, CD_SAMPLE_RATE};
    const std::int64_t size = FileSize();
    std::int64_t count = 0;
    AVPacket* packet = Context->Packet;
    for (;;)
    {
        const int result = Av().av_read_frame(Context->Format, packet);
        if (result == AVERROR_EOF)
            break;
        if (result < 0)
            throw EAudioRefused(Name + ": the file cannot be read to its end (" +
                                (IoError.empty() ? ErrorString(result) : IoError) + ")");
        if (packet->stream_index == Context->Stream->index)
        {
            if (packet->duration <= 0)
            {
                Av().av_packet_unref(packet);
                Open();
                return -1;
            }
            count += Av().av_rescale_q(packet->duration, Context->Stream->time_base, perSample);
            std::size_t length = 0;
            if (const std::uint8_t* skip = Av().av_packet_get_side_data(packet, AV_PKT_DATA_SKIP_SAMPLES, &length);
                skip != nullptr && length >= 8)
                count -= std::int64_t(AV_RL32(skip)) + std::int64_t(AV_RL32(skip + 4));
        }
        Av().av_packet_unref(packet);
        ReportCount(FileOffset, size);
    }
    ReportCount(size, size);
    return count;
}

std::int64_t TLuCueDecodedFile::CountByDecoding()
{
    const std::int64_t size = FileSize();
    std::int64_t count = 0;
    while (Decode())
    {
        count += static_cast<std::int64_t>(Block.size()) / CD_SAMPLE_BYTES;
        Block.clear();
        ReportCount(FileOffset, size);
    }
    ReportCount(size, size);
    return count;
}

std::int64_t TLuCueDecodedFile::Restart(std::int64_t)
{
    // Sample-exact only from the start: the decoder is opened anew and decodes up to the sample.
    Open();
    return 0;
}

bool TLuCueDecodedFile::Decode()
{
    if (!Context)
        return false;
    TContext& context = *Context;
    for (;;)
    {
        int result = Av().avcodec_receive_frame(context.Codec, context.Frame);
        if (result == 0)
        {
            AppendFrame();
            Av().av_frame_unref(context.Frame);
            if (!Block.empty())
                return true;
            continue;
        }
        if (result == AVERROR_EOF)
            return false;
        if (result != AVERROR(EAGAIN))
            Fail("decoder error (" + ErrorString(result) + ")", Decoded);
        if (context.Draining)
            return false;
        result = Av().av_read_frame(context.Format, context.Packet);
        if (result == AVERROR_EOF)
        {
            context.Draining = true;
            Av().avcodec_send_packet(context.Codec, nullptr);
            continue;
        }
        if (result < 0)
            Fail(IoError.empty() ? "truncated or damaged file (" + ErrorString(result) + ")" : IoError, Decoded);
        if (context.Packet->stream_index == context.Stream->index)
        {
            result = Av().avcodec_send_packet(context.Codec, context.Packet);
            if (result < 0 && result != AVERROR(EAGAIN))
            {
                Av().av_packet_unref(context.Packet);
                Fail("decoder error (" + ErrorString(result) + ")", Decoded);
            }
        }
        Av().av_packet_unref(context.Packet);
    }
}

void TLuCueDecodedFile::AppendFrame()
{
    const AVFrame& frame = *Context->Frame;
    if (frame.ch_layout.nb_channels != 2 || frame.sample_rate != CD_SAMPLE_RATE)
        Fail("the audio format changes inside the stream", Decoded);
    const auto count = static_cast<std::size_t>(frame.nb_samples);
    const std::size_t start = Block.size();
    Block.resize(start + count * CD_SAMPLE_BYTES);
    std::uint8_t* out = Block.data() + start;
    auto put = [&out](std::int16_t left, std::int16_t right) {
        const auto l = static_cast<std::uint16_t>(left);
        const auto r = static_cast<std::uint16_t>(right);
        out[0] = static_cast<std::uint8_t>(l);
        out[1] = static_cast<std::uint8_t>(l >> 8);
        out[2] = static_cast<std::uint8_t>(r);
        out[3] = static_cast<std::uint8_t>(r >> 8);
        out += 4;
    };
    switch (frame.format)
    {
    case AV_SAMPLE_FMT_S16:
    {
        const auto* in = reinterpret_cast<const std::int16_t*>(frame.data[0]);
        for (std::size_t i = 0; i < count; ++i)
            put(in[2 * i], in[2 * i + 1]);
        break;
    }
    case AV_SAMPLE_FMT_S16P:
    {
        const auto* left = reinterpret_cast<const std::int16_t*>(frame.data[0]);
        const auto* right = reinterpret_cast<const std::int16_t*>(frame.data[1]);
        for (std::size_t i = 0; i < count; ++i)
            put(left[i], right[i]);
        break;
    }
    case AV_SAMPLE_FMT_FLT:
    {
        const auto* in = reinterpret_cast<const float*>(frame.data[0]);
        for (std::size_t i = 0; i < count; ++i)
            put(FloatToSample(in[2 * i]), FloatToSample(in[2 * i + 1]));
        break;
    }
    case AV_SAMPLE_FMT_FLTP:
    {
        const auto* left = reinterpret_cast<const float*>(frame.data[0]);
        const auto* right = reinterpret_cast<const float*>(frame.data[1]);
        for (std::size_t i = 0; i < count; ++i)
            put(FloatToSample(left[i]), FloatToSample(right[i]));
        break;
    }
    default: Fail("the decoder delivers an unexpected sample format", Decoded);
    }
    Decoded += static_cast<std::int64_t>(count);
}

void TLuCueDecodedFile::CheckEnd()
{
    // The decoder must end exactly where the count says: more or fewer samples would shift the album.
    const std::vector<std::uint8_t> last = std::move(Block);
    Block.clear();
    while (Decode())
        Block.clear();
    Block = last;
    if (Decoded != DataLength / CD_SAMPLE_BYTES)
        Fail("decodes to " + GroupedNumber(Decoded) + " samples, not the " +
                 GroupedNumber(DataLength / CD_SAMPLE_BYTES) + " counted",
             Decoded);
    Context.reset();
}
