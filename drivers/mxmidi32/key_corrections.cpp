#include "key_corrections.h"

#include <fluidsynth.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>

#include "audio_output.h"
#include "pitch_estimate.h"

namespace mxmidi {
namespace {

// Each key is rendered for 1 s at full velocity and its pitch read over 0.3 s to 1.0 s, the
// steady part of a plucked note, to place it in whole cents; then, so placed, for as long as
// the trim's readings need, to follow its pitch as it rings.
constexpr int kRenderFrames = kAudioRate;
constexpr int kSteadyFrom = kAudioRate * 3 / 10;
// Each trim reading spans fifteen periods either side of its time, at least 0.1 s and at most
// 0.4 s: long enough to place a low note to a tenth of a cent, short enough to follow a sample
// into its loop. It begins no earlier than the steady part.
constexpr double kTrimHalfWindowMin = 0.1;  // s
constexpr double kTrimHalfWindowMax = 0.4;  // s
constexpr double kTrimHalfWindowPeriods = 15.0;
constexpr int kRingFrames = static_cast<int>(
    kAudioRate * (kTrimFirstSeconds + (kTrimPoints - 1) * kTrimStepSeconds + kTrimHalfWindowMax));
// Rendered after a note is cut, so that its voices are gone before the next one starts.
constexpr int kFlushFrames = 256;
// How long a played key waits for its measurement before it sounds uncorrected.
constexpr std::chrono::seconds kWait{5};
// Programs often change several times in a row while a player sets up (the tuner selects one
// program and then another): the background work starts once the choice has held this long.
constexpr std::chrono::milliseconds kSettle{250};
// Background measuring rests this many times as long as each key took: the strings' keys (and
// those a concert pitch moves them to) at about a fourteenth of a core, the rest of the range
// (wanted only by other programs' music or a transposed tuning) at about a thirty-first.
constexpr int kRestPerStringKey = 13;
constexpr int kRestPerOtherKey = 30;

double equalTempered(int key) {
    return 440.0 * std::exp2((key - 69) / 12.0);
}

bool completeFor(const PresetCorrections& preset) {
    for (int k = KeyCorrections::kFirstKey; k <= KeyCorrections::kLastKey; ++k) {
        if (!preset.keys[k]) return false;
    }
    return true;
}

}  // namespace

// A synthesiser of its own that renders single keys into memory.
class KeyCorrections::Measurer {
public:
    Measurer(const std::string& soundFont, const std::string& leanFont) : soundFont_(soundFont) {
        settings_ = new_fluid_settings();
        fluid_settings_setnum(settings_, "synth.sample-rate", kAudioRate);
        fluid_settings_setint(settings_, "synth.dynamic-sample-loading", 1);
        fluid_settings_setint(settings_, "synth.reverb.active", 0);
        fluid_settings_setint(settings_, "synth.chorus.active", 0);
        fluid_settings_setint(settings_, "synth.polyphony", 16);
        fluid_settings_setint(settings_, "synth.threadsafe-api", 0);
        synth_ = new_fluid_synth(settings_);
        if (synth_ == nullptr) return;
        if (!leanFont.empty()) font_ = fluid_synth_sfload(synth_, leanFont.c_str(), 0);
        if (font_ == FLUID_FAILED) {
            font_ = fluid_synth_sfload(synth_, soundFont.c_str(), 0);
            whole_ = font_;
        }
    }
    ~Measurer() {
        if (synth_ != nullptr) delete_fluid_synth(synth_);
        delete_fluid_settings(settings_);
    }
    bool loaded() const { return synth_ != nullptr && font_ != FLUID_FAILED; }

    // The pitch error in cents of the key played with that pitch in the key tuning, over the
    // steady part of the note; nothing when it has no pitch.
    std::optional<double> error(int bank, int program, int key, double tuning) {
        if (!play(bank, program, key, tuning, kRenderFrames)) return std::nullopt;
        return errorOver(key, kSteadyFrom, kRenderFrames);
    }

