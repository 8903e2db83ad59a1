// Playback through the desktop's sound server with PulseAudio's client library, which PipeWire's
// PulseAudio service also speaks.
//
// Buffering: the server keeps up to kTargetMs of our sound queued (the sink's share and the
// stream's together) and asks for more every kRequestMs. A note is heard some 35 to 40 ms after
// its note on (bench_midi_output), within the 50 ms a player does not notice, and a loaded
// machine may hold up the server's requests or this thread by well over 10 ms before the
// listener hears a gap. Playback starts with the first block.

#include <pthread.h>
#include <pulse/pulseaudio.h>
#include <stdlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "audio_output.h"

namespace mxmidi {
namespace {

constexpr int kTargetMs = 48;
constexpr int kRequestMs = 6;

std::uint32_t bytesFor(int milliseconds) {
    return static_cast<std::uint32_t>(kAudioRate * milliseconds / 1000 * kAudioChannels * 2);
}

class ServerOutput final : public AudioOutput {
public:
    explicit ServerOutput(RenderFunction render) : render_(std::move(render)) {}

    ~ServerOutput() override {
        if (mainloop_ == nullptr) return;
        pa_threaded_mainloop_lock(mainloop_);
        if (stream_ != nullptr) {
            pa_stream_disconnect(stream_);
            pa_stream_unref(stream_);
        }
        if (context_ != nullptr) {
            pa_context_disconnect(context_);
            pa_context_unref(context_);
        }
        pa_threaded_mainloop_unlock(mainloop_);
        pa_threaded_mainloop_stop(mainloop_);
        pa_threaded_mainloop_free(mainloop_);
    }

    bool open() {
        mainloop_ = pa_threaded_mainloop_new();
        if (mainloop_ == nullptr) return false;
        pa_proplist* properties = pa_proplist_new();
        pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, program_invocation_short_name);
        pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "music");
        context_ = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(mainloop_),
                                                program_invocation_short_name, properties);
        pa_proplist_free(properties);
        if (context_ == nullptr) return false;
        pa_context_set_state_callback(context_, &ServerOutput::contextState, this);
        // A server is never started on the user's behalf: no server, no output.
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            return false;
        if (pa_threaded_mainloop_start(mainloop_) < 0) return false;

        pa_threaded_mainloop_lock(mainloop_);
        const bool ok = waitForContext() && connectStream();
        pa_threaded_mainloop_unlock(mainloop_);
        return ok;
    }

    bool canPause() const override { return true; }

    void pause() override {
        pa_threaded_mainloop_lock(mainloop_);
        if (pa_operation* o = pa_stream_cork(stream_, 1, nullptr, nullptr)) pa_operation_unref(o);
        pa_threaded_mainloop_unlock(mainloop_);
    }

    bool resume() override {
        pa_threaded_mainloop_lock(mainloop_);
        const bool ready = pa_context_get_state(context_) == PA_CONTEXT_READY &&
                           pa_stream_get_state(stream_) == PA_STREAM_READY;
        if (ready) {
            // What was queued before the pause is silence (the output pauses once nothing has
            // sounded for a while): dropped, so that the next note is not queued behind it. The
            // stream then waits for its first block again, which holds that note.
            if (pa_operation* o = pa_stream_flush(stream_, nullptr, nullptr)) pa_operation_unref(o);
            if (pa_operation* o = pa_stream_cork(stream_, 0, nullptr, nullptr)) pa_operation_unref(o);
        }
        pa_threaded_mainloop_unlock(mainloop_);
        return ready;
    }

private:
    bool waitForContext() {
        for (;;) {
            const pa_context_state_t state = pa_context_get_state(context_);
            if (state == PA_CONTEXT_READY) return true;
            if (!PA_CONTEXT_IS_GOOD(state)) return false;
            pa_threaded_mainloop_wait(mainloop_);
        }
    }

    bool connectStream() {
        const pa_sample_spec spec{PA_SAMPLE_S16LE, kAudioRate, kAudioChannels};
        stream_ = pa_stream_new(context_, "MIDI synthesiser", &spec, nullptr);
        if (stream_ == nullptr) return false;
        pa_stream_set_state_callback(stream_, &ServerOutput::streamState, this);
        pa_stream_set_write_callback(stream_, &ServerOutput::write, this);
        pa_stream_set_underflow_callback(stream_, &ServerOutput::underflow, this);
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.tlength = bytesFor(kTargetMs);
        attr.prebuf = bytesFor(kRequestMs);
        attr.minreq = bytesFor(kRequestMs);
        attr.fragsize = static_cast<std::uint32_t>(-1);
        const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY);
        if (pa_stream_connect_playback(stream_, nullptr, &attr, flags, nullptr, nullptr) < 0)
            return false;
        for (;;) {
            const pa_stream_state_t state = pa_stream_get_state(stream_);
            if (state == PA_STREAM_READY) return true;
            if (!PA_STREAM_IS_GOOD(state)) return false;
            pa_threaded_mainloop_wait(mainloop_);
        }
    }

    static void contextState(pa_context*, void* self) {
        pa_threaded_mainloop_signal(static_cast<ServerOutput*>(self)->mainloop_, 0);
    }
    static void streamState(pa_stream*, void* self) {
        pa_threaded_mainloop_signal(static_cast<ServerOutput*>(self)->mainloop_, 0);
    }
    static void underflow(pa_stream*, void* self) {
        ++static_cast<ServerOutput*>(self)->underruns_;
    }
    static void write(pa_stream* stream, std::size_t bytes, void* data) {
        auto* self = static_cast<ServerOutput*>(data);
        if (!self->prioritySet_) {
            raiseAudioThreadPriority();
            self->prioritySet_ = true;
        }
        const std::size_t frameBytes = kAudioChannels * sizeof(std::int16_t);
        while (bytes >= frameBytes) {
            void* buffer = nullptr;
            std::size_t size = bytes;
            if (pa_stream_begin_write(stream, &buffer, &size) < 0 || buffer == nullptr) return;
            const std::size_t frames = std::min(size, bytes) / frameBytes;
            if (frames == 0) {
                pa_stream_cancel_write(stream);
                return;
            }
            self->render_(static_cast<std::int16_t*>(buffer), static_cast<int>(frames));
            pa_stream_write(stream, buffer, frames * frameBytes, nullptr, 0, PA_SEEK_RELATIVE);
            bytes -= frames * frameBytes;
        }
    }

    RenderFunction render_;
    pa_threaded_mainloop* mainloop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    bool prioritySet_ = false;
};

}  // namespace

std::unique_ptr<AudioOutput> openServerOutput(const RenderFunction& render) {
    auto output = std::make_unique<ServerOutput>(render);
    if (!output->open()) return nullptr;
    return output;
}

void raiseAudioThreadPriority() {
    sched_param param{};
    param.sched_priority = 20;
    pthread_setschedparam(pthread_self(), SCHED_RR, &param);  // refused without the right: fine
}

}  // namespace mxmidi
