#include "synth_engine.h"

#include <fluidsynth.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>
#include <set>
#include <thread>

#include "audio_output.h"

namespace mxmidi {
namespace {

// Level of the synthesiser's mix; one note at full velocity stays well below clipping.
constexpr double kGain = 0.4;
// The tuner plays one note at a time; a few more voices leave room for layered presets.
constexpr int kPolyphony = 64;
constexpr int kDrumChannel = 9;
constexpr int kDrumBank = 128;
// The longest a note on waits for the voices of a reset to go (a few audio blocks).
constexpr int kResetWaitMs = 40;
// The output trim is brought up to date every this many frames (a little over 1 ms).
constexpr int kTrimStepFrames = 64;
// The lean copy is written again once the presets played have held this long.
constexpr std::chrono::seconds kLeanCopySettle{2};

// FluidSynth reports every audio output and SoundFont it fails to open on stderr. Those
// failures are expected while looking for a device (and answered by this library's own
// results), so FluidSynth stays quiet below FLUID_PANIC while the library is loaded.
class QuietFluidLog {
public:
    QuietFluidLog() {
        for (int level : {FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG}) {
            previous_[level] = fluid_set_log_function(level, nullptr, nullptr);
        }
    }
    ~QuietFluidLog() {
        for (int level : {FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG}) {
            fluid_set_log_function(level, previous_[level], nullptr);
        }
    }

private:
    fluid_log_function_t previous_[FLUID_DBG + 1] = {};
};

void quietFluidLog() {
    static std::once_flag once;
    std::call_once(once, [] { static QuietFluidLog quiet; });
}

std::int16_t toSample(float x) {
    return static_cast<std::int16_t>(std::lround(std::clamp(x, -1.0f, 1.0f) * 32767.0f));
}

}  // namespace

std::unique_ptr<SynthEngine> SynthEngine::create(const std::string& soundFont) {
    quietFluidLog();
    fluid_settings_t* settings = new_fluid_settings();
    if (settings == nullptr) return nullptr;
    fluid_settings_setnum(settings, "synth.sample-rate", kAudioRate);
    fluid_settings_setnum(settings, "synth.gain", kGain);
    fluid_settings_setint(settings, "synth.polyphony", kPolyphony);
    // Only the samples of the programs in use stay in memory (a GM SoundFont may be 150 MB).
    fluid_settings_setint(settings, "synth.dynamic-sample-loading", 1);
    // A reference tone is dry: no reverberation or chorus tail lingers after a reset.
    fluid_settings_setint(settings, "synth.reverb.active", 0);
    fluid_settings_setint(settings, "synth.chorus.active", 0);
    fluid_synth_t* synth = new_fluid_synth(settings);
    if (synth == nullptr) {
        delete_fluid_settings(settings);
        return nullptr;
    }
    // Without assigning presets to the channels: no channel holds a program yet. The lean copy
    // when there is one for this very file, else (or should it not load) the whole SoundFont.
    Fonts fonts;
    fonts.soundFont = soundFont;
    fonts.stamp = stampSoundFont(soundFont);
    if (fonts.stamp) {
        fonts.leanFile = leanSoundFontFile(fonts.stamp->path);
        if (auto inCopy = leanSoundFontPresets(fonts.leanFile, *fonts.stamp)) {
            fonts.leanLoaded = fluid_synth_sfload(synth, fonts.leanFile.c_str(), 0) != FLUID_FAILED;
            if (fonts.leanLoaded) fonts.inCopy = std::move(*inCopy);
        }
    }
    if (!fonts.leanLoaded && fluid_synth_sfload(synth, soundFont.c_str(), 0) == FLUID_FAILED) {
        delete_fluid_synth(synth);
        delete_fluid_settings(settings);
        return nullptr;
    }
    return std::unique_ptr<SynthEngine>(new SynthEngine(settings, synth, std::move(fonts)));
}

SynthEngine::SynthEngine(fluid_settings_t* settings, fluid_synth_t* synth, Fonts fonts)
    : settings_(settings),
      synth_(synth),
      soundFont_(fonts.soundFont),
      wholeLoaded_(!fonts.leanLoaded),
      leanCopy_(fonts.stamp ? std::make_unique<LeanCopyKeeper>(*fonts.stamp, fonts.leanFile,
                                                                fonts.inCopy, kLeanCopySettle)
                            : nullptr),
      corrections_(fonts.soundFont, fonts.leanLoaded ? fonts.leanFile : std::string()) {
    for (int channel = 0; channel < 16; ++channel) {
        fluid_synth_unset_program(synth_, channel);
        for (int key = 0; key < 128; ++key) tuning_[channel][key] = 100.0 * key;
    }
}

SynthEngine::~SynthEngine() {
    delete_fluid_synth(synth_);
    delete_fluid_settings(settings_);
}

bool SynthEngine::send(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) {
    const int channel = status & 0x0F;
    const int d1 = data1 & 0x7F;
    const int d2 = data2 & 0x7F;
    switch (status & 0xF0) {
        case 0x80:
            fluid_synth_noteoff(synth_, channel, d1);
            return true;
        case 0x90:
            if (d2 != 0) return noteOn(channel, d1, d2);
            fluid_synth_noteoff(synth_, channel, d1);
            return true;
        case 0xA0:
            fluid_synth_key_pressure(synth_, channel, d1, d2);
            return true;
        case 0xB0:
            if (d1 == 0) bankSelect_[channel] = d2;
            if (!tuningController(channel, d1, d2)) fluid_synth_cc(synth_, channel, d1, d2);
            return true;
        case 0xC0:
            selectProgram(channel, d1);
            return true;
        case 0xD0:
            fluid_synth_channel_pressure(synth_, channel, d1);
            return true;
        case 0xE0:
            fluid_synth_pitch_bend(synth_, channel, d1 | (d2 << 7));
            return true;
        default:
            return false;  // data bytes and system messages
    }
}

bool SynthEngine::noteOn(int channel, int key, int velocity) {
    if (resetPending_) {
        // A note that starts while the voices a reset cut are still being let go may sound a
        // cent or two away from the same note started alone (seen with layered presets), and
        // its pitch was measured alone: the audio thread lets them go with its next block.
        resetPending_ = false;
        for (int waited = 0; waited < kResetWaitMs && sounding(); ++waited) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    if (!holdsProgram_[channel]) {
        // General MIDI's default: program 0 (FluidSynth gives the drum channel its kit).
        selectProgram(channel, 0);
    }
    fluid_preset_t* preset = fluid_synth_get_channel_preset(synth_, channel);
    if (preset == nullptr) return false;  // no instrument: nothing would sound
    KeyCorrection correction;  // no trim
    double offset = 0.0;
    if (channel != kDrumChannel) {
        const int bank = fluid_preset_get_banknum(preset);
        const int program = fluid_preset_get_num(preset);
        const auto c = bank == kDrumBank ? std::nullopt : corrections_.get(bank, program, key);
        // The synthesiser moves a pitch by whole cents exactly; the rest goes to the trim.
        const double tuning = tuningCents(channel);
        const double whole = std::round(tuning);
        tuneKey(channel, key, (c ? c->tuning : 100.0 * key) + whole);
        offset = tuning - whole;
        if (c) correction = *c;
    }
    // Between two blocks of the audio thread, so that the trim's clock starts with the note.
    std::lock_guard guard(noteLock_);
    note_ = correction;
    noteOffset_ = offset;
    ++notes_;
    return fluid_synth_noteon(synth_, channel, key, velocity) == FLUID_OK;
}

void SynthEngine::selectProgram(int channel, int program) {
    // With dynamic sample loading this loads the program's samples now (and lets go of the
    // previous program's when no other channel holds it).
    fluid_synth_program_change(synth_, channel, program);
    const int bank = channel == kDrumChannel ? kDrumBank : bankSelect_[channel];
    const auto holds = [&] {
        fluid_preset_t* p = fluid_synth_get_channel_preset(synth_, channel);
        return p != nullptr && fluid_preset_get_banknum(p) == bank &&
               fluid_preset_get_num(p) == program;
    };
    if (!wholeLoaded_ && !holds()) {
        // Not in the lean copy (the synthesiser put another preset in its place): the whole
        // SoundFont, on top of the copy, has it if anything does.
        wholeLoaded_ = true;
        if (fluid_synth_sfload(synth_, soundFont_.c_str(), 0) != FLUID_FAILED)
            fluid_synth_program_change(synth_, channel, program);
    }
    holdsProgram_[channel] = true;
    if (fluid_preset_t* p = fluid_synth_get_channel_preset(synth_, channel); p && leanCopy_)
        leanCopy_->played(fluid_preset_get_banknum(p), fluid_preset_get_num(p));
    wantHeldPresets();
}

bool SynthEngine::tuningController(int channel, int controller, int value) {
    Rpn& r = rpn_[static_cast<std::size_t>(channel)];
    switch (controller) {
        case 101:
            r.msb = value;
            return false;
        case 100:
            r.lsb = value;
            return false;
        case 121:  // reset all controllers: no parameter selected; the tunings stay
            r.msb = r.lsb = 127;
            return false;
        case 6:
        case 38:
            break;
        default:
            return false;
    }
    if (r.msb != 0 || (r.lsb != 1 && r.lsb != 2)) return false;
    if (r.lsb == 1)
        r.fine = controller == 6 ? (value << 7) | (r.fine & 0x7F) : (r.fine & ~0x7F) | value;
    else if (controller == 6)
        r.coarse = value;
    return true;
}

double SynthEngine::tuningCents(int channel) const {
    const Rpn& r = rpn_[static_cast<std::size_t>(channel)];
    return 100.0 * (r.coarse - 64) + 100.0 * (r.fine - 8192) / 8192.0;
}

void SynthEngine::tuneKey(int channel, int key, double pitch) {
    if (tuned_[channel] && tuning_[channel][key] == pitch) return;
    tuning_[channel][key] = pitch;
    // One key tuning per channel (tuning bank 0, program = channel), replaced as a whole.
    fluid_synth_activate_key_tuning(synth_, 0, channel, "MxMidi32", tuning_[channel].data(), 0);
    fluid_synth_activate_tuning(synth_, channel, 0, channel, 0);
    tuned_[channel] = true;
}

void SynthEngine::wantHeldPresets() {
    std::set<std::pair<int, int>> presets;
    for (int channel = 0; channel < 16; ++channel) {
        if (!holdsProgram_[channel] || channel == kDrumChannel) continue;
        if (fluid_preset_t* preset = fluid_synth_get_channel_preset(synth_, channel)) {
            const int bank = fluid_preset_get_banknum(preset);
            if (bank != kDrumBank) presets.insert({bank, fluid_preset_get_num(preset)});
        }
    }
    corrections_.setWanted(presets);
}

void SynthEngine::reset() {
    // Ends every voice at once, sustained or not; channel settings are untouched. (A note off
    // after this would put the dying voices back into their release phase.)
    fluid_synth_all_sounds_off(synth_, -1);
    resetPending_ = true;
}

bool SynthEngine::sounding() const {
    return fluid_synth_get_active_voice_count(synth_) > 0;
}

void SynthEngine::render(std::int16_t* interleaved, int frames) {
    std::lock_guard guard(noteLock_);
    if (notes_ != heardNotes_) {
        playing_ = note_;
        playingOffset_ = noteOffset_;
        heardNotes_ = notes_;
        framesSinceNote_ = 0;
    }
    left_.resize(static_cast<std::size_t>(frames));
    right_.resize(static_cast<std::size_t>(frames));
    // The trim follows the note in small steps, whatever the size of the output's blocks.
    for (int done = 0; done < frames;) {
        const int n = std::min(kTrimStepFrames, frames - done);
        const double cents =
            playing_.trimAt(static_cast<double>(framesSinceNote_) / kAudioRate) + playingOffset_;
        if (cents != trim_.cents()) trim_.setCents(cents);
        trim_.process(left_.data() + done, right_.data() + done, n,
                      [this](float* l, float* r, int count) {
                          fluid_synth_write_float(synth_, count, l, 0, 1, r, 0, 1);
                      });
        framesSinceNote_ += n;
        done += n;
    }
    for (int i = 0; i < frames; ++i) {
        interleaved[2 * i] = toSample(left_[i]);
        interleaved[2 * i + 1] = toSample(right_[i]);
    }
}

}  // namespace mxmidi