    // The trim the key needs at each of the trim's times when played with that pitch in the key
    // tuning, whose error over the steady part is `steady`. A reading whose span begins where the
    // steady part does takes `steady` (read over the longer span, it places a low note better);
    // a reading where the key no longer sounds keeps the one before it.
    std::array<float, kTrimPoints> ringing(int bank, int program, int key, double tuning,
                                           double steady) {
        std::array<float, kTrimPoints> trim{};
        const auto cents = [](double error) {
            return static_cast<float>(std::clamp(-error, -kMaxTrimCents, kMaxTrimCents));
        };
        trim.fill(cents(steady));
        if (!play(bank, program, key, tuning, kRingFrames)) return trim;
        const double half = std::clamp(kTrimHalfWindowPeriods / equalTempered(key),
                                       kTrimHalfWindowMin, kTrimHalfWindowMax);
        const auto length = static_cast<std::size_t>(2.0 * half * kAudioRate);
        double last = steady;
        for (std::size_t i = 0; i < trim.size(); ++i) {
            const double centre = kTrimFirstSeconds + static_cast<double>(i) * kTrimStepSeconds;
            const auto start = static_cast<std::size_t>((centre - half) * kAudioRate);
            if (start <= static_cast<std::size_t>(kSteadyFrom)) continue;  // keeps `steady`
            const std::size_t to = std::min(start + length, static_cast<std::size_t>(kRingFrames));
            // Placed within half a cent, the key rings no further from it than the trim may go.
            if (const auto e = errorOver(key, start, to, 2.0 * kMaxTrimCents)) last = *e;
            trim[i] = cents(last);
        }
        return trim;
    }

    // The synthesiser places pitches in whole cents, and a tuning that falls on a whole cent may
    // land on either side of it; tunings half way between stay clear of that. The whole cents
    // go into the key tuning, the rest into the output trim.
    KeyCorrection measure(int bank, int program, int key) {
        KeyCorrection c;
        const double base = 100.0 * key + 0.5;
        const auto first = error(bank, program, key, base);
        if (!first) return c;
        double shift = std::round(-*first);
        double left = *first;
        if (shift != 0.0) {
            const auto second = error(bank, program, key, base + shift);
            if (!second) return c;
            left = *second;
        }
        if (std::fabs(left) > 0.5) {  // the neighbouring whole cent may do better
            const double other = shift + (left > 0 ? -1.0 : 1.0);
            const auto third = error(bank, program, key, base + other);
            if (third && std::fabs(*third) < std::fabs(left)) {
                shift = other;
                left = *third;
            }
        }
        c.pitched = true;
        c.tuning = base + shift;
        c.trim = ringing(bank, program, key, c.tuning, left);
        return c;
    }

private:
    // Plays the key alone, with that pitch in the key tuning, for `frames` frames into left_
    // and right_; false when the preset cannot be selected.
    bool play(int bank, int program, int key, double tuning, int frames) {
        if (std::pair{bank, program} != preset_) {
            if (fluid_synth_program_select(synth_, 0, font_, bank, program) != FLUID_OK) {
                // Not in the lean copy: from the whole SoundFont, loaded the first time.
                if (whole_ == FLUID_FAILED)
                    whole_ = fluid_synth_sfload(synth_, soundFont_.c_str(), 0);
                if (whole_ == FLUID_FAILED || whole_ == font_ ||
                    fluid_synth_program_select(synth_, 0, whole_, bank, program) != FLUID_OK)
                    return false;
            }
            preset_ = {bank, program};
        }
        double pitches[128];
        for (int k = 0; k < 128; ++k) pitches[k] = 100.0 * k;
        pitches[key] = tuning;
        fluid_synth_activate_key_tuning(synth_, 0, 0, "measure", pitches, 0);
        fluid_synth_activate_tuning(synth_, 0, 0, 0, 0);
        left_.resize(static_cast<std::size_t>(frames));
        right_.resize(static_cast<std::size_t>(frames));
        fluid_synth_noteon(synth_, 0, key, 127);
        fluid_synth_write_float(synth_, frames, left_.data(), 0, 1, right_.data(), 0, 1);
        // A note that starts while the voices of the last one are still being let go may sound
        // a cent or two away from one that starts alone (seen with layered presets). Each key
        // is measured alone, as the synthesiser that plays it starts its notes.
        fluid_synth_all_sounds_off(synth_, 0);
        fluid_synth_write_float(synth_, kFlushFrames, left_.data(), 0, 1, right_.data(), 0, 1);
        return true;
    }

    // The pitch error in cents of the key just played, between two frames; nothing when it has
    // no pitch there.
    // `spanCents`: how far from the equal-tempered pitch it is looked for.
    std::optional<double> errorOver(int key, std::size_t from, std::size_t to,
                                    double spanCents = 100.0) {
        mono_.resize(to - from);
        for (std::size_t i = from; i < to; ++i) mono_[i - from] = left_[i] + right_[i];
        const double f = estimateFundamental(mono_.data(), mono_.size(), kAudioRate,
                                             equalTempered(key), spanCents);
        if (f <= 0.0) return std::nullopt;
        return 1200.0 * std::log2(f / equalTempered(key));
    }

