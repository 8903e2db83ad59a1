// The sequencer outputs of the driver library: which ports count as outputs that sound, how
// each channel message travels, and, where the machine has an ALSA sequencer, the whole road to
// a client of the test's own.

#include "seq_output.h"

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace {

using mxmidi::soundingPort;

}  // namespace

TEST(SeqPorts, OnlyPortsThatMakeSoundAreOutputs) {
    const unsigned int generic = SND_SEQ_PORT_TYPE_MIDI_GENERIC;
    // Software and hardware synthesisers, and MIDI ports of a sound card that lead to one.
    EXPECT_TRUE(soundingPort(generic | SND_SEQ_PORT_TYPE_MIDI_GM | SND_SEQ_PORT_TYPE_SYNTHESIZER |
                                 SND_SEQ_PORT_TYPE_APPLICATION,
                             "FLUID Synth (1234)"));
    EXPECT_TRUE(soundingPort(generic | SND_SEQ_PORT_TYPE_HARDWARE | SND_SEQ_PORT_TYPE_PORT,
                             "USB MIDI Interface"));
    EXPECT_TRUE(
        soundingPort(SND_SEQ_PORT_TYPE_SYNTH | SND_SEQ_PORT_TYPE_HARDWARE, "Emu10k1 WaveTable"));
    // The kernel's pass-through, whatever its ports say, and ports that only take MIDI in (a
    // monitor, a recorder, a router).
    EXPECT_FALSE(soundingPort(generic | SND_SEQ_PORT_TYPE_SOFTWARE | SND_SEQ_PORT_TYPE_PORT,
                              "Midi Through"));
    EXPECT_FALSE(soundingPort(generic | SND_SEQ_PORT_TYPE_HARDWARE, "Midi Through"));
    EXPECT_FALSE(soundingPort(generic | SND_SEQ_PORT_TYPE_APPLICATION, "aseqdump"));
    EXPECT_FALSE(soundingPort(generic | SND_SEQ_PORT_TYPE_SOFTWARE, "a router"));
    EXPECT_FALSE(soundingPort(0, "nothing declared"));
}

TEST(SeqPorts, ChannelMessagesBecomeTheirSequencerEvents) {
    snd_seq_event_t ev;
    ASSERT_TRUE(mxmidi::encodeSeqEvent(0x93, 40, 127, ev));
    EXPECT_EQ(ev.type, SND_SEQ_EVENT_NOTEON);
    EXPECT_EQ(ev.data.note.channel, 3);
    EXPECT_EQ(ev.data.note.note, 40);
    EXPECT_EQ(ev.data.note.velocity, 127);

    ASSERT_TRUE(mxmidi::encodeSeqEvent(0x80, 0xC5, 0xFF, ev));  // data bytes keep 7 bits
    EXPECT_EQ(ev.type, SND_SEQ_EVENT_NOTEOFF);
    EXPECT_EQ(ev.data.note.note, 0x45);
    EXPECT_EQ(ev.data.note.velocity, 0x7F);

    ASSERT_TRUE(mxmidi::encodeSeqEvent(0xC0, 24, 0, ev));
    EXPECT_EQ(ev.type, SND_SEQ_EVENT_PGMCHANGE);
    EXPECT_EQ(ev.data.control.value, 24);

    ASSERT_TRUE(mxmidi::encodeSeqEvent(0xB1, 0, 0, ev));
    EXPECT_EQ(ev.type, SND_SEQ_EVENT_CONTROLLER);
    EXPECT_EQ(ev.data.control.channel, 1);
    EXPECT_EQ(ev.data.control.param, 0u);

    // Pitch bend: 14 bits, centre 0x2000, signed around the centre.
    ASSERT_TRUE(mxmidi::encodeSeqEvent(0xE0, 0x00, 0x40, ev));
    EXPECT_EQ(ev.type, SND_SEQ_EVENT_PITCHBEND);
    EXPECT_EQ(ev.data.control.value, 0);
    ASSERT_TRUE(mxmidi::encodeSeqEvent(0xE0, 0x7F, 0x7F, ev));
    EXPECT_EQ(ev.data.control.value, 8191);

    ASSERT_TRUE(mxmidi::encodeSeqEvent(0xA2, 60, 10, ev));
    EXPECT_EQ(ev.type, SND_SEQ_EVENT_KEYPRESS);
    ASSERT_TRUE(mxmidi::encodeSeqEvent(0xD2, 10, 0, ev));
    EXPECT_EQ(ev.type, SND_SEQ_EVENT_CHANPRESS);

    for (int status : {0x00, 0x7F, 0xF0, 0xF8, 0xFF}) {
        EXPECT_FALSE(mxmidi::encodeSeqEvent(static_cast<std::uint8_t>(status), 1, 2, ev)) << status;
    }
}

