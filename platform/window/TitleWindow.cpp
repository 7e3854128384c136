#include "platform/window/TitleWindow.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

namespace {

std::string ErrnoText(int code)
{
    switch (code) {
    case EACCES:
    case EPERM:
        return "Zugriff verweigert";
    case ENOENT:
        return "Datei oder Verzeichnis nicht gefunden";
    case ENOSPC:
        return "Kein Speicherplatz mehr auf dem Gerät";
    case EROFS:
        return "Das Dateisystem ist nur lesbar";
    case EADDRINUSE:
        return "Die Adresse wird bereits verwendet";
    case EMFILE:
    case ENFILE:
        return "Zu viele offene Dateien";
    default:
        return "Systemfehler " + std::to_string(code) + " (" + std::strerror(code) + ")";
    }
}

void SetError(std::string* error, const std::string& text)
{
    if (error)
        *error = text;
}

// "<path> <what>: <system text>", in German where the system text has one.
std::string Errno(const char* what, const std::string& path)
{
    const int code = errno;
    return path + " " + what + ": " + ErrnoText(code);
}

} // namespace

TitleWindow::~TitleWindow()
{
    Release();
}

TitleWindow::ClaimResult TitleWindow::Claim(std::string_view title, std::string* error)
{
    Release();
    const std::string path = TitleSocketPath(title, true);
    if (path.empty()) {
        SetError(error, "kein Laufzeitverzeichnis (XDG_RUNTIME_DIR) vorhanden");
        return ClaimResult::Failed;
    }
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        SetError(error, "der Socket-Pfad ist zu lang: " + path);
        return ClaimResult::Failed;
    }
    std::memcpy(address.sun_path, path.data(), path.size());

    // The lock decides ownership; the socket only carries the messages. The
    // kernel releases the lock of a killed owner, so its stale socket can go.
    const std::string lockPath = path + ".lock";
    m_lockFd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_lockFd < 0) {
        SetError(error, Errno("kann nicht geöffnet werden", lockPath));
        return ClaimResult::Failed;
    }
    if (::flock(m_lockFd, LOCK_EX | LOCK_NB) != 0) {
        const bool busy = errno == EWOULDBLOCK;
        SetError(error,
                 busy ? std::string("der Fenstertitel gehört einem anderen Prozess")
                      : Errno("kann nicht gesperrt werden", lockPath));
        ::close(m_lockFd);
        m_lockFd = -1;
        return busy ? ClaimResult::OwnedByOther : ClaimResult::Failed;
    }

    ::unlink(path.c_str());
    m_listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const mode_t oldMask = ::umask(0077);
    const bool bound
        = m_listenFd >= 0 && ::bind(m_listenFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::umask(oldMask);
    struct stat info
    {
    };
    if (!bound || ::listen(m_listenFd, 16) != 0 || ::stat(path.c_str(), &info) != 0) {
        SetError(error, Errno("kann keine Verbindungen annehmen", path));
        Release();
        return ClaimResult::Failed;
    }
    m_path = path;
    m_socketInode = info.st_ino;
    m_socketDevice = info.st_dev;

    m_epollFd = ::epoll_create1(EPOLL_CLOEXEC);
    epoll_event event {};
    event.events = EPOLLIN;
    event.data.fd = m_listenFd;
    if (m_epollFd < 0 || ::epoll_ctl(m_epollFd, EPOLL_CTL_ADD, m_listenFd, &event) != 0) {
        SetError(error, Errno("kann nicht überwacht werden", path));
        Release();
        return ClaimResult::Failed;
    }
    return ClaimResult::Claimed;
}

