#include "wavein_device.h"

#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "alsa_capture.h"

namespace {

CaptureBackend& backend() {
    static CaptureBackend b = alsaCaptureBackend();
    return b;
}

std::uint64_t nowNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::uint64_t>(t.tv_sec) * 1000000000u +
           static_cast<std::uint64_t>(t.tv_nsec);
}

// A read that returns no frames although the stream signalled data, this many times in a row,
// means the stream has ended (a source that will never deliver again).
constexpr int kMaxEmptyReads = 1000;
// How often a stream without descriptors is asked for data.
constexpr int kNoDescriptorPollMs = 10;
// The events by which a stream's descriptors say that reading is worth a try.
constexpr unsigned short kStreamReady = POLLIN | POLLERR | POLLHUP | POLLNVAL;

class Device {
public:
    Device(std::unique_ptr<CaptureStream> stream, const CaptureFormat& format, HWND window)
        : stream_(std::move(stream)), format_(format), window_(window) {}

    ~Device() {
        if (controlFd_ >= 0) ::close(controlFd_);
    }

    // Creates the wake-up descriptor and the capture thread; false when either fails. The
    // control descriptor comes first, then as many of the stream's as it has.
    bool begin(HWAVEIN handle) {
        handle_ = handle;
        controlFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (controlFd_ < 0) return false;
        const int wanted = std::max(0, stream_->pollDescriptorCount());
        fds_.assign(static_cast<std::size_t>(wanted) + 1, pollfd{});
        fds_[0] = pollfd{controlFd_, POLLIN, 0};
        streamFds_ = wanted > 0 ? std::clamp(stream_->pollDescriptors(fds_.data() + 1, wanted), 0,
                                             wanted)
                                : 0;
        try {
            thread_ = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            return false;
        }
        return true;
    }

    void post(unsigned msg, WAVEHDR* header) { post(msg, reinterpret_cast<LPARAM>(header)); }
    void post(unsigned msg, LPARAM lParam) {
        if (window_ != nullptr)
            PostMessage(window_, msg, reinterpret_cast<WPARAM>(handle_), lParam);
    }

    MMRESULT close() {
        {
            std::lock_guard lock(mutex_);
            if (head_ != nullptr) return WAVERR_STILLPLAYING;
            quit_ = true;
            wake();
        }
        thread_.join();
        stream_->stop();
        stream_.reset();
        post(MM_WIM_CLOSE, nullptr);
        return MMSYSERR_NOERROR;
    }

    MMRESULT add(WAVEHDR* h) {
        std::lock_guard lock(mutex_);
        if (lost_) return MMSYSERR_NODRIVER;
        h->dwBytesRecorded = 0;
        h->lpNext = nullptr;
        h->dwFlags.store((h->dwFlags.load() & ~WHDR_DONE) | WHDR_INQUEUE);
        if (tail_ != nullptr)
            tail_->lpNext = h;
        else
            head_ = h;
        tail_ = h;
        if (running_) wake();
        return MMSYSERR_NOERROR;
    }

    MMRESULT start() {
        std::lock_guard lock(mutex_);
        if (lost_) return MMSYSERR_NODRIVER;
        if (running_) return MMSYSERR_NOERROR;
        // A stream that refuses to start reports the reason to the next read, which ends the
        // capture when the device is gone.
        (void)stream_->start();
        running_ = true;
        wake();
        return MMSYSERR_NOERROR;
    }

    MMRESULT stop() {
        std::lock_guard lock(mutex_);
        if (!running_) return MMSYSERR_NOERROR;
        running_ = false;
        stream_->stop();
        if (head_ != nullptr && filled_ > 0) complete(head_);
        return MMSYSERR_NOERROR;
    }

    MMRESULT reset() {
        std::lock_guard lock(mutex_);
        if (running_) {
            running_ = false;
            stream_->stop();
        }
        returnAll();
        position_ = 0;
        return MMSYSERR_NOERROR;
    }

    std::uint64_t position() {
        std::lock_guard lock(mutex_);
        return position_;
    }

    unsigned overruns() {
        std::lock_guard lock(mutex_);
        return overruns_;
    }

    const CaptureFormat& format() const { return format_; }

private:
    void wake() {
        const std::uint64_t one = 1;
        (void)!::write(controlFd_, &one, sizeof one);
    }

