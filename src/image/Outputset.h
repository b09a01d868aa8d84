// SPDX-License-Identifier: GPL-3.0-or-later
// Files written under temporary names beside their final ones and put in place together only when
// all of them are complete: a failed or cancelled run leaves the files that were there before exactly
// as they were, and never a half set under the final names.
#pragma once

#include "fileio/Fileio.h"
#include "fileio/Outputlock.h"

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <set>
#include <string>
#include <vector>

class TTemporaryFiles
{
public:
    // Takes the lock of the last of paths (given in the order they are to take their names), so that
    // no other run writes them meanwhile, or raises as TOutputLock does; then removes the temporaries
    // of those names that an earlier run, killed before it could clean up, left behind before
    // startedAt, and creates one beside each.
    TTemporaryFiles(const std::vector<std::string>& paths, std::time_t startedAt);
    // Removes whatever was not put in place.
    ~TTemporaryFiles();
    TTemporaryFiles(const TTemporaryFiles&) = delete;
    TTemporaryFiles& operator=(const TTemporaryFiles&) = delete;

    TFile& operator[](std::size_t i) { return Files[i]; }
    // The output is not needed: Commit removes what its name holds instead (never the last one's).
    void Drop(std::size_t i) { Dropped.insert(i); }
    bool Kept(std::size_t i) const { return Dropped.count(i) == 0; }
    // True when the files replace files that are there: their bytes then go to the medium during the
    // run and before the renames, so that a crash leaves one whole set or the other.
    bool Replacing() const { return FReplacing; }

    // Puts the files in place in their order, the last one last; when replacing, every file goes to
    // the medium first and the folder's entries after. A failure after the first name was replaced
    // says in its text which names were.
    void Commit();
    // True when Commit replaced or removed a name before it failed: the files there before are no
    // longer as they were.
    bool Changed() const { return !Replaced.empty(); }

private:
    void RemoveTemporaries() noexcept;
    void PutInPlace();

    TOutputLock Lock; // first: held until the temporaries are gone
    std::vector<std::string> Paths;
    std::vector<std::string> Replaced; // the names Commit changed so far
    bool FReplacing = false;
    std::vector<TFile> Files;
    std::set<std::size_t> Dropped;
};

// The three files of an image set: .img, .sub and the .ccd last (a .ccd beside its images means they
// are whole).
class TOutputSet
{
    TTemporaryFiles Files; // first: the references below name its files

public:
    TOutputSet(const std::string& ccdPath, std::time_t startedAt);

    TFile& Img;
    TFile& Sub;
    TFile& Ccd;

    bool Replacing() const { return Files.Replacing(); }
    bool Changed() const { return Files.Changed(); }
    void Commit() { Files.Commit(); }
    // Puts what a stopped run wrote in place: .img and .sub cut to the sectors both hold.
    void CommitPartial(std::int64_t sectors);
};

// True when one of paths names something already. A crash while such a file is replaced must not
// cost it, so its replacement goes to the medium before the rename; a new file, which nothing depends
// on yet, is left to the system's writeback as a copy's would be.
bool ReplacesAny(const std::vector<std::string>& paths);
// Removes the temporaries of target's name older than startedAt; others' files are left alone. Only
// a run that holds the set's lock may: without it, they may be another run's live ones.
void RemoveStaleTemporaries(const std::string& target, std::time_t startedAt);
