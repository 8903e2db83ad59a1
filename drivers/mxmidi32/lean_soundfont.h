#pragma once
// A lean copy of a SoundFont: only the presets the library plays, with their instruments and only
// the samples those use, in a SoundFont 2 file of its own in the cache folder. FluidSynth keeps
// the tables of every preset and zone of a file it loads, several megabytes for a full General
// MIDI set, whichever presets are played; loading the lean copy keeps only what is used, so that
// the synthesiser costs about the same on every SoundFont. An SF3 SoundFont's Ogg Vorbis samples
// are decoded once, into the copy. The copy names the SoundFont it was made from (path, size and
// modification time) and its presets in its comment: a copy of another file, or of an older
// one at the same path, does not apply.

#include <optional>
#include <set>
#include <string>
#include <utility>

#include "pitch_cache.h"
#include "soundfont_file.h"

namespace mxmidi {

// (bank, program)
using PresetSet = std::set<std::pair<int, int>>;

// Where the lean copy of the SoundFont at this (resolved) path is kept: lean-<hash>.sf2 in the
// cache folder. Empty when there is no cache folder.
std::string leanSoundFontFile(const std::string& soundFontPath);

// The presets of the lean copy in `leanFile` when it was made from the SoundFont with this
// stamp; nothing when it is absent, damaged, or made from another file.
std::optional<PresetSet> leanSoundFontPresets(const std::string& leanFile,
                                              const SoundFontStamp& stamp);

// The lean copy's bytes: those of `presets` the SoundFont has (bank and program as they are,
// not as a synthesiser substitutes them), with `stamp` and the presets in its comment. Nothing
// when it has none of them, they name no sample, or their samples cannot be read.
std::optional<std::string> buildLeanSoundFont(const ByteSource& source,
                                              const SoundFontTables& tables,
                                              const SoundFontStamp& stamp,
                                              const PresetSet& presets);

// Builds the lean copy of the SoundFont at `stamp.path` and puts it in place in one step; false
// when it cannot (the SoundFont does not read, none of the presets is there, the file cannot be
// written).
bool writeLeanSoundFont(const SoundFontStamp& stamp, const PresetSet& presets,
                        const std::string& leanFile);

}  // namespace mxmidi
