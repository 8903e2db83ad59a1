#pragma once
// Where the embedded synthesiser's sound goes: the desktop's sound server, an ALSA device, or a
// raw file. Each output runs a thread of its own that asks for sound in blocks and plays it;
// the sound is signed 16-bit stereo, interleaved, at kAudioRate.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace mxmidi {

inline constexpr int kAudioRate = 48000;
inline constexpr int kAudioChannels = 2;

// Fills `frames` frames of interleaved stereo; called on the output's own thread.
using RenderFunction = std::function<void(std::int16_t* interleaved, int frames)>;

class AudioOutput {
public:
    virtual ~AudioOutput() = default;  // stops the thread and closes the output

    // How often the output ran dry since it opened (the listener heard a gap).
    int underruns() const { return underruns_.load(); }

    // An output that can pause keeps its connection while nothing sounds, asks for no sound and
    // costs no wake-ups, and plays again at once: the next note is heard sooner than through a
    // new connection. One that cannot is closed and opened again instead.
    virtual bool canPause() const { return false; }
    // Stops asking for sound; what was queued is kept until resume() drops it.
    virtual void pause() {}
    // Drops what was queued and plays again; false when the output is gone meanwhile (the
    // server restarted), and it must be opened anew.
    virtual bool resume() { return false; }

protected:
    std::atomic<int> underruns_{0};
};

// A playback stream on the desktop's sound server (PulseAudio, or PipeWire through its
// PulseAudio service). Never starts a server. nullptr when no server answers. It pauses by
// corking the stream.
std::unique_ptr<AudioOutput> openServerOutput(const RenderFunction& render);

// ALSA's "default" playback device. nullptr when it cannot be opened at our format.
std::unique_ptr<AudioOutput> openAlsaOutput(const RenderFunction& render);

// Raw sound appended to `path` at the pace of real time, in blocks of a few milliseconds, each
// written as soon as it is rendered. nullptr when the file cannot be created.
std::unique_ptr<AudioOutput> openFileOutput(const std::string& path, const RenderFunction& render);

// Asks for real-time scheduling for the calling (audio) thread, as sound servers and their
// clients do; without the right to it the thread simply keeps its normal priority.
void raiseAudioThreadPriority();

}  // namespace mxmidi
