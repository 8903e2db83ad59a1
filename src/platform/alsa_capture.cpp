#include "alsa_capture.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>

namespace {

// ALSA prints its errors to stderr; ours come back as result codes instead.
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

void initAlsa() {
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(quietAlsa); });
}

snd_pcm_format_t sampleFormat(unsigned bits) {
    switch (bits) {
        case 8:
            return SND_PCM_FORMAT_U8;
        case 16:
            return SND_PCM_FORMAT_S16_LE;
        case 24:
            return SND_PCM_FORMAT_S24_3LE;
        case 32:
            return SND_PCM_FORMAT_S32_LE;
        default:
            return SND_PCM_FORMAT_UNKNOWN;
    }
}

// Periods of about 50 ms: each period wakes the capture thread (and, through PulseAudio, its
// client thread), so longer periods cost less CPU; 50 ms keeps the cost near a quarter of a
// percent of a core while a 256-frame buffer (23 ms) still completes within two periods. Half a
// second of device buffer absorbs a busy owner thread.
constexpr unsigned kPeriodMicroseconds = 50000;
constexpr unsigned kBufferMicroseconds = 500000;
// Opened with WAVE_SHORT_PERIODS: a quick reading wants what was captured within 20 ms (the
// display's ticks are 50 ms apart; 10 ms periods cost twice the wake-ups for no earlier figure).
constexpr unsigned kShortPeriodMicroseconds = 20000;

MMRESULT configure(snd_pcm_t* pcm, const CaptureFormat& f, bool defaultDevice) {
    snd_pcm_hw_params_t* hw;
    snd_pcm_hw_params_alloca(&hw);
    int r = snd_pcm_hw_params_any(pcm, hw);
    if (r < 0) return alsaFormatError(r, defaultDevice);
    const snd_pcm_format_t format = sampleFormat(f.bits);
    if (format == SND_PCM_FORMAT_UNKNOWN) return WAVERR_BADFORMAT;
    if (snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED) < 0 ||
        snd_pcm_hw_params_set_format(pcm, hw, format) < 0 ||
        snd_pcm_hw_params_set_channels(pcm, hw, f.channels) < 0 ||
        snd_pcm_hw_params_set_rate(pcm, hw, f.rate, 0) < 0)
        return WAVERR_BADFORMAT;
    unsigned period = f.shortPeriods ? kShortPeriodMicroseconds : kPeriodMicroseconds;
    unsigned buffer = kBufferMicroseconds;
    int dir = 0;
    (void)snd_pcm_hw_params_set_period_time_near(pcm, hw, &period, &dir);
    dir = 0;
    (void)snd_pcm_hw_params_set_buffer_time_near(pcm, hw, &buffer, &dir);
    r = snd_pcm_hw_params(pcm, hw);
    if (r < 0) return alsaFormatError(r, defaultDevice);

    // Wake up once per period.
    snd_pcm_uframes_t periodFrames = 0;
    dir = 0;
    if (snd_pcm_hw_params_get_period_size(hw, &periodFrames, &dir) == 0) {
        snd_pcm_sw_params_t* sw;
        snd_pcm_sw_params_alloca(&sw);
        if (snd_pcm_sw_params_current(pcm, sw) == 0 &&
            snd_pcm_sw_params_set_avail_min(pcm, sw, periodFrames) == 0)
            (void)snd_pcm_sw_params(pcm, sw);
    }
    return MMSYSERR_NOERROR;
}

class AlsaCaptureStream : public CaptureStream {
public:
    explicit AlsaCaptureStream(snd_pcm_t* pcm) : pcm_(pcm) {}
    ~AlsaCaptureStream() override { snd_pcm_close(pcm_); }

    int start() override {
        if (snd_pcm_state(pcm_) != SND_PCM_STATE_PREPARED) {
            const int r = snd_pcm_prepare(pcm_);
            if (r < 0) return r;
        }
        return snd_pcm_start(pcm_);
    }

    int stop() override { return snd_pcm_drop(pcm_); }

    long read(void* buffer, unsigned long frames) override {
        return static_cast<long>(snd_pcm_readi(pcm_, buffer, frames));
    }

