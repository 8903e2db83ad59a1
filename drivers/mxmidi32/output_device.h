#pragma once
// One open output of the driver library: something that plays short MIDI messages at once.

#include <cstdint>

namespace mxmidi {

class OutputDevice {
public:
    virtual ~OutputDevice() = default;

    // Plays one channel message (status 0x80..0xEF) at once. False for any other status or when
    // the device refused the message.
    virtual bool send(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) = 0;

    // Stops every sounding note on every channel at once. Programs, banks and controllers stay.
    virtual void reset() = 0;
};

}  // namespace mxmidi
