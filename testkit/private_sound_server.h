#pragma once
// A PulseAudio daemon of our own for tests and benchmarks that need a desktop sound server but
// no sound card: a private runtime folder, the native protocol and one null sink named "tone".

#include <string>

namespace testkit {

// Runs a shell command and returns what it wrote to standard output.
std::string shellOutput(const std::string& command);

class PrivateSoundServer {
public:
    // Starts the daemon and points this process at it (XDG_RUNTIME_DIR); running() tells whether
    // it answers. Does nothing when PulseAudio is not installed.
    PrivateSoundServer();
    // Stops the daemon, removes its folder and gives the process its old runtime folder back.
    ~PrivateSoundServer();

    PrivateSoundServer(const PrivateSoundServer&) = delete;
    PrivateSoundServer& operator=(const PrivateSoundServer&) = delete;

    bool running() const { return running_; }

    // How many playback streams the server is playing now; -1 when it cannot be asked.
    int playbackStreams() const;

private:
    std::string folder_;
    std::string previousRuntime_;
    bool hadRuntime_ = false;
    bool running_ = false;
};

}  // namespace testkit
