#pragma once
// Wave-in: audio capture with the call shapes and result codes of the Windows multimedia wave-in
// interface, implemented over ALSA (wavein_device.cpp, alsa_capture.cpp).
//
// A device is opened with a PCM format and a hidden message window (message_window.h). The
// caller prepares buffer headers and queues them; once started, the device fills the queued
// buffers strictly in queue order, marks each one done with the bytes it recorded, and posts
// MM_WIM_DATA (wParam the device, lParam the header) to the window. Opening and closing post
// MM_WIM_OPEN and MM_WIM_CLOSE; a device that fails while capturing posts MM_WIM_ERROR. Every
// notification reaches the window's thread, in order.
//
// Device numbers: WAVE_MAPPER (-1) is ALSA's "default" PCM (which reaches PulseAudio or PipeWire
// where they run); 0 .. waveInGetNumDevs() - 1 are the capture PCMs that ALSA lists.
//
// All calls go through a replaceable table (WaveInApi) so that tests can script the device.

#include <atomic>
#include <cstdint>

#include "message_window.h"

using MMRESULT = unsigned int;
using UINT = unsigned int;
using DWORD = std::uint32_t;
using DWORD_PTR = std::uintptr_t;

struct HWAVEIN__;
using HWAVEIN = HWAVEIN__*;

// Result codes. Callers rely on 0, 2, 4, 6, 7 and 32.
constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_ERROR = 1;        // unspecified failure
constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;  // no such device
constexpr MMRESULT MMSYSERR_NOTENABLED = 3;
constexpr MMRESULT MMSYSERR_ALLOCATED = 4;  // device in use
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NODRIVER = 6;  // no sound system at all
constexpr MMRESULT MMSYSERR_NOMEM = 7;
constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;
constexpr MMRESULT MMSYSERR_BADERRNUM = 9;  // no such result code
constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT WAVERR_BADFORMAT = 32;     // the device refuses the format
constexpr MMRESULT WAVERR_STILLPLAYING = 33;  // buffers are still queued
constexpr MMRESULT WAVERR_UNPREPARED = 34;    // the header was not prepared
constexpr MMRESULT WAVERR_SYNC = 35;
constexpr MMRESULT WAVERR_DEVICELOST = 36;  // the device stopped working while capturing

constexpr UINT WAVE_MAPPER = static_cast<UINT>(-1);

// waveInOpen flags.
constexpr DWORD WAVE_FORMAT_QUERY = 0x0001;  // only ask whether the format is accepted
constexpr DWORD CALLBACK_TYPEMASK = 0x00070000;
constexpr DWORD CALLBACK_NULL = 0x00000000;
constexpr DWORD CALLBACK_WINDOW = 0x00010000;  // dwCallback is an HWND
// Ours, not Windows': the device hands over what it captured every 20 ms instead of every
// 50 ms, for a reading that must follow the sound closely (it wakes the capture two and a half
// times as often).
constexpr DWORD WAVE_SHORT_PERIODS = 0x00000100;

// Notifications posted to the window.
constexpr unsigned MM_WIM_OPEN = 0x3BE;   // 958
constexpr unsigned MM_WIM_CLOSE = 0x3BF;  // 959
constexpr unsigned MM_WIM_DATA = 0x3C0;   // 960
// The device failed while capturing (unplugged, its sound server gone) and captures no more:
// lParam is the result code (WAVERR_DEVICELOST). Posted once, after the MM_WIM_DATA of the
// buffers it returned; the device then accepts nothing but stop, reset and close.
constexpr unsigned MM_WIM_ERROR = 0x3CF;  // 975

// Header flags.
constexpr DWORD WHDR_DONE = 0x01;      // the device has finished with the buffer
constexpr DWORD WHDR_PREPARED = 0x02;  // prepared with waveInPrepareHeader
constexpr DWORD WHDR_INQUEUE = 0x10;   // queued at the device

constexpr std::uint16_t WAVE_FORMAT_PCM = 1;

