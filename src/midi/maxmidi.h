#pragma once
// The MIDI component layer over the driver library libMxMidi32.so: the loader TMaxMidi and the
// output TMaxMidiOut, with the library's event record MIDIEVENT.

#include "max_midi.h"
#include "max_midi_out.h"
#include "mxmidi32.h"
