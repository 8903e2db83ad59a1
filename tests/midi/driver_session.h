#pragma once
// Shared by the tests that drive the real driver library (libMxMidi32.so from the program
// folder): its path, a temporary folder, the synthesiser rendering into a file at the pace of
// real time (MXMIDI32_AUDIO_FILE) and reading that file back, and a watchdog against hangs.

#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "mxmidi32.h"

namespace driversession {

inline const std::string kDriver = std::string(TESSARIN_APP_DIR) + "/libMxMidi32.so";
constexpr int kRate = MXMIDI_SAMPLE_RATE;

inline long ms(double milliseconds) {
    return static_cast<long>(milliseconds * kRate / 1000.0 + 0.5);
}

inline int threadCount() {
    int count = 0;
    if (DIR* dir = ::opendir("/proc/self/task")) {
        while (const dirent* entry = ::readdir(dir)) count += entry->d_name[0] != '.';
        ::closedir(dir);
    }
    return count;
}

// A folder under /tmp, removed with everything in it when the object goes.
class TemporaryFolder {
public:
    TemporaryFolder() {
        char pattern[] = "/tmp/mxmidi32-XXXXXX";
        if (::mkdtemp(pattern) != nullptr) path_ = pattern;
    }
    ~TemporaryFolder() {
        if (!path_.empty()) std::system(("rm -rf '" + path_ + "'").c_str());
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Frames the file output has written so far (raw signed 16-bit stereo).
inline long fileFrames(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size / 4) : 0;
}

// Waits until the file output has rendered `frames` frames (it writes at the pace of real time).
inline bool waitForFrames(const std::string& path, long frames) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (fileFrames(path) < frames) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Frames [from, to) of raw signed 16-bit little-endian samples, `channels` interleaved, mixed to
// mono; fewer when the file ends first.
inline std::vector<double> readMonoFrames(const std::string& path, long from, long to,
                                          int channels = 2) {
    const std::size_t width = static_cast<std::size_t>(channels);
    std::vector<std::int16_t> samples(width * static_cast<std::size_t>(std::max(0L, to - from)));
    std::ifstream in(path, std::ios::binary);
    in.seekg(from * 2 * channels);
    in.read(reinterpret_cast<char*>(samples.data()),
            static_cast<std::streamsize>(samples.size() * 2));
    std::vector<double> mono(static_cast<std::size_t>(in.gcount()) / (2 * width));
    for (std::size_t f = 0; f < mono.size(); ++f) {
        double sum = 0.0;
        for (std::size_t c = 0; c < width; ++c) sum += samples[width * f + c];
        mono[f] = sum / channels;
    }
    return mono;
}

// The whole file, mixed to mono.
inline std::vector<double> readMono(const std::string& path, int channels = 2) {
    struct stat st {};
    const long frames = ::stat(path.c_str(), &st) == 0 ? st.st_size / (2 * channels) : 0;
    return readMonoFrames(path, 0, frames, channels);
}

// The first frame at or after `from` whose level exceeds `threshold`; -1 when none.
inline long onsetAfter(const std::vector<double>& x, long from, double threshold) {
    for (long i = std::max(0L, from); i < static_cast<long>(x.size()); ++i) {
        if (x[i] > threshold || x[i] < -threshold) return i;
    }
    return -1;
}

// Follows the file output from frame `from` as it is written, for at most 30 s, until `done`
// returns true for a frame (its level and position): that frame, or -1.
template <typename Done>
long followOutput(const std::string& path, long from, Done done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    long checked = std::max(0L, from);
    while (std::chrono::steady_clock::now() < deadline) {
        const long written = fileFrames(path);
        const std::vector<double> x = readMonoFrames(path, checked, written);
        for (std::size_t f = 0; f < x.size(); ++f) {
            if (done(x[f], checked + static_cast<long>(f))) return checked + static_cast<long>(f);
        }
        checked += static_cast<long>(x.size());
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

// The first frame at or after `from` louder than `threshold`, waiting for it to be written.
inline long waitForOnset(const std::string& path, long from, double threshold) {
    return followOutput(path, from, [&](double v, long) { return std::abs(v) > threshold; });
}

// Waits until the output has stayed within `threshold` for `run` frames after `from`.
inline bool waitForQuiet(const std::string& path, long from, long run, double threshold) {
    long quietSince = from;
    return followOutput(path, from, [&](double v, long frame) {
               if (std::abs(v) > threshold) quietSince = frame + 1;
               return frame + 1 - quietSince >= run;
           }) >= 0;
}

// Ends the test program if the test has not finished in time: a hang in the synthesiser would
// otherwise stall the whole suite.
class Watchdog {
public:
    explicit Watchdog(std::chrono::seconds limit)
        : thread_([this, limit] {
              std::unique_lock lock(mutex_);
              if (!done_.wait_for(lock, limit, [this] { return finished_; })) {
                  std::fprintf(stderr, "watchdog: the test hung\n");
                  std::_Exit(1);
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            finished_ = true;
        }
        done_.notify_one();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread thread_;
};

// Sets environment variables for the life of the object, then restores them.
class Environment {
public:
    void set(const std::string& name, const std::string& value) {
        remember(name);
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    void unset(const std::string& name) {
        remember(name);
        ::unsetenv(name.c_str());
    }
    ~Environment() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->had) {
                ::setenv(it->name.c_str(), it->value.c_str(), 1);
            } else {
                ::unsetenv(it->name.c_str());
            }
        }
    }

private:
    struct Saved {
        std::string name, value;
        bool had;
    };
    void remember(const std::string& name) {
        const char* value = ::getenv(name.c_str());
        saved_.push_back({name, value != nullptr ? value : "", value != nullptr});
    }
    std::vector<Saved> saved_;
};

}  // namespace driversession
