// SPDX-License-Identifier: GPL-3.0-or-later
// One run at a time on a set of outputs: an advisory lock (flock) on a hidden file beside the file
// that completes the set, ".<name>.sarvex-lock". A second run on the set, in this process or another,
// sees it and refuses; a killed run's lock goes with its process, so a lock never outlives its run.
#pragma once

#include <string>

class TOutputLock
{
public:
    // Takes the lock for target, or raises "another run is writing <target>" when a run holds it, and a
    // std::system_error naming target when the lock file cannot be made. A file system without locks
    // lets the run go on without one: Held() is false then.
    explicit TOutputLock(const std::string& target);
    // Removes the lock file while still holding it, then lets go.
    ~TOutputLock();
    TOutputLock(const TOutputLock&) = delete;
    TOutputLock& operator=(const TOutputLock&) = delete;

    bool Held() const { return FHeld; }

private:
    std::string Path;
    int Fd = -1;
    bool FHeld = false;
};
