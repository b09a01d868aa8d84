// SPDX-License-Identifier: GPL-3.0-or-later
// The verifier's checks of the control file: TOC entries against the track sections and the
// image's size, and the CD-TEXT packs against their size information.
#pragma once

struct TVerifyState;

// Needs the tracks built and StoredSectors set.
void CheckToc(TVerifyState& state);
void CheckCdText(TVerifyState& state);
