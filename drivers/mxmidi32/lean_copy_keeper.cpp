#include "lean_copy_keeper.h"

#include <pthread.h>

#include <utility>

namespace mxmidi {

LeanCopyKeeper::LeanCopyKeeper(SoundFontStamp stamp, std::string leanFile, PresetSet inCopy,
                               std::chrono::milliseconds settle)
    : stamp_(std::move(stamp)),
      leanFile_(std::move(leanFile)),
      settle_(settle),
      inCopy_(inCopy),
      wanted_(std::move(inCopy)) {}

LeanCopyKeeper::~LeanCopyKeeper() {
    {
        std::lock_guard guard(lock_);
        quitting_ = true;
    }
    changed_.notify_all();
    if (worker_.joinable()) worker_.join();
}

void LeanCopyKeeper::played(int bank, int program) {
    std::lock_guard guard(lock_);
    if (leanFile_.empty() || failed_ || !wanted_.insert({bank, program}).second) return;
    lastChange_ = std::chrono::steady_clock::now();
    if (!worker_.joinable()) {
        worker_ = std::thread([this] {
            pthread_setname_np(pthread_self(), kThreadName);
            work();
        });
    }
    changed_.notify_all();
}

PresetSet LeanCopyKeeper::inCopy() const {
    std::lock_guard guard(lock_);
    return inCopy_;
}

void LeanCopyKeeper::work() {
    std::unique_lock guard(lock_);
    while (!quitting_) {
        if (wanted_ == inCopy_ || failed_) {
            changed_.wait(guard);
            continue;
        }
        const auto due = lastChange_ + settle_;
        if (std::chrono::steady_clock::now() < due) {
            changed_.wait_until(guard, due);
            continue;
        }
        const PresetSet presets = wanted_;
        guard.unlock();
        const bool written = writeLeanSoundFont(stamp_, presets, leanFile_);
        guard.lock();
        if (written)
            inCopy_ = presets;
        else
            failed_ = true;
    }
}

}  // namespace mxmidi
