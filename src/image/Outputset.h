// SPDX-License-Identifier: GPL-3.0-or-later
// The three files of an image set, written under temporary names beside their final ones and put in
// place together only when all of them are complete: a failed or cancelled run leaves the set that
// was there before exactly as it was, and never a half set under the final names.
#pragma once

#include "fileio/Fileio.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

class TOutputSet
{
public:
    // Creates the three temporaries, after removing those of the same names that an earlier run,
    // killed before it could clean up, left behind before startedAt.
    TOutputSet(const std::string& ccdPath, std::time_t startedAt);
    // Removes whatever was not put in place.
    ~TOutputSet();
    TOutputSet(const TOutputSet&) = delete;
    TOutputSet& operator=(const TOutputSet&) = delete;

    TFile Ccd;
    TFile Img;
    TFile Sub;

    // True when the set replaces files that are there: its bytes then go to the medium during the run
    // and before the renames, so that a crash leaves one whole set or the other.
    bool Replacing() const { return FReplacing; }
    // Puts the complete set in place: .img, .sub and the .ccd last (a .ccd beside its images means they
    // are whole), when replacing every file on the medium first and the folder's entries after.
    void Commit();
    // Puts what a stopped run wrote in place: .img and .sub cut to the sectors both hold.
    void CommitPartial(std::int64_t sectors);

private:
    void RemoveTemporaries() noexcept;

    std::string CcdPath;
    std::string ImgPath;
    std::string SubPath;
    bool FReplacing = false;
};

// True when one of paths names something already. A crash while such a file is replaced must not
// cost it, so its replacement goes to the medium before the rename; a new file, which nothing depends
// on yet, is left to the system's writeback as a copy's would be.
bool ReplacesAny(const std::vector<std::string>& paths);

// Removes the temporaries of target's name older than startedAt; others' files are left alone.
void RemoveStaleTemporaries(const std::string& target, std::time_t startedAt);
