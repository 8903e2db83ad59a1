#include "max_midi.h"

#include <dlfcn.h>

#include <algorithm>

#include "errors.h"
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
    // Each user leaves the list as it lets go of this loader.
    while (!users_.empty()) users_.back().user->libraryReleasing();
}

void TMaxMidi::attach(TMaxMidiUser* user, TComponent* component) {
    const auto known = [user](const User& entry) { return entry.user == user; };
    if (std::none_of(users_.begin(), users_.end(), known)) users_.push_back({user, component});
}

void TMaxMidi::detach(TMaxMidiUser* user) {
    std::erase_if(users_, [user](const User& entry) { return entry.user == user; });
}

void TMaxMidi::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation != TOperation::opRemove) return;
    // Normally a dying user has detached itself already; compare as components, since the
    // user's own part is gone by now.
    std::erase_if(users_, [component](const User& entry) { return entry.component == component; });
}
