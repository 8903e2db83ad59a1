#include "message_window.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdio>
#include <mutex>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

QEvent::Type messageEventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

// One posted message. Events come from a fixed pool so that posting from the capture thread
// does not allocate; when the pool is exhausted they fall back to the heap.
class MessageEvent : public QEvent {
public:
    MessageEvent(unsigned msg, WPARAM w, LPARAM l)
        : QEvent(messageEventType()), msg_(msg), wParam_(w), lParam_(l) {
        // Qt hands the event to the receiving thread through its own locks, which thread
        // checkers cannot see; publishing the fields through an atomic makes the hand-over
        // explicit.
        published_.store(true, std::memory_order_release);
    }

    TMessage read() const {
        (void)published_.load(std::memory_order_acquire);
        return TMessage{msg_, wParam_, lParam_, 0};
    }

    static void* operator new(std::size_t size);
    static void operator delete(void* p, std::size_t size);

private:
    unsigned msg_;
    WPARAM wParam_;
    LPARAM lParam_;
    std::atomic<bool> published_{false};
};

class EventPool {
public:
    static constexpr int kSlots = 256;

    EventPool() {
        for (int i = 0; i < kSlots; ++i) free_[i] = kSlots - 1 - i;
        freeCount_ = kSlots;
    }

    void* take() {
        std::lock_guard lock(mutex_);
        if (freeCount_ == 0) return nullptr;
        return slots_[free_[--freeCount_]].bytes;
    }

    bool give(void* p) {
        auto* slot = static_cast<Slot*>(p);
        if (slot < slots_ || slot >= slots_ + kSlots) return false;
        std::lock_guard lock(mutex_);
        free_[freeCount_++] = static_cast<int>(slot - slots_);
        return true;
    }

private:
    struct Slot {
        alignas(std::max_align_t) unsigned char bytes[sizeof(QEvent) + 64];
    };
    std::mutex mutex_;
    Slot slots_[kSlots];
    int free_[kSlots];
    int freeCount_ = 0;
};

EventPool& eventPool() {
    static EventPool pool;
    return pool;
}

void* MessageEvent::operator new(std::size_t size) {
    static_assert(sizeof(MessageEvent) <= sizeof(QEvent) + 64, "pool slots too small");
    if (void* p = eventPool().take()) return p;
    return ::operator new(size);
}

void MessageEvent::operator delete(void* p, std::size_t) {
    if (!eventPool().give(p)) ::operator delete(p);
}

TWindowErrorReporter& errorReporter() {
    static TWindowErrorReporter reporter;
    return reporter;
}

void reportError(const std::exception& error) {
    if (errorReporter()) {
        errorReporter()(error);
        return;
    }
    std::fprintf(stderr, "unhandled error in a message handler: %s\n", error.what());
}

class MessageWindow : public QObject {
public:
    explicit MessageWindow(TWndMethod method) : method_(std::move(method)) {}

    // Deletes the window now, or after the message being handled when called from inside it.
    void release() {
        if (dispatching_ > 0)
            pendingDelete_ = true;
        else
            delete this;
    }

protected:
    bool event(QEvent* e) override {
        if (e->type() != messageEventType()) return QObject::event(e);
        TMessage message = static_cast<MessageEvent*>(e)->read();
        ++dispatching_;
        try {
            if (method_) method_(message);
        } catch (const std::exception& error) {
            reportError(error);
        } catch (...) {
            reportError(std::runtime_error("unknown exception"));
        }
        --dispatching_;
        if (dispatching_ == 0 && pendingDelete_) delete this;
        return true;
    }

private:
    TWndMethod method_;
    int dispatching_ = 0;
    bool pendingDelete_ = false;
};

// Live windows by handle. Handles are never reused, so a stale handle finds nothing.
struct Registry {
    std::mutex mutex;
    std::vector<std::pair<std::uintptr_t, MessageWindow*>> windows;
    std::uintptr_t nextId = 1;

    MessageWindow* find(HWND h) {
        const auto id = reinterpret_cast<std::uintptr_t>(h);
        for (const auto& [key, window] : windows)
            if (key == id) return window;
        return nullptr;
    }
};

Registry& registry() {
    static Registry r;
    return r;
}

// Qt queues posted events in a per-thread list that grows on demand. Growing it once, here, to
// far more entries than a thread ever has outstanding keeps later posts (from a capture thread)
// free of allocation: the list keeps its capacity when it is emptied.
void reservePostedEventRoom(QObject* receiver) {
    thread_local bool reserved = false;
    if (reserved) return;
    reserved = true;
    static const auto filler = static_cast<QEvent::Type>(QEvent::registerEventType());
    for (int i = 0; i < 2 * EventPool::kSlots; ++i)
        QCoreApplication::postEvent(receiver, new QEvent(filler));
    QCoreApplication::removePostedEvents(receiver, filler);
}

}  // namespace

HWND AllocateHWnd(TWndMethod method) {
    auto* window = new MessageWindow(std::move(method));
    reservePostedEventRoom(window);
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    const std::uintptr_t id = r.nextId++;
    r.windows.emplace_back(id, window);
    return reinterpret_cast<HWND>(id);
}

void DeallocateHWnd(HWND h) {
    if (h == nullptr) return;
    MessageWindow* window = nullptr;
    {
        Registry& r = registry();
        std::lock_guard lock(r.mutex);
        const auto id = reinterpret_cast<std::uintptr_t>(h);
        auto it = std::find_if(r.windows.begin(), r.windows.end(),
                               [id](const auto& entry) { return entry.first == id; });
        if (it == r.windows.end()) return;
        window = it->second;
        r.windows.erase(it);
    }
    // No new message can reach it now; destroying it discards those already queued.
    window->release();
}

bool PostMessage(HWND h, unsigned msg, WPARAM wParam, LPARAM lParam) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    MessageWindow* window = r.find(h);
    if (window == nullptr) return false;
    QCoreApplication::postEvent(window, new MessageEvent(msg, wParam, lParam));
    return true;
}

bool IsWindow(HWND h) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return r.find(h) != nullptr;
}

TWindowErrorReporter setWindowErrorReporter(TWindowErrorReporter reporter) {
    return std::exchange(errorReporter(), std::move(reporter));
}
