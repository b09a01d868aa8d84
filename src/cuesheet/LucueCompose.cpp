// The sector composer: main channel and subchannel symbols of one absolute address.
#include "cuesheet/Lucue.h"

#include "cuesheet/Tpos.h"
#include "synthesis/Errorcorrectmode1.h"
#include "synthesis/Errorcorrectsubcode.h"
#include "synthesis/Lusubqcrc.h"
#include "synthesis/Subcode.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace {

constexpr std::size_t CDG_SECTOR_SIZE = SECTOR_SIZE + SUBCODE_SIZE;
// A pause shorter than this before the next index 1 raises the P flag ahead of it.
constexpr std::uint32_t P_FLAG_LEAD = 150;

void PutSyncAndHeader(TRawSector& main, TMsf msf, std::uint8_t mode)
{
    std::copy(SYNC_PATTERN.begin(), SYNC_PATTERN.end(), main.begin());
    main[HEADER_OFFSET] = ToBcd(msf.Minute);
    main[HEADER_OFFSET + 1] = ToBcd(msf.Second);
    main[HEADER_OFFSET + 2] = ToBcd(msf.Frame);
    main[MODE_OFFSET] = mode;
}

// A sector without its EDC/ECC or parity must not pass for a good one.
void RequireTables(bool coded)
{
    if (!coded)
        throw std::runtime_error("not enough memory for the error correction tables");
}

bool IsMode1(TTrackType type)
{
    return type == ttMode1_2048 || type == ttMode1_2352;
}
bool IsMode2(TTrackType type)
{
    return type == ttMode2_2336 || type == ttMode2_2352;
}

} // namespace

bool TLuCueSheet::ComposeSector(std::uint32_t address, TRawSector* main, TSubBlock* sub)
{
    return ComposeSector(address, main, sub, TComposeOptions{CorrectEdcEcc});
}

