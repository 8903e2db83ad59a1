#include "max_midi_out.h"

#include "errors.h"
#include "max_midi.h"

TMaxMidiOut::TMaxMidiOut(TComponent* owner) : TComponent(owner) {
    window_.post = &TMaxMidiOut::post;
    window_.output = this;
}

TMaxMidiOut::~TMaxMidiOut() {
    if (open_) Close();
    forgetMaxMidi();
}

void TMaxMidiOut::setMaxMidi(TMaxMidi* value) {
    if (value == maxMidi_) return;
    if (open_) Close();  // the handle belongs to the old library
    forgetMaxMidi();
    maxMidi_ = value;
    if (maxMidi_ != nullptr) {
        maxMidi_->attach(this, this);
        FreeNotification(maxMidi_);
    }
}

void TMaxMidiOut::forgetMaxMidi() {
    if (maxMidi_ == nullptr) return;
    maxMidi_->detach(this);
    RemoveFreeNotification(maxMidi_);
    maxMidi_ = nullptr;
}

int TMaxMidiOut::NumDevices() {
    if (maxMidi_ == nullptr || !maxMidi_->Loaded()) throw EMaxMidiException("No MaxMidi");
    return maxMidi_->GetNumOutDevices();
}

bool TMaxMidiOut::Open(int device, std::uint32_t parameter) {
    if (maxMidi_ == nullptr || !maxMidi_->Loaded()) throw EMaxMidiException("No MaxMidi");
    if (open_) throw EMaxMidiException("already open");
    device_ = device;
    parameter_ = parameter;
    const HMOUT handle =
        maxMidi_->OpenMidiOut(&window_, static_cast<std::uint16_t>(device), sync_, parameter);
    // Numbers up to 32 are the library's error codes, not handles.
    if (handle > 32) {
        handle_ = handle;
        open_ = true;
    } else {
        handle_ = 0;
    }
    return open_;
}

bool TMaxMidiOut::Put(const MIDIEVENT& event) {
    if (!open_) return false;
    return maxMidi_->PutMidiOut(handle_, &event) == MXMIDI_OK;
}

void TMaxMidiOut::requireOpen() const {
    if (!open_) throw EMaxMidiException("midiOut not open");
}

void TMaxMidiOut::Reset() {
    requireOpen();
    maxMidi_->ResetMidiOut(handle_);
}

void TMaxMidiOut::Flush() {
    requireOpen();
    maxMidi_->FlushMidiOut(handle_);
}

void TMaxMidiOut::Close() {
    Reset();
    maxMidi_->CloseMidiOut(handle_);
    handle_ = 0;
    open_ = false;
}

void TMaxMidiOut::WndProc(std::uint32_t message, std::uintptr_t wParam, std::intptr_t) {
    // There is no attached queue to refill: the event only tells the owner.
    if (message == MXMIDI_OUTBUFFER_READY && wParam == handle_ && open_ && outBufferReady_) {
        outBufferReady_(*this);
    }
}

void TMaxMidiOut::post(MxNotifyTarget* target, std::uint32_t message, std::uintptr_t wParam,
                       std::intptr_t lParam) {
    static_cast<Window*>(target)->output->WndProc(message, wParam, lParam);
}

void TMaxMidiOut::libraryReleasing() {
    if (open_) Close();
    forgetMaxMidi();
}

void TMaxMidiOut::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    // Normally the loader has let go of this output already (libraryReleasing).
    if (operation == TOperation::opRemove && component == maxMidi_) {
        open_ = false;
        handle_ = 0;
        maxMidi_ = nullptr;
    }
}
