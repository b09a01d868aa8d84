// SPDX-License-Identifier: GPL-3.0-or-later
// .ccd control file bytes -> ParseCcdText, then the whole verifier over a small fixed image set.
// Whatever the control file says, verifying must end with a report or a clear failure.
#include "FuzzSupport.h"

#include "image/Ccdreader.h"
#include "image/Verifier.h"
#include "image/Verifyreport.h"

#include <cstdint>
#include <string>

namespace {

constexpr std::size_t SECTORS = 40;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Sectors of every shape the checker branches on: blank, synced with mode 1 and 2 headers,
    // Q frames with and without a valid CRC, R-W data.
    std::string img(SECTORS * 2352, '\0');
    std::string sub(SECTORS * 96, '\0');
    for (std::size_t s = 0; s < SECTORS; ++s)
    {
        if (s % 4 != 0)
        {
            for (std::size_t i = 1; i < 11; ++i)
                img[s * 2352 + i] = '\xFF';
            img[s * 2352 + 15] = static_cast<char>(s % 3);
            img[s * 2352 + 100] = static_cast<char>(s);
        }
        sub[s * 96 + 12] = static_cast<char>(0x41 + s % 3);
        sub[s * 96 + 30 + s % 60] = static_cast<char>(s * 37);
        if (s % 5 == 0)
            sub[s * 96] = '\xFF';
    }
    fuzz::WriteFile(fuzz::ScratchFile("disc.img"), img);
    fuzz::WriteFile(fuzz::ScratchFile("disc.sub"), sub);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using fuzz::Check;
    const std::string text(reinterpret_cast<const char*>(data), size);
    TCcdDisc disc;
    const TError error = ParseCcdText(text, "f.ccd", disc);
    if (error)
    {
        Check(error.File == "f.ccd" && error.Line > 0 && !error.Reason.empty(), "the error names the file, line and reason");
        return 0;
    }
    for (std::size_t i = 1; i < disc.Entries.size(); ++i)
        Check(disc.Entries[i - 1].Number < disc.Entries[i].Number, "entries in ascending order");
    for (const TDiscSession& session : disc.Model.Sessions)
        for (const TDiscTrack& t : session.Tracks)
            Check(t.Number >= 1 && t.Number <= 99, "track numbers 1-99");
    Check(disc.Model.CdText.size() == static_cast<std::size_t>(disc.Model.HasCdText ? disc.CdTextEntries : 0),
          "one pack per CD-TEXT entry");

    const std::string ccd = fuzz::ScratchFile("disc.ccd");
    fuzz::WriteFile(ccd, data, size);
    TVerifyJob job;
    job.Run(ccd, 10);
    Check(job.Status.load() == csSucceeded, "a control file that parses verifies to a report");
    Check(job.Report.Sectors == static_cast<std::int64_t>(SECTORS), "the sector count of the set");
    Check(job.Report.Findings.size() <= 10, "at most the asked number of findings");
    Check(!BuildVerifyText(job.Report).empty() && !BuildVerifyJson(job.Report).empty(), "both reports");
    return 0;
}
