#pragma once
// The pitch corrections measured for one SoundFont, and the file that keeps them between runs
// ($XDG_CACHE_HOME/tessarin/, one file per SoundFont). A file written for another SoundFont, or
// for the same path before the file there changed (size, modification time), does not apply.

#include <array>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <utility>

namespace mxmidi {

// The output trim of a note follows it as it rings: many samples loop on a part recorded at
// another pitch than their attack, and layered voices that fade at different rates move the
// pitch one hears, by several cents a second or more after the note on. The trim is read at
// these times after the note on, each over the moment around it, and held before the
// first and after the last.
constexpr int kTrimPoints = 35;
constexpr double kTrimFirstSeconds = 0.4;
constexpr double kTrimStepSeconds = 0.1;
// The trim never goes further than this, in cents (a cache file holding more is not read).
constexpr double kMaxTrimCents = 20.0;

// What one key of one preset needs to sound at its equal-tempered pitch.
struct KeyCorrection {
    bool pitched = false;  // false: the key has no measurable pitch and is left alone
    double tuning = 0.0;   // the key's pitch for the synthesiser's key tuning, in cents (key * 100
                           // when it is in tune)
    // What is left, played by trimming the output, in cents: at kTrimFirstSeconds +
    // i * kTrimStepSeconds after the note on.
    std::array<float, kTrimPoints> trim{};

    // The trim `seconds` after the note on, between the readings on a straight line.
    double trimAt(double seconds) const;
};

struct PresetCorrections {
    std::array<std::optional<KeyCorrection>, 128> keys;  // empty: not measured yet
    bool complete = false;                               // every measurable key is measured
};

// (bank, program) -> corrections
using CorrectionTable = std::map<std::pair<int, int>, PresetCorrections>;

struct SoundFontStamp {
    std::string path;  // with links resolved
    long long size = 0;
    long long modified = 0;  // nanoseconds since the epoch
    bool operator==(const SoundFontStamp&) const = default;
};

// The stamp of the file at `path`; nothing when it cannot be read.
std::optional<SoundFontStamp> stampSoundFont(const std::string& path);

enum class CacheState {
    Applies,  // the table was read
    Other,    // written for another SoundFont or an older file at that path
    Damaged,  // not a cache file this library wrote, or cut short
};

// Reads a cache file's text. `table` is filled only when the result is Applies.
CacheState readPitchCache(std::istream& in, const SoundFontStamp& stamp, CorrectionTable& table);
void writePitchCache(std::ostream& out, const SoundFontStamp& stamp, const CorrectionTable& table);

// A file this library keeps about a SoundFont: $XDG_CACHE_HOME/tessarin/<kind>-<hash of the
// path><extension>, with ~/.cache when XDG_CACHE_HOME is unset or not absolute. Empty when there
// is no home either.
std::string soundFontCacheFile(const std::string& soundFontPath, const char* kind,
                               const char* extension);

// The cache file for a SoundFont's pitch corrections: pitch-<hash>.txt.
std::string pitchCacheFile(const std::string& soundFontPath);

// Replaces `file` in one step with `bytes` (written beside it, then renamed over it), creating
// its folder and that folder's parent; false, with what failed in `error`, when it cannot.
bool replaceFile(const std::string& file, const std::string& bytes, std::string& error);

// Loads the table from the cache file, or leaves it empty. A damaged file gets one line on
// standard error (once per process) and is treated as absent.
CorrectionTable loadPitchCache(const std::string& file, const SoundFontStamp& stamp);
// Replaces the cache file in one step (written beside it, then renamed over it), creating its
// folder. A failure gets one line on standard error (once per process) and nothing else.
void savePitchCache(const std::string& file, const SoundFontStamp& stamp,
                    const CorrectionTable& table);

}  // namespace mxmidi
