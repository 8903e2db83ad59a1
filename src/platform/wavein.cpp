#include "wavein.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "wavein_device.h"

namespace {

WaveInApi& currentApi() {
    static WaveInApi api = alsaWaveInApi();
    return api;
}

const char* errorText(MMRESULT code) {
    switch (code) {
        case MMSYSERR_NOERROR:
            return "The operation completed successfully.";
        case MMSYSERR_ERROR:
            return "An unspecified error occurred in the sound system.";
        case MMSYSERR_BADDEVICEID:
            return "The audio device number is out of range, or the device no longer exists.";
        case MMSYSERR_NOTENABLED:
            return "The audio driver could not be enabled.";
        case MMSYSERR_ALLOCATED:
            return "The audio device is already in use by another program.";
        case MMSYSERR_INVALHANDLE:
            return "The audio device handle is not valid.";
        case MMSYSERR_NODRIVER:
            return "No sound system or audio driver is available.";
        case MMSYSERR_NOMEM:
            return "There is not enough memory for the audio device.";
        case MMSYSERR_NOTSUPPORTED:
            return "The audio device does not support this operation.";
        case MMSYSERR_BADERRNUM:
            return "The result code is not defined.";
        case MMSYSERR_INVALFLAG:
            return "An invalid flag was passed to the audio device.";
        case MMSYSERR_INVALPARAM:
            return "An invalid parameter was passed to the audio device.";
        case WAVERR_BADFORMAT:
            return "The audio device does not support the requested format.";
        case WAVERR_STILLPLAYING:
            return "Buffers are still queued at the audio device.";
        case WAVERR_UNPREPARED:
            return "The buffer header was not prepared.";
        case WAVERR_SYNC:
            return "The audio device can only be opened for synchronous use.";
        case WAVERR_DEVICELOST:
            return "The audio device stopped working or was removed while recording.";
        default:
            return nullptr;
    }
}

std::uint32_t le(const std::uint8_t* p, int width) {
    std::uint32_t v = 0;
    for (int i = width - 1; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

}  // namespace

WAVEFORMATEX waveFormatFromBlock(const std::uint8_t* b) {
    WAVEFORMATEX f{};
    f.wFormatTag = static_cast<std::uint16_t>(le(b + 0, 2));
    f.nChannels = static_cast<std::uint16_t>(le(b + 2, 2));
    f.nSamplesPerSec = le(b + 4, 4);
    f.nAvgBytesPerSec = le(b + 8, 4);
    f.nBlockAlign = static_cast<std::uint16_t>(le(b + 12, 2));
    f.wBitsPerSample = static_cast<std::uint16_t>(le(b + 14, 2));
    f.cbSize = static_cast<std::uint16_t>(le(b + 16, 2));
    return f;
}

WaveInApi setWaveInApi(const WaveInApi& api) {
    return std::exchange(currentApi(), api);
}

MMRESULT waveInOpen(HWAVEIN* phwi, UINT uDeviceID, const WAVEFORMATEX* pwfx, DWORD_PTR dwCallback,
                    DWORD_PTR dwInstance, DWORD fdwOpen) {
    return currentApi().open(phwi, uDeviceID, pwfx, dwCallback, dwInstance, fdwOpen);
}
MMRESULT waveInClose(HWAVEIN hwi) {
    return currentApi().close(hwi);
}
MMRESULT waveInPrepareHeader(HWAVEIN hwi, WAVEHDR* pwh, UINT cbwh) {
    return currentApi().prepareHeader(hwi, pwh, cbwh);
}
MMRESULT waveInUnprepareHeader(HWAVEIN hwi, WAVEHDR* pwh, UINT cbwh) {
    return currentApi().unprepareHeader(hwi, pwh, cbwh);
}
MMRESULT waveInAddBuffer(HWAVEIN hwi, WAVEHDR* pwh, UINT cbwh) {
    return currentApi().addBuffer(hwi, pwh, cbwh);
}
MMRESULT waveInStart(HWAVEIN hwi) {
    return currentApi().start(hwi);
}
MMRESULT waveInStop(HWAVEIN hwi) {
    return currentApi().stop(hwi);
}
MMRESULT waveInReset(HWAVEIN hwi) {
    return currentApi().reset(hwi);
}
UINT waveInGetNumDevs() {
    return currentApi().getNumDevs();
}
MMRESULT waveInGetPosition(HWAVEIN hwi, MMTIME* pmmt, UINT cbmmt) {
    return currentApi().getPosition(hwi, pmmt, cbmmt);
}
MMRESULT waveOutGetErrorTextA(MMRESULT mmrError, char* pszText, UINT cchText) {
    return currentApi().getErrorText(mmrError, pszText, cchText);
}

// The error texts are the platform's own, whichever table is in use for the device calls.
MMRESULT waveInErrorText(MMRESULT code, char* text, UINT size) {
    if (text == nullptr || size == 0) return MMSYSERR_INVALPARAM;
    const char* t = errorText(code);
    if (t == nullptr) {
        text[0] = '\0';
        return MMSYSERR_BADERRNUM;
    }
    const std::size_t n = std::min<std::size_t>(std::strlen(t), size - 1);
    std::memcpy(text, t, n);
    text[n] = '\0';
    return MMSYSERR_NOERROR;
}
