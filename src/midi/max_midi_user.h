#pragma once
// TMaxMidiUser: what a TMaxMidi knows of the components that use its library (its outputs): each
// one is told before the library is released, so that an open device closes while the library's
// procedures still work. Users register with TMaxMidi::attach and leave with TMaxMidi::detach.

class TMaxMidiUser {
public:
    // The loader is about to release the library: let go of it (and detach) now.
    virtual void libraryReleasing() = 0;

protected:
    ~TMaxMidiUser() = default;
};
