#pragma once
// The ALSA sequencer ports that accept events (hardware synthesisers, running software
// synthesisers), as further output devices of the library.

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

// The ports other programs may write to, in ALSA's order; the system client and this process's
// own clients are left out. Empty when the machine has no sequencer.
std::vector<SeqPort> listSeqPorts();

// An output connected to the port, or nullptr when the sequencer or the port is not there.
std::unique_ptr<OutputDevice> openSeqOutput(const SeqPort& port);

}  // namespace mxmidi
