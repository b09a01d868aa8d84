// SPDX-License-Identifier: GPL-3.0-or-later
// Which source opens a file named with an audio keyword: decided by its content, not its name.
#pragma once

#include "sources/Audiosource.h"

#include <memory>
#include <string>
#include <string_view>

// Opens a file named with an audio type keyword by its content: RIFF WAVE, FLAC or whatever the
// decoder library recognises. Throws EFOpenError for a file that is not audio, EAudioRefused with
// the reason for audio that cannot be used, ECountCanceled when progress stopped a counting pass.
std::unique_ptr<TLuCueFile> OpenAudioFile(const std::string& path, const TCountProgress& progress = {});

// True when type is a FILE keyword for audio by content (the audio part of FILE_TYPES).
bool IsAudioFileType(std::string_view type);
