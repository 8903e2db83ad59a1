#pragma once
// TWaveInDeviceID (which capture device) and TAudioLineParameters (which PCM format): small value
// objects owned by a recorder. Each fires OnChange after a value really changed.

#include <array>
#include <cstdint>
#include <functional>

#include "component.h"

// a × b × c ÷ 8, truncated toward zero, clamped to the 64-bit range.
std::int64_t productDiv8(int a, int b, int c);

using TNotifyEvent = std::function<void(TPersistent* sender)>;

class TWaveInDeviceID : public TPersistent {
public:
    static constexpr int kDefaultDevice = -1;  // the system's default capture device

    int id() const { return id_; }
    void setId(int value);

    TNotifyEvent OnChange;
    void Changed();
    void Assign(const TPersistent& source) override;

private:
    int id_ = kDefaultDevice;
};

class TAudioLineParameters : public TPersistent {
public:
    int Channels() const { return channels_; }
    int Frequency() const { return frequency_; }
    int BitsPerSample() const { return bits_; }
    void setChannels(int value);
    void setFrequency(int value);
    void setBitsPerSample(int value);

    // Derived byte counts, integer arithmetic truncating toward zero. The values are stored
    // unchecked, so the products never overflow: they are exact, or clamped to the 64-bit range
    // for absurd values. Callers range-check the result.
    std::int64_t bytesPerFrame() const { return productDiv8(channels_, bits_, 1); }
    std::int64_t bytesPerBuffer(int frames) const { return productDiv8(channels_, frames, bits_); }
    std::int64_t bytesPerSecond() const { return productDiv8(frequency_, channels_, bits_); }

    // The 18-byte little-endian PCM format block (WAVEFORMATEX) for this format.
    std::array<std::uint8_t, 18> formatBlock() const;

    TNotifyEvent OnChange;
    void Changed();
    void Assign(const TPersistent& source) override;

private:
    void write(int& field, int value);

    int channels_ = 1;
    int frequency_ = 11025;
    int bits_ = 8;
};

// The PCM format block for any format (used for format queries of other formats too).
std::array<std::uint8_t, 18> pcmFormatBlock(int frequency, int channels, int bitsPerSample);
