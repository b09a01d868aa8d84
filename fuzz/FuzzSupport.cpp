// SPDX-License-Identifier: GPL-3.0-or-later
#include "FuzzSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fuzz {

namespace {

void PutLE(std::string& out, std::uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void RemoveScratch()
{
    std::error_code ec;
    std::filesystem::remove_all(ScratchDir(), ec);
}

} // namespace

const std::string& ScratchDir()
{
    static const std::string dir = [] {
        std::error_code ec;
        const std::filesystem::path base =
            std::filesystem::is_directory("/dev/shm", ec) ? "/dev/shm" : std::filesystem::temp_directory_path();
        std::string pattern = (base / "sarvex-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            Fail("cannot create the scratch folder");
        return pattern;
    }();
    static const bool registered = (std::atexit(RemoveScratch), true);
    (void)registered;
    return dir;
}

std::string ScratchFile(std::string_view name)
{
    return ScratchDir() + "/" + std::string(name);
}

void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out.flush())
        Fail("cannot write a scratch file");
}

void WriteFile(const std::string& path, std::string_view data)
{
    WriteFile(path, reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string MakeWave(std::uint32_t sampleRate, std::string_view data)
{
    std::string body = "WAVEfmt ";
    PutLE(body, 16, 4);
    PutLE(body, 1, 2); // PCM
    PutLE(body, 2, 2); // stereo
    PutLE(body, sampleRate, 4);
    PutLE(body, sampleRate * 4, 4); // bytes per second
    PutLE(body, 4, 2);              // block align
    PutLE(body, 16, 2);             // bits per sample
    body += "LIST";
    PutLE(body, 10, 4);
    body += "INFOISFT\0\0";
    body += "data";
    PutLE(body, data.size(), 4);
    body += data;
    std::string out = "RIFF";
    PutLE(out, body.size(), 4);
    return out + body;
}

void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

} // namespace fuzz
