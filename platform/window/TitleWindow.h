#pragma once

#include "platform/window/TitleSocket.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The owning side of a window title: while claimed, other processes of the
// user find this process by the title (RemoteWindow) and post to it. Not
// thread-safe; use it on one thread. Nothing here wakes up by itself: Fd()
// becomes readable only when a peer connects or writes.
class TitleWindow
{
public:
    enum class ClaimResult {
        Claimed, // this process owns the title now
        OwnedByOther, // a living process holds the title
        Failed, // no runtime directory, path too long, socket error (see the error text)
    };

    struct Request
    {
        TitleRequestKind kind = TitleRequestKind::PostMessage;
        uint32_t message = 0;
        uintptr_t wParam = 0;
        intptr_t lParam = 0;
    };

    TitleWindow() = default;
    ~TitleWindow();
    TitleWindow(const TitleWindow&) = delete;
    TitleWindow& operator=(const TitleWindow&) = delete;

    // Takes the title unless a living process holds it. A socket left behind by
    // a killed owner is taken over. Ownership lasts until Release or the end of
    // the process (the kernel drops the lock of a process that dies).
    ClaimResult Claim(std::string_view title, std::string* error = nullptr);
    bool IsClaimed() const { return m_listenFd >= 0; }

    // Readable while connections or records may be waiting; -1 when not claimed.
    int Fd() const { return m_epollFd; }

    // Accepts waiting connections and returns every complete record that has
    // arrived, without blocking. A peer that sends anything but records is dropped.
    std::vector<Request> TakeRequests();

    // Gives the title up: later Find calls no longer reach this process.
    void Release();

    // Peers served at once. When all places are taken, peers that have sent
    // nothing for kIdleLimit make room; beyond that new peers are turned away.
    static constexpr size_t kMaxConnections = 32;
    static constexpr std::chrono::milliseconds kIdleLimit {1000};

private:
    struct Connection
    {
        int fd = -1;
        std::string pending;
        std::chrono::steady_clock::time_point lastActive;
    };

    void AcceptAll();
    bool ReadConnection(Connection& connection, std::vector<Request>& out);
    void DropConnection(size_t index);
    void DropIdleConnections();

    int m_lockFd = -1;
    int m_listenFd = -1;
    int m_epollFd = -1;
    std::string m_path;
    unsigned long m_socketInode = 0;
    unsigned long m_socketDevice = 0;
    std::vector<Connection> m_connections;
};

} // namespace platform
