#include "max_midi.h"

#include <dlfcn.h>

#include <algorithm>

#include "errors.h"
#include "max_midi_out.h"
#include "program_path.h"

namespace {
std::string fileName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
}  // namespace

TMaxMidi::TMaxMidi(TComponent* owner) : TMaxMidi(owner, defaultLibraryPath()) {}

TMaxMidi::TMaxMidi(TComponent* owner, const std::string& libraryPath)
    : TComponent(owner), libraryPath_(libraryPath) {
    library_ = ::dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library_ == nullptr) {
        throw EMaxMidiException("Load of " + fileName(libraryPath) + " failed");
    }
    // Resolved one by one in the library's order; the first one missing is reported.
#define MXMIDI_LAYER_RESOLVE(result, name, parameters)                    \
    name = reinterpret_cast<decltype(&::name)>(::dlsym(library_, #name)); \
    if (name == nullptr) {                                                \
        ::dlclose(library_);                                              \
        library_ = nullptr;                                               \
        clearProcedures();                                                \
        throw EMaxMidiException("Failed to loadproc:" #name);             \
    }
    MXMIDI32_PROCEDURES(MXMIDI_LAYER_RESOLVE)
#undef MXMIDI_LAYER_RESOLVE
    version_ = GetMaxMidiVersion();
}

TMaxMidi::~TMaxMidi() {
    closeOutputs();
    if (library_ != nullptr) ::dlclose(library_);
}

std::string TMaxMidi::defaultLibraryPath() {
    return programDir() + "/" + kLibraryFile;
}

void TMaxMidi::FreeLibrary() {
    if (library_ == nullptr) return;
    closeOutputs();
    void* library = library_;
    library_ = nullptr;
    clearProcedures();
    if (::dlclose(library) != 0) throw EMaxMidiException("FreeLibrary failed");
}

void TMaxMidi::clearProcedures() {
#define MXMIDI_LAYER_CLEAR(result, name, parameters) name = nullptr;
    MXMIDI32_PROCEDURES(MXMIDI_LAYER_CLEAR)
#undef MXMIDI_LAYER_CLEAR
}

void TMaxMidi::closeOutputs() {
    // Each output leaves the list as it lets go of this loader.
    while (!outputs_.empty()) outputs_.back()->libraryReleasing();
}

void TMaxMidi::attach(TMaxMidiOut* output) {
    if (std::find(outputs_.begin(), outputs_.end(), output) == outputs_.end()) {
        outputs_.push_back(output);
    }
}

void TMaxMidi::detach(TMaxMidiOut* output) {
    outputs_.erase(std::remove(outputs_.begin(), outputs_.end(), output), outputs_.end());
}

void TMaxMidi::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation != TOperation::opRemove) return;
    // Normally a dying output has detached itself already; compare as components, since the
    // output's own part is gone by now.
    outputs_.erase(std::remove_if(outputs_.begin(), outputs_.end(),
                                  [component](TMaxMidiOut* output) {
                                      return static_cast<TComponent*>(output) == component;
                                  }),
                   outputs_.end());
}
