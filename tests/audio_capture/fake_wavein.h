#pragma once
// A scripted wave-in device for recorder tests: it records the calls made to it, keeps the queue
// of added headers, and completes them (or fails opens) when the test says so. Notifications go
// through the real message windows, so they reach the recorder through the Qt event loop.

#include <deque>
#include <string>
#include <vector>

#include "wavein.h"

struct FakeWaveIn {
    struct Call {
        std::string op;
        const WAVEHDR* header;
    };

    MMRESULT queryResult = MMSYSERR_NOERROR;
    MMRESULT openResult = MMSYSERR_NOERROR;
    // What waveOutGetErrorTextA returns (the text is written only for MMSYSERR_NOERROR).
    MMRESULT errorTextResult = MMSYSERR_NOERROR;
    DWORD position = 0;
    UINT devices = 3;

    std::vector<Call> calls;
    std::deque<WAVEHDR*> queue;
    HWAVEIN handle = nullptr;
    HWND window = nullptr;
    UINT lastDevice = 0;
    bool started = false;
    int opens = 0;

    FakeWaveIn();
    ~FakeWaveIn();

    // Marks the oldest queued header done with `bytes` recorded (its whole length when negative),
    // first writing `fill` into those bytes, and posts its notification.
    WAVEHDR* complete(int bytes = -1, int fill = -1);
    // Writes the given bytes into the oldest queued header and completes it with that many.
    WAVEHDR* completeWith(const std::vector<unsigned char>& bytes);
    // The device fails as a pulled-out one does: every queued header comes back done and empty,
    // then MM_WIM_ERROR with WAVERR_DEVICELOST for `device` (the open one when none is given).
    void lose(HWAVEIN device = nullptr);
    int count(const std::string& op) const;

    static FakeWaveIn* current;

private:
    WaveInApi previous_;
};

// Delivers every message posted so far (creating the application object on first use).
void deliverMessages();
