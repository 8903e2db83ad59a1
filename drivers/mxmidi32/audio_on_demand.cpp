#include "audio_on_demand.h"

#include <utility>

namespace mxmidi {

AudioOnDemand::AudioOnDemand(Open open, Close close, Sounding sounding,
                             std::chrono::milliseconds grace, std::chrono::milliseconds poll)
    : open_(std::move(open)),
      close_(std::move(close)),
      sounding_(std::move(sounding)),
      grace_(grace),
      poll_(poll),
      lastSound_(std::chrono::steady_clock::now()) {
    if (grace_ != kNeverClose) watcher_ = std::thread([this] { watch(); });
}

AudioOnDemand::~AudioOnDemand() {
    {
        std::lock_guard guard(lock_);
        quitting_ = true;
    }
    changed_.notify_all();
    if (watcher_.joinable()) watcher_.join();
    if (outputOpen_) close_();
}

bool AudioOnDemand::play(const std::function<void()>& start) {
    bool reopened = false;
    {
        std::lock_guard guard(lock_);
        if (!outputOpen_) {
            if (!open_()) return false;
            outputOpen_ = true;
            reopened = true;
        }
        // Under the lock, so that the watcher cannot close the output between the reopening
        // and the sound's start.
        start();
        lastSound_ = std::chrono::steady_clock::now();
    }
    if (reopened) changed_.notify_all();
    return true;
}

bool AudioOnDemand::isOpen() const {
    std::lock_guard guard(lock_);
    return outputOpen_;
}

void AudioOnDemand::watch() {
    std::unique_lock guard(lock_);
    while (!quitting_) {
        if (!outputOpen_) {
            // Closed: nothing to watch until a sound reopens the output.
            changed_.wait(guard, [this] { return quitting_ || outputOpen_; });
            continue;
        }
        changed_.wait_for(guard, poll_, [this] { return quitting_; });
        if (quitting_) break;
        const auto now = std::chrono::steady_clock::now();
        if (sounding_()) {
            lastSound_ = now;
        } else if (now - lastSound_ >= grace_) {
            close_();
            outputOpen_ = false;
        }
    }
}

}  // namespace mxmidi
