#pragma once
// Hidden message windows: a target that receives posted messages, in posting order, on the thread
// that created it. The recorder gets its device notifications and its own start-up message this
// way. A window is a QObject underneath (the thread's Qt event loop delivers the messages), but
// its users see only a handle, which stays safe to post to after the window is gone.

#include <cstdint>
#include <exception>
#include <functional>

struct HWND__;
using HWND = HWND__*;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;

// The first message number free for a program's own use.
constexpr unsigned WM_USER = 0x0400;

struct TMessage {
    unsigned Msg;
    WPARAM WParam;
    LPARAM LParam;
    std::intptr_t Result;
};

using TWndMethod = std::function<void(TMessage& message)>;

// Creates a hidden window on the calling thread whose messages go to `method`. Messages are
// delivered by the calling thread's Qt event loop.
HWND AllocateHWnd(TWndMethod method);

// Destroys the window; messages still pending for it are discarded. Safe to call from inside the
// window's own method (the window goes away once the method returns). A null handle is ignored.
void DeallocateHWnd(HWND window);

// Queues a message for the window. Callable from any thread; allocation-free in the steady state.
// Returns false, and queues nothing, when the window does not exist (any more).
bool PostMessage(HWND window, unsigned msg, WPARAM wParam, LPARAM lParam);

// True while the window exists.
bool IsWindow(HWND window);

// An exception escaping a window's method cannot travel through the event loop. It is handed to
// this reporter instead (by default: printed to stderr) and the loop goes on. Returns the
// previous reporter; an empty function restores the default.
using TWindowErrorReporter = std::function<void(const std::exception& error)>;
TWindowErrorReporter setWindowErrorReporter(TWindowErrorReporter reporter);
