#include "synth_output.h"

#include <fluidsynth.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string_view>
#include <vector>

#include "audio_on_demand.h"
#include "mxmidi32.h"

namespace mxmidi {
namespace {

// Debian installs its default GM SoundFont as an alternatives link; other distributions use
// their own folders and names.
constexpr const char* kSoundFonts[] = {
    "/usr/share/sounds/sf2/default-GM.sf2",        "/usr/share/sounds/sf3/default-GM.sf3",
    "/usr/share/sounds/sf2/FluidR3_GM.sf2",        "/usr/share/sounds/sf2/TimGM6mb.sf2",
    "/usr/share/sounds/sf3/MuseScore_General.sf3", "/usr/share/soundfonts/default.sf2",
    "/usr/share/soundfonts/FluidR3_GM.sf2",        "/usr/share/soundfonts/FluidR3_GM2-2.sf2",
    "/usr/share/sounds/sf2/FluidR3_GS.sf2",
};

// Audio outputs in order of preference. JACK is left out on purpose: its client library may try
// to start a server, which must never happen behind the user's back.
constexpr const char* kAudioDrivers[] = {"pipewire", "pulseaudio", "alsa"};

// Buffering of the audio output: 6 periods of 128 frames at 48 kHz hold 16 ms of sound.
constexpr int kPeriodSize = 128;
constexpr int kPeriods = 6;
// Level of the synthesiser's mix; one note at full velocity stays well below clipping.
constexpr double kGain = 0.4;
// A desktop output is closed once nothing has sounded for this long, and reopened by the next
// note; whether anything sounds is looked at this often while it is open.
constexpr std::chrono::milliseconds kIdleGrace{1500};
constexpr std::chrono::milliseconds kIdlePoll{250};

bool readableFile(const char* path) {
    struct stat st {};
    return ::stat(path, &st) == 0 && S_ISREG(st.st_mode) && ::access(path, R_OK) == 0;
}

// FluidSynth reports every audio output it fails to open (no PulseAudio server, no sound card)
// on stderr. Those failures are expected while looking for an output, so the library keeps
// FluidSynth quiet below FLUID_PANIC while it is loaded and gives the old handlers back when it
// is unloaded.
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

bool driverOffered(fluid_settings_t* settings, const char* name) {
    struct Search {
        std::string_view name;
        bool found = false;
    } search{name};
    fluid_settings_foreach_option(settings, "audio.driver", &search,
                                  [](void* data, const char*, const char* option) {
                                      auto* s = static_cast<Search*>(data);
                                      if (s->name == option) s->found = true;
                                  });
    return search.found;
}

// The file the synthesiser renders into instead of the desktop's audio, or nullptr.
const char* audioFile() {
    const char* file = std::getenv("MXMIDI32_AUDIO_FILE");
    return file != nullptr && *file != '\0' ? file : nullptr;
}

// Starts an audio driver for the synthesiser: the file driver when a file is asked for, else the
// first desktop output that opens.
fluid_audio_driver_t* startAudio(fluid_settings_t* settings, fluid_synth_t* synth,
                                 const char* file) {
    if (file != nullptr) {
        fluid_settings_setstr(settings, "audio.driver", "file");
        fluid_settings_setstr(settings, "audio.file.name", file);
        fluid_settings_setstr(settings, "audio.file.type", "raw");
        fluid_settings_setstr(settings, "audio.file.format", "s16");
        fluid_settings_setstr(settings, "audio.file.endian", "little");
        return new_fluid_audio_driver(settings, synth);
    }
    for (const char* name : kAudioDrivers) {
        if (!driverOffered(settings, name)) continue;
        fluid_settings_setstr(settings, "audio.driver", name);
        if (fluid_audio_driver_t* driver = new_fluid_audio_driver(settings, synth)) return driver;
    }
    return nullptr;
}

class SynthOutput final : public OutputDevice {
public:
    // `driver` is the audio output just opened with `settings`. An output into a file stays open
    // (the file is one continuous recording); a desktop output is closed while nothing sounds.
    SynthOutput(fluid_settings_t* settings, fluid_synth_t* synth, fluid_audio_driver_t* driver,
                bool toFile)
        : settings_(settings), synth_(synth), driver_(driver) {
        audio_ = std::make_unique<AudioOnDemand>(
            [this] {
                // The settings still name the audio driver that opened last time; should it
                // fail now (its server restarted or went away), the others are tried in turn.
                driver_ = new_fluid_audio_driver(settings_, synth_);
                if (driver_ == nullptr) driver_ = startAudio(settings_, synth_, nullptr);
                return driver_ != nullptr;
            },
            [this] {
                delete_fluid_audio_driver(driver_);
                driver_ = nullptr;
            },
            [this] { return fluid_synth_get_active_voice_count(synth_) > 0; },
            toFile ? AudioOnDemand::kNeverClose : kIdleGrace, kIdlePoll);
    }

