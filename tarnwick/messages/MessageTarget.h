#pragma once

#include <cstdint>

namespace tarnwick {

// Receiver of main-window messages: the tray window, the headless mode and
// test recorders implement it. Texts passed in lParam as `const char*` are
// valid only during a sent message; the receiver copies them.
class MessageTarget
{
public:
    // Synchronous: returns when the receiver has handled the message, on the
    // receiver's own thread, with the receiver's result.
    virtual intptr_t SendMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
    // Asynchronous: queued for the receiver's thread; returns at once.
    virtual void PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;

protected:
    ~MessageTarget() = default;
};

} // namespace tarnwick
