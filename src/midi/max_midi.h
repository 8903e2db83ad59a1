#pragma once
// TMaxMidi: loads the MIDI driver library (libMxMidi32.so) at run time and resolves its 35
// procedures, in the library's order, under their plain names. The procedures are reachable as
// members of the same names (maxMidi.OpenMidiOut(...)). The components that use the library (its
// outputs, TMaxMidiOut) are told before the library is released.

#include <cstdint>
#include <string>
#include <vector>

#include "component.h"
#include "max_midi_user.h"
#include "mxmidi32.h"

class TMaxMidi : public TComponent {
public:
    static constexpr const char* kLibraryFile = "libMxMidi32.so";

    // Loads kLibraryFile from the program's own folder.
    explicit TMaxMidi(TComponent* owner = nullptr);
    // Loads the library at `libraryPath`. Raises EMaxMidiException "Load of <file> failed" when
    // it cannot be loaded, or "Failed to loadproc:<name>" (after releasing it) when a procedure
    // is missing.
    TMaxMidi(TComponent* owner, const std::string& libraryPath);
    // Closes the outputs still open on the library, then releases it.
    ~TMaxMidi() override;

    // <program folder>/libMxMidi32.so
    static std::string defaultLibraryPath();

    bool Loaded() const { return library_ != nullptr; }
    const std::string& LibraryPath() const { return libraryPath_; }
    // What GetMaxMidiVersion returned right after loading.
    std::uint16_t Version() const { return version_; }

    // Closes the outputs that use the library and releases it; the procedures become null.
    // Raises EMaxMidiException "FreeLibrary failed" when the system refuses to release it.
    // Does nothing when nothing is loaded.
    void FreeLibrary();

    // A user of the library (`component` is the same object seen as a component, which names
    // it in destruction notices). Attaching twice keeps one entry.
    void attach(TMaxMidiUser* user, TComponent* component);
    void detach(TMaxMidiUser* user);

#define MXMIDI_LAYER_PROCEDURE(result, name, parameters) decltype(&::name) name = nullptr;
    MXMIDI32_PROCEDURES(MXMIDI_LAYER_PROCEDURE)
#undef MXMIDI_LAYER_PROCEDURE

protected:
    void Notification(TComponent* component, TOperation operation) override;

private:
    struct User {
        TMaxMidiUser* user;
        TComponent* component;
    };
    void closeOutputs();
    void clearProcedures();

    void* library_ = nullptr;
    std::string libraryPath_;
    std::uint16_t version_ = 0;
    std::vector<User> users_;
};
