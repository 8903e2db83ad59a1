#include "private_sound_server.h"

#include <stdlib.h>

#include <cstdio>
#include <sstream>

namespace testkit {

namespace {

const std::string kScript = std::string("bash '") + TESSARIN_SOURCE_DIR +
                            "/tools/private-sound-server.sh'";

}  // namespace

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

PrivateSoundServer::PrivateSoundServer(bool apply) {
    char folder[] = "/tmp/tessarin-sound-XXXXXX";
    if (::mkdtemp(folder) == nullptr) return;
    folder_ = folder;
    // The script prints the environment and then, on success, "up".
    std::istringstream lines(
        shellOutput(kScript + " start '" + folder_ + "/run' 2>/dev/null && echo up"));
    std::vector<std::string> variables;
    for (std::string line; std::getline(lines, line);) {
        if (line == "up") {
            running_ = true;
        } else if (line.find('=') != std::string::npos) {
            variables.push_back(line);
        }
    }
    if (!running_) return;
    environment_ = variables;
    const std::string kind = shellOutput("cat '" + folder_ + "/run/sound-server.kind'");
    kind_ = kind.substr(0, kind.find('\n'));
    if (!apply) return;
    for (const std::string& variable : environment_) {
        const std::string name = variable.substr(0, variable.find('='));
        Previous before{name, "", false};
        if (const char* value = ::getenv(name.c_str())) before = {name, value, true};
        previous_.push_back(before);
        ::setenv(name.c_str(), variable.substr(name.size() + 1).c_str(), 1);
    }
    if (const char* server = ::getenv("PULSE_SERVER")) previous_.push_back({"PULSE_SERVER", server, true});
    ::unsetenv("PULSE_SERVER");
}

PrivateSoundServer::~PrivateSoundServer() {
    if (folder_.empty()) return;
    shellOutput(kScript + " stop '" + folder_ + "/run' >/dev/null 2>&1");
    shellOutput("rm -rf '" + folder_ + "'");
    for (const Previous& before : previous_) {
        if (before.set) {
            ::setenv(before.name.c_str(), before.value.c_str(), 1);
        } else {
            ::unsetenv(before.name.c_str());
        }
    }
}

std::string PrivateSoundServer::pactl(const std::string& arguments) const {
    if (!running_) return {};
    std::string command = "pactl " + arguments + " 2>/dev/null && echo end";
    if (previous_.empty()) {
        // Not applied to this process: ask the server through its own runtime folder.
        for (const std::string& variable : environment_) command = variable + " " + command;
        command = "env " + command;
    }
    std::string list = shellOutput(command);
    if (list.size() < 4 || list.compare(list.size() - 4, 4, "end\n") != 0) return {};
    return list;
}

int PrivateSoundServer::playbackStreams() const {
    const std::string list = pactl("list short sink-inputs");
    if (list.empty()) return -1;
    std::istringstream lines(list);
    int count = 0;
    for (std::string line; std::getline(lines, line);) count += !line.empty() && line != "end";
    return count;
}

int PrivateSoundServer::playingStreams() const {
    const std::string list = pactl("list sink-inputs");
    if (list.empty()) return -1;
    std::istringstream lines(list);
    int count = 0;
    for (std::string line; std::getline(lines, line);)
        count += line.find("Corked: no") != std::string::npos;
    return count;
}

}  // namespace testkit
