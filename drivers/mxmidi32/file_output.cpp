// Sound into a raw file at the pace of real time, for tests and diagnosis: what a listener would
// have heard, sample for sample, with the time of every event visible as a file position.

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "audio_output.h"

namespace mxmidi {
namespace {

constexpr int kBlockFrames = 240;  // 5 ms

class FileOutput final : public AudioOutput {
public:
    FileOutput(int fd, RenderFunction render) : fd_(fd), render_(std::move(render)) {
        thread_ = std::thread([this] { run(); });
    }
    ~FileOutput() override {
        stop_ = true;
        thread_.join();
        ::close(fd_);
    }

private:
    void run() {
        std::vector<std::int16_t> block(kBlockFrames * kAudioChannels);
        const auto start = std::chrono::steady_clock::now();
        long long written = 0;
        while (!stop_) {
            render_(block.data(), kBlockFrames);
            const auto* bytes = reinterpret_cast<const char*>(block.data());
            std::size_t left = block.size() * sizeof(std::int16_t);
            while (left > 0) {
                const ssize_t n = ::write(fd_, bytes, left);
                if (n <= 0) return;
                bytes += n;
                left -= static_cast<std::size_t>(n);
            }
            written += kBlockFrames;
            std::this_thread::sleep_until(
                start + std::chrono::microseconds(written * 1000000 / kAudioRate));
        }
    }

    int fd_;
    RenderFunction render_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace

std::unique_ptr<AudioOutput> openFileOutput(const std::string& path, const RenderFunction& render) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return nullptr;
    return std::make_unique<FileOutput>(fd, render);
}

}  // namespace mxmidi
