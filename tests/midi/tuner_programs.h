#pragma once
// The programs the main window selects on channel 0 once the output is open: the output's own
// first program (27), then bank 0 and the nylon guitar (24). Tests that play reference notes
// start from the same state, since the synthesiser loads and measures what is selected.

#include "maxmidi.h"

inline void selectProgramsAsTheTuner(TMaxMidiOut& out) {
    out.Put(MIDIEVENT{0, 0xC0, 27, 0, 0});
    out.Put(MIDIEVENT{0, 0xB0, 0, 0, 0});
    out.Put(MIDIEVENT{0, 0xC0, 24, 0, 0});
}