    std::string soundFont_;
    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;
    int font_ = FLUID_FAILED;   // the lean copy, or the whole SoundFont
    int whole_ = FLUID_FAILED;  // the whole SoundFont once loaded
    std::pair<int, int> preset_{-1, -1};
    std::vector<float> left_, right_, mono_;
};

KeyCorrections::KeyCorrections(const std::string& soundFont, const std::string& leanFont)
    : soundFont_(soundFont), leanFont_(leanFont), stamp_(stampSoundFont(soundFont)) {
    if (stamp_) {
        cacheFile_ = pitchCacheFile(stamp_->path);
        table_ = loadPitchCache(cacheFile_, *stamp_);
    }
}

KeyCorrections::~KeyCorrections() {
    {
        std::lock_guard guard(lock_);
        quitting_ = true;
    }
    changed_.notify_all();
    if (worker_.joinable()) worker_.join();
}

void KeyCorrections::setWanted(const std::set<std::pair<int, int>>& presets) {
    std::lock_guard guard(lock_);
    wanted_ = presets;
    wantedSince_ = std::chrono::steady_clock::now();
    if (!failed_ && nextJob()) startWorker();
    changed_.notify_all();
}

std::optional<KeyCorrection> KeyCorrections::get(int bank, int program, int key) {
    if (key < 0 || key > 127) return std::nullopt;
    std::unique_lock guard(lock_);
    auto known = [&]() -> const std::optional<KeyCorrection>& {
        return table_[{bank, program}].keys[key];
    };
    if (!known() && measurable(key) && !failed_) {
        urgent_.push_back({bank, program, key});
        startWorker();
        changed_.notify_all();
        changed_.wait_for(guard, kWait, [&] { return known() || failed_ || quitting_; });
    }
    const auto& c = known();
    if (!c || !c->pitched) return std::nullopt;
    return c;
}

std::optional<KeyCorrections::Job> KeyCorrections::nextJob() {
    while (!urgent_.empty()) {
        const Job job = urgent_.front();
        if (!table_[{job.bank, job.program}].keys[job.key]) return job;
        urgent_.erase(urgent_.begin());
    }
    const std::vector<int>& order = measuringOrder();
    for (const auto& [bank, program] : wanted_) {
        PresetCorrections& preset = table_[{bank, program}];
        if (preset.complete) continue;
        for (int key : order) {
            if (!preset.keys[key]) return Job{bank, program, key};
        }
        preset.complete = true;
    }
    return std::nullopt;
}

void KeyCorrections::startWorker() {
    if (worker_.joinable()) return;
    worker_ = std::thread([this] {
        pthread_setname_np(pthread_self(), kThreadName);
        work();
    });
}

void KeyCorrections::save() {
    if (stamp_) savePitchCache(cacheFile_, *stamp_, table_);
}

void KeyCorrections::work() {
    // Measuring in the background gives way to the program and to the sound by resting between
    // keys (many times as long as each key took), not by a lower priority: a key the user is waiting
    // for is measured at once and at the program's own priority, which on a busy machine a
    // lowered one would starve for seconds (and an unprivileged thread cannot raise it again).
    std::unique_ptr<Measurer> measurer;
    std::chrono::steady_clock::time_point restUntil{};
    std::unique_lock guard(lock_);
    while (!quitting_) {
        const std::optional<Job> job = nextJob();
        if (!job) {
            measurer.reset();  // its samples are not needed any more
            changed_.wait(guard);
            continue;
        }
        const bool asked = !urgent_.empty();
        if (!asked) {
            const auto from = std::max(wantedSince_ + kSettle, restUntil);
            if (std::chrono::steady_clock::now() < from) {
                changed_.wait_until(guard, from);
                continue;
            }
        }
        const auto started = std::chrono::steady_clock::now();
        guard.unlock();
        if (!measurer) {
            measurer = std::make_unique<Measurer>(soundFont_, leanFont_);
            if (!measurer->loaded()) {
                guard.lock();
                failed_ = true;
                changed_.notify_all();
                break;
            }
        }
        const KeyCorrection c = measurer->measure(job->bank, job->program, job->key);
        const auto ended = std::chrono::steady_clock::now();
        restUntil = ended + (stringOrNearKey(job->key) ? kRestPerStringKey : kRestPerOtherKey) *
                                (ended - started);
        guard.lock();
        PresetCorrections& preset = table_[{job->bank, job->program}];
        preset.keys[job->key] = c;
        if (!preset.complete && completeFor(preset)) preset.complete = true;
        changed_.notify_all();
        // Kept at once (a small file, written in a millisecond or two): a program that stops
        // before the end finds every key measured so far at its next start.
        save();
    }
}

}  // namespace mxmidi
