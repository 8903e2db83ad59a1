#pragma once
// TBarAnalysis: an analyser whose result is a row of bars (spectrum bins). It keeps a table of
// four client callbacks, told of each new result (kind 0) and of each preparation (kind 2).

#include <cstdint>

#include "audio_client_table.h"
#include "component.h"

class TBarAnalysis : public TComponent {
public:
    static constexpr int kClientCount = 4;

    using TComponent::TComponent;

    // Takes the highest-numbered empty entry; silently does nothing when all four are taken.
    virtual void AddClient(const TAudioClientEvent& callback);
    // Empties every entry equal to the callback (same target and same member function).
    virtual void RemoveClient(const TAudioClientEvent& callback);

    virtual int BarCount() const = 0;
    virtual long double BarLevel(int i) const = 0;
    virtual long double BarFrequency(int i) const = 0;

    const TAudioClientEvent& client(int i) const { return clients_[i]; }

protected:
    void Notification(TComponent* component, TOperation operation) override;
    void notifyClients(std::uint8_t kind) { clients_.notify(this, kind); }

private:
    TAudioClientTable<kClientCount> clients_;
};
