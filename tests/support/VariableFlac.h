// SPDX-License-Identifier: GPL-3.0-or-later
// A FLAC stream of varying block sizes, which no Debian encoder writes: the PCM is encoded in segments with
// libFLAC at fixed sizes, and each frame is renumbered by its first sample with the variable-size bit set.
#pragma once

#include <FLAC/stream_encoder.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace variable_flac {

// MSB-first CRC with register 0 and no final inversion: CRC-8 (0x07) of frame headers, CRC-16 (0x8005) of frames.
inline unsigned Crc(const std::string& data, int width, unsigned poly)
{
    const unsigned top = 1U << (width - 1);
    const unsigned mask = (top << 1) - 1;
    unsigned reg = 0;
    for (const char c : data)
        for (int bit = 7; bit >= 0; --bit)
        {
            const bool feedback = ((reg & top) != 0) != (((static_cast<unsigned char>(c) >> bit) & 1) != 0);
            reg = ((reg << 1) ^ (feedback ? poly : 0)) & mask;
        }
    return reg;
}

// The UTF-8-like code of frame and sample numbers (up to 36 bits).
inline std::string CodedNumber(std::uint64_t value)
{
    if (value < 0x80)
        return std::string(1, static_cast<char>(value));
    int extra = 1;
    while (extra < 6 && value >= (std::uint64_t(1) << (6 + 5 * extra)))
        ++extra;
    std::string out(1, static_cast<char>(((0xFF00U >> (extra + 1)) & 0xFF) | (value >> (6 * extra))));
    for (int i = extra - 1; i >= 0; --i)
        out += static_cast<char>(0x80 | ((value >> (6 * i)) & 0x3F));
    return out;
}

struct TEncoded
{
    std::vector<std::string> Frames;
    std::vector<std::uint32_t> FrameSamples;
    std::string Md5; // of the whole segment's PCM, from STREAMINFO
};

inline TEncoded Encode(const std::string& pcm, std::uint32_t blockSize)
{
    TEncoded out;
    FLAC__StreamEncoder* encoder = FLAC__stream_encoder_new();
    FLAC__stream_encoder_set_channels(encoder, 2);
    FLAC__stream_encoder_set_bits_per_sample(encoder, 16);
    FLAC__stream_encoder_set_sample_rate(encoder, 44100);
    FLAC__stream_encoder_set_compression_level(encoder, 5);
    FLAC__stream_encoder_set_blocksize(encoder, blockSize);
    const auto write = [](const FLAC__StreamEncoder*, const FLAC__byte buffer[], size_t bytes, uint32_t samples,
                          uint32_t, void* data) {
        // Each frame arrives in one call, with its sample count; metadata has none.
        if (samples > 0)
        {
            auto& encoded = *static_cast<TEncoded*>(data);
            encoded.Frames.emplace_back(reinterpret_cast<const char*>(buffer), bytes);
            encoded.FrameSamples.push_back(samples);
        }
        return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
    };
    const auto metadata = [](const FLAC__StreamEncoder*, const FLAC__StreamMetadata* info, void* data) {
        static_cast<TEncoded*>(data)->Md5.assign(reinterpret_cast<const char*>(info->data.stream_info.md5sum), 16);
    };
    bool ok = FLAC__stream_encoder_init_stream(encoder, write, nullptr, nullptr, metadata, &out) ==
              FLAC__STREAM_ENCODER_INIT_STATUS_OK;
    std::vector<FLAC__int32> samples(pcm.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(
            static_cast<unsigned char>(pcm[2 * i]) | static_cast<unsigned char>(pcm[2 * i + 1]) << 8));
    ok = ok && FLAC__stream_encoder_process_interleaved(encoder, samples.data(), unsigned(samples.size() / 2));
    ok = FLAC__stream_encoder_finish(encoder) && ok;
    FLAC__stream_encoder_delete(encoder);
    if (!ok)
        throw std::runtime_error("libFLAC could not encode the test audio");
    return out;
}

