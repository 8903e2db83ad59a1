#pragma once
// TReplaySource: an audio source that replays sample blocks given to it, one "completed buffer"
// at a time, to its clients. It serves tests, benchmarks and tools that analyse recorded or
// generated sound without a capture device.

#include <cstdint>
#include <vector>

#include "audio_client_table.h"
#include "audio_source.h"

class TReplaySource : public TAudioSource {
public:
    static constexpr int kClientCount = 6;

    explicit TReplaySource(TComponent* owner = nullptr) : TAudioSource(owner) {}

    int BufSize() const override { return bufSize_; }
    void setBufSize(int frames) { bufSize_ = frames; }
    const TAudioLineParameters& Quality() const override { return quality_; }
    TAudioLineParameters& Quality() { return quality_; }

    int FrameCount() const override { return frameCount_; }
    const std::uint8_t* Data() const override { return data_.data(); }

    void AddClient(const TAudioClientEvent& callback) override;
    void RemoveClient(const TAudioClientEvent& callback) override { clients_.remove(callback); }

    // Tells the clients that the "device" opened (kind 2).
    void open() { clients_.notify(this, kAudioDevicePrepared); }
    // Makes the bytes the latest completed buffer and tells the clients (kind 0). The frame count
    // follows from the byte count and the format.
    void play(const std::uint8_t* bytes, int byteCount);
    void play(const std::vector<std::uint8_t>& bytes) {
        play(bytes.data(), static_cast<int>(bytes.size()));
    }

protected:
    void Notification(TComponent* component, TOperation operation) override;

private:
    int bufSize_ = 256;
    TAudioLineParameters quality_;
    std::vector<std::uint8_t> data_;
    int frameCount_ = 0;
    TAudioClientTable<kClientCount> clients_;
};
