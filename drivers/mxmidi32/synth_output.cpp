#include "synth_output.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "audio_on_demand.h"
#include "audio_output.h"
#include "synth_engine.h"

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

// A desktop output is paused (or, when it cannot pause, closed) once nothing has sounded for
// this long, and plays again with the next note; whether anything sounds is looked at this often
// while it plays.
constexpr std::chrono::milliseconds kIdleGrace{1500};
constexpr std::chrono::milliseconds kIdlePoll{250};

bool readableFile(const char* path) {
    struct stat st {};
    return ::stat(path, &st) == 0 && S_ISREG(st.st_mode) && ::access(path, R_OK) == 0;
}

// The file the synthesiser renders into instead of the desktop's audio, or nullptr.
const char* audioFile() {
    const char* file = std::getenv("MXMIDI32_AUDIO_FILE");
    return file != nullptr && *file != '\0' ? file : nullptr;
}

// The first desktop output that opens: the sound server, then ALSA's default device.
std::unique_ptr<AudioOutput> openDesktopOutput(const RenderFunction& render) {
    if (auto output = openServerOutput(render)) return output;
    return openAlsaOutput(render);
}

// The synthesiser as an output device. Opening it opens the audio output at once (so that a
// machine where nothing can sound is known straight away); the synthesiser itself starts on a
// thread of its own, since loading FluidSynth's SoundFont takes longer than a program wants to
// wait at its start. Messages that arrive meanwhile are kept and played in order once it runs;
// a note on waits for it.
class SynthOutput final : public OutputDevice {
public:
    explicit SynthOutput(const char* file) : file_(file != nullptr ? file : "") {}

    // Opens the audio output, then starts the synthesiser; false when no output opens.
    bool start(const std::string& soundFont) {
        const RenderFunction render = [this](std::int16_t* out, int frames) {
            this->render(out, frames);
        };
        const bool toFile = !file_.empty();
        output_ = toFile ? openFileOutput(file_, render) : openDesktopOutput(render);
        if (!output_) return false;
        audio_ = std::make_unique<AudioOnDemand>(
            [this, render] {
                if (output_ && output_->resume()) return true;
                output_ = openDesktopOutput(render);
                return output_ != nullptr;
            },
            [this] {
                if (output_->canPause())
                    output_->pause();
                else
                    output_.reset();
            },
            [this] { return running() && engine_->sounding(); },
            toFile ? AudioOnDemand::kNeverClose : kIdleGrace, kIdlePoll);
        loader_ = std::thread([this, soundFont] { load(soundFont); });
        return true;
    }

    ~SynthOutput() override {
        // The audio thread reads the synthesiser: close the output first.
        audio_.reset();
        output_.reset();
        if (loader_.joinable()) loader_.join();
    }

    bool send(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) override {
        if (status < 0x80 || status > 0xEF) return false;
        const bool noteOn = (status & 0xF0) == 0x90 && (data2 & 0x7F) != 0;
        std::unique_lock guard(lock_);
        if (state_ == State::Loading) {
            if (!noteOn) {
                pending_.push_back({status, data1, data2});
                return true;
            }
            loaded_.wait(guard, [this] { return state_ != State::Loading; });
        }
        if (state_ == State::Failed) return !noteOn;  // nothing can sound
        if (!noteOn) return engine_->send(status, data1, data2);
        // The one message that starts a sound; false when no output can be reopened or the
        // SoundFont has nothing to play it with.
        bool sounded = false;
        const bool opened = audio_->play([&] { sounded = engine_->send(status, data1, data2); });
        return opened && sounded;
    }

    void reset() override {
        std::lock_guard guard(lock_);
        if (state_ == State::Running) engine_->reset();
    }

private:
    enum class State { Loading, Running, Failed };
    struct Message {
        std::uint8_t status, data1, data2;
    };

    bool running() const { return running_.load(std::memory_order_acquire); }

    void load(const std::string& soundFont) {
        std::unique_ptr<SynthEngine> engine = SynthEngine::create(soundFont);
        std::lock_guard guard(lock_);
        if (engine) {
            for (const Message& m : pending_) engine->send(m.status, m.data1, m.data2);
            engine_ = std::move(engine);
            state_ = State::Running;
            running_.store(true, std::memory_order_release);
        } else {
            state_ = State::Failed;
        }
        pending_.clear();
        loaded_.notify_all();
    }

    void render(std::int16_t* out, int frames) {
        if (running()) {
            engine_->render(out, frames);
        } else {
            std::memset(out, 0, sizeof(std::int16_t) * static_cast<std::size_t>(frames) * 2);
        }
    }

    std::string file_;
    std::mutex lock_;
    std::condition_variable loaded_;
    State state_ = State::Loading;
    std::vector<Message> pending_;
    std::unique_ptr<SynthEngine> engine_;  // set once, before running_ turns true
    std::atomic<bool> running_{false};
    std::thread loader_;
    std::unique_ptr<AudioOutput> output_;  // paused, or nullptr, while nothing sounds
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

bool looksLikeSoundFont(const std::string& path) {
    char header[12] = {};
    std::ifstream in(path, std::ios::binary);
    if (!in.read(header, sizeof header)) return false;
    return std::memcmp(header, "RIFF", 4) == 0 && std::memcmp(header + 8, "sfbk", 4) == 0;
}

std::unique_ptr<OutputDevice> openSynthOutput() {
    const std::string soundFont = findSoundFont();
    if (soundFont.empty() || !looksLikeSoundFont(soundFont)) return nullptr;
    auto output = std::make_unique<SynthOutput>(audioFile());
    if (!output->start(soundFont)) return nullptr;
    return output;
}

}  // namespace mxmidi