// The PCM format (18 bytes on the wire; see waveFormatFromBlock for the byte layout).
struct WAVEFORMATEX {
    std::uint16_t wFormatTag;
    std::uint16_t nChannels;
    std::uint32_t nSamplesPerSec;
    std::uint32_t nAvgBytesPerSec;
    std::uint16_t nBlockAlign;
    std::uint16_t wBitsPerSample;
    std::uint16_t cbSize;
};

// Decodes an 18-byte little-endian format block: tag, channels, samples per second, average
// bytes per second, block alignment, bits per sample, extra size.
WAVEFORMATEX waveFormatFromBlock(const std::uint8_t* block);

// A capture buffer header. The device writes dwBytesRecorded and sets WHDR_DONE from its own
// thread; dwFlags is atomic so that the owner may test WHDR_DONE at any time, and everything the
// device wrote before setting it is visible once it is seen set.
struct WAVEHDR {
    char* lpData = nullptr;
    DWORD dwBufferLength = 0;
    DWORD dwBytesRecorded = 0;
    DWORD_PTR dwUser = 0;
    std::atomic<DWORD> dwFlags{0};
    DWORD dwLoops = 0;
    WAVEHDR* lpNext = nullptr;  // used by the device while the header is queued
    // Used by the device: CLOCK_MONOTONIC time in nanoseconds at which it marked the header done.
    DWORD_PTR reserved = 0;
};

// Time formats for waveInGetPosition.
constexpr UINT TIME_MS = 0x0001;
constexpr UINT TIME_SAMPLES = 0x0002;
constexpr UINT TIME_BYTES = 0x0004;

struct MMTIME {
    UINT wType;
    union {
        DWORD ms;
        DWORD sample;
        DWORD cb;
        DWORD ticks;
        struct {
            std::uint8_t hour, min, sec, frame, fps, dummy, pad[2];
        } smpte;
    } u;
};
static_assert(sizeof(MMTIME) == 12, "MMTIME is 12 bytes");

// The wave-in calls. Each forwards to the current WaveInApi table.
MMRESULT waveInOpen(HWAVEIN* phwi, UINT uDeviceID, const WAVEFORMATEX* pwfx, DWORD_PTR dwCallback,
                    DWORD_PTR dwInstance, DWORD fdwOpen);
MMRESULT waveInClose(HWAVEIN hwi);
MMRESULT waveInPrepareHeader(HWAVEIN hwi, WAVEHDR* pwh, UINT cbwh);
MMRESULT waveInUnprepareHeader(HWAVEIN hwi, WAVEHDR* pwh, UINT cbwh);
MMRESULT waveInAddBuffer(HWAVEIN hwi, WAVEHDR* pwh, UINT cbwh);
MMRESULT waveInStart(HWAVEIN hwi);
MMRESULT waveInStop(HWAVEIN hwi);
MMRESULT waveInReset(HWAVEIN hwi);
UINT waveInGetNumDevs();
MMRESULT waveInGetPosition(HWAVEIN hwi, MMTIME* pmmt, UINT cbmmt);
// The text of a result code, at most cchText characters including the terminating zero.
// MMSYSERR_BADERRNUM for an unknown code, MMSYSERR_INVALPARAM without room for any text.
MMRESULT waveOutGetErrorTextA(MMRESULT mmrError, char* pszText, UINT cchText);

struct WaveInApi {
    decltype(&::waveInOpen) open;
    decltype(&::waveInClose) close;
    decltype(&::waveInPrepareHeader) prepareHeader;
    decltype(&::waveInUnprepareHeader) unprepareHeader;
    decltype(&::waveInAddBuffer) addBuffer;
    decltype(&::waveInStart) start;
    decltype(&::waveInStop) stop;
    decltype(&::waveInReset) reset;
    decltype(&::waveInGetNumDevs) getNumDevs;
    decltype(&::waveInGetPosition) getPosition;
    decltype(&::waveOutGetErrorTextA) getErrorText;
};

// The implementation over ALSA.
const WaveInApi& alsaWaveInApi();
// Replaces the table the calls go through (tests); returns the previous one.
WaveInApi setWaveInApi(const WaveInApi& api);
