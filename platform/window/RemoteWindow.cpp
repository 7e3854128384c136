#include "platform/window/RemoteWindow.h"

#include "platform/window/TitleSocket.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

namespace {

// A stopped owner must not hang the caller for ever.
constexpr int kSendTimeoutSeconds = 2;

} // namespace

RemoteWindow::~RemoteWindow()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

RemoteWindow::RemoteWindow(RemoteWindow&& other) noexcept
    : m_fd(other.m_fd)
    , m_unconfirmed(other.m_unconfirmed)
{
    other.m_fd = -1;
    other.m_unconfirmed = 0;
}

RemoteWindow& RemoteWindow::operator=(RemoteWindow&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.m_fd;
        m_unconfirmed = other.m_unconfirmed;
        other.m_fd = -1;
        other.m_unconfirmed = 0;
    }
    return *this;
}

RemoteWindow RemoteWindow::Find(std::string_view title)
{
    const std::string path = TitleSocketPath(title);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return {};
    std::memcpy(address.sun_path, path.data(), path.size());

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return {};
    timeval timeout {kSendTimeoutSeconds, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    int rc;
    do {
        rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        ::close(fd);
        return {};
    }
    // Only a window of our own user counts.
    ucred peer {};
    socklen_t length = sizeof peer;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != ::getuid()) {
        ::close(fd);
        return {};
    }
    return RemoteWindow(fd);
}

bool RemoteWindow::PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    return Send(static_cast<uint32_t>(TitleRequestKind::PostMessage), message, wParam, lParam);
}

bool RemoteWindow::BringToFront()
{
    return Send(static_cast<uint32_t>(TitleRequestKind::BringToFront), 0, 0, 0);
}

bool RemoteWindow::Send(uint32_t kind, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    if (m_fd < 0)
        return false;
    TitleRecord record;
    record.magic = kTitleRecordMagic;
    record.kind = kind;
    record.message = message;
    record.wParam = wParam;
    record.lParam = lParam;
    const char* data = reinterpret_cast<const char*>(&record);
    size_t left = sizeof record;
    while (left > 0) {
        const ssize_t sent = ::send(m_fd, data, left, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0) {
            // The owner has gone: later posts fail as they would to a destroyed window.
            ::close(m_fd);
            m_fd = -1;
            return false;
        }
        data += sent;
        left -= static_cast<size_t>(sent);
    }
    ++m_unconfirmed;
    return true;
}

bool RemoteWindow::Confirm(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (m_fd >= 0 && m_unconfirmed > 0) {
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd watch {m_fd, POLLIN, 0};
        const int ready = ::poll(&watch, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        char answers[64];
        const ssize_t got = ::recv(m_fd, answers, std::min<size_t>(sizeof answers, m_unconfirmed), MSG_DONTWAIT);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got <= 0) {
            // Closed without an answer: turned away, or the owner ended.
            ::close(m_fd);
            m_fd = -1;
            return false;
        }
        for (ssize_t i = 0; i < got; ++i) {
            if (answers[i] != kTitleRecordTaken)
                return false;
        }
        m_unconfirmed -= static_cast<unsigned>(got);
    }
    return m_unconfirmed == 0;
}

} // namespace platform
