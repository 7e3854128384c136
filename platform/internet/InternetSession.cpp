#include "platform/internet/InternetSession.h"

#include "platform/internet/CurlMulti.h"
#include "platform/internet/CurlTransfer.h"
#include "platform/internet/InternetConnection.h"
#include "platform/internet/InternetConstants.h"
#include "platform/internet/InternetText.h"
#include "platform/url/InternetUrl.h"

#include <algorithm>
#include <fcntl.h>
#include <linux/in6.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

InternetError InvalidParameter()
{
    return {ERROR_INVALID_PARAMETER, InternetErrorText(ERROR_INVALID_PARAMETER)};
}

InternetError Cancelled()
{
    return {ERROR_INTERNET_OPERATION_CANCELLED, InternetErrorText(ERROR_INTERNET_OPERATION_CANCELLED)};
}

// Both kinds of connection: refused on a closed session and for names that
// could smuggle commands or headers; nothing goes over the network yet.
std::unique_ptr<InternetConnection> NewConnection(InternetSession& session, uint32_t service, const std::string& server,
                                                  uint16_t port, const std::string& user, const std::string& password,
                                                  uint32_t flags, InternetError& error)
{
    error = {};
    if (session.IsClosed()) {
        error = Cancelled();
        return nullptr;
    }
    if (server.empty() || internet_text::HasControlCharacters(server) || internet_text::HasControlCharacters(user)
        || internet_text::HasControlCharacters(password)) {
        error = InvalidParameter();
        return nullptr;
    }
    try {
        return std::make_unique<InternetConnection>(session, service, server, port, user, password, flags);
    } catch (...) {
        error = {ERROR_NOT_ENOUGH_MEMORY, InternetErrorText(ERROR_NOT_ENOUGH_MEMORY)};
        return nullptr;
    }
}

} // namespace

InternetSession::InternetSession(std::string agent, uintptr_t context, uint32_t flags)
    : m_agent(std::move(agent))
    , m_context(context)
    , m_flags(flags)
{
    try {
        m_engine = std::make_unique<CurlMulti>(m_closed);
    } catch (...) {
        m_engine.reset();
    }
}

InternetSession::~InternetSession()
{
    // Reports of closing connections must not reach an overriding class that
    // is already gone.
    m_statusEnabled = false;
}

bool InternetSession::IsValid() const
{
    return m_engine && m_engine->Valid();
}

void InternetSession::SetStatusCallback(InternetStatusCallback callback)
{
    m_callback = std::move(callback);
    m_statusEnabled = static_cast<bool>(m_callback);
}

void InternetSession::OnStatusCallback(uintptr_t context, uint32_t code, const char* info, std::size_t)
{
    if (m_callback)
        m_callback(context, code, info);
}

void InternetSession::Report(uintptr_t context, uint32_t code, const std::string& info)
{
    if (!m_statusEnabled)
        return;
    try {
        OnStatusCallback(context, code, info.c_str(), info.size());
    } catch (...) {
        // A report must never break the transfer that it describes.
    }
}

void InternetSession::SetTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds idle)
{
    m_connectTimeout = connect;
    m_idleTimeout = idle;
}

namespace {

// Checked without blocking: opening a FIFO for reading waits for a writer.
bool IsRegularFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info
    {
    };
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ::close(fd);
    return regular;
}

// Every socket libcurl opens: an IPv6 one shows the public source address.
int PreferPublicSource(void*, curl_socket_t fd, curlsocktype)
{
    int domain = 0;
    socklen_t length = sizeof domain;
    if (getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &length) == 0 && domain == AF_INET6) {
        const int preference = IPV6_PREFER_SRC_PUBLIC;
        setsockopt(fd, IPPROTO_IPV6, IPV6_ADDR_PREFERENCES, &preference, sizeof preference);
    }
    return CURL_SOCKOPT_OK;
}

} // namespace

void InternetSession::SetTransferLimits(std::chrono::milliseconds total, long lowSpeedBytesPerSecond)
{
    m_totalTimeout = total;
    m_lowSpeedLimit = std::max(1L, lowSpeedBytesPerSecond);
}

