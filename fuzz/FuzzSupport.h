// SPDX-License-Identifier: GPL-3.0-or-later
// Shared by the fuzz targets: one scratch folder per process and small file helpers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace fuzz {

// A folder created on first use (in /dev/shm when there is one, so that the file traffic of
// every input stays in memory) and removed when the process exits normally.
const std::string& ScratchDir();
std::string ScratchFile(std::string_view name);

// Creates or truncates the file with exactly these bytes; aborts when it cannot, since every
// input after that would test nothing.
void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size);
void WriteFile(const std::string& path, std::string_view data);
std::string ReadFile(const std::string& path);

// A RIFF/WAVE image: 16-bit stereo PCM at the given rate, a LIST chunk before the data.
std::string MakeWave(std::uint32_t sampleRate, std::string_view data);

// Stops the run with a message when an invariant of the code under test is broken.
[[noreturn]] void Fail(const char* what);
inline void Check(bool condition, const char* what)
{
    if (!condition)
        Fail(what);
}

} // namespace fuzz