    int recover(int error) override {
        if (error == -ESTRPIPE && snd_pcm_resume(pcm_) == 0) return 0;
        const int r = snd_pcm_prepare(pcm_);
        if (r < 0) return r;
        return snd_pcm_start(pcm_);
    }

    int pollDescriptorCount() override { return std::max(0, snd_pcm_poll_descriptors_count(pcm_)); }

    int pollDescriptors(pollfd* fds, int space) override {
        return std::max(0, snd_pcm_poll_descriptors(pcm_, fds, static_cast<unsigned>(space)));
    }

    // The PCM's own reading of its descriptors (a plugin may signal through descriptors whose
    // events mean something else); an error reading them means the PCM failed.
    unsigned short pollEvents(const pollfd* fds, int count) override {
        unsigned short revents = 0;
        if (snd_pcm_poll_descriptors_revents(pcm_, const_cast<pollfd*>(fds),
                                             static_cast<unsigned>(count), &revents) < 0)
            return POLLERR;
        return revents;
    }

private:
    snd_pcm_t* pcm_;
};

MMRESULT openAlsa(UINT device, const CaptureFormat& format, bool queryOnly,
                  std::unique_ptr<CaptureStream>* out) {
    initAlsa();
    const bool defaultDevice = device == WAVE_MAPPER;
    std::string name = "default";
    if (!defaultDevice) {
        const std::vector<std::string> names = alsaCaptureDevices();
        if (device >= names.size()) return MMSYSERR_BADDEVICEID;
        name = names[device];
    }
    snd_pcm_t* pcm = nullptr;
    const int r = snd_pcm_open(&pcm, name.c_str(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK);
    if (r < 0) return alsaOpenError(r, defaultDevice);
    const MMRESULT result = configure(pcm, format, defaultDevice);
    if (result != MMSYSERR_NOERROR || queryOnly) {
        snd_pcm_close(pcm);
        return result;
    }
    try {
        *out = std::make_unique<AlsaCaptureStream>(pcm);
    } catch (const std::bad_alloc&) {
        snd_pcm_close(pcm);
        return MMSYSERR_NOMEM;
    }
    return MMSYSERR_NOERROR;
}

}  // namespace

std::vector<std::string> alsaCaptureDevices() {
    initAlsa();
    std::vector<std::string> names;
    void** hints = nullptr;
    if (snd_device_name_hint(-1, "pcm", &hints) < 0 || hints == nullptr) return names;
    for (void** h = hints; *h != nullptr; ++h) {
        char* name = snd_device_name_get_hint(*h, "NAME");
        char* io = snd_device_name_get_hint(*h, "IOID");
        // No IOID means the PCM works both ways.
        const bool capture = io == nullptr || std::strcmp(io, "Input") == 0;
        if (name != nullptr && capture && std::strcmp(name, "null") != 0 &&
            std::strcmp(name, "default") != 0)
            names.emplace_back(name);
        std::free(name);
        std::free(io);
    }
    snd_device_name_free_hint(hints);
    return names;
}

MMRESULT alsaOpenError(int error, bool defaultDevice) {
    switch (-error) {
        case EBUSY:
        case EAGAIN:
            return MMSYSERR_ALLOCATED;
        case ENOMEM:
            return MMSYSERR_NOMEM;
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return defaultDevice ? MMSYSERR_NODRIVER : MMSYSERR_BADDEVICEID;
        case ECONNREFUSED:
        case ECONNRESET:
        case ENOTCONN:
        case EHOSTDOWN:
        case EHOSTUNREACH:
        case ETIMEDOUT:
        case EACCES:
        case EPERM:
            return MMSYSERR_NODRIVER;
        default:
            return MMSYSERR_ERROR;
    }
}

MMRESULT alsaFormatError(int error, bool defaultDevice) {
    switch (-error) {
        case EBUSY:
        case EAGAIN:
        case ENOMEM:
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return alsaOpenError(error, defaultDevice);
        default:
            return WAVERR_BADFORMAT;
    }
}

CaptureBackend alsaCaptureBackend() {
    CaptureBackend b;
    b.deviceCount = [] { return static_cast<unsigned>(alsaCaptureDevices().size()); };
    b.open = openAlsa;
    return b;
}
