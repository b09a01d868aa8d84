// SPDX-License-Identifier: GPL-3.0-or-later
// CD-TEXT file bytes -> CheckCdTextPacks, the load of a sheet naming the file, and CcdFileText.
// The check's verdict is re-derived from the bytes and the load must agree with it; the control file
// must carry every whole 18-byte pack as sixteen hex bytes, after a READ TOC header when there is
// one, and ignore a trailing part (the file may change after the load).
#include "FuzzSupport.h"

#include "cuesheet/Lucue.h"
#include "image/Ccdfile.h"
#include "synthesis/Cdtextpack.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace {

std::unique_ptr<TLuCueSheet> Sheet;
std::string CuePath;

std::string ExpectedEntry(const std::uint8_t* pack)
{
    std::string text;
    char hex[4];
    for (int i = 0; i < 16; ++i)
    {
        std::snprintf(hex, sizeof hex, i == 0 ? "%02x" : " %02x", pack[i]);
        text += hex;
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::WriteFile(fuzz::ScratchFile("TRACK.BIN"), std::string(3 * 2352, '\0'));
    // One sound pack (the disc's title "ABC", a track's "X"), so that the fixed sheet loads.
    fuzz::WriteFile(fuzz::ScratchFile("CDTEXT.BIN"), std::string("\x80\0\0\0ABC\0X\0\0\0\0\0\0\0\xDB\xB6", 18));
    const std::string cue = fuzz::ScratchFile("disc.cue");
    CuePath = cue;
    fuzz::WriteFile(cue, "CDTEXTFILE \"CDTEXT.BIN\"\r\nFILE \"TRACK.BIN\" BINARY\r\n  TRACK 01 AUDIO\r\n"
                         "    INDEX 01 00:00:00\r\n");
    Sheet = std::make_unique<TLuCueSheet>();
    if (!Sheet->Load(cue))
        fuzz::Fail("the fixed sheet does not load");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using fuzz::Check;
    fuzz::WriteFile(Sheet->CdTextFile, data, size);
    // Whole packs after the header, types 0x80-0x8F, sequence numbers from 0 or on from the last one
    // at each new block and up by one inside it.
    const TCdTextFileCheck check = CheckCdTextPacks({data, size});
    const std::size_t header = size % 18 == 4 && (data[0] << 8 | data[1]) == static_cast<int>(size) - 2 ? 4 : 0;
    Check(check.HeaderSize == header, "header size");
    bool sound = size > header && (size - header) % 18 == 0 && (size - header) / 18 <= 8192;
    int block = -1;
    int next = 0;
    for (std::size_t at = header; sound && at < size; at += 18)
    {
        const std::uint8_t* p = data + at;
        const int packBlock = (p[3] >> 4) & 7;
        sound = p[0] >= 0x80 && p[0] <= 0x8F && (p[2] == next || (packBlock != block && p[2] == 0));
        block = packBlock;
        next = p[2] + 1;
    }
    Check(sound == (check.Fault == cfNone), "the check's verdict");
    TLuCueSheet probe;
    Check(probe.Load(CuePath) == sound, "the load disagrees with the check");
    Check(sound || probe.ErrorCode == 0x10201, "status of a refused CD-TEXT file");

    Check(Sheet->DiscModel().DiscLeadOutAddress() == 153, "lead-out of the fixed sheet");
    const std::string text = CcdFileText(*Sheet);
    // A READ TOC header (size mod 18 = 4, big-endian length = size - 2) is skipped.
    const std::size_t start = size % 18 == 4 && (data[0] << 8 | data[1]) == static_cast<int>(size) - 2 ? 4 : 0;
    const std::size_t packs = (size - start) / 18;
    Check(text.find("CDTextLength=" + std::to_string(packs * 18) + "\r\n") != std::string::npos, "CDTextLength");
    const std::size_t from = text.find("[CDText]\r\n");
    const std::size_t to = text.find("[Session 1]\r\n");
    Check(from != std::string::npos && to != std::string::npos && from < to, "CDText section missing or misplaced");
    std::string expected = "[CDText]\r\nEntries=" + std::to_string(packs) + "\r\n";
    for (std::size_t i = 0; i < packs; ++i)
        expected += "Entry " + std::to_string(i) + "=" + ExpectedEntry(data + start + 18 * i) + "\r\n";
    Check(text.compare(from, to - from, expected) == 0, "CDText section differs from the packs");
    return 0;
}
