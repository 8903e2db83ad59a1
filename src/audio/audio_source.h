#pragma once
// TAudioSource: what an analyser needs of the component whose buffers it analyses. The recorder
// implements it for live capture; a replay source implements it for recorded sample blocks.

#include <cstdint>

#include "audio_client_event.h"
#include "audio_line_parameters.h"
#include "component.h"

// The mixed sample value of frame i of a buffer in the given format:
//   1 channel,  8 bits: byte × 64 − 8192                 (−8192 .. 8128)
//   1 channel, 16 bits: the signed sample                (−32768 .. 32767)
//   2 channels, 8 bits: (byte0 + byte1) × 128 − 32768    (−32768 .. 32512)
//   2 channels, 16 bits: (s0 + s1) / 2, toward zero      (−32768 .. 32767)
//   anything else: byte i as an unsigned value           (0 .. 255)
int mixedSample(const std::uint8_t* data, int channels, int bitsPerSample, int i);

// Signed 16-bit little-endian sample number i of a byte buffer.
inline std::int16_t sample16(const std::uint8_t* data, int i) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(data[2 * i]) |
                                     static_cast<std::uint16_t>(data[2 * i + 1]) << 8);
}

class TAudioSource : public TComponent {
public:
    using TComponent::TComponent;

    // Frames per capture buffer.
    virtual int BufSize() const = 0;
    // The capture format (channels, bits per sample, frequency).
    virtual const TAudioLineParameters& Quality() const = 0;

    // The latest completed buffer: its frame count and its bytes (frames interleaved by channel;
    // 8-bit samples unsigned around 128, 16-bit samples signed little-endian).
    virtual int FrameCount() const = 0;
    virtual const std::uint8_t* Data() const = 0;
    // The mixed value of frame i of the latest buffer (see mixedSample); 0 for a frame the
    // buffer does not have.
    int Sample(int i) const {
        if (i < 0 || i >= FrameCount() || Data() == nullptr) return 0;
        return mixedSample(Data(), Quality().Channels(), Quality().BitsPerSample(), i);
    }

    // Clients are called with kind 0 after each completed buffer, 1 when the device closed and 2
    // when it opened.
    virtual void AddClient(const TAudioClientEvent& callback) = 0;
    virtual void RemoveClient(const TAudioClientEvent& callback) = 0;
};
