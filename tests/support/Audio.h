// SPDX-License-Identifier: GPL-3.0-or-later
// Synthetic album audio, encoded in the test with Debian's encoders (flac, wavpack, lame).
#pragma once

#include "support/TempDir.h"
#include "support/Wave.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>

// 16-bit little-endian stereo: two tones with noise, so that no coder can make it trivial.
inline std::string SyntheticPcm(std::size_t samples, unsigned seed = 1)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> noise(-1500, 1500);
    std::string pcm;
    pcm.reserve(samples * 4);
    for (std::size_t i = 0; i < samples; ++i)
    {
        const double t = static_cast<double>(i);
        PutLE(pcm, static_cast<std::uint16_t>(static_cast<int>(9000 * std::sin(t * 0.021)) + noise(random)), 2);
        PutLE(pcm, static_cast<std::uint16_t>(static_cast<int>(7000 * std::sin(t * 0.0137)) + noise(random)), 2);
    }
    return pcm;
}

// Writes the PCM as a WAVE file and returns its path.
inline std::string WriteWave(const TTempDir& dir, const std::string& name, const std::string& pcm,
                             std::uint32_t rate = 44100, std::uint16_t channels = 2, std::uint16_t bits = 16)
{
    TWaveLayout layout;
    layout.SampleRate = rate;
    layout.Channels = channels;
    layout.BitsPerSample = bits;
    layout.Data = pcm;
    return dir.Write(name, MakeWave(layout));
}

// Runs an encoder command line (quietly); true when it succeeded.
inline bool RunEncoder(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

inline std::string Quoted(const std::string& path)
{
    return "'" + path + "'";
}

// A sheet of one AUDIO track covering the whole file.
inline std::string OneTrackSheet(const std::string& file, const std::string& type = "WAVE")
{
    return "FILE \"" + file + "\" " + type + "\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
}
