#include "recorder.h"

#include <algorithm>
#include <climits>
#include <new>

#include "errors.h"
#include "mensagem.h"

namespace {
constexpr UINT kHeaderSize = sizeof(WAVEHDR);
constexpr std::size_t kErrorTextSize = 260;
}  // namespace

TRecorder::TRecorder(TComponent* owner)
    : TAudioSource(owner),
      device_(std::make_unique<TWaveInDeviceID>()),
      quality_(std::make_unique<TAudioLineParameters>()) {
    window_ = AllocateHWnd([this](TMessage& m) { WndProc(m); });
    // Handled once the message loop runs, so the owner can still turn AutoStart off.
    PostMessage(window_, WM_USER, 0, 0);
}

TRecorder::~TRecorder() {
    if (handle_ != nullptr) {
        Stop();
        CloseDevice();
    }
    if (window_ != nullptr) DeallocateHWnd(window_);
}

void TRecorder::setDevice(std::unique_ptr<TWaveInDeviceID> device) {
    device_ = device ? std::move(device) : std::make_unique<TWaveInDeviceID>();
}

void TRecorder::setQuality(std::unique_ptr<TAudioLineParameters> quality) {
    quality_ = quality ? std::move(quality) : std::make_unique<TAudioLineParameters>();
}

void TRecorder::setBufSize(int frames) {
    bufSize_ = frames;
    CloseDevice();
}

void TRecorder::setShortPeriods(bool value) {
    if (value == shortPeriods_) return;
    shortPeriods_ = value;
    CloseDevice();
}

unsigned int TRecorder::SamplePos() {
    MMTIME time{};
    time.wType = TIME_SAMPLES;
    (void)waveInGetPosition(Handle(), &time, sizeof time);
    return time.u.sample;
}

HWAVEIN TRecorder::Handle() {
    if (handle_ == nullptr) OpenDevice();
    return handle_;
}

bool TRecorder::BufferReady() const {
    return (headers_[static_cast<std::size_t>(current_)].dwFlags & WHDR_DONE) != 0;
}

TRecorderState TRecorder::State() const {
    if (handle_ != nullptr) return capturing_ ? TRecorderState::Capturing : TRecorderState::Open;
    return failed_ ? TRecorderState::Failed : TRecorderState::Closed;
}

void TRecorder::Start() {
    // A second start would restart the ring index while buffers are in flight.
    if (handle_ != nullptr && capturing_) return;
    current_ = 0;
    const HWAVEIN h = Handle();
    (void)waveInStart(h);
    capturing_ = h != nullptr;
}

void TRecorder::Stop() {
    if (handle_ != nullptr) (void)waveInStop(handle_);
    CloseDevice();
}

void TRecorder::Reset() {
    if (handle_ != nullptr) (void)waveInReset(handle_);
    opening_ = false;
    failed_ = false;
    capturing_ = false;
}

void TRecorder::Open() {
    if (handle_ == nullptr) Handle();
}

void TRecorder::Release() {
    if (handle_ != nullptr) {
        Stop();
        CloseDevice();
    }
    if (window_ != nullptr) {
        DeallocateHWnd(window_);
        window_ = nullptr;
    }
}

void TRecorder::queueBuffer(int i) {
    WAVEHDR& h = headers_[static_cast<std::size_t>(i)];
    h.lpData = reinterpret_cast<char*>(block_.get()) + static_cast<std::size_t>(i) * bufferBytes_;
    h.dwBufferLength = static_cast<DWORD>(bufferBytes_);
    h.dwFlags = 0;
    h.dwLoops = 0;
    (void)waveInPrepareHeader(handle_, &h, kHeaderSize);
    (void)waveInAddBuffer(handle_, &h, kHeaderSize);
}

void TRecorder::OpenDevice() {
    if (handle_ != nullptr || opening_) return;
    // A failed open is undone at once, so the next Start() or Open() really tries again.
    opening_ = true;
    failed_ = false;
    try {
        openDevice();
    } catch (...) {
        opening_ = false;
        failed_ = true;
        throw;
    }
}

void TRecorder::openDevice() {
    // The sizes come from unchecked values: refuse what cannot describe a buffer rather than
    // allocate a wrong amount.
    const std::int64_t frameBytes = quality_->bytesPerFrame();
    const std::int64_t bufferBytes = quality_->bytesPerBuffer(bufSize_);
    if (bufferBytes <= 0)
        throw EInOutError("waveInOpen: " + ErrorText(MMSYSERR_INVALPARAM), MMSYSERR_INVALPARAM);
    if (bufferBytes > INT_MAX / kBufferCount)
        throw EInOutError("waveInOpen: " + ErrorText(MMSYSERR_NOMEM), MMSYSERR_NOMEM);
    frameBytes_ = static_cast<int>(std::clamp<std::int64_t>(frameBytes, INT_MIN, INT_MAX));
    bufferBytes_ = static_cast<int>(bufferBytes);
    blockBytes_ = static_cast<std::size_t>(bufferBytes_) * kBufferCount;
    block_.reset(new (std::nothrow) std::uint8_t[blockBytes_]());
    if (!block_) throw EInOutError("waveInOpen: " + ErrorText(MMSYSERR_NOMEM), MMSYSERR_NOMEM);

    const auto block = quality_->formatBlock();
    const WAVEFORMATEX format = waveFormatFromBlock(block.data());
    const UINT id = static_cast<UINT>(device_->id());
    MMRESULT r = waveInOpen(nullptr, id, &format, 0, 0, WAVE_FORMAT_QUERY);
    if (r != MMSYSERR_NOERROR)
        throw EInOutError("waveInOpenQuery: " + ErrorText(r), static_cast<int>(r));

    if (window_ == nullptr) window_ = AllocateHWnd([this](TMessage& m) { WndProc(m); });
    HWAVEIN handle = nullptr;
    r = waveInOpen(&handle, id, &format, reinterpret_cast<DWORD_PTR>(window_), 0,
                   CALLBACK_WINDOW | (shortPeriods_ ? WAVE_SHORT_PERIODS : 0));
    if (r != MMSYSERR_NOERROR)
        throw EInOutError("waveInOpen: " + ErrorText(r), static_cast<int>(r));
    handle_ = handle;

    // Seven buffers go to the device; the eighth joins the ring at the first completion.
    for (int i = 0; i < kBufferCount - 1; ++i) queueBuffer(i);
}

