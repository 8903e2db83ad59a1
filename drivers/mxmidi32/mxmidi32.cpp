// The output procedures of the driver library: device list, open outputs by handle, events.

#include "mxmidi32.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "output_device.h"
#include "seq_output.h"
#include "synth_output.h"

namespace {

constexpr HMOUT kFirstHandle = 0x100;  // valid handles stay above 32

struct OpenOutput {
    std::unique_ptr<mxmidi::OutputDevice> device;
    MxNotifyTarget* window = nullptr;
};

// Every open output and the device list live here, guarded by one lock: callers may use the
// library from more than one thread.
struct Library {
    std::mutex lock;
    std::map<HMOUT, OpenOutput> outputs;
    HMOUT nextHandle = kFirstHandle;
    std::vector<mxmidi::SeqPort> ports;
    bool portsListed = false;

    HMOUT newHandle() {
        while (nextHandle <= 32 || outputs.count(nextHandle) != 0) ++nextHandle;
        return nextHandle++;
    }
    const std::vector<mxmidi::SeqPort>& seqPorts() {
        if (!portsListed) {
            ports = mxmidi::listSeqPorts();
            portsListed = true;
        }
        return ports;
    }
    mxmidi::OutputDevice* find(HMOUT out) {
        const auto it = outputs.find(out);
        return it == outputs.end() ? nullptr : it->second.device.get();
    }
};

Library& library() {
    static Library instance;
    return instance;
}

bool isSynth(uint16_t device) {
    return device == MXMIDI_MAPPER || device == 0;
}

int copyDescription(const std::string& text, char* description) {
    const std::size_t n = std::min(text.size(), std::size_t{MXMIDI_MAX_DESCRIPTION - 1});
    std::memcpy(description, text.data(), n);
    description[n] = '\0';
    return MXMIDI_OK;
}

}  // namespace

extern "C" {

uint16_t GetMaxMidiVersion(void) {
    return MXMIDI_VERSION;
}

uint16_t GetNumOutDevices(void) {
    Library& lib = library();
    std::lock_guard guard(lib.lock);
    lib.ports = mxmidi::listSeqPorts();
    lib.portsListed = true;
    const std::size_t count = 1 + lib.ports.size();
    return static_cast<uint16_t>(std::min<std::size_t>(count, MXMIDI_MAPPER - 1));
}

int GetMidiOutDescription(uint16_t device, char* description) {
    if (description == nullptr) return MXMIDI_FAILED;
    if (device == MXMIDI_MAPPER) return copyDescription("MIDI Mapper", description);
    if (device == 0) return copyDescription("FluidSynth General MIDI synthesiser", description);
    Library& lib = library();
    std::lock_guard guard(lib.lock);
    const auto& ports = lib.seqPorts();
    if (device > ports.size()) return MXMIDI_FAILED;
    return copyDescription(ports[device - 1].name, description);
}

HMOUT OpenMidiOut(MxNotifyTarget* window, uint16_t device, HSYNC sync, uint32_t /*flags*/) {
    if (sync != 0) return 0;  // there is no sync timer to attach to
    Library& lib = library();
    std::unique_ptr<mxmidi::OutputDevice> output;
    if (isSynth(device)) {
        // Starting a synthesiser takes a while (SoundFont, audio server): not under the lock.
        output = mxmidi::openSynthOutput();
    } else {
        mxmidi::SeqPort port;
        {
            std::lock_guard guard(lib.lock);
            const auto& ports = lib.seqPorts();
            if (device > ports.size()) return 0;
            port = ports[device - 1];
        }
        output = mxmidi::openSeqOutput(port);
    }
    if (!output) return 0;
    std::lock_guard guard(lib.lock);
    const HMOUT handle = lib.newHandle();
    lib.outputs[handle] = OpenOutput{std::move(output), window};
    return handle;
}

int ResetMidiOut(HMOUT out) {
    Library& lib = library();
    std::lock_guard guard(lib.lock);
    mxmidi::OutputDevice* device = lib.find(out);
    if (device == nullptr) return MXMIDI_FAILED;
    device->reset();
    return MXMIDI_OK;
}

int FlushMidiOut(HMOUT out) {
    Library& lib = library();
    MxNotifyTarget* window = nullptr;
    {
        std::lock_guard guard(lib.lock);
        const auto it = lib.outputs.find(out);
        if (it == lib.outputs.end()) return MXMIDI_FAILED;
        window = it->second.window;
    }
    // Events leave at once, so the queue is empty now. The target may call back into the
    // library, hence outside the lock.
    if (window != nullptr && window->post != nullptr) {
        window->post(window, MXMIDI_OUTBUFFER_READY, out, 0);
    }
    return MXMIDI_OK;
}

int CloseMidiOut(HMOUT out) {
    Library& lib = library();
    std::unique_ptr<mxmidi::OutputDevice> closing;
    {
        std::lock_guard guard(lib.lock);
        const auto it = lib.outputs.find(out);
        if (it == lib.outputs.end()) return MXMIDI_FAILED;
        closing = std::move(it->second.device);
        lib.outputs.erase(it);
    }
    closing.reset();  // stops the audio thread or closes the sequencer connection
    return MXMIDI_OK;
}

int PutMidiOut(HMOUT out, const MIDIEVENT* event) {
    if (event == nullptr) return MXMIDI_FAILED;
    Library& lib = library();
    std::lock_guard guard(lib.lock);
    mxmidi::OutputDevice* device = lib.find(out);
    if (device == nullptr) return MXMIDI_FAILED;
    return device->send(event->status, event->data1, event->data2) ? MXMIDI_OK : MXMIDI_FAILED;
}

}  // extern "C"
