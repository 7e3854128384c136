#pragma once

#include "platform/internet/InternetError.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

class HttpRequest;
class InternetSession;

// A connection handle of a session: server, port, user and password for HTTP
// requests or FTP file stores. Reports "handle created" when made and "handle
// closing" when closed; must not outlive its session.
class InternetConnection
{
public:
    InternetConnection(InternetSession& session, uint32_t service, std::string server, uint16_t port, std::string user,
                       std::string password, uint32_t flags);
    ~InternetConnection();
    InternetConnection(const InternetConnection&) = delete;
    InternetConnection& operator=(const InternetConnection&) = delete;

    uint32_t Service() const { return m_service; }
    const std::string& Server() const { return m_server; }
    uint16_t Port() const { return m_port; }
    InternetSession& Session() { return m_session; }
    const std::string& User() const { return m_user; }
    const std::string& Password() const { return m_password; }
    uint32_t Flags() const { return m_flags; }

    // HTTP: a request with verb, object (path and query), referrer (may be
    // empty) and request flags (INTERNET_FLAG_*); null with error set when
    // the arguments are unusable (control characters, wrong service).
    std::unique_ptr<HttpRequest> OpenRequest(const std::string& verb, const std::string& object,
                                             const std::string& referrer, uintptr_t context, uint32_t flags,
                                             InternetError& error);

    // FTP: stores data under remotePath (sent to the server as written:
    // "/dir/file" from the root, "dir/file" from the login folder) in one
    // STOR. The bytes go out as given, in ASCII or binary type (TYPE A or I).
    // Blocks until the server confirmed the file or the store failed.
    bool PutFile(const std::string& remotePath, std::string_view data, uint32_t transferType, uintptr_t context,
                 InternetError& error);

    void Close();

private:
    InternetSession& m_session;
    uint32_t m_service;
    std::string m_server;
    uint16_t m_port;
    std::string m_user;
    std::string m_password;
    uint32_t m_flags;
    bool m_open = true;
};

} // namespace platform