namespace {

// A sequencer client of the test's own with one port that takes events.
struct Listener {
    snd_seq_t* seq = nullptr;
    int port = -1;
    Listener(const char* clientName, unsigned int type) {
        if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) < 0) return;
        snd_seq_set_client_name(seq, clientName);
        port = snd_seq_create_simple_port(
            seq, "in", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE, type);
    }
    ~Listener() {
        if (seq != nullptr) snd_seq_close(seq);
    }
    int client() const { return snd_seq_client_id(seq); }
    // The events that arrive within `ms` milliseconds of quiet.
    std::vector<snd_seq_event_t> received(int ms = 300) {
        std::vector<snd_seq_event_t> events;
        std::vector<pollfd> fds(snd_seq_poll_descriptors_count(seq, POLLIN));
        snd_seq_poll_descriptors(seq, fds.data(), fds.size(), POLLIN);
        while (::poll(fds.data(), fds.size(), ms) > 0) {
            snd_seq_event_t* ev = nullptr;
            while (snd_seq_event_input(seq, &ev) >= 0 && ev != nullptr) events.push_back(*ev);
        }
        return events;
    }
};

}  // namespace

// Needs the kernel's sequencer (/dev/snd/seq); skipped on machines without one.
TEST(SeqPorts, ARealSynthesiserClientGetsTheNotesAndTheResetThroughAndNoOtherPortCounts) {
    if (::access("/dev/snd/seq", R_OK | W_OK) != 0) GTEST_SKIP() << "no ALSA sequencer here";
    Listener synth("Test synthesiser", SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_MIDI_GM |
                                           SND_SEQ_PORT_TYPE_SYNTHESIZER |
                                           SND_SEQ_PORT_TYPE_APPLICATION);
    Listener monitor("Test monitor",
                     SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    Listener through(mxmidi::kPassThroughClient,
                     SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_SYNTHESIZER);
    ASSERT_GE(synth.port, 0);

    const std::vector<mxmidi::SeqPort> ports = mxmidi::listSeqPorts();
    auto listed = [&](const Listener& l) {
        return std::any_of(ports.begin(), ports.end(),
                           [&](const mxmidi::SeqPort& p) { return p.client == l.client(); });
    };
    EXPECT_TRUE(listed(synth));
    EXPECT_FALSE(listed(monitor));
    EXPECT_FALSE(listed(through));

    const auto port = std::find_if(ports.begin(), ports.end(), [&](const mxmidi::SeqPort& p) {
        return p.client == synth.client();
    });
    ASSERT_NE(port, ports.end());
    auto output = mxmidi::openSeqOutput(*port);
    ASSERT_TRUE(output);
    EXPECT_TRUE(output->send(0xC0, 24, 0));
    EXPECT_TRUE(output->send(0x90, 40, 127));
    output->reset();
    EXPECT_FALSE(output->send(0xF0, 0, 0));

    std::vector<snd_seq_event_t> events = synth.received();
    std::erase_if(events, [](const snd_seq_event_t& ev) {
        return ev.type == SND_SEQ_EVENT_PORT_SUBSCRIBED ||
               ev.type == SND_SEQ_EVENT_PORT_UNSUBSCRIBED;
    });
    ASSERT_EQ(events.size(), 2u + 32u);
    EXPECT_EQ(events[0].type, SND_SEQ_EVENT_PGMCHANGE);
    EXPECT_EQ(events[1].type, SND_SEQ_EVENT_NOTEON);
    EXPECT_EQ(events[1].data.note.note, 40);
    // The reset: all sound off and all notes off on each channel, and no program change.
    for (int channel = 0; channel < 16; ++channel) {
        const snd_seq_event_t& off = events[2 + 2 * channel];
        const snd_seq_event_t& notes = events[3 + 2 * channel];
        EXPECT_EQ(off.type, SND_SEQ_EVENT_CONTROLLER);
        EXPECT_EQ(off.data.control.channel, channel);
        EXPECT_EQ(off.data.control.param, 123u);
        EXPECT_EQ(notes.data.control.param, 120u);
    }
    output.reset();
    EXPECT_TRUE(monitor.received(50).empty());
}
