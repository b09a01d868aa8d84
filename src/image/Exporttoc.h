// SPDX-License-Identifier: GPL-3.0-or-later
// The TOC entries a set's control file holds and its sheet cannot compose from the tracks: the sheet
// gives them whole, as REM TOC-ENTRY lines.
#pragma once

#include "cuesheet/Discmodel.h"

#include <string>
#include <vector>

// The entries of setToc that composed (the model of the sheet without such lines) lacks or holds
// otherwise, in setToc's order, for lines that give setToc back. What no line can give back, an entry
// that contradicts the tracks or breaks the TOC rule, a composed one the set lacks, or an order of its
// own, is a warning.
std::vector<TTocEntry> TocEntriesToCarry(const std::vector<TTocEntry>& setToc, const TDiscModel& composed,
                                         std::vector<std::string>& warnings);
