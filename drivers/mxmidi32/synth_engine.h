#pragma once
// The embedded synthesiser itself: FluidSynth with a General MIDI SoundFont, rendering on
// demand into the audio output's buffers.
//
// A channel holds no program (and so keeps no samples in memory) until it is given one, or
// until its first note, which takes General MIDI's default (program 0, or the standard drum
// kit on channel 10). Every pitched note is placed at its equal-tempered pitch (A4 = 440 Hz):
// the whole cents through the channel's key tuning, the rest (the last fraction of a cent, and
// how the latest note's pitch moves as it rings) by trimming the output.

#include <fluidsynth.h>

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "fine_trim.h"
#include "key_corrections.h"

namespace mxmidi {

class SynthEngine {
public:
    // Loads the SoundFont (only its preset list; samples come with the programs that use them).
    // nullptr when it cannot be loaded.
    static std::unique_ptr<SynthEngine> create(const std::string& soundFont);
    ~SynthEngine();

    SynthEngine(const SynthEngine&) = delete;
    SynthEngine& operator=(const SynthEngine&) = delete;

    // One channel message (0x80..0xEF); false for any other status, and for a note on that
    // cannot sound (the SoundFont has no instrument for the channel's program).
    bool send(std::uint8_t status, std::uint8_t data1, std::uint8_t data2);
    // Ends every voice at once; programs and controllers stay.
    void reset();
    // Whether any voice still sounds.
    bool sounding() const;
    // The next `frames` frames, interleaved stereo; on the audio output's thread only.
    void render(std::int16_t* interleaved, int frames);

private:
    SynthEngine(fluid_settings_t* settings, fluid_synth_t* synth, int font,
                const std::string& soundFont);
    bool noteOn(int channel, int key, int velocity);
    void wantHeldPresets();
    void tuneKey(int channel, int key, double pitch);

    fluid_settings_t* settings_;
    fluid_synth_t* synth_;
    int font_;
    KeyCorrections corrections_;
    std::array<bool, 16> holdsProgram_{};
    // Each channel's key tuning (cents per key) as last handed to the synthesiser.
    std::array<std::array<double, 128>, 16> tuning_{};
    std::array<bool, 16> tuned_{};
    // The latest note's correction, handed to the audio thread, whose trim follows it from that
    // note's start (a count of notes tells it a new one began). A note starts, and the audio
    // thread renders a block, under the lock: the trim's clock starts with the note's sound.
    std::mutex noteLock_;
    KeyCorrection note_;
    unsigned notes_ = 0;
    bool resetPending_ = false;  // voices cut by reset() may not have been let go yet

    // Audio thread only.
    unsigned heardNotes_ = 0;
    KeyCorrection playing_;
    long long framesSinceNote_ = 0;
    FineTrim trim_;
    std::vector<float> left_, right_;
};

}  // namespace mxmidi
