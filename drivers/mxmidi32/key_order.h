#pragma once
// The order in which the keys of a preset are measured in the background. The tuner plays the
// open strings of its guitars, basses and ukuleles; those keys come first, then the keys a
// concert pitch away from 400 Hz to 480 Hz moves them to (up to two semitones either way), then
// the rest of the measured range, each group from the middle of a guitar's strings outwards.

#include <vector>

namespace mxmidi {

// The lowest and highest key measured (about 20 Hz to 5 kHz).
inline constexpr int kFirstMeasuredKey = 16;
inline constexpr int kLastMeasuredKey = 111;

// The open strings of the tunings the tuner ships with, as MIDI keys.
const std::vector<int>& stringKeys();

// Every key from kFirstMeasuredKey to kLastMeasuredKey once, in the order they are measured.
const std::vector<int>& measuringOrder();

// Whether the key is a string's or a concert pitch's away from one (the first two groups).
bool stringOrNearKey(int key);

}  // namespace mxmidi
