#pragma once
// The embedded synthesiser: FluidSynth with the system's General MIDI SoundFont, playing through
// the desktop's audio, or into a file when MXMIDI32_AUDIO_FILE names one.

#include <memory>
#include <string>

#include "output_device.h"

namespace mxmidi {

// The General MIDI SoundFont to load: MXMIDI32_SOUNDFONT when set (even if it does not exist),
// else the first readable file of Debian's default GM SoundFont and the usual names other
// distributions install. Empty when none is found.
std::string findSoundFont();

// A running synthesiser, or nullptr when the SoundFont or every audio output fails; a failed
// attempt leaves nothing behind.
std::unique_ptr<OutputDevice> openSynthOutput();

}  // namespace mxmidi
