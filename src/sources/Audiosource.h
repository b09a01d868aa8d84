// SPDX-License-Identifier: GPL-3.0-or-later
// Compressed audio sources: decoded PCM presented exactly as the WAVE source presents its data chunk.
#pragma once

#include "sources/Sourcefile.h"

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// Raised when an audio file is recognised but cannot be used; the text names the file and the reason.
class EAudioRefused : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Raised while reading when the audio is damaged; the text names the file and the time.
class EAudioDamaged : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Raised when the user stops the pass that counts a file's samples.
class ECountCanceled : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Called while a file whose length no header states is read whole to count its samples: the bytes read
// of it so far, its size and its name. Returning false stops the pass.
using TCountProgress = std::function<bool(std::int64_t done, std::int64_t total, const std::string& name)>;

inline constexpr std::int32_t CD_SAMPLE_RATE = 44100;
inline constexpr std::int64_t CD_SAMPLE_BYTES = 4; // 16-bit stereo

// A byte stream of 16-bit little-endian stereo samples; Position runs 0..DataLength like the WAVE source.
// The decoder starts on the first read; sequential reads never seek, a backward one restarts it.
class TLuCueAudioFile : public TLuCueFile
{
public:
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::size_t Read(void* buffer, std::size_t count) override;
    // A source whose check at the end of the stream was skipped (the reads began after a seek) is read
    // once from its start to its end.
    void CheckIntact() override;

    std::int64_t DataLength = 0;
    bool Lossy = false;
    // The coding, as shown to the user ("FLAC", "MP3", "WavPack").
    std::string Format;
    // The file's name without its folder, for messages.
    std::string Name;

protected:
    TLuCueAudioFile(const std::string& path, const TCountProgress& progress);

    // Readies the decoder for the sample given and returns the sample its next block starts at
    // (at most the one given); it may already have put the first block into Block.
    virtual std::int64_t Restart(std::int64_t sample) = 0;
    // Puts the next decoded block into Block (emptied by the caller); false at the end of the stream.
    virtual bool Decode() = 0;
    // Called once the data up to DataLength has been decoded in a pass that began at sample 0.
    virtual void CheckEnd() {}

    // Tells the count handler how far the counting pass has read; throws ECountCanceled when it says stop.
    void ReportCount(std::int64_t done, std::int64_t total);

    // Raises EAudioDamaged; the damage stays: any later read that reaches its place fails the same way.
    [[noreturn]] void Fail(const std::string& what, std::int64_t sample);
    // "song.flac: 48,000 Hz, 24-bit, 2 channels; audio must be 44,100 Hz, 16-bit, stereo"
    [[noreturn]] void Refuse(std::int64_t rate, int bits, int channels) const;

    std::vector<std::uint8_t> Block;
    // CheckEnd checks the whole stream (a signature over all of its audio).
    bool ChecksAtEnd = false;

private:
    std::int64_t BlockStart = 0; // byte position of Block[0]
    bool Started = false;
    bool FromStart = false;
    bool EndChecked = false;
    bool EndVerified = false; // a pass from the start passed CheckEnd
    std::string Damage;       // the message of the damage found, raised again by reads that reach it
    std::int64_t DamageAt = 0;
    TCountProgress CountProgress;
    std::int64_t LastPermille = -1; // of the last report, which is repeated only when it moves
};

// "song.wav: 48,000 Hz, 16-bit, 1 channel; audio must be 44,100 Hz, 16-bit, stereo"; samples is the
// sample size ("24-bit") or the coding when it has none ("MP3").
std::string AudioRefusalText(const std::string& name, std::int64_t rate, const std::string& samples, int channels);
