#include "fake_wavein.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstring>
#include <string>

FakeWaveIn* FakeWaveIn::current = nullptr;

namespace {

FakeWaveIn& fake() {
    return *FakeWaveIn::current;
}

void log(const char* op, const WAVEHDR* h = nullptr) {
    fake().calls.push_back({op, h});
}

MMRESULT fakeOpen(HWAVEIN* phwi, UINT id, const WAVEFORMATEX*, DWORD_PTR cb, DWORD_PTR,
                  DWORD flags) {
    FakeWaveIn& f = fake();
    f.lastDevice = id;
    if (flags & WAVE_FORMAT_QUERY) {
        log("query");
        return f.queryResult;
    }
    log("open");
    if (f.openResult != MMSYSERR_NOERROR) return f.openResult;
    ++f.opens;
    f.handle = reinterpret_cast<HWAVEIN>(static_cast<std::uintptr_t>(0x1000 + f.opens));
    f.window = reinterpret_cast<HWND>(cb);
    *phwi = f.handle;
    PostMessage(f.window, MM_WIM_OPEN, reinterpret_cast<WPARAM>(f.handle), 0);
    return MMSYSERR_NOERROR;
}

MMRESULT fakeClose(HWAVEIN h) {
    FakeWaveIn& f = fake();
    log("close");
    if (h != f.handle) return MMSYSERR_INVALHANDLE;
    if (!f.queue.empty()) return WAVERR_STILLPLAYING;
    PostMessage(f.window, MM_WIM_CLOSE, reinterpret_cast<WPARAM>(h), 0);
    f.handle = nullptr;
    return MMSYSERR_NOERROR;
}

MMRESULT fakePrepare(HWAVEIN, WAVEHDR* h, UINT) {
    log("prepare", h);
    h->dwFlags = h->dwFlags | WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT fakeUnprepare(HWAVEIN, WAVEHDR* h, UINT) {
    log("unprepare", h);
    h->dwFlags = h->dwFlags & ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT fakeAdd(HWAVEIN, WAVEHDR* h, UINT) {
    log("add", h);
    h->dwFlags = (h->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
    fake().queue.push_back(h);
    return MMSYSERR_NOERROR;
}

MMRESULT fakeStart(HWAVEIN h) {
    log("start");
    if (h == nullptr) return MMSYSERR_INVALHANDLE;
    fake().started = true;
    return MMSYSERR_NOERROR;
}

MMRESULT fakeStop(HWAVEIN) {
    log("stop");
    fake().started = false;
    return MMSYSERR_NOERROR;
}

MMRESULT fakeReset(HWAVEIN) {
    log("reset");
    FakeWaveIn& f = fake();
    f.started = false;
    while (!f.queue.empty()) f.complete(0);
    return MMSYSERR_NOERROR;
}

UINT fakeNumDevs() {
    return fake().devices;
}

MMRESULT fakePosition(HWAVEIN h, MMTIME* t, UINT size) {
    log("position");
    if (h == nullptr) return MMSYSERR_INVALHANDLE;
    if (size != sizeof(MMTIME) || t->wType != TIME_SAMPLES) return MMSYSERR_INVALPARAM;
    t->u.sample = fake().position;
    return MMSYSERR_NOERROR;
}

MMRESULT fakeErrorText(MMRESULT code, char* text, UINT size) {
    FakeWaveIn& f = fake();
    if (f.errorTextResult != MMSYSERR_NOERROR) return f.errorTextResult;
    const std::string t = "fake text " + std::to_string(code);
    std::strncpy(text, t.c_str(), size);
    return MMSYSERR_NOERROR;
}

const WaveInApi kFakeApi{fakeOpen, fakeClose, fakePrepare, fakeUnprepare, fakeAdd,      fakeStart,
                         fakeStop, fakeReset, fakeNumDevs, fakePosition,  fakeErrorText};

}  // namespace

FakeWaveIn::FakeWaveIn() {
    current = this;
    previous_ = setWaveInApi(kFakeApi);
}

FakeWaveIn::~FakeWaveIn() {
    setWaveInApi(previous_);
    current = nullptr;
}

WAVEHDR* FakeWaveIn::complete(int bytes, int fill) {
    if (queue.empty()) return nullptr;
    WAVEHDR* h = queue.front();
    queue.pop_front();
    const DWORD n = bytes < 0 ? h->dwBufferLength : static_cast<DWORD>(bytes);
    if (fill >= 0) std::memset(h->lpData, fill, n);
    h->dwBytesRecorded = n;
    h->dwFlags = (h->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    PostMessage(window, MM_WIM_DATA, reinterpret_cast<WPARAM>(handle), reinterpret_cast<LPARAM>(h));
    return h;
}

WAVEHDR* FakeWaveIn::completeWith(const std::vector<unsigned char>& bytes) {
    if (queue.empty()) return nullptr;
    std::memcpy(queue.front()->lpData, bytes.data(), bytes.size());
    return complete(static_cast<int>(bytes.size()));
}

void FakeWaveIn::lose(HWAVEIN device) {
    while (!queue.empty()) complete(0);
    PostMessage(window, MM_WIM_ERROR, reinterpret_cast<WPARAM>(device ? device : handle),
                static_cast<LPARAM>(WAVERR_DEVICELOST));
}

int FakeWaveIn::count(const std::string& op) const {
    return static_cast<int>(
        std::count_if(calls.begin(), calls.end(), [&](const Call& c) { return c.op == op; }));
}

void deliverMessages() {
    static int argc = 1;
    static char name[] = "test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app =
        QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    (void)app;
    QCoreApplication::sendPostedEvents();
}
