#pragma once
// The ALSA sequencer ports that make sound (hardware synthesisers, running software
// synthesisers), as further output devices of the library.

#include <alsa/asoundlib.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "output_device.h"

namespace mxmidi {

struct SeqPort {
    int client = 0;
    int port = 0;
    std::string name;
};

// Name of the kernel's pass-through client.
inline constexpr const char* kPassThroughClient = "Midi Through";

// Whether a port of this type (SND_SEQ_PORT_TYPE_* flags) in a client of this name makes sound:
// a synthesiser, a sampler, a port that speaks a sound set (GM, GS, XG ...) or a hardware MIDI
// port leading to an instrument. Never the pass-through client, and never a port that declares
// no more than generic MIDI (a recorder, a monitor, a router).
bool soundingPort(unsigned int type, const std::string& clientName);

// The sequencer event for one channel message, sent directly to the subscribers; false for any
// status other than 0x80..0xEF.
bool encodeSeqEvent(std::uint8_t status, std::uint8_t data1, std::uint8_t data2,
                    snd_seq_event_t& event);

// The sounding ports other programs may write to, in ALSA's order; the system client and this
// library's own clients are left out. Empty when the machine has no sequencer.
std::vector<SeqPort> listSeqPorts();

// An output connected to the port, or nullptr when the sequencer or the port is not there.
std::unique_ptr<OutputDevice> openSeqOutput(const SeqPort& port);

}  // namespace mxmidi