    // Hands the head of the queue back, done, with what it holds; posts its notification.
    void complete(WAVEHDR* h) {
        head_ = h->lpNext;
        if (head_ == nullptr) tail_ = nullptr;
        h->lpNext = nullptr;
        h->dwBytesRecorded = filled_;
        filled_ = 0;
        h->reserved = static_cast<DWORD_PTR>(nowNs());
        h->dwFlags.store((h->dwFlags.load() & ~WHDR_INQUEUE) | WHDR_DONE,
                         std::memory_order_release);
        post(MM_WIM_DATA, h);
    }

    void returnAll() {
        while (head_ != nullptr) complete(head_);
    }

    // The device is gone (unplugged, server died) or failed: the buffer being filled comes back
    // with what it holds, the others empty, the owner is told once, and the device accepts
    // nothing more until it is closed.
    void deviceLost() {
        lost_ = true;
        running_ = false;
        stream_->stop();
        returnAll();
        post(MM_WIM_ERROR, static_cast<LPARAM>(WAVERR_DEVICELOST));
    }

    // Waits, with the lock released, until a control call wakes the thread or (when `forData`)
    // the stream signals data; a stream without descriptors is looked at again after a few
    // milliseconds. Never busy-waits. True when the stream's descriptors said reading is worth
    // a try.
    bool wait(std::unique_lock<std::mutex>& lock, bool forData) {
        const int count = forData ? streamFds_ + 1 : 1;
        for (int i = 0; i < count; ++i) fds_[static_cast<std::size_t>(i)].revents = 0;
        const int timeout = forData && streamFds_ == 0 ? kNoDescriptorPollMs : -1;
        lock.unlock();
        const int r = ::poll(fds_.data(), static_cast<nfds_t>(count), timeout);
        lock.lock();
        if (r <= 0) return false;
        if (fds_[0].revents & POLLIN) {
            std::uint64_t value;
            (void)!::read(controlFd_, &value, sizeof value);
        }
        if (!forData || streamFds_ == 0) return false;
        return (stream_->pollEvents(fds_.data() + 1, streamFds_) & kStreamReady) != 0;
    }

    void run() {
        // Named so that tools which list a process's threads can tell capture apart.
        pthread_setname_np(pthread_self(), "wavein-capture");
        std::unique_lock lock(mutex_);
        int emptyReads = 0;
        bool signalled = false;
        while (!quit_) {
            if (!running_ || lost_ || head_ == nullptr) {
                emptyReads = 0;
                wait(lock, false);
                continue;
            }
            WAVEHDR* h = head_;
            const unsigned long room = (h->dwBufferLength - filled_) / format_.frameBytes;
            if (room == 0) {
                complete(h);
                continue;
            }
            const long n = stream_->read(h->lpData + filled_, room);
            if (n > 0) {
                emptyReads = 0;
                filled_ += static_cast<DWORD>(n) * format_.frameBytes;
                position_ += static_cast<std::uint64_t>(n);
                if (h->dwBufferLength - filled_ < format_.frameBytes) complete(h);
            } else if (n == 0 || n == -EAGAIN) {
                // Nothing although the stream said there was something: a stream that keeps
                // saying so (or keeps reporting an error without one) has ended.
                if ((n == 0 || signalled) && ++emptyReads > kMaxEmptyReads) {
                    deviceLost();
                    continue;
                }
                signalled = wait(lock, true);
            } else if ((n == -EPIPE || n == -ESTRPIPE) &&
                       stream_->recover(static_cast<int>(n)) == 0) {
                // Data was lost while no buffer was free; the buffer being filled simply goes on
                // with what comes next, so the queue order is kept.
                ++overruns_;
            } else {
                deviceLost();
            }
        }
    }

    std::unique_ptr<CaptureStream> stream_;
    const CaptureFormat format_;
    const HWND window_;
    HWAVEIN handle_ = nullptr;
    int controlFd_ = -1;
    std::vector<pollfd> fds_;  // the control descriptor, then the stream's
    int streamFds_ = 0;
    std::thread thread_;

    std::mutex mutex_;
    WAVEHDR* head_ = nullptr;  // the buffer being filled
    WAVEHDR* tail_ = nullptr;
    DWORD filled_ = 0;  // bytes in the head buffer
    std::uint64_t position_ = 0;
    unsigned overruns_ = 0;
    bool running_ = false;
    bool quit_ = false;
    bool lost_ = false;
};