bool TLuCueSheet::ComposeSector(std::uint32_t address, TRawSector* main, TSubBlock* sub, const TComposeOptions& options)
{
    const std::int32_t r = FindAddressRow(address);
    if (r < 0)
        return false;
    const TMsf msf = FramesToMsf(address);
    if (r == AddressRowCount())
    {
        if (main)
            main->fill(0);
        if (sub)
            sub->fill(0);
        return true;
    }
    const TAddressTable& row = AddressTable[static_cast<std::size_t>(r)];
    const TLuCueTrack& track = *Tracks[static_cast<std::size_t>(row.TrackNumber - FirstTrackNo)];
    const std::int64_t sectorInRow = std::int64_t(address) - row.StartAddress;
    const bool firstOfRow = sectorInRow == 0;
    const std::int32_t sectorSize = track.GetSectorSize();
    const std::int64_t fileOffset = row.FileOffset + sectorInRow * sectorSize;
    TLuCueFile* file = nullptr;
    if (row.Kind == akFile)
    {
        file = Files[static_cast<std::size_t>(row.FileNumber)].get();
        // Keep one read-ahead buffer alive at a time, whatever the number of files.
        if (LastFileNumber != row.FileNumber)
        {
            if (LastFileNumber >= 0 && Files[static_cast<std::size_t>(LastFileNumber)])
                Files[static_cast<std::size_t>(LastFileNumber)]->ReleaseBuffer();
            LastFileNumber = row.FileNumber;
        }
    }
    bool cdgPacksRead = false;

    if (main)
    {
        TRawSector& out = *main;
        if (row.Kind != akFile)
        {
            // Gaps of a data track are sectors of its mode: readers detect the mode from them.
            out.fill(0);
            if (IsMode1(track.Type))
            {
                PutSyncAndHeader(out, msf, 1);
                RequireTables(Mode1Ecc->Generate(out));
            }
            else if (IsMode2(track.Type))
            {
                PutSyncAndHeader(out, msf, 2);
            }
        }
        else
        {
            file->Seek(fileOffset, soBeginning);
            switch (track.Type)
            {
            case ttAudio:
            case ttMode1_2352:
            case ttMode2_2352:
            {
                const std::size_t n = file->Read(out.data(), SECTOR_SIZE);
                std::fill(out.begin() + static_cast<std::ptrdiff_t>(n), out.end(), 0);
                if (track.Type == ttMode1_2352 && options.CorrectEdcEcc)
                {
                    PutSyncAndHeader(out, msf, 1);
                    std::fill(out.begin() + EDC_OFFSET, out.end(), 0);
                    RequireTables(Mode1Ecc->Generate(out));
                }
                else if (track.Type == ttMode2_2352 && options.CorrectEdcEcc)
                {
                    PutSyncAndHeader(out, msf, 2);
                }
                break;
            }
            case ttCdg:
            {
                const std::size_t n = file->Read(ReadBuffer.data(), CDG_SECTOR_SIZE);
                std::fill(ReadBuffer.begin() + static_cast<std::ptrdiff_t>(n), ReadBuffer.end(), 0);
                std::copy_n(ReadBuffer.begin(), SECTOR_SIZE, out.begin());
                cdgPacksRead = true;
                break;
            }
            case ttMode1_2048:
            {
                const std::size_t n = file->Read(out.data() + USER_DATA_OFFSET, MODE1_USER_SIZE);
                std::fill(out.begin() + static_cast<std::ptrdiff_t>(USER_DATA_OFFSET + n), out.end(), 0);
                PutSyncAndHeader(out, msf, 1);
                RequireTables(Mode1Ecc->Generate(out));
                break;
            }
            case ttMode2_2336:
            {
                const std::size_t n = file->Read(out.data() + USER_DATA_OFFSET, MODE2_USER_SIZE);
                std::fill(out.begin() + static_cast<std::ptrdiff_t>(USER_DATA_OFFSET + n), out.end(), 0);
                PutSyncAndHeader(out, msf, 2);
                break;
            }
            default: out.fill(0); break;
            }
        }
    }

    if (!sub)
        return true;
    TSubBlock& block = *sub;
    if (track.Type == ttCdg && row.Kind == akFile)
    {
        // The packs follow the audio in the file; the main channel's read may already hold them.
        if (cdgPacksRead)
        {
            std::copy_n(ReadBuffer.begin() + SECTOR_SIZE, SUBCODE_SIZE, block.begin());
        }
        else
        {
            block.fill(0);
            file->Seek(fileOffset + static_cast<std::int64_t>(SECTOR_SIZE), soBeginning);
            file->Read(block.data(), SUBCODE_SIZE);
        }
        for (std::size_t p = 0; p < PACKS_PER_SECTOR; ++p)
        {
            const TPack pack(block.data() + p * PACK_SIZE, PACK_SIZE);
            RequireTables(SubCodeEcc->SetQParity(pack));
            RequireTables(SubCodeEcc->SetPParity(pack));
        }
    }
    else
    {
        block.fill(0);
    }

    // Q frame: position on a row's first sector, else ISRC or catalogue when due (ISRC wins).
    TQFrame q{};
    const std::uint8_t control = track.GetControl();
    const std::int64_t a = address;
    const bool isrcDue = !firstOfRow && !track.Isrc.empty() && IsrcInterval > 0 && (a - IsrcOffset) % IsrcInterval == 0;
    const bool mcnDue = !firstOfRow && !Catalog.empty() && McnInterval > 0 && (a - McnOffset) % McnInterval == 0;
    if (isrcDue)
    {
        q[0] = static_cast<std::uint8_t>(control | 3);
        BuildIsrcPayload(track.Isrc, q);
        q[9] = ToBcd(msf.Frame);
    }
    else if (mcnDue)
    {
        q[0] = static_cast<std::uint8_t>(control | 2);
        BuildMcnPayload(Catalog, q);
        q[9] = ToBcd(msf.Frame);
    }
    else
    {
        std::int64_t relative =
            row.IndexNumber == 0 ? row.RelativeStart - sectorInRow : row.RelativeStart + sectorInRow;
        const TMsf rel = FramesToMsf(static_cast<std::uint32_t>(std::max<std::int64_t>(relative, 0)));
        q[0] = static_cast<std::uint8_t>(control | 1);
        q[1] = ToBcd(static_cast<unsigned>(row.TrackNumber));
        q[2] = ToBcd(static_cast<unsigned>(row.IndexNumber));
        q[3] = ToBcd(rel.Minute);
        q[4] = ToBcd(rel.Second);
        q[5] = ToBcd(rel.Frame);
        q[7] = ToBcd(msf.Minute);
        q[8] = ToBcd(msf.Second);
        q[9] = ToBcd(msf.Frame);
    }
    const std::uint16_t crc = SubQCrc->Compute(std::span<const std::uint8_t, Q_CRC_SPAN>(q.data(), Q_CRC_SPAN));
    q[10] = static_cast<std::uint8_t>(crc >> 8);
    q[11] = static_cast<std::uint8_t>(crc & 0xFF);

    // P flag: rises on the second sector of a pause and falls after the first sector of index 1.
    bool pause = false;
    if (row.Kind == akPregap)
    {
        pause = !firstOfRow;
    }
    else if (row.Kind == akFile && row.IndexNumber == 0)
    {
        pause = !firstOfRow || (r > 0 && AddressTable[static_cast<std::size_t>(r - 1)].Kind == akPregap);
    }
    else if (row.Kind == akFile && row.IndexNumber == 1 && firstOfRow)
    {
        pause = true;
    }
    else
    {
        const std::int32_t next = row.TrackNumber - FirstTrackNo + 1;
        if (next <= TrackCount)
        {
            const TTocTable& toc = TocTable[static_cast<std::size_t>(next)];
            pause = static_cast<std::uint32_t>(toc.Index1Address - toc.StartAddress) < P_FLAG_LEAD &&
                    static_cast<std::uint32_t>(toc.Index1Address) - address < P_FLAG_LEAD;
        }
    }
    TQFrame p;
    p.fill(pause ? 0xFF : 0x00);
    MergePQ(block, p, q);
    return true;
}
