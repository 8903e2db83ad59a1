#pragma once
// Keeps an audio output playing only while it has something to play. A playing desktop output
// wakes its thread hundreds of times a second even to play silence; closed (or paused, as the
// `close` given does it), it costs nothing. The output is opened again for the next sound, and
// closed again once nothing has sounded for a grace period.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace mxmidi {

class AudioOnDemand {
public:
    using Open = std::function<bool()>;      // opens the output; false when it cannot
    using Close = std::function<void()>;     // closes the open output
    using Sounding = std::function<bool()>;  // whether anything still sounds

    // `open` has already succeeded once: the output starts open. With `grace` equal to
    // kNeverClose the output stays open for good (and no watcher thread runs).
    AudioOnDemand(Open open, Close close, Sounding sounding, std::chrono::milliseconds grace,
                  std::chrono::milliseconds poll);
    ~AudioOnDemand();  // closes the output if open

    AudioOnDemand(const AudioOnDemand&) = delete;
    AudioOnDemand& operator=(const AudioOnDemand&) = delete;

    // Runs `start` (which starts a sound) with the output open, reopening it first when needed.
    // False, without running `start`, when the output cannot be reopened.
    bool play(const std::function<void()>& start);

    bool isOpen() const;

    static constexpr std::chrono::milliseconds kNeverClose = std::chrono::milliseconds::max();

private:
    void watch();

    Open open_;
    Close close_;
    Sounding sounding_;
    const std::chrono::milliseconds grace_;
    const std::chrono::milliseconds poll_;

    mutable std::mutex lock_;
    std::condition_variable changed_;
    bool outputOpen_ = true;
    bool quitting_ = false;
    std::chrono::steady_clock::time_point lastSound_;
    std::thread watcher_;
};

}  // namespace mxmidi
