#pragma once
// A fixed table of client callbacks, shared by the analyser (4 entries) and the recorder (6).

#include <array>
#include <cstdint>

#include "audio_client_event.h"

template <int N>
class TAudioClientTable {
public:
    // Stores the callback in the highest-numbered empty entry. Returns false (and stores nothing)
    // when every entry is taken.
    bool add(const TAudioClientEvent& callback) {
        for (int i = N - 1; i >= 0; --i) {
            if (entries_[i].empty()) {
                entries_[i] = callback;
                return true;
            }
        }
        return false;
    }

    // Empties every entry equal to the callback.
    void remove(const TAudioClientEvent& callback) {
        for (auto& e : entries_)
            if (e == callback) e = TAudioClientEvent();
    }

    // Empties every entry whose target is the component.
    void removeTarget(const TComponent* target) {
        for (auto& e : entries_)
            if (e.target() == target) e = TAudioClientEvent();
    }

    // Calls every non-empty entry in table order.
    void notify(TComponent* sender, std::uint8_t kind) const {
        for (const auto& e : entries_)
            if (!e.empty()) e(sender, kind);
    }

    const TAudioClientEvent& operator[](int i) const { return entries_[i]; }
    static constexpr int size() { return N; }

private:
    std::array<TAudioClientEvent, N> entries_{};
};
