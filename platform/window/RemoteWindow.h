#pragma once

#include <chrono>
#include <cstdint>
#include <string_view>

namespace platform {

// A top-level window of a running process, found by its exact title: the
// stand-in for FindWindow and PostMessage between processes of one user.
class RemoteWindow
{
public:
    RemoteWindow() = default;
    ~RemoteWindow();
    RemoteWindow(RemoteWindow&& other) noexcept;
    RemoteWindow& operator=(RemoteWindow&& other) noexcept;
    RemoteWindow(const RemoteWindow&) = delete;
    RemoteWindow& operator=(const RemoteWindow&) = delete;

    // The window whose title is exactly `title`, or an empty object when no
    // running process owns that title (a socket left by a killed owner counts as none).
    static RemoteWindow Find(std::string_view title);

    explicit operator bool() const { return m_fd >= 0; }

    // Queues a message for the owner's window; false when the owner is gone.
    // Only numbers travel: an lParam pointer means nothing in the other process.
    bool PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
    // Asks the owner to show its window and bring it to the foreground.
    bool BringToFront();
    // Waits until the owner has taken every message and request sent so far;
    // false when it turned them away, went or did not take them in time.
    bool Confirm(std::chrono::milliseconds timeout = std::chrono::seconds(5));

private:
    explicit RemoteWindow(int fd)
        : m_fd(fd)
    {
    }
    bool Send(uint32_t kind, uint32_t message, uintptr_t wParam, intptr_t lParam);

    int m_fd = -1;
    unsigned m_unconfirmed = 0;
};

} // namespace platform
