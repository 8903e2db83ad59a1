#pragma once
// Test helper: sets up the recording driver library (recording_driver.cpp) through its
// environment and reads back the calls it recorded.

#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

class RecordingLog {
public:
    RecordingLog() {
        char pattern[] = "/tmp/mxrec-XXXXXX";
        const int fd = ::mkstemp(pattern);
        if (fd >= 0) ::close(fd);
        path_ = pattern;
        ::setenv("MXREC_LOG", path_.c_str(), 1);
        for (const char* name : {"MXREC_DEVICES", "MXREC_OPENS", "MXREC_HANDLE"}) ::unsetenv(name);
    }
    ~RecordingLog() {
        ::unlink(path_.c_str());
        for (const char* name : {"MXREC_LOG", "MXREC_DEVICES", "MXREC_OPENS", "MXREC_HANDLE"}) {
            ::unsetenv(name);
        }
    }
    RecordingLog(const RecordingLog&) = delete;
    RecordingLog& operator=(const RecordingLog&) = delete;

    // Number of output devices, the devices that open (e.g. "65535,2") and the handle they get.
    void devices(int count) { ::setenv("MXREC_DEVICES", std::to_string(count).c_str(), 1); }
    void opening(const std::string& list) { ::setenv("MXREC_OPENS", list.c_str(), 1); }
    void handle(unsigned value) { ::setenv("MXREC_HANDLE", std::to_string(value).c_str(), 1); }

    // The calls recorded so far, one line each; clear() forgets them.
    std::vector<std::string> lines() const {
        std::vector<std::string> result;
        std::ifstream in(path_);
        for (std::string line; std::getline(in, line);) result.push_back(line);
        return result;
    }
    void clear() const { std::ofstream(path_, std::ios::trunc); }

private:
    std::string path_;
};

// Path of a variant of the recording driver ("full", "no-first", ...).
inline std::string recordingDriver(const std::string& variant) {
    return std::string(RECORDING_DRIVERS_DIR) + "/" + variant + "/libMxMidi32.so";
}
