// SPDX-License-Identifier: GPL-3.0-or-later
// Data files for test discs whose every sector is sound, so that a verified image set built from
// them must come out clean. The EDC is the oracle's; the form 1 parity comes from the encoder,
// which the round trip and the oracle's syndrome check cover on their own.
#pragma once

#include "support/ImageOracle.h"
#include "synthesis/Errorcorrectmode1.h"

#include <cstdint>
#include <random>
#include <string>

namespace discdata {

// Raw Mode 2 sectors at the given absolute addresses, alternating form 1 and form 2 (form 2 every
// third sector; every sixth of those leaves the EDC out).
inline std::string Mode2Sectors(int count, int firstAddress, std::uint32_t seed)
{
    TMode1ErrorCorrect ecc;
    std::mt19937 rng(seed);
    std::string out;
    for (int n = 0; n < count; ++n)
    {
        TRawSector s{};
        for (std::size_t i = 1; i < 11; ++i)
            s[i] = 0xFF;
        const int a = firstAddress + n;
        s[12] = oracle::Bcd(a / 4500);
        s[13] = oracle::Bcd(a / 75 % 60);
        s[14] = oracle::Bcd(a % 75);
        s[15] = 2;
        const bool form2 = n % 3 == 2;
        const std::uint8_t subheader[4] = {0, 1, static_cast<std::uint8_t>(form2 ? 0x20 : 0x08), 0};
        for (std::size_t i = 0; i < 4; ++i)
            s[16 + i] = s[20 + i] = subheader[i];
        const std::size_t edcAt = form2 ? 2348 : 2072;
        for (std::size_t i = 24; i < edcAt; ++i)
            s[i] = static_cast<std::uint8_t>(rng());
        const std::uint32_t edc = form2 && n % 18 == 2 ? 0 : oracle::Edc(s.data() + 16, edcAt - 16);
        for (std::size_t i = 0; i < 4; ++i)
            s[edcAt + i] = static_cast<std::uint8_t>(edc >> (8 * i));
        if (!form2)
        {
            TRawSector zeroHeader = s;
            for (std::size_t i = 12; i < 16; ++i)
                zeroHeader[i] = 0;
            ecc.GenerateParity(zeroHeader);
            std::copy(zeroHeader.begin() + 2076, zeroHeader.end(), s.begin() + 2076);
        }
        out.append(reinterpret_cast<const char*>(s.data()), s.size());
    }
    return out;
}

inline std::string RandomBytes(std::size_t size, std::uint32_t seed, std::uint8_t mask = 0xFF)
{
    std::mt19937 rng(seed);
    std::string out(size, '\0');
    for (auto& c : out)
        c = static_cast<char>(rng() & mask);
    return out;
}

// CD+G data: 2352 bytes of audio, then 96 bytes of R-W symbols (pack parity is the composer's).
inline std::string CdgSectors(int count, std::uint32_t seed)
{
    std::string out;
    for (int n = 0; n < count; ++n)
    {
        out += RandomBytes(2352, seed + static_cast<std::uint32_t>(n));
        out += RandomBytes(96, ~seed - static_cast<std::uint32_t>(n), 0x3F);
    }
    return out;
}

// One block of CD-TEXT: a title pack per track (0 = the disc) and the three size information packs,
// each as 18 bytes (the CRC bytes zero: the .ccd does not keep them).
inline std::string CdTextBlock(int firstTrack, int lastTrack)
{
    std::string out;
    int seq = 0;
    const auto pack = [&](std::uint8_t type, std::uint8_t track, const std::uint8_t* payload) {
        out += static_cast<char>(type);
        out += static_cast<char>(track);
        out += static_cast<char>(seq++);
        out += '\0'; // block 0, character position 0
        out.append(reinterpret_cast<const char*>(payload), 12);
        out += std::string(2, '\0');
    };
    std::uint8_t title[12] = {'T', 'i', 't', 'l', 'e', 0};
    const int titles = lastTrack - firstTrack + 2;
    for (int t = 0; t < titles; ++t)
        pack(0x80, static_cast<std::uint8_t>(t == 0 ? 0 : firstTrack + t - 1), title);
    std::uint8_t info[36] = {};
    info[0] = 0x00;
    info[1] = static_cast<std::uint8_t>(firstTrack);
    info[2] = static_cast<std::uint8_t>(lastTrack);
    info[4] = static_cast<std::uint8_t>(titles);
    info[4 + 15] = 3;
    info[20] = static_cast<std::uint8_t>(titles + 2); // last sequence number of block 0
    info[28] = 0x09;
    for (std::uint8_t k = 0; k < 3; ++k)
    {
        std::uint8_t payload[12];
        std::copy(info + 12 * k, info + 12 * k + 12, payload);
        pack(0x8F, k, payload);
    }
    return out;
}

} // namespace discdata