// Open devices by handle. Handles are never reused, so a stale handle finds nothing.
struct Devices {
    std::mutex mutex;
    std::vector<std::pair<std::uintptr_t, Device*>> open;
    std::uintptr_t nextId = 1;

    Device* find(HWAVEIN h) {
        std::lock_guard lock(mutex);
        const auto id = reinterpret_cast<std::uintptr_t>(h);
        for (const auto& [key, device] : open)
            if (key == id) return device;
        return nullptr;
    }
};

Devices& devices() {
    static Devices d;
    return d;
}

bool validHeader(const WAVEHDR* h, UINT size) {
    return h != nullptr && size >= sizeof(WAVEHDR);
}

// The formats the engine captures: PCM, whole bytes per sample, consistent derived fields.
bool captureFormat(const WAVEFORMATEX& f, CaptureFormat& out) {
    if (f.wFormatTag != WAVE_FORMAT_PCM || f.nChannels == 0 || f.nSamplesPerSec == 0) return false;
    if (f.wBitsPerSample != 8 && f.wBitsPerSample != 16 && f.wBitsPerSample != 24 &&
        f.wBitsPerSample != 32)
        return false;
    const unsigned frameBytes = f.nChannels * (f.wBitsPerSample / 8u);
    if (f.nBlockAlign != frameBytes) return false;
    if (f.nAvgBytesPerSec != static_cast<std::uint64_t>(f.nSamplesPerSec) * frameBytes)
        return false;
    out = CaptureFormat{f.nSamplesPerSec, f.nChannels, f.wBitsPerSample, frameBytes};
    return true;
}

}  // namespace

unsigned short CaptureStream::pollEvents(const pollfd* fds, int count) {
    unsigned short events = 0;
    for (int i = 0; i < count; ++i) events |= static_cast<unsigned short>(fds[i].revents);
    return events;
}

CaptureBackend setCaptureBackend(CaptureBackend b) {
    return std::exchange(backend(), std::move(b));
}