// The frame with the variable-size bit set and the coded number replaced by its first sample; both CRCs again.
inline std::string Renumbered(const std::string& frame, std::uint64_t firstSample)
{
    const auto byte = [&frame](std::size_t i) { return static_cast<unsigned char>(frame[i]); };
    // The leading one bits of the number's first byte give its length in bytes; none means one byte.
    std::size_t numberLength = 0;
    while (numberLength < 7 && (byte(4) & (0x80U >> numberLength)) != 0)
        ++numberLength;
    numberLength = std::max<std::size_t>(numberLength, 1);
    const unsigned sizeCode = byte(2) >> 4;
    const unsigned rateCode = byte(2) & 0x0F;
    const std::size_t extra = (sizeCode == 6   ? 1
                               : sizeCode == 7 ? 2
                                               : 0) +
                              (rateCode == 12 ? 1 : 0) + (rateCode == 13 || rateCode == 14 ? 2 : 0);
    const std::size_t headerEnd = 4 + numberLength + extra; // where the old CRC-8 sits
    std::string header = frame.substr(0, 4);
    header[1] = static_cast<char>(byte(1) | 1);
    header += CodedNumber(firstSample) + frame.substr(4 + numberLength, extra);
    header += static_cast<char>(Crc(header, 8, 0x07));
    std::string out = header + frame.substr(headerEnd + 1, frame.size() - headerEnd - 3);
    const unsigned crc16 = Crc(out, 16, 0x8005);
    out += static_cast<char>(crc16 >> 8);
    out += static_cast<char>(crc16 & 0xFF);
    return out;
}

} // namespace variable_flac

// 16-bit stereo PCM as a FLAC stream whose segments were coded at the block sizes given in turn (each
// segment segmentSamples long, the last one the rest), with the MD5 signature of the whole PCM.
inline std::string VariableBlockFlac(const std::string& pcm, const std::vector<std::uint32_t>& blockSizes,
                                     std::size_t segmentSamples)
{
    using namespace variable_flac;
    const std::size_t total = pcm.size() / 4;
    std::string frames;
    std::uint64_t sample = 0;
    std::uint32_t minBlock = 65535;
    std::uint32_t maxBlock = 0;
    for (std::size_t s = 0; sample < total; ++s)
    {
        const std::size_t length = std::min<std::size_t>(segmentSamples, total - sample);
        const TEncoded segment = Encode(pcm.substr(sample * 4, length * 4), blockSizes[s % blockSizes.size()]);
        for (std::size_t f = 0; f < segment.Frames.size(); ++f)
        {
            frames += Renumbered(segment.Frames[f], sample);
            sample += segment.FrameSamples[f];
            if (sample < total) // the last frame may be shorter than the minimum
                minBlock = std::min(minBlock, segment.FrameSamples[f]);
            maxBlock = std::max(maxBlock, segment.FrameSamples[f]);
        }
    }
    // STREAMINFO, the last metadata block: sizes, 44,100 Hz, 2 channels, 16 bits, total samples and MD5.
    std::string info = "fLaC";
    info += std::string{'\x80', 0, 0, 34};
    info += static_cast<char>(minBlock >> 8);
    info += static_cast<char>(minBlock & 0xFF);
    info += static_cast<char>(maxBlock >> 8);
    info += static_cast<char>(maxBlock & 0xFF);
    info += std::string(6, '\0'); // frame sizes unknown
    const std::uint64_t packed = (std::uint64_t(44100) << 44) | (std::uint64_t(1) << 41) | (std::uint64_t(15) << 36) |
                                 static_cast<std::uint64_t>(total);
    for (int shift = 56; shift >= 0; shift -= 8)
        info += static_cast<char>((packed >> shift) & 0xFF);
    info += Encode(pcm, 4096).Md5;
    return info + frames;
}
