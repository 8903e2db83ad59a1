#pragma once
// TRecorder: captures from a wave-in device into a ring of eight buffers and hands every
// completed buffer to its clients (kind 0), then to OnSample. Seven buffers are queued at the
// device at all times while capturing; the eighth, the newest completed one, is held still for
// the consumers until the next completion hands it back.
//
// Device notifications arrive as messages at a hidden window owned by the recorder, so clients
// and OnSample run on the thread that created the recorder (its Qt event loop).

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "audio_client_table.h"
#include "audio_line_parameters.h"
#include "audio_source.h"
#include "message_window.h"
#include "wavein.h"

enum class TRecorderState {
    Closed,     // no device
    Failed,     // the last open failed; the next Start() or Open() tries again
    Open,       // device open, buffers queued, not capturing
    Capturing,  // device open and started
};

class TRecorder : public TAudioSource {
public:
    static constexpr int kClientCount = 6;
    static constexpr int kBufferCount = 8;
    static constexpr int kDefaultBufSize = 256;
    static constexpr const char* kAutoStartCaption = "EntradaAudio auto-start";

    explicit TRecorder(TComponent* owner = nullptr);
    ~TRecorder() override;

    // The capture device; owned by the recorder. setDevice takes the given object in its place
    // (none restores a default one).
    TWaveInDeviceID& Device() { return *device_; }
    void setDevice(std::unique_ptr<TWaveInDeviceID> device);

    // The capture format; owned by the recorder, like Device.
    const TAudioLineParameters& Quality() const override { return *quality_; }
    TAudioLineParameters& Quality() { return *quality_; }
    void setQuality(std::unique_ptr<TAudioLineParameters> quality);

    // Frames per capture buffer. Writing closes the device; the next Start() uses the new size.
    int BufSize() const override { return bufSize_; }
    void setBufSize(int frames);

    // Whether the device hands over what it captured every 20 ms (WAVE_SHORT_PERIODS) rather
    // than every 50 ms: for small buffers that must arrive as soon as they are full. Writing
    // closes the device; the next Start() uses the new value.
    bool ShortPeriods() const { return shortPeriods_; }
    void setShortPeriods(bool value);

    // Start capturing on the first pass of the message loop after construction.
    bool AutoStart() const { return autoStart_; }
    void setAutoStart(bool value) { autoStart_ = value; }

    // Called after each completed buffer, after the clients.
    std::function<void(TComponent* sender)> OnSample;
    // Called once when the device fails while capturing (unplugged, its sound server gone),
    // with the wave-in result code (WAVERR_DEVICELOST). The device is closed by then (clients
    // heard kind 1), so the next Start() opens it again.
    std::function<void(TComponent* sender, int errorCode)> OnError;

    // Samples captured since the device started. Reading it while closed opens the device.
    unsigned int SamplePos();

    // The device handle, opening the device first when none is open (none after a failed open).
    HWAVEIN Handle();
    // True when the oldest queued buffer has been marked done by the device.
    bool BufferReady() const;

    // The latest completed buffer.
    int FrameCount() const override { return frameCount_; }
    const std::uint8_t* Data() const override { return data_; }
    int BytesRecorded() const { return bytesRecorded_; }

    // Opens the device when it is not open and starts capturing; raises EInOutError when the
    // device cannot be opened. Does nothing while already capturing.
    virtual void Start();
    virtual void Stop();
    virtual void Reset();
    virtual void Open();
    virtual void Release();
    virtual void BufferDone();
    void AddClient(const TAudioClientEvent& callback) override;
    void RemoveClient(const TAudioClientEvent& callback) override;
    virtual int DeviceCount();
    virtual bool QualitySupported();
    virtual bool FormatSupported(int rate, int channels, int bits);

    TRecorderState State() const;
    // Ring index of the oldest buffer still queued at the device.
    int Current() const { return current_; }
    int FrameBytes() const { return frameBytes_; }
    int BufferBytes() const { return bufferBytes_; }
    // Bytes of the block holding all eight buffers (0 while none is allocated).
    std::size_t BlockBytes() const { return block_ ? blockBytes_ : 0; }
    const std::uint8_t* Block() const { return block_.get(); }
    // The hidden window receiving the device notifications (none after Release).
    HWND Window() const { return window_; }
    const TAudioClientEvent& Client(int i) const { return clients_[i]; }

    // Text of a wave-in result code, with fallbacks when the platform has none.
    static std::string ErrorText(MMRESULT code);

protected:
    void Notification(TComponent* component, TOperation operation) override;
    void WndProc(TMessage& message);

private:
    void OpenDevice();
    void openDevice();
    void CloseDevice();
    void queueBuffer(int i);

    std::unique_ptr<TWaveInDeviceID> device_;
    std::unique_ptr<TAudioLineParameters> quality_;
    int bufSize_ = kDefaultBufSize;
    bool autoStart_ = true;
    bool shortPeriods_ = false;

    int frameBytes_ = 0;
    int bufferBytes_ = 0;
    int current_ = 0;
    std::unique_ptr<std::uint8_t[]> block_;
    std::size_t blockBytes_ = 0;
    std::array<WAVEHDR, kBufferCount> headers_;
    HWND window_ = nullptr;
    TAudioClientTable<kClientCount> clients_;
    HWAVEIN handle_ = nullptr;
    bool opening_ = false;
    bool failed_ = false;  // the last open failed
    bool capturing_ = false;
    const std::uint8_t* data_ = nullptr;
    int bytesRecorded_ = 0;
    int frameCount_ = 0;
};
