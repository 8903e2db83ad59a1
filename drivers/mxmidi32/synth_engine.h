#pragma once
// The embedded synthesiser itself: FluidSynth with a General MIDI SoundFont, rendering on
// demand into the audio output's buffers.
//
// It loads the lean copy of the SoundFont (lean_soundfont.h) when there is one for that file:
// only the presets this library played before. A program the copy lacks is taken from the whole
// SoundFont, loaded then, and the copy is written again with it for the next start.
//
// A channel holds no program (and so keeps no samples in memory) until it is given one, or
// until its first note, which takes General MIDI's default (program 0, or the standard drum
// kit on channel 10). Every pitched note is placed at its equal-tempered pitch (A4 = 440 Hz):
// the whole cents through the channel's key tuning, the rest (the last fraction of a cent, and
// how the latest note's pitch moves as it rings) by trimming the output.
//
// A channel's tuning (the registered parameters channel coarse tuning, in semitones, and
// channel fine tuning, within a semitone either way to 1/8192 of it) moves its notes from that
// pitch: it is taken by the engine instead of the synthesiser, its whole cents added to the
// key tuning and its fraction to the trim, so that a note stays as exact as without it.

#include <fluidsynth.h>

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "fine_trim.h"
#include "key_corrections.h"
#include "lean_copy_keeper.h"

namespace mxmidi {

class SynthEngine {
public:
    // Loads the SoundFont's lean copy, or the SoundFont (only its preset list; samples come
    // with the programs that use them). nullptr when it cannot be loaded.
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
    struct Fonts {
        std::string soundFont;
        std::optional<SoundFontStamp> stamp;
        std::string leanFile;
        PresetSet inCopy;
        bool leanLoaded = false;
    };
    SynthEngine(fluid_settings_t* settings, fluid_synth_t* synth, Fonts fonts);
    bool noteOn(int channel, int key, int velocity);
    // Gives the channel the program (of the bank selected on it), from the whole SoundFont when
    // the lean copy lacks it.
    void selectProgram(int channel, int program);
    void wantHeldPresets();
    void tuneKey(int channel, int key, double pitch);
    // A controller that selects or sets a channel's tuning; true when the engine took it.
    bool tuningController(int channel, int controller, int value);
    // The channel's tuning in cents.
    double tuningCents(int channel) const;

    fluid_settings_t* settings_;
    fluid_synth_t* synth_;
    std::string soundFont_;
    bool wholeLoaded_;  // the whole SoundFont, not only its lean copy
    std::unique_ptr<LeanCopyKeeper> leanCopy_;
    KeyCorrections corrections_;
    std::array<int, 16> bankSelect_{};  // bank select (controller 0) as sent on each channel
    std::array<bool, 16> holdsProgram_{};
    // Each channel's key tuning (cents per key) as last handed to the synthesiser.
    std::array<std::array<double, 128>, 16> tuning_{};
    std::array<bool, 16> tuned_{};
    // Registered parameter selected on each channel (127, 127: none) and the two tunings,
    // as sent (fine: 14 bits, 8192 none; coarse: 64 none).
    struct Rpn {
        int msb = 127, lsb = 127;
        int fine = 8192, coarse = 64;
    };
    std::array<Rpn, 16> rpn_{};
    // The latest note's correction, handed to the audio thread, whose trim follows it from that
    // note's start (a count of notes tells it a new one began). A note starts, and the audio
    // thread renders a block, under the lock: the trim's clock starts with the note's sound.
    std::mutex noteLock_;
    KeyCorrection note_;
    double noteOffset_ = 0.0;  // the fraction of a cent of the channel's tuning
    unsigned notes_ = 0;
    bool resetPending_ = false;  // voices cut by reset() may not have been let go yet

    // Audio thread only.
    unsigned heardNotes_ = 0;
    KeyCorrection playing_;
    double playingOffset_ = 0.0;
    long long framesSinceNote_ = 0;
    FineTrim trim_;
    std::vector<float> left_, right_;
};

}  // namespace mxmidi
