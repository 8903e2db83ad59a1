#pragma once
// TAudioClientEvent: a bound callback (target component plus member function) through which a
// recorder or an analyser tells its clients about buffers and device changes. Two callbacks are
// equal when both the target and the member function are equal.

#include <cstdint>

#include "component.h"

// Event kinds sent to audio clients.
enum : std::uint8_t {
    kAudioBufferReady = 0,   // a buffer (recorder) or a spectrum (analyser) is ready
    kAudioDeviceClosed = 1,  // the recorder's device was closed
    kAudioDevicePrepared =
        2  // the recorder's device was opened / the analyser's tables were prepared
};

class TAudioClientEvent {
public:
    using Method = void (TComponent::*)(TComponent* sender, std::uint8_t kind);

    TAudioClientEvent() = default;

    template <class T>
    static TAudioClientEvent bind(T* target, void (T::*method)(TComponent*, std::uint8_t)) {
        TAudioClientEvent e;
        e.target_ = target;
        e.method_ = static_cast<Method>(method);
        return e;
    }

    bool empty() const { return target_ == nullptr || method_ == nullptr; }
    TComponent* target() const { return target_; }
    void operator()(TComponent* sender, std::uint8_t kind) const {
        (target_->*method_)(sender, kind);
    }

    friend bool operator==(const TAudioClientEvent& a, const TAudioClientEvent& b) {
        return a.target_ == b.target_ && a.method_ == b.method_;
    }

private:
    TComponent* target_ = nullptr;
    Method method_ = nullptr;
};
