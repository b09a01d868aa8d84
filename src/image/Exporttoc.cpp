// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Exporttoc.h"

#include "cuesheet/Tocrules.h"

#include <algorithm>

std::vector<TTocEntry> TocEntriesToCarry(const std::vector<TTocEntry>& setToc, const TDiscModel& composed,
                                         std::vector<std::string>& warnings)
{
    const std::size_t warned = warnings.size();
    std::vector<TTocEntry> carried;
    for (const TTocEntry& entry : setToc)
    {
        if (std::find(composed.Toc.begin(), composed.Toc.end(), entry) != composed.Toc.end())
            continue;
        if (const std::string conflict = TocEntryConflict(composed, entry); !conflict.empty())
            warnings.push_back("a TOC entry of the control file is not kept: " + conflict);
        else
            carried.push_back(entry);
    }
    for (const TTocEntry& c : composed.Toc)
    {
        if (std::none_of(setToc.begin(), setToc.end(), [&c](const TTocEntry& e) { return SameTocPoint(e, c); }))
            warnings.push_back("the control file has no TOC entry for " + TocEntryName(c) +
                               ", which a conversion of the sheet writes");
    }
    TDiscModel result = composed;
    std::string problem;
    ApplyTocEntries(result, carried, problem);
    // A line of an entry that the TOC rule calls wrong would keep the sheet from loading.
    for (const TTocFault& fault : TocFaults(result))
    {
        const auto c = std::find(carried.begin(), carried.end(), result.Toc[fault.Entry]);
        if (c == carried.end())
            continue;
        warnings.push_back("a TOC entry of the control file is not kept: " + TocEntryName(*c) + ": " + fault.Reason);
        carried.erase(c);
    }
    result = composed;
    ApplyTocEntries(result, carried, problem);
    if (result.Toc != setToc && warnings.size() == warned)
        warnings.push_back("the control file's TOC entries are in an order that the sheet cannot give");
    return carried;
}
