// SPDX-License-Identifier: GPL-3.0-or-later
// LibCrypt side-car files for tests: records as byte strings, and the one worked example every
// layer checks (MediEvil, Europe: sector 03:08:05, absolute 14105, .sub record 13955).
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace sidecar {

using TFrame = std::array<std::uint8_t, 12>;

inline constexpr int MEDIEVIL_RECORD = 13955;
inline constexpr TFrame MEDIEVIL_UNDAMAGED = {0x41, 0x01, 0x01, 0x03, 0x06, 0x05, 0x00, 0x03, 0x08, 0x05, 0xB8, 0x38};
inline constexpr TFrame MEDIEVIL_LSD = {0x41, 0x01, 0x01, 0x07, 0x06, 0x05, 0x00, 0x23, 0x08, 0x05, 0xFF, 0xB8};
// Sectors of a one-track disc that holds the record and both neighbours.
inline constexpr int MEDIEVIL_DISC_SECTORS = MEDIEVIL_RECORD + 2;

inline const std::string SBI_HEADER("SBI\0", 4);

inline std::string Bytes(std::initializer_list<int> values)
{
    std::string text;
    for (const int v : values)
        text += static_cast<char>(v);
    return text;
}

inline std::string LsdRecord(std::initializer_list<int> msf, const TFrame& frame)
{
    return Bytes(msf) + std::string(frame.begin(), frame.end());
}

// The MediEvil record in both formats (.sbi type 1 carries bytes 0-9 only).
inline std::string MedievilLsd()
{
    return LsdRecord({0x03, 0x08, 0x05}, MEDIEVIL_LSD);
}
inline std::string MedievilSbi()
{
    return SBI_HEADER + Bytes({0x03, 0x08, 0x05, 0x01}) + std::string(MEDIEVIL_LSD.begin(), MEDIEVIL_LSD.begin() + 10);
}

} // namespace sidecar