void TRecorder::CloseDevice() {
    opening_ = false;
    failed_ = false;
    capturing_ = false;
    if (handle_ != nullptr) {
        (void)waveInReset(handle_);
        (void)waveInClose(handle_);
        handle_ = nullptr;
    }
    block_.reset();
    blockBytes_ = 0;
    // Nothing may point into the released block any more.
    data_ = nullptr;
    bytesRecorded_ = 0;
    frameCount_ = 0;
    for (WAVEHDR& h : headers_) {
        h.lpData = nullptr;
        h.dwBufferLength = 0;
        h.dwBytesRecorded = 0;
        h.dwFlags = 0;
    }
}

void TRecorder::BufferDone() {
    if (handle_ == nullptr || !BufferReady()) return;
    const int b = current_;
    const int c = (b + kBufferCount - 1) % kBufferCount;  // taken at the previous completion
    current_ = (b + 1) % kBufferCount;

    WAVEHDR& done = headers_[static_cast<std::size_t>(b)];
    (void)waveInUnprepareHeader(handle_, &done, kHeaderSize);
    queueBuffer(c);

    data_ = reinterpret_cast<const std::uint8_t*>(done.lpData);
    bytesRecorded_ = static_cast<int>(done.dwBytesRecorded);
    const std::int64_t bitsPerFrame =
        std::int64_t{Quality().Channels()} * Quality().BitsPerSample();
    frameCount_ =
        bitsPerFrame > 0 ? static_cast<int>(std::int64_t{bytesRecorded_} * 8 / bitsPerFrame) : 0;
}

void TRecorder::WndProc(TMessage& message) {
    switch (message.Msg) {
        case MM_WIM_DATA:
            // A buffer of a device closed since (returned by its reset) belongs to nobody now.
            if (handle_ == nullptr || reinterpret_cast<HWAVEIN>(message.WParam) != handle_) return;
            BufferDone();
            clients_.notify(this, kAudioBufferReady);
            if (OnSample) OnSample(this);
            break;
        case MM_WIM_OPEN:
            clients_.notify(this, kAudioDevicePrepared);
            break;
        case MM_WIM_CLOSE:
            clients_.notify(this, kAudioDeviceClosed);
            break;
        case MM_WIM_ERROR:
            if (handle_ == nullptr || reinterpret_cast<HWAVEIN>(message.WParam) != handle_) return;
            // The device captures no more: closed now, so that whatever the owner does on
            // hearing it (a message box runs a nested loop) finds a recorder that starts anew.
            CloseDevice();
            if (OnError) OnError(this, static_cast<int>(message.LParam));
            break;
        case WM_USER:
            if (!autoStart_) break;
            try {
                Start();
            } catch (const Exception& e) {
                mostrarMensagem(std::string(e.className()) + " " + e.message(), kAutoStartCaption);
            }
            break;
        default:
            break;
    }
}

void TRecorder::AddClient(const TAudioClientEvent& callback) {
    if (callback.empty()) return;
    if (clients_.add(callback)) FreeNotification(callback.target());
}

void TRecorder::RemoveClient(const TAudioClientEvent& callback) {
    clients_.remove(callback);
}

void TRecorder::Notification(TComponent* component, TOperation operation) {
    if (operation == TOperation::opRemove) clients_.removeTarget(component);
    TAudioSource::Notification(component, operation);
}

int TRecorder::DeviceCount() {
    return static_cast<int>(waveInGetNumDevs());
}

bool TRecorder::QualitySupported() {
    return FormatSupported(Quality().Frequency(), Quality().Channels(), Quality().BitsPerSample());
}

bool TRecorder::FormatSupported(int rate, int channels, int bits) {
    const auto block = pcmFormatBlock(rate, channels, bits);
    const WAVEFORMATEX format = waveFormatFromBlock(block.data());
    return waveInOpen(nullptr, static_cast<UINT>(device_->id()), &format, 0, 0,
                      WAVE_FORMAT_QUERY) == MMSYSERR_NOERROR;
}

std::string TRecorder::ErrorText(MMRESULT code) {
    char text[kErrorTextSize] = {};
    switch (waveOutGetErrorTextA(code, text, kErrorTextSize)) {
        case MMSYSERR_BADERRNUM:
            return "MMERR_???";
        case MMSYSERR_NODRIVER:
            return "No driver present";
        case MMSYSERR_NOMEM:
            return "Unable to allocate or lock memory";
        default:
            text[kErrorTextSize - 1] = '\0';
            return text;
    }
}
