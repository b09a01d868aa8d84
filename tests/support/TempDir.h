// SPDX-License-Identifier: GPL-3.0-or-later
// A fresh folder for one test, removed with everything in it when the object goes.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

class TTempDir
{
public:
    TTempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "sarvex-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a temporary folder");
        FPath = pattern;
    }

    ~TTempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(FPath, ec);
    }

    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    const std::filesystem::path& Path() const { return FPath; }

    // Full path of a name inside the folder; the file need not exist.
    std::string File(std::string_view name) const { return (FPath / name).string(); }

    // Writes the bytes as they are (no line end translation) and returns the full path.
    std::string Write(std::string_view name, std::string_view content) const
    {
        const std::string path = File(name);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        if (!out.flush())
            throw std::runtime_error("cannot write " + path);
        return path;
    }

    // A file of the given size, all zero bytes.
    std::string WriteZeros(std::string_view name, std::uintmax_t size) const
    {
        const std::string path = Write(name, {});
        std::filesystem::resize_file(path, size);
        return path;
    }

    // The size of the temporary that a run writes for the output name, 0 while there is none.
    std::uintmax_t WrittenSoFar(std::string_view name) const
    {
        const std::string prefix = std::string(1, '.').append(name).append(".sarvex-");
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(FPath, ec))
            if (entry.path().filename().string().starts_with(prefix))
                return entry.file_size(ec);
        return 0;
    }

    static std::string ReadAll(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            throw std::runtime_error("cannot read " + path);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    std::filesystem::path FPath;
};
