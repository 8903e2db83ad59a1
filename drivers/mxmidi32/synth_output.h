#pragma once
// The embedded synthesiser: FluidSynth with the system's General MIDI SoundFont, playing through
// the desktop's sound server (or ALSA's default device), or into a file when MXMIDI32_AUDIO_FILE
// names one.

#include <memory>
#include <string>

#include "output_device.h"

namespace mxmidi {

// The General MIDI SoundFont to load: MXMIDI32_SOUNDFONT when set (even if it does not exist),
// else the first readable file of Debian's default GM SoundFont and the usual names other
// distributions install. Empty when none is found.
std::string findSoundFont();

// Whether the file starts as a SoundFont does (a RIFF file of form "sfbk", SF2 or SF3).
bool looksLikeSoundFont(const std::string& path);

// A synthesiser whose audio output is open and whose SoundFont loads in the background, or
// nullptr when there is no SoundFont or no audio output opens; a failed attempt leaves nothing
// behind. Should the SoundFont then fail to load, every note on fails.
std::unique_ptr<OutputDevice> openSynthOutput();

}  // namespace mxmidi