std::vector<TitleWindow::Request> TitleWindow::TakeRequests()
{
    std::vector<Request> requests;
    if (m_epollFd < 0)
        return requests;
    // Drain the readiness so that a level-triggered watcher does not spin; the
    // round limit keeps an unaccepted connection (out of descriptors) from
    // holding the caller here.
    epoll_event events[16];
    for (int round = 0; round < 64 && ::epoll_wait(m_epollFd, events, 16, 0) > 0; ++round) {
        AcceptAll();
        for (size_t i = 0; i < m_connections.size();) {
            if (ReadConnection(m_connections[i], requests))
                ++i;
            else
                DropConnection(i);
        }
    }
    return requests;
}

void TitleWindow::AcceptAll()
{
    for (;;) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return;
        }
        ucred peer {};
        socklen_t length = sizeof peer;
        const bool sameUser = ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 && peer.uid == ::getuid();
        epoll_event event {};
        event.events = EPOLLIN | EPOLLRDHUP;
        event.data.fd = fd;
        if (sameUser && m_connections.size() >= kMaxConnections)
            DropIdleConnections();
        if (!sameUser || m_connections.size() >= kMaxConnections
            || ::epoll_ctl(m_epollFd, EPOLL_CTL_ADD, fd, &event) != 0) {
            ::close(fd);
            continue;
        }
        m_connections.push_back(Connection {fd, {}, std::chrono::steady_clock::now()});
    }
}

bool TitleWindow::ReadConnection(Connection& connection, std::vector<Request>& out)
{
    char buffer[sizeof(TitleRecord) * 8];
    for (;;) {
        const ssize_t got = ::recv(connection.fd, buffer, sizeof buffer, 0);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno == EAGAIN || errno == EWOULDBLOCK;
        }
        if (got == 0)
            return false; // the peer has finished
        connection.pending.append(buffer, static_cast<size_t>(got));
        while (connection.pending.size() >= sizeof(TitleRecord)) {
            TitleRecord record;
            std::memcpy(&record, connection.pending.data(), sizeof record);
            connection.pending.erase(0, sizeof record);
            const bool known = record.kind == static_cast<uint32_t>(TitleRequestKind::PostMessage)
                || record.kind == static_cast<uint32_t>(TitleRequestKind::BringToFront);
            if (record.magic != kTitleRecordMagic || !known)
                return false;
            // Taken: the sender may now tell that it was delivered.
            ::send(connection.fd, &kTitleRecordTaken, 1, MSG_NOSIGNAL | MSG_DONTWAIT);
            connection.lastActive = std::chrono::steady_clock::now();
            out.push_back(Request {static_cast<TitleRequestKind>(record.kind), record.message,
                                   static_cast<uintptr_t>(record.wParam), static_cast<intptr_t>(record.lParam)});
        }
    }
}

void TitleWindow::DropConnection(size_t index)
{
    ::epoll_ctl(m_epollFd, EPOLL_CTL_DEL, m_connections[index].fd, nullptr);
    ::close(m_connections[index].fd);
    m_connections.erase(m_connections.begin() + static_cast<std::ptrdiff_t>(index));
}

void TitleWindow::DropIdleConnections()
{
    const auto now = std::chrono::steady_clock::now();
    for (size_t i = m_connections.size(); i-- > 0;) {
        if (now - m_connections[i].lastActive >= kIdleLimit)
            DropConnection(i);
    }
}

void TitleWindow::Release()
{
    while (!m_connections.empty())
        DropConnection(m_connections.size() - 1);
    if (m_epollFd >= 0)
        ::close(m_epollFd);
    m_epollFd = -1;
    if (m_listenFd >= 0) {
        ::close(m_listenFd);
        // Remove the socket file only while it is still ours (a later owner
        // may already have replaced it).
        struct stat info
        {
        };
        if (!m_path.empty() && ::stat(m_path.c_str(), &info) == 0 && info.st_ino == m_socketInode
            && info.st_dev == m_socketDevice)
            ::unlink(m_path.c_str());
    }
    m_listenFd = -1;
    m_path.clear();
    if (m_lockFd >= 0)
        ::close(m_lockFd);
    m_lockFd = -1;
}

} // namespace platform
