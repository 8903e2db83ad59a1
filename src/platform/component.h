#pragma once
// The component model of the non-visual building blocks (recorder, analyser, MIDI layer).
//
// A component may have an owner, which destroys it; a component without an owner is held by a
// std::unique_ptr. Two components can ask to be told of each other's destruction
// (FreeNotification); the survivor then receives Notification(dying, TOperation::opRemove) and
// drops every reference it keeps to the dying one. Widgets are not components: they are
// QWidgets owned by their Qt parent.

#include <vector>

enum class TOperation { opInsert, opRemove };

// Objects that can copy their state from another object of their own kind.
class TPersistent {
public:
    virtual ~TPersistent() = default;
    // Copies from `source` when it is of a compatible kind; otherwise does nothing.
    virtual void Assign(const TPersistent& source) = 0;
};

class TComponent {
public:
    explicit TComponent(TComponent* owner = nullptr);
    virtual ~TComponent();

    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return owner_; }
    int ComponentCount() const { return static_cast<int>(components_.size()); }

    // Both this component and `other` will be told (Notification, opRemove) when the other is
    // destroyed. Calling it again for the same pair changes nothing.
    void FreeNotification(TComponent* other);
    // Undoes FreeNotification in both directions.
    void RemoveFreeNotification(TComponent* other);

protected:
    // Called when a component this one is linked with (owned, or through FreeNotification) is
    // inserted or is being destroyed. Overrides must pass the call on to their base class.
    virtual void Notification(TComponent* component, TOperation operation);

private:
    void insertComponent(TComponent* child);
    void removeComponent(TComponent* child);

    TComponent* owner_;
    std::vector<TComponent*> components_;    // owned, destroyed with this component
    std::vector<TComponent*> freeNotifies_;  // told of this component's destruction
    bool destroying_ = false;
};
