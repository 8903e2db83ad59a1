#include "seq_output.h"

#include <alsa/asoundlib.h>
#include <unistd.h>

namespace mxmidi {
namespace {

// Without a sequencer device ALSA would print an error for every attempt; look first.
bool sequencerPresent() {
    return ::access("/dev/snd/seq", R_OK | W_OK) == 0;
}

snd_seq_t* openSequencer() {
    if (!sequencerPresent()) return nullptr;
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, 0) < 0) return nullptr;
    snd_seq_set_client_name(seq, "MxMidi32");
    return seq;
}

bool acceptsEvents(const snd_seq_port_info_t* info) {
    const unsigned int caps = snd_seq_port_info_get_capability(info);
    const unsigned int wanted = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
    return (caps & wanted) == wanted && (caps & SND_SEQ_PORT_CAP_NO_EXPORT) == 0;
}

class SeqOutput final : public OutputDevice {
public:
    SeqOutput(snd_seq_t* seq, int sourcePort) : seq_(seq), sourcePort_(sourcePort) {}
    ~SeqOutput() override { snd_seq_close(seq_); }

    bool send(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) override {
        snd_seq_event_t ev;
        return encodeSeqEvent(status, data1, data2, ev) && output(ev);
    }

    void reset() override {
        // All sound off and all notes off on every channel; no system reset, so programs stay.
        for (int channel = 0; channel < 16; ++channel) {
            send(static_cast<std::uint8_t>(0xB0 | channel), 123, 0);
            send(static_cast<std::uint8_t>(0xB0 | channel), 120, 0);
        }
    }

private:
    bool output(snd_seq_event_t& ev) {
        snd_seq_ev_set_source(&ev, sourcePort_);
        snd_seq_ev_set_subs(&ev);
        snd_seq_ev_set_direct(&ev);
        return snd_seq_event_output_direct(seq_, &ev) >= 0;
    }

    snd_seq_t* seq_;
    int sourcePort_;
};

}  // namespace

bool encodeSeqEvent(std::uint8_t status, std::uint8_t data1, std::uint8_t data2,
                    snd_seq_event_t& ev) {
    const int channel = status & 0x0F;
    const int d1 = data1 & 0x7F;
    const int d2 = data2 & 0x7F;
    snd_seq_ev_clear(&ev);
    switch (status & 0xF0) {
        case 0x80:
            snd_seq_ev_set_noteoff(&ev, channel, d1, d2);
            return true;
        case 0x90:
            snd_seq_ev_set_noteon(&ev, channel, d1, d2);
            return true;
        case 0xA0:
            snd_seq_ev_set_keypress(&ev, channel, d1, d2);
            return true;
        case 0xB0:
            snd_seq_ev_set_controller(&ev, channel, d1, d2);
            return true;
        case 0xC0:
            snd_seq_ev_set_pgmchange(&ev, channel, d1);
            return true;
        case 0xD0:
            snd_seq_ev_set_chanpress(&ev, channel, d1);
            return true;
        case 0xE0:
            snd_seq_ev_set_pitchbend(&ev, channel, (d1 | (d2 << 7)) - 8192);
            return true;
        default:
            return false;
    }
}

bool soundingPort(unsigned int type, const std::string& clientName) {
    // The kernel's pass-through client forwards events to whoever listens, which is usually
    // nobody: it never makes a sound of its own.
    if (clientName == kPassThroughClient) return false;
    // Ports that say they make sound, or lead to an instrument through a hardware MIDI port.
    // A port that only declares itself generic MIDI (a recorder, a monitor, a router) does not.
    constexpr unsigned int kSounding = SND_SEQ_PORT_TYPE_MIDI_GM | SND_SEQ_PORT_TYPE_MIDI_GS |
                                       SND_SEQ_PORT_TYPE_MIDI_XG | SND_SEQ_PORT_TYPE_MIDI_MT32 |
                                       SND_SEQ_PORT_TYPE_MIDI_GM2 | SND_SEQ_PORT_TYPE_SYNTH |
                                       SND_SEQ_PORT_TYPE_DIRECT_SAMPLE | SND_SEQ_PORT_TYPE_SAMPLE |
                                       SND_SEQ_PORT_TYPE_HARDWARE | SND_SEQ_PORT_TYPE_SYNTHESIZER;
    return (type & kSounding) != 0;
}

std::vector<SeqPort> listSeqPorts() {
    std::vector<SeqPort> ports;
    snd_seq_t* seq = openSequencer();
    if (seq == nullptr) return ports;
    const int self = snd_seq_client_id(seq);

    snd_seq_client_info_t* client;
    snd_seq_port_info_t* port;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_alloca(&port);
    snd_seq_client_info_set_client(client, -1);
    while (snd_seq_query_next_client(seq, client) >= 0) {
        const int id = snd_seq_client_info_get_client(client);
        // Client 0 is the system (timer, announcements). Other MxMidi32 clients are this
        // library's own outputs in some process; writing to them would go nowhere.
        const char* clientName = snd_seq_client_info_get_name(client);
        if (id == SND_SEQ_CLIENT_SYSTEM || id == self) continue;
        const std::string name = clientName != nullptr ? clientName : "";
        if (name == "MxMidi32") continue;
        snd_seq_port_info_set_client(port, id);
        snd_seq_port_info_set_port(port, -1);
        while (snd_seq_query_next_port(seq, port) >= 0) {
            if (!acceptsEvents(port) || !soundingPort(snd_seq_port_info_get_type(port), name))
                continue;
            const char* portName = snd_seq_port_info_get_name(port);
            ports.push_back(
                {id, snd_seq_port_info_get_port(port), portName != nullptr ? portName : ""});
        }
    }
    snd_seq_close(seq);
    return ports;
}

std::unique_ptr<OutputDevice> openSeqOutput(const SeqPort& target) {
    snd_seq_t* seq = openSequencer();
    if (seq == nullptr) return nullptr;
    const int source =
        snd_seq_create_simple_port(seq, "out", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                   SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (source < 0 || snd_seq_connect_to(seq, source, target.client, target.port) < 0) {
        snd_seq_close(seq);
        return nullptr;
    }
    return std::make_unique<SeqOutput>(seq, source);
}

}  // namespace mxmidi