namespace wavein_device {

MMRESULT open(HWAVEIN* phwi, UINT uDeviceID, const WAVEFORMATEX* pwfx, DWORD_PTR dwCallback,
              DWORD_PTR, DWORD fdwOpen) {
    if (pwfx == nullptr) return MMSYSERR_INVALPARAM;
    const bool query = (fdwOpen & WAVE_FORMAT_QUERY) != 0;
    const DWORD callback = fdwOpen & CALLBACK_TYPEMASK;
    if (callback != CALLBACK_NULL && callback != CALLBACK_WINDOW) return MMSYSERR_INVALFLAG;
    const HWND window = callback == CALLBACK_WINDOW ? reinterpret_cast<HWND>(dwCallback) : nullptr;
    if (!query && callback == CALLBACK_WINDOW && !IsWindow(window)) return MMSYSERR_INVALPARAM;
    if (!query && phwi == nullptr) return MMSYSERR_INVALPARAM;

    CaptureFormat format;
    if (!captureFormat(*pwfx, format)) return WAVERR_BADFORMAT;
    format.shortPeriods = (fdwOpen & WAVE_SHORT_PERIODS) != 0;
    if (uDeviceID != WAVE_MAPPER && uDeviceID >= getNumDevs()) return MMSYSERR_BADDEVICEID;
    if (query) return backend().open(uDeviceID, format, true, nullptr);

    std::unique_ptr<CaptureStream> stream;
    const MMRESULT r = backend().open(uDeviceID, format, false, &stream);
    if (r != MMSYSERR_NOERROR) return r;
    if (!stream) return MMSYSERR_ERROR;

    Devices& d = devices();
    std::unique_ptr<Device> device;
    HWAVEIN handle;
    try {
        device = std::make_unique<Device>(std::move(stream), format, window);
        std::lock_guard lock(d.mutex);
        handle = reinterpret_cast<HWAVEIN>(d.nextId++);
        d.open.reserve(d.open.size() + 1);  // nothing can fail once the thread runs
        if (!device->begin(handle)) return MMSYSERR_NOMEM;
        d.open.emplace_back(reinterpret_cast<std::uintptr_t>(handle), device.get());
    } catch (const std::bad_alloc&) {
        return MMSYSERR_NOMEM;
    }
    *phwi = handle;
    device.release()->post(MM_WIM_OPEN, nullptr);
    return MMSYSERR_NOERROR;
}

MMRESULT close(HWAVEIN hwi) {
    Device* device = devices().find(hwi);
    if (device == nullptr) return MMSYSERR_INVALHANDLE;
    const MMRESULT r = device->close();
    if (r != MMSYSERR_NOERROR) return r;
    {
        Devices& d = devices();
        std::lock_guard lock(d.mutex);
        const auto id = reinterpret_cast<std::uintptr_t>(hwi);
        d.open.erase(std::find_if(d.open.begin(), d.open.end(),
                                  [id](const auto& entry) { return entry.first == id; }));
    }
    delete device;
    return MMSYSERR_NOERROR;
}

MMRESULT prepareHeader(HWAVEIN hwi, WAVEHDR* pwh, UINT cbwh) {
    if (devices().find(hwi) == nullptr) return MMSYSERR_INVALHANDLE;
    if (!validHeader(pwh, cbwh) || pwh->lpData == nullptr || pwh->dwBufferLength == 0)
        return MMSYSERR_INVALPARAM;
    if (pwh->dwFlags.load() & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    pwh->dwFlags.store(pwh->dwFlags.load() | WHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

MMRESULT unprepareHeader(HWAVEIN hwi, WAVEHDR* pwh, UINT cbwh) {
    if (devices().find(hwi) == nullptr) return MMSYSERR_INVALHANDLE;
    if (!validHeader(pwh, cbwh)) return MMSYSERR_INVALPARAM;
    if (pwh->dwFlags.load() & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    pwh->dwFlags.store(pwh->dwFlags.load() & ~WHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

MMRESULT addBuffer(HWAVEIN hwi, WAVEHDR* pwh, UINT cbwh) {
    Device* device = devices().find(hwi);
    if (device == nullptr) return MMSYSERR_INVALHANDLE;
    if (!validHeader(pwh, cbwh) || pwh->lpData == nullptr || pwh->dwBufferLength == 0)
        return MMSYSERR_INVALPARAM;
    const DWORD flags = pwh->dwFlags.load();
    if (!(flags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
    if (flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    return device->add(pwh);
}

MMRESULT start(HWAVEIN hwi) {
    Device* device = devices().find(hwi);
    return device == nullptr ? MMSYSERR_INVALHANDLE : device->start();
}

MMRESULT stop(HWAVEIN hwi) {
    Device* device = devices().find(hwi);
    return device == nullptr ? MMSYSERR_INVALHANDLE : device->stop();
}

MMRESULT reset(HWAVEIN hwi) {
    Device* device = devices().find(hwi);
    return device == nullptr ? MMSYSERR_INVALHANDLE : device->reset();
}

UINT getNumDevs() {
    return backend().deviceCount ? backend().deviceCount() : 0;
}

MMRESULT getPosition(HWAVEIN hwi, MMTIME* pmmt, UINT cbmmt) {
    Device* device = devices().find(hwi);
    if (device == nullptr) return MMSYSERR_INVALHANDLE;
    if (pmmt == nullptr || cbmmt < sizeof(MMTIME)) return MMSYSERR_INVALPARAM;
    const std::uint64_t frames = device->position();
    const CaptureFormat& f = device->format();
    switch (pmmt->wType) {
        case TIME_SAMPLES:
            pmmt->u.sample = static_cast<DWORD>(frames);
            break;
        case TIME_MS:
            pmmt->u.ms = static_cast<DWORD>(frames * 1000 / f.rate);
            break;
        default:
            pmmt->wType = TIME_BYTES;
            pmmt->u.cb = static_cast<DWORD>(frames * f.frameBytes);
            break;
    }
    return MMSYSERR_NOERROR;
}

unsigned overruns(HWAVEIN hwi) {
    Device* device = devices().find(hwi);
    return device == nullptr ? 0 : device->overruns();
}

}  // namespace wavein_device

const WaveInApi& alsaWaveInApi() {
    static const WaveInApi api{wavein_device::open,
                               wavein_device::close,
                               wavein_device::prepareHeader,
                               wavein_device::unprepareHeader,
                               wavein_device::addBuffer,
                               wavein_device::start,
                               wavein_device::stop,
                               wavein_device::reset,
                               wavein_device::getNumDevs,
                               wavein_device::getPosition,
                               waveInErrorText};
    return api;
}
