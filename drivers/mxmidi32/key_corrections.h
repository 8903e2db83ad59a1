#pragma once
// Per-key pitch corrections for the presets the synthesiser plays, measured by rendering each
// key with a synthesiser of its own (far faster than real time) and kept in the pitch cache.
// The keys of every preset a channel holds are measured in the background, one after another
// (the strings' keys first, see key_order.h) and at a gentle pace; a key that is played before
// its turn is measured at once. Each key goes into the cache as soon as it is measured, so that
// a program stopped half way resumes where it stopped.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "key_order.h"
#include "pitch_cache.h"

namespace mxmidi {

class KeyCorrections {
public:
    // Corrections for the SoundFont at `soundFont`; what the cache holds for it is read now.
    // The keys are rendered from its lean copy `leanFont` when one is given (the same sound,
    // far less to load), and from the SoundFont for the presets the copy lacks.
    explicit KeyCorrections(const std::string& soundFont, const std::string& leanFont = {});
    // Stops measuring (what was measured is in the cache already).
    ~KeyCorrections();

    KeyCorrections(const KeyCorrections&) = delete;
    KeyCorrections& operator=(const KeyCorrections&) = delete;

    // The presets (bank, program) that channels hold now; the others are no longer measured.
    void setWanted(const std::set<std::pair<int, int>>& presets);

    // The key's correction, measured first when needed (this waits a few milliseconds, more
    // the first time while the measuring synthesiser loads the SoundFont). Nothing for a key
    // without a measurable pitch, out of the measured range, or when measuring fails.
    std::optional<KeyCorrection> get(int bank, int program, int key);

    // Keys from about 20 Hz to 5 kHz are measured; the rest are left as they are.
    static bool measurable(int key) { return key >= kFirstKey && key <= kLastKey; }
    static constexpr int kFirstKey = kFirstMeasuredKey;
    static constexpr int kLastKey = kLastMeasuredKey;

    // The name of the background thread (for the system's tools, and the benchmark that counts
    // what measuring costs).
    static constexpr const char* kThreadName = "mxmidi-keys";

private:
    class Measurer;
    struct Job {
        int bank = 0, program = 0, key = 0;
    };

    void work();
    void startWorker();            // under lock_
    std::optional<Job> nextJob();  // under lock_
    void save();                   // under lock_

    std::string soundFont_;
    std::string leanFont_;
    std::optional<SoundFontStamp> stamp_;
    std::string cacheFile_;

    std::mutex lock_;
    std::condition_variable changed_;
    CorrectionTable table_;
    std::set<std::pair<int, int>> wanted_;
    std::chrono::steady_clock::time_point wantedSince_;
    std::vector<Job> urgent_;
    bool failed_ = false;  // the measuring synthesiser cannot load the SoundFont
    bool quitting_ = false;
    std::thread worker_;
};

}  // namespace mxmidi
