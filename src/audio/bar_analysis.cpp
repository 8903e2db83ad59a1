#include "bar_analysis.h"

void TBarAnalysis::AddClient(const TAudioClientEvent& callback) {
    if (callback.empty()) return;
    if (clients_.add(callback)) FreeNotification(callback.target());
}

void TBarAnalysis::RemoveClient(const TAudioClientEvent& callback) {
    clients_.remove(callback);
}

void TBarAnalysis::Notification(TComponent* component, TOperation operation) {
    if (operation == TOperation::opRemove) clients_.removeTarget(component);
    TComponent::Notification(component, operation);
}