    ~SynthOutput() override {
        // The audio thread reads the synthesiser: close the output first.
        audio_.reset();
        delete_fluid_synth(synth_);
        delete_fluid_settings(settings_);
    }

    bool send(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) override {
        const int channel = status & 0x0F;
        const int d1 = data1 & 0x7F;
        const int d2 = data2 & 0x7F;
        switch (status & 0xF0) {
            case 0x80:
                fluid_synth_noteoff(synth_, channel, d1);
                return true;
            case 0x90:
                if (d2 == 0) {
                    fluid_synth_noteoff(synth_, channel, d1);
                    return true;
                }
                // The one message that starts a sound; false when no output can be reopened.
                return audio_->play([&] { fluid_synth_noteon(synth_, channel, d1, d2); });
            case 0xA0:
                fluid_synth_key_pressure(synth_, channel, d1, d2);
                return true;
            case 0xB0:
                fluid_synth_cc(synth_, channel, d1, d2);
                return true;
            case 0xC0:
                // With dynamic sample loading this loads the program's samples now.
                fluid_synth_program_change(synth_, channel, d1);
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

    void reset() override {
        // Ends every voice at once, sustained or not; channel settings are untouched. (A note
        // off after this would put the dying voices back into their release phase.)
        fluid_synth_all_sounds_off(synth_, -1);
    }

private:
    fluid_settings_t* settings_;
    fluid_synth_t* synth_;
    fluid_audio_driver_t* driver_;  // nullptr while the output is closed
    std::unique_ptr<AudioOnDemand> audio_;
};

}  // namespace

std::string findSoundFont() {
    if (const char* chosen = std::getenv("MXMIDI32_SOUNDFONT"); chosen != nullptr) {
        return readableFile(chosen) ? std::string(chosen) : std::string();
    }
    for (const char* path : kSoundFonts) {
        if (readableFile(path)) return path;
    }
    return {};
}

std::unique_ptr<OutputDevice> openSynthOutput() {
    const std::string soundFont = findSoundFont();
    if (soundFont.empty()) return nullptr;
    quietFluidLog();

    fluid_settings_t* settings = new_fluid_settings();
    if (settings == nullptr) return nullptr;
    fluid_settings_setnum(settings, "synth.sample-rate", MXMIDI_SAMPLE_RATE);
    fluid_settings_setnum(settings, "synth.gain", kGain);
    // Only the samples of the programs in use stay in memory (a GM SoundFont may be 150 MB).
    fluid_settings_setint(settings, "synth.dynamic-sample-loading", 1);
    // A reference tone is dry: no reverberation or chorus tail lingers after a reset.
    fluid_settings_setint(settings, "synth.reverb.active", 0);
    fluid_settings_setint(settings, "synth.chorus.active", 0);
    fluid_settings_setint(settings, "audio.period-size", kPeriodSize);
    fluid_settings_setint(settings, "audio.periods", kPeriods);

    fluid_synth_t* synth = new_fluid_synth(settings);
    if (synth == nullptr) {
        delete_fluid_settings(settings);
        return nullptr;
    }
    const char* file = audioFile();
    fluid_audio_driver_t* driver = nullptr;
    if (fluid_synth_sfload(synth, soundFont.c_str(), 1) != FLUID_FAILED) {
        driver = startAudio(settings, synth, file);
    }
    if (driver == nullptr) {
        delete_fluid_synth(synth);
        delete_fluid_settings(settings);
        return nullptr;
    }
    return std::make_unique<SynthOutput>(settings, synth, driver, file != nullptr);
}

}  // namespace mxmidi
