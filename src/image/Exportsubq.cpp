// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Exportsubq.h"

#include "cuesheet/Sectorcomposer.h"
#include "cuesheet/Subqpatch.h"
#include "synthesis/Msf.h"
#include "synthesis/Qframe.h"
#include "synthesis/Sector.h"

#include <algorithm>
#include <array>
#include <memory>

namespace {

constexpr std::int32_t CHUNK_RECORDS = 4096;

bool IsMode2Track(const TLuCueTrack& track)
{
    return track.Type == ttMode2_2352 || track.Type == ttMode2_2336;
}

void AppendAddress(std::string& bytes, std::int32_t address)
{
    std::array<std::uint8_t, 3> msf{};
    PutBcdMsf(msf, static_cast<std::uint32_t>(address));
    bytes.append(reinterpret_cast<const char*>(msf.data()), msf.size());
}

class TComparer
{
public:
    TComparer(const TLuCueSheet& sheet, TSubQComparison& result)
        : Composer(sheet), Result(result), LibCryptDisc(sheet.TrackCount > 0 && IsMode2Track(*sheet.Tracks[0]))
    {}

    // n records of the .sub from absolute address on; false when the sheet has no sector there.
    bool Compare(std::int32_t address, std::int32_t n, const std::uint8_t* records);

private:
    void Differs(std::int32_t address, const std::uint8_t* q);

    TSectorComposer Composer;
    TSubQComparison& Result;
    const bool LibCryptDisc;
    TLuSubQCrc Crc;
    std::unique_ptr<TSubChannel[]> Channels{new TSubChannel[CHUNK_RECORDS]};
};

bool TComparer::Compare(std::int32_t address, std::int32_t n, const std::uint8_t* records)
{
    for (std::int32_t done = 0; done < n;)
    {
        const std::int32_t got = Composer.ComposeRun(static_cast<std::uint32_t>(address + done), n - done, nullptr,
                                                     Channels.get(), TComposeOptions{});
        if (got <= 0)
            return false;
        for (std::int32_t i = 0; i < got; ++i)
        {
            const std::uint8_t* record = records + std::int64_t(done + i) * std::int64_t(SUBCODE_SIZE);
            const TSubChannel& channel = Channels[static_cast<std::size_t>(i)];
            if (!std::equal(channel.P.begin(), channel.P.end(), record))
                ++Result.PDiffers;
            if (!std::equal(channel.Q.begin(), channel.Q.end(), record + Q_FRAME_SIZE))
                Differs(address + done + i, record + Q_FRAME_SIZE);
        }
        done += got;
    }
    return true;
}

void TComparer::Differs(std::int32_t address, const std::uint8_t* q)
{
    TSubQPatch frame;
    frame.Address = address;
    frame.Kind = sqFrame;
    std::copy_n(q, Q_FRAME_SIZE, frame.Bytes.begin());
    Result.Frames.push_back(frame);
    if (LibCryptDisc && IsLibCryptAddress(address))
    {
        Result.LibCryptFrames.push_back(frame);
        ++Result.LibCrypt;
    }
    else if (!HasValidQCrc(frame.Bytes, Crc))
        ++Result.Damaged;
    else
        ++Result.Odd;
}

} // namespace

TSubQComparison CompareSubQ(const TLuCueSheet& sheet, const std::vector<TLbaRange>& ranges, const TFile& sub,
                            const std::function<bool()>& keepGoing)
{
    TSubQComparison result;
    TComparer comparer(sheet, result);
    std::unique_ptr<std::uint8_t[]> records(new std::uint8_t[CHUNK_RECORDS * SUBCODE_SIZE]);
    std::int64_t record = 0;
    for (const TLbaRange& range : ranges)
        for (std::int32_t lba = range.First; lba < range.End && keepGoing();)
        {
            const std::int32_t n = std::min(CHUNK_RECORDS, range.End - lba);
            sub.ReadExact(record * std::int64_t(SUBCODE_SIZE),
                          std::span(records.get(), static_cast<std::size_t>(n) * SUBCODE_SIZE));
            if (!comparer.Compare(lba + PROGRAM_START, n, records.get()))
                throw std::runtime_error("the exported sheet has no sector at " + FramesToStr(lba + PROGRAM_START));
            lba += n;
            record += n;
        }
    return result;
}

std::string LsdBytes(const std::vector<TSubQPatch>& frames)
{
    std::string bytes;
    for (const TSubQPatch& frame : frames)
    {
        AppendAddress(bytes, frame.Address);
        bytes.append(reinterpret_cast<const char*>(frame.Bytes.data()), frame.Bytes.size());
    }
    return bytes;
}

std::string SbiBytes(const std::vector<TSubQPatch>& frames)
{
    std::string bytes("SBI\0", 4);
    for (const TSubQPatch& frame : frames)
    {
        AppendAddress(bytes, frame.Address);
        bytes += '\x01'; // the frame without its CRC, which an .sbi never keeps
        bytes.append(reinterpret_cast<const char*>(frame.Bytes.data()), Q_CRC_SPAN);
    }
    return bytes;
}