bool InternetSession::ApplyOptions(CurlTransfer& transfer) const
{
    CURL* easy = transfer.Easy();
    const long idleSeconds = std::max<long>(1, static_cast<long>((m_idleTimeout.count() + 999) / 1000));
    bool ok = curl_easy_setopt(easy, CURLOPT_USERAGENT, m_agent.c_str()) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(m_connectTimeout.count())) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(m_totalTimeout.count())) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, m_lowSpeedLimit) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, idleSeconds) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, idleSeconds) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_ACCEPTTIMEOUT_MS, static_cast<long>(m_connectTimeout.count())) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_SOCKOPTFUNCTION, &PreferPublicSource) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_IPRESOLVE,
                            m_addressFamily == 4       ? CURL_IPRESOLVE_V4
                                : m_addressFamily == 6 ? CURL_IPRESOLVE_V6
                                                       : CURL_IPRESOLVE_WHATEVER)
            == CURLE_OK;
    if (!m_caFile.empty()) {
        // Anything but a regular file (a FIFO would block the TLS layer's
        // open for ever) is named by a path that fails at once with ENOTDIR,
        // so that it is reported as any unreadable CA file.
        const char* caFile = IsRegularFile(m_caFile) ? m_caFile.c_str() : "/dev/null/CaFile";
        ok = ok && curl_easy_setopt(easy, CURLOPT_CAINFO, caFile) == CURLE_OK;
    }
    return ok && transfer.Valid();
}

std::unique_ptr<InternetConnection> InternetSession::GetHttpConnection(const std::string& server, uint16_t port,
                                                                       const std::string& user,
                                                                       const std::string& password,
                                                                       InternetError& error)
{
    return NewConnection(*this, INTERNET_SERVICE_HTTP, server, port, user, password, 0, error);
}

std::unique_ptr<InternetConnection> InternetSession::GetFtpConnection(const std::string& server, uint16_t port,
                                                                      const std::string& user,
                                                                      const std::string& password, uint32_t flags,
                                                                      InternetError& error)
{
    return NewConnection(*this, INTERNET_SERVICE_FTP, server, port, user, password, flags, error);
}

bool InternetSession::CheckConnection(const std::string& url, InternetError& error)
{
    error = {};
    try {
        if (internet_text::HasControlCharacters(url)) {
            error = {ERROR_INTERNET_INVALID_URL, InternetErrorText(ERROR_INTERNET_INVALID_URL)};
            return false;
        }
        CURLU* parsed = curl_url();
        char* host = nullptr;
        char* port = nullptr;
        bool splitted = parsed
            && curl_url_set(parsed, CURLUPART_URL, url.c_str(), CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK
            && curl_url_get(parsed, CURLUPART_HOST, &host, 0) == CURLUE_OK
            && curl_url_get(parsed, CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK;
        std::string hostText = host ? host : "";
        long portNumber = port ? std::strtol(port, nullptr, 10) : 0;
        curl_free(host);
        curl_free(port);
        curl_url_cleanup(parsed);
        if (!splitted || hostText.empty() || portNumber <= 0 || portNumber > 65535) {
            error = {ERROR_INTERNET_INVALID_URL, InternetErrorText(ERROR_INTERNET_INVALID_URL)};
            return false;
        }
        if (hostText.size() > 2 && hostText.front() == '[')
            hostText = hostText.substr(1, hostText.size() - 2);

        CurlTransfer transfer(*this, m_context, CurlTransfer::Kind::Connect, hostText,
                              static_cast<uint16_t>(portNumber));
        if (!ApplyOptions(transfer)) {
            error = {ERROR_INTERNET_INTERNAL_ERROR, InternetErrorText(ERROR_INTERNET_INTERNAL_ERROR)};
            return false;
        }
        // A plain TCP connection: no proxy, no protocol exchange.
        const std::string target
            = "http://" + internet_text::HostForUrl(hostText) + ":" + std::to_string(portNumber) + "/";
        CURL* easy = transfer.Easy();
        if (curl_easy_setopt(easy, CURLOPT_URL, target.c_str()) != CURLE_OK
            || curl_easy_setopt(easy, CURLOPT_CONNECT_ONLY, 1L) != CURLE_OK
            || curl_easy_setopt(easy, CURLOPT_PROXY, "") != CURLE_OK) {
            error = {ERROR_INTERNET_INTERNAL_ERROR, InternetErrorText(ERROR_INTERNET_INTERNAL_ERROR)};
            return false;
        }
        if (!transfer.Begin(error))
            return false;
        return transfer.WaitForCompletion(error);
    } catch (...) {
        error = {ERROR_NOT_ENOUGH_MEMORY, InternetErrorText(ERROR_NOT_ENOUGH_MEMORY)};
        return false;
    }
}

void InternetSession::Close()
{
    m_closed.store(true);
    if (m_engine)
        m_engine->Wakeup();
}

} // namespace platform
