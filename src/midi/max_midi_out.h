#pragma once
// TMaxMidiOut: one MIDI output device of the driver library, opened through a TMaxMidi.
// Events are played at once. The component has a notification target ("hidden window") through
// which the library tells it that the output can take more events (MXMIDI_OUTBUFFER_READY); it
// then calls OutBufferReady. It keeps no event queue of its own.

#include <cstdint>
#include <functional>

#include "component.h"
#include "max_midi_user.h"
#include "mxmidi32.h"

class TMaxMidi;

class TMaxMidiOut : public TComponent, private TMaxMidiUser {
public:
    using TOutBufferReadyEvent = std::function<void(TMaxMidiOut& sender)>;

    explicit TMaxMidiOut(TComponent* owner = nullptr);
    // Closes the output when it is open.
    ~TMaxMidiOut() override;

    // The library loader this output uses. Changing it closes an open output first.
    TMaxMidi* MaxMidi() const { return maxMidi_; }
    void setMaxMidi(TMaxMidi* value);
    // Handle of a sync timer of the library that events are timed by; 0 (the default) for none.
    HSYNC Sync() const { return sync_; }
    void setSync(HSYNC value) { sync_ = value; }
    const TOutBufferReadyEvent& OutBufferReady() const { return outBufferReady_; }
    void setOutBufferReady(TOutBufferReadyEvent value) { outBufferReady_ = std::move(value); }

    // Number of output devices of the library, numbered from 0. "No MaxMidi" without a loader.
    int NumDevices();
    // Opens device `device` (-1 is the mapper; passed as 16 bits) with the library's open
    // parameter. The output is open when the library returns a handle above 32; otherwise it
    // stays closed and no error is raised. Returns IsOpen(). Raises "No MaxMidi" without a
    // loader and "already open" when open.
    bool Open(int device, std::uint32_t parameter);
    // Plays the event at once. False (and nothing sent) while closed, and false when the library
    // refused the event (for a note on: nothing could sound).
    bool Put(const MIDIEVENT& event);
    // Stops the sounding notes; the programs stay. "midiOut not open" while closed.
    void Reset();
    // Sends what is queued. "midiOut not open" while closed.
    void Flush();
    // Resets and closes. "midiOut not open" while closed.
    void Close();
    bool IsOpen() const { return open_; }

    int DeviceID() const { return device_; }
    std::uint32_t Parameter() const { return parameter_; }
    HMOUT Handle() const { return handle_; }

    // A message from the library to this output's notification target.
    void WndProc(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);

protected:
    void Notification(TComponent* component, TOperation operation) override;

private:
    // The loader is about to release the library: close while its procedures still work.
    void libraryReleasing() override;
    void requireOpen() const;
    void forgetMaxMidi();

    struct Window : MxNotifyTarget {
        TMaxMidiOut* output;
    };
    static void post(MxNotifyTarget* target, std::uint32_t message, std::uintptr_t wParam,
                     std::intptr_t lParam);

    TMaxMidi* maxMidi_ = nullptr;
    HSYNC sync_ = 0;
    TOutBufferReadyEvent outBufferReady_;
    int device_ = -1;
    std::uint32_t parameter_ = 0;
    HMOUT handle_ = 0;
    bool open_ = false;
    Window window_;
};
