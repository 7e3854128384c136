#pragma once

#include "platform/internet/InternetError.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace platform {

class InternetConnection;
class CurlMulti;
class CurlTransfer;

// Receives the progress reports of a session's requests, on the thread that
// performs the blocking call: context value, status code (INTERNET_STATUS_*),
// information text (never null; see InternetConstants.h).
using InternetStatusCallback = std::function<void(uintptr_t context, uint32_t code, const char* info)>;

// Answers a host name with a numeric address, or nothing for "not resolved".
using InternetResolver = std::function<std::optional<std::string>(const std::string& host)>;

// Replaces name resolution for every session in the process (a seam for
// tests: no name server is asked); an empty function restores the system's.
// The resolver runs on a thread of its own, so closing a session also ends a
// wait for a slow answer.
void SetInternetResolveOverride(InternetResolver resolver);

// One internet session: agent name, context value, flags and a status
// callback; HTTP and FTP connections are opened through it. Used by one
// thread at a time, except Close(), which any thread may call: it makes the
// blocked call and every later call on the session fail with
// ERROR_INTERNET_OPERATION_CANCELLED within 100 ms. Proxies come from the
// environment (http_proxy, https_proxy, ftp_proxy, all_proxy, no_proxy);
// loopback addresses and localhost are always reached directly.
class InternetSession
{
public:
    InternetSession(std::string agent, uintptr_t context, uint32_t flags = 0);
    virtual ~InternetSession();
    InternetSession(const InternetSession&) = delete;
    InternetSession& operator=(const InternetSession&) = delete;

    // False when the session could not be set up (no further call works).
    bool IsValid() const;
    const std::string& Agent() const { return m_agent; }
    uintptr_t Context() const { return m_context; }

    // Sets the function that the default OnStatusCallback calls and switches
    // reports on; an empty function switches them off.
    void SetStatusCallback(InternetStatusCallback callback);
    // Switches the reports to OnStatusCallback on or off.
    void EnableStatusCallback(bool enable = true) { m_statusEnabled = enable; }
    // One progress report; derived sessions override it. length is the
    // length of info in bytes.
    virtual void OnStatusCallback(uintptr_t context, uint32_t code, const char* info, std::size_t length);

    // Time limits: for one connection attempt and for a transfer that
    // receives or sends nothing. Defaults: 60 s each.
    void SetTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds idle);
    // Bounds for a server that sends, but too slowly: every transfer ends
    // after total (0: no bound), and a transfer that moves fewer than
    // lowSpeedBytesPerSecond on average over the idle time ends too. Defaults:
    // no total bound, 1 byte per second.
    void SetTransferLimits(std::chrono::milliseconds total, long lowSpeedBytesPerSecond);
    std::chrono::milliseconds ConnectTimeout() const { return m_connectTimeout; }
    // A PEM file of certificate authorities trusted besides the system's
    // (whose folder stays in use); empty for the system's alone. Servers'
    // certificates are always verified.
    void SetCaFile(std::string caFile) { m_caFile = std::move(caFile); }
    // 4 or 6: names are resolved to addresses of that family only; 0 (the
    // default): either. IPv6 connections always prefer the public source
    // address to temporary ones.
    void SetAddressFamily(int family) { m_addressFamily = family; }

    // Connection objects must be destroyed before the session. Port 0 means
    // the service's default port. Nothing goes over the network until a
    // request is sent or a file stored.
    std::unique_ptr<InternetConnection> GetHttpConnection(const std::string& server, uint16_t port,
                                                          const std::string& user, const std::string& password,
                                                          InternetError& error);
    // flags: INTERNET_FLAG_PASSIVE for passive mode, else active (PORT/EPRT);
    // INTERNET_FLAG_SECURE for explicit TLS (always passive: EPSV, then PASV).
    std::unique_ptr<InternetConnection> GetFtpConnection(const std::string& server, uint16_t port,
                                                         const std::string& user, const std::string& password,
                                                         uint32_t flags, InternetError& error);

    // A real TCP connection attempt to the host and port that url names
    // (the scheme's default port when it names none); nothing is sent. No
    // proxy is involved.
    bool CheckConnection(const std::string& url, InternetError& error);

    // Any thread: aborts what the session is doing and refuses further work.
    void Close();
    bool IsClosed() const { return m_closed.load(); }

    // Internal: the transfer engine shared by the session's objects.
    CurlMulti& Engine() { return *m_engine; }
    // Internal: delivers a report if reports are switched on.
    void Report(uintptr_t context, uint32_t code, const std::string& info);
    // Internal: the session's agent, time limits and proxy use on a transfer.
    bool ApplyOptions(CurlTransfer& transfer) const;

private:
    std::string m_agent;
    uintptr_t m_context = 0;
    uint32_t m_flags = 0;
    bool m_statusEnabled = false;
    InternetStatusCallback m_callback;
    std::chrono::milliseconds m_connectTimeout {60000};
    std::chrono::milliseconds m_idleTimeout {60000};
    std::chrono::milliseconds m_totalTimeout {0};
    long m_lowSpeedLimit = 1;
    std::string m_caFile;
    int m_addressFamily = 0;
    std::atomic<bool> m_closed {false};
    std::unique_ptr<CurlMulti> m_engine;
};

} // namespace platform
