#include "private_sound_server.h"

#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <sstream>
#include <thread>

namespace testkit {

std::string shellOutput(const std::string& command) {
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            output.append(buffer, n);
        }
        ::pclose(pipe);
    }
    return output;
}

PrivateSoundServer::PrivateSoundServer() {
    if (shellOutput("command -v pulseaudio >/dev/null && command -v pactl >/dev/null && echo yes") !=
        "yes\n") {
        return;
    }
    char folder[] = "/tmp/tessarin-sound-XXXXXX";
    if (::mkdtemp(folder) == nullptr) return;
    folder_ = folder;
    if (const char* previous = ::getenv("XDG_RUNTIME_DIR")) {
        hadRuntime_ = true;
        previousRuntime_ = previous;
    }
    ::setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
    ::unsetenv("PULSE_SERVER");
    shellOutput(
        "pulseaudio -n --daemonize=yes --exit-idle-time=-1 --disable-shm=yes"
        " --load=module-native-protocol-unix"
        " --load='module-null-sink sink_name=tone' >/dev/null 2>&1");
    for (int i = 0; i < 50 && !running_; ++i) {
        running_ = shellOutput("pactl info >/dev/null 2>&1 && echo up") == "up\n";
        if (!running_) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

PrivateSoundServer::~PrivateSoundServer() {
    if (folder_.empty()) return;
    shellOutput("pulseaudio --kill >/dev/null 2>&1");
    shellOutput("rm -rf '" + folder_ + "'");
    if (hadRuntime_) {
        ::setenv("XDG_RUNTIME_DIR", previousRuntime_.c_str(), 1);
    } else {
        ::unsetenv("XDG_RUNTIME_DIR");
    }
}

int PrivateSoundServer::playbackStreams() const {
    if (!running_) return -1;
    const std::string list = shellOutput("pactl list short sink-inputs 2>/dev/null && echo end");
    if (list.size() < 4 || list.compare(list.size() - 4, 4, "end\n") != 0) return -1;
    std::istringstream lines(list);
    int count = 0;
    for (std::string line; std::getline(lines, line);) count += !line.empty() && line != "end";
    return count;
}

}  // namespace testkit
