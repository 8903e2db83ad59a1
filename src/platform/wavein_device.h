#pragma once
// The wave-in device engine behind the calls of wavein.h: one capture thread per open device,
// reading from a CaptureStream into the queued headers. The stream comes from a CaptureBackend;
// ALSA's (alsa_capture.h) is the default, tests install scripted ones.

#include <poll.h>

#include <functional>
#include <memory>

#include "wavein.h"

struct CaptureFormat {
    unsigned rate = 0;
    unsigned channels = 0;
    unsigned bits = 0;
    unsigned frameBytes = 0;
    bool shortPeriods = false;  // opened with WAVE_SHORT_PERIODS
};

// A capture stream that is opened and configured for one format. Every call is made with the
// device's lock held, so a stream sees one call at a time; none of them may block for long.
class CaptureStream {
public:
    virtual ~CaptureStream() = default;
    // Starts capturing (again, after stop). 0 or a negative errno.
    virtual int start() = 0;
    // Stops capturing and drops whatever is buffered.
    virtual int stop() = 0;
    // Reads at most `frames` frames without waiting: the frames read (> 0); 0 or -EAGAIN when
    // none are available yet; -EPIPE after an overrun, -ESTRPIPE after a suspend; any other
    // negative errno when the device failed or disappeared.
    virtual long read(void* buffer, unsigned long frames) = 0;
    // Makes reading possible again after -EPIPE or -ESTRPIPE, keeping the stream running.
    virtual int recover(int error) = 0;
    // How many descriptors signal the stream's data; 0 when it has none, and the engine then
    // looks for data every few milliseconds instead.
    virtual int pollDescriptorCount() { return 0; }
    // Fills in at most `space` of those descriptors; returns how many.
    virtual int pollDescriptors(pollfd* fds, int space) {
        (void)fds, (void)space;
        return 0;
    }
    // Called after poll() returned with the descriptors: what their events mean for the stream
    // (POLLIN: frames may be read; POLLERR, POLLHUP: the stream failed). Lets the stream consume
    // its wake-up. By default, the events poll() reported.
    virtual unsigned short pollEvents(const pollfd* fds, int count);
};

struct CaptureBackend {
    // The number of capture devices (numbered 0 .. n - 1).
    std::function<unsigned()> deviceCount;
    // Opens `device` (WAVE_MAPPER for the default) for the format and stores the stream in *out;
    // with queryOnly, only checks that it would open and leaves *out alone. Returns an MMRESULT.
    std::function<MMRESULT(UINT device, const CaptureFormat& format, bool queryOnly,
                           std::unique_ptr<CaptureStream>* out)>
        open;
};

// Replaces the backend used by later opens (tests); returns the previous one.
CaptureBackend setCaptureBackend(CaptureBackend backend);

// The engine's implementation of the wave-in calls.
namespace wavein_device {
MMRESULT open(HWAVEIN* phwi, UINT uDeviceID, const WAVEFORMATEX* pwfx, DWORD_PTR dwCallback,
              DWORD_PTR dwInstance, DWORD fdwOpen);
MMRESULT close(HWAVEIN hwi);
MMRESULT prepareHeader(HWAVEIN hwi, WAVEHDR* pwh, UINT cbwh);
MMRESULT unprepareHeader(HWAVEIN hwi, WAVEHDR* pwh, UINT cbwh);
MMRESULT addBuffer(HWAVEIN hwi, WAVEHDR* pwh, UINT cbwh);
MMRESULT start(HWAVEIN hwi);
MMRESULT stop(HWAVEIN hwi);
MMRESULT reset(HWAVEIN hwi);
UINT getNumDevs();
MMRESULT getPosition(HWAVEIN hwi, MMTIME* pmmt, UINT cbmmt);
// Overruns recovered on the device so far (for tests and diagnostics).
unsigned overruns(HWAVEIN hwi);
}  // namespace wavein_device

// The platform's text for a result code (waveOutGetErrorTextA of the ALSA table).
MMRESULT waveInErrorText(MMRESULT code, char* text, UINT size);
