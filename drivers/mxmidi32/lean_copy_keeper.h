#pragma once
// Keeps the lean copy of a SoundFont (lean_soundfont.h) up to date with the presets the
// synthesiser plays: once a preset the copy lacks has been played and the choice has held for a
// moment (a player setting up changes programs several times in a row), the copy is written
// again, on a thread of its own, with every preset played so far. The next start then loads the
// copy instead of the whole SoundFont.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "lean_soundfont.h"

namespace mxmidi {

class LeanCopyKeeper {
public:
    // `inCopy`: the presets the copy at `leanFile` holds now (none when there is no copy).
    LeanCopyKeeper(SoundFontStamp stamp, std::string leanFile, PresetSet inCopy,
                   std::chrono::milliseconds settle);
    // Waits for a copy being written (a fraction of a second), never for the settling.
    ~LeanCopyKeeper();

    LeanCopyKeeper(const LeanCopyKeeper&) = delete;
    LeanCopyKeeper& operator=(const LeanCopyKeeper&) = delete;

    // A preset the synthesiser played.
    void played(int bank, int program);

    // The presets the copy holds (for tests).
    PresetSet inCopy() const;

    static constexpr const char* kThreadName = "mxmidi-lean";

private:
    void work();

    const SoundFontStamp stamp_;
    const std::string leanFile_;
    const std::chrono::milliseconds settle_;

    mutable std::mutex lock_;
    std::condition_variable changed_;
    PresetSet inCopy_;
    PresetSet wanted_;  // inCopy_ and every preset played
    std::chrono::steady_clock::time_point lastChange_;
    bool failed_ = false;  // the copy cannot be made: not tried again in this run
    bool quitting_ = false;
    std::thread worker_;
};

}  // namespace mxmidi
