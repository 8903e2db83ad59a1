#pragma once
// A desktop sound server of our own for tests and benchmarks that need one but no sound card
// (tools/private-sound-server.sh: PipeWire's servers where the desktop runs PipeWire, PulseAudio
// otherwise): a private runtime folder and one null sink named "tone" whose monitor is the
// default source.

#include <string>
#include <utility>
#include <vector>

namespace testkit {

// Runs a shell command and returns what it wrote to standard output.
std::string shellOutput(const std::string& command);

class PrivateSoundServer {
public:
    // Starts the server. With `apply` (the default) this process is pointed at it
    // (XDG_RUNTIME_DIR, PIPEWIRE_RUNTIME_DIR, ALSA_CONFIG_PATH); otherwise environment() gives
    // what a child process needs. running() tells whether it answers; nothing starts when no
    // sound server is installed.
    explicit PrivateSoundServer(bool apply = true);
    // Stops the server, removes its folder and gives the process its old environment back.
    ~PrivateSoundServer();

    PrivateSoundServer(const PrivateSoundServer&) = delete;
    PrivateSoundServer& operator=(const PrivateSoundServer&) = delete;

    bool running() const { return running_; }
    // "pipewire" or "pulseaudio"; empty when none runs.
    const std::string& kind() const { return kind_; }
    // The variables the server's clients need, as "NAME=value".
    const std::vector<std::string>& environment() const { return environment_; }

    // How many playback streams the server holds now, corked (paused) or not; -1 when it
    // cannot be asked.
    int playbackStreams() const;
    // How many of them play (are not corked); -1 when it cannot be asked.
    int playingStreams() const;

private:
    // The output of `pactl <arguments>` to this server, ending in "end\n"; empty when it failed.
    std::string pactl(const std::string& arguments) const;

    std::string folder_;
    std::string kind_;
    std::vector<std::string> environment_;
    // Each variable this process had before (name, value, whether it was set).
    struct Previous {
        std::string name;
        std::string value;
        bool set = false;
    };
    std::vector<Previous> previous_;
    bool running_ = false;
};

}  // namespace testkit
