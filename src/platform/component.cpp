#include "component.h"

#include <algorithm>

namespace {
void eraseValue(std::vector<TComponent*>& list, TComponent* value) {
    list.erase(std::remove(list.begin(), list.end(), value), list.end());
}
bool contains(const std::vector<TComponent*>& list, TComponent* value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}
}  // namespace

TComponent::TComponent(TComponent* owner) : owner_(owner) {
    if (owner_ != nullptr) owner_->insertComponent(this);
}

TComponent::~TComponent() {
    destroying_ = true;
    // Tell everyone linked with us first, while they can still reach us.
    while (!freeNotifies_.empty()) {
        TComponent* other = freeNotifies_.back();
        freeNotifies_.pop_back();
        eraseValue(other->freeNotifies_, this);
        other->Notification(this, TOperation::opRemove);
    }
    // Destroy owned components, newest first.
    while (!components_.empty()) {
        TComponent* child = components_.back();
        components_.pop_back();
        child->owner_ = nullptr;
        delete child;
    }
    if (owner_ != nullptr) owner_->removeComponent(this);
}

void TComponent::FreeNotification(TComponent* other) {
    if (other == nullptr || other == this) return;
    if (!contains(freeNotifies_, other)) freeNotifies_.push_back(other);
    if (!contains(other->freeNotifies_, this)) other->freeNotifies_.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* other) {
    if (other == nullptr) return;
    eraseValue(freeNotifies_, other);
    eraseValue(other->freeNotifies_, this);
}

void TComponent::Notification(TComponent*, TOperation) {}

void TComponent::insertComponent(TComponent* child) {
    components_.push_back(child);
    Notification(child, TOperation::opInsert);
}

void TComponent::removeComponent(TComponent* child) {
    if (destroying_) return;
    eraseValue(components_, child);
    Notification(child, TOperation::opRemove);
}
