// Playback on ALSA's "default" device, for machines without a desktop sound server.

#include <alsa/asoundlib.h>

#include <atomic>
#include <thread>
#include <vector>

#include "audio_output.h"

namespace mxmidi {
namespace {

// What the device buffers, and so about how late a note sounds (microseconds).
constexpr unsigned int kLatencyUs = 30000;

class AlsaOutput final : public AudioOutput {
public:
    AlsaOutput(snd_pcm_t* pcm, snd_pcm_uframes_t period, RenderFunction render)
        : pcm_(pcm), period_(period), render_(std::move(render)) {
        thread_ = std::thread([this] { run(); });
    }
    ~AlsaOutput() override {
        stop_ = true;
        thread_.join();
        snd_pcm_drop(pcm_);
        snd_pcm_close(pcm_);
    }

private:
    void run() {
        raiseAudioThreadPriority();
        std::vector<std::int16_t> block(period_ * kAudioChannels);
        while (!stop_) {
            render_(block.data(), static_cast<int>(period_));
            snd_pcm_uframes_t done = 0;
            while (done < period_ && !stop_) {
                const snd_pcm_sframes_t n =
                    snd_pcm_writei(pcm_, block.data() + done * kAudioChannels, period_ - done);
                if (n >= 0) {
                    done += static_cast<snd_pcm_uframes_t>(n);
                } else {
                    if (n == -EPIPE) ++underruns_;
                    if (snd_pcm_recover(pcm_, static_cast<int>(n), 1) < 0) return;
                }
            }
        }
    }

    snd_pcm_t* pcm_;
    snd_pcm_uframes_t period_;
    RenderFunction render_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace

std::unique_ptr<AudioOutput> openAlsaOutput(const RenderFunction& render) {
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, 0) < 0) return nullptr;
    snd_pcm_uframes_t buffer = 0, period = 0;
    if (snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED,
                           kAudioChannels, kAudioRate, 1, kLatencyUs) < 0 ||
        snd_pcm_get_params(pcm, &buffer, &period) < 0 || period == 0) {
        snd_pcm_close(pcm);
        return nullptr;
    }
    return std::make_unique<AlsaOutput>(pcm, period, render);
}

}  // namespace mxmidi
