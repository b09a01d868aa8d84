// SPDX-License-Identifier: GPL-3.0-or-later
// Side-car bytes -> ParseSubQPatches, read once as an .sbi and once as an .lsd. Accepted lists
// are sorted, unique and inside the disc; a refusal names the file and leaves the list alone;
// every .sbi frame leaves with a CRC that a drive rejects.
#include "FuzzSupport.h"

#include "cuesheet/Subqpatch.h"
#include "synthesis/Lusubqcrc.h"

#include <cstdint>
#include <span>
#include <string>

namespace {

constexpr std::int32_t LEAD_OUT = 20000;

void CheckFormat(std::span<const std::uint8_t> bytes, TSubQPatchFormat format)
{
    using fuzz::Check;
    const TLuSubQCrc crc;
    TSubQPatchList list;
    list.Patches.resize(1);
    const std::string name = format == pfSbi ? "Game.sbi" : "Game.lsd";
    if (const TError error = ParseSubQPatches(bytes, format, name, LEAD_OUT, list))
    {
        Check(error.File == name && !error.Reason.empty(), "a refusal without the file name");
        Check(list.Patches.size() == 1, "a refused file changed the list");
        return;
    }
    if (format == pfLsd)
        Check(list.Patches.size() * LSD_RECORD_SIZE == bytes.size(), "an .lsd record lost or invented");
    if (list.Patches.empty())
        Check(!list.Warnings.empty() && list.Warnings.back() == name + ": holds no records",
              "an empty file without its warning");
    for (std::size_t i = 0; i < list.Patches.size(); ++i)
    {
        const TSubQPatch& patch = list.Patches[i];
        Check(patch.Address >= 150 && patch.Address < LEAD_OUT, "a patch outside the disc");
        Check(i == 0 || list.Patches[i - 1].Address < patch.Address, "patches unsorted or repeated");
        Check((format == pfLsd) == (patch.Kind == sqFrame), "a kind from the wrong format");
        const TQFrame frame = PatchedQFrame(patch, TQFrame{}, crc);
        const std::uint16_t valid = crc.Compute(std::span<const std::uint8_t, Q_CRC_SPAN>(frame.data(), Q_CRC_SPAN));
        if (patch.Kind != sqFrame)
            Check(((frame[10] << 8) | frame[11]) == (valid ^ 0xFFFF), "an .sbi frame without the complemented CRC");
        else
            Check(frame == patch.Bytes, "an .lsd frame not taken verbatim");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    CheckFormat(bytes, pfSbi);
    CheckFormat(bytes, pfLsd);
    return 0;
}
