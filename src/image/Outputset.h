// SPDX-License-Identifier: GPL-3.0-or-later
// The three files of an image set, written under temporary names beside their final ones and put in
// place together only when all of them are complete: a failed or cancelled run leaves the set that
// was there before exactly as it was, and never a half set under the final names.
#pragma once

#include "fileio/Fileio.h"

#include <cstdint>
#include <ctime>
#include <string>

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

    // Puts the complete set in place: every file on the medium, then .img, .sub and the .ccd last
    // (a .ccd beside its images means they are whole), then the folder's entries.
    void Commit();
    // Puts what a stopped run wrote in place: .img and .sub cut to the sectors both hold.
    void CommitPartial(std::int64_t sectors);

private:
    void RemoveTemporaries() noexcept;

    std::string CcdPath;
    std::string ImgPath;
    std::string SubPath;
};

// Removes the temporaries of target's name older than startedAt; others' files are left alone.
void RemoveStaleTemporaries(const std::string& target, std::time_t startedAt);
