// SPDX-License-Identifier: GPL-3.0-or-later
// Builds WAVE file images for tests, with optional extra chunks and broken fields.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct TWaveLayout
{
    std::uint16_t FormatTag = 1;
    std::uint16_t Channels = 2;
    std::uint32_t SampleRate = 44100;
    std::uint16_t BitsPerSample = 16;
    std::uint32_t FormatChunkSize = 16;
    bool Extensible = false;            // tag 0xFFFE; FormatTag goes into the subformat GUID
    std::string ChunksBeforeFormat;     // raw chunk bytes placed between "WAVE" and "fmt "
    std::string ChunksBeforeData;       // raw chunk bytes placed between "fmt " and "data"
    std::string Data;                   // the data chunk body
    std::int64_t DeclaredDataSize = -1; // -1: the real size
    std::string Trailer;                // bytes after the data chunk
    bool WithDataChunk = true;
};

inline void PutLE(std::string& out, std::uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

inline std::string MakeChunk(std::string_view id, std::string_view body)
{
    std::string out(id);
    PutLE(out, body.size(), 4);
    out.append(body);
    if (body.size() % 2)
        out.push_back('\0');
    return out;
}

inline std::string MakeWave(const TWaveLayout& layout)
{
    std::string fmt;
    PutLE(fmt, layout.Extensible ? 0xFFFE : layout.FormatTag, 2);
    PutLE(fmt, layout.Channels, 2);
    PutLE(fmt, layout.SampleRate, 4);
    const std::uint32_t align = layout.Channels * layout.BitsPerSample / 8u;
    PutLE(fmt, std::uint64_t(align) * layout.SampleRate, 4);
    PutLE(fmt, align, 2);
    PutLE(fmt, layout.BitsPerSample, 2);
    const std::uint32_t formatSize = layout.Extensible ? 40 : layout.FormatChunkSize;
    if (layout.Extensible)
    {
        PutLE(fmt, 22, 2);                           // the size of the extension
        PutLE(fmt, layout.BitsPerSample, 2);         // valid bits
        PutLE(fmt, layout.Channels == 2 ? 3 : 4, 4); // front left and right, or centre
        PutLE(fmt, layout.FormatTag, 2);
        fmt += std::string("\0\0\0\0\x10\0\x80\0\0\xAA\0\x38\x9B\x71", 14);
    }
    fmt.resize(formatSize, '\0');

    std::string body = "WAVE" + layout.ChunksBeforeFormat;
    body += "fmt ";
    PutLE(body, formatSize, 4);
    body += fmt;
    body += layout.ChunksBeforeData;
    if (layout.WithDataChunk)
    {
        body += "data";
        PutLE(body, layout.DeclaredDataSize < 0 ? layout.Data.size() : std::uint64_t(layout.DeclaredDataSize), 4);
        body += layout.Data;
    }
    body += layout.Trailer;
    std::string out = "RIFF";
    PutLE(out, body.size(), 4);
    return out + body;
}
