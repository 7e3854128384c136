#include "platform/internet/CurlTransfer.h"

#include "platform/internet/CurlMulti.h"
#include "platform/internet/InternetConstants.h"
#include "platform/internet/InternetSession.h"
#include "platform/internet/InternetText.h"
#include "platform/internet/SystemProxy.h"

#include <arpa/inet.h>
#include <cctype>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

// Body bytes held for the reader before libcurl is asked to pause.
constexpr std::size_t kBufferLimit = 1024 * 1024;

std::string AddressText(const curl_sockaddr* address)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (address->family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(&address->addr);
        inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
    } else if (address->family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&address->addr);
        inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text);
    }
    return text;
}

uint32_t StatusOfLine(const std::string& statusLine)
{
    // "HTTP/1.1 404 Not Found"
    auto space = statusLine.find(' ');
    if (space == std::string::npos)
        return 0;
    return static_cast<uint32_t>(std::strtoul(statusLine.c_str() + space + 1, nullptr, 10));
}

std::string Trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

bool IsRedirect(uint32_t status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string HeaderValue(const std::vector<std::string>& lines, const char* name)
{
    const std::size_t length = std::strlen(name);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.size() > length && line[length] == ':' && strncasecmp(line.c_str(), name, length) == 0) {
            std::string value = Trimmed(line.substr(length + 1));
            auto start = value.find_first_not_of(" \t");
            return start == std::string::npos ? std::string() : value.substr(start);
        }
    }
    return {};
}

} // namespace

CurlTransfer::CurlTransfer(InternetSession& session, uintptr_t context, Kind kind, std::string host, uint16_t port)
    : m_session(session)
    , m_context(context)
    , m_kind(kind)
    , m_host(std::move(host))
    , m_port(port)
{
    if (!CurlGlobalReady())
        return;
    m_easy = curl_easy_init();
    if (!m_easy)
        return;
    auto set = [this](CURLcode code) {
        if (code != CURLE_OK)
            m_valid = false;
    };
    set(curl_easy_setopt(m_easy, CURLOPT_PRIVATE, this));
    set(curl_easy_setopt(m_easy, CURLOPT_NOSIGNAL, 1L));
    set(curl_easy_setopt(m_easy, CURLOPT_ERRORBUFFER, m_errorBuffer));
    set(curl_easy_setopt(m_easy, CURLOPT_HEADERFUNCTION, &CurlTransfer::OnHeader));
    set(curl_easy_setopt(m_easy, CURLOPT_HEADERDATA, this));
    set(curl_easy_setopt(m_easy, CURLOPT_WRITEFUNCTION, &CurlTransfer::OnWrite));
    set(curl_easy_setopt(m_easy, CURLOPT_WRITEDATA, this));
    set(curl_easy_setopt(m_easy, CURLOPT_RESOLVER_START_FUNCTION, &CurlTransfer::OnResolverStart));
    set(curl_easy_setopt(m_easy, CURLOPT_RESOLVER_START_DATA, this));
    set(curl_easy_setopt(m_easy, CURLOPT_OPENSOCKETFUNCTION, &CurlTransfer::OnOpenSocket));
    set(curl_easy_setopt(m_easy, CURLOPT_OPENSOCKETDATA, this));
    set(curl_easy_setopt(m_easy, CURLOPT_CLOSESOCKETFUNCTION, &CurlTransfer::OnCloseSocket));
    set(curl_easy_setopt(m_easy, CURLOPT_CLOSESOCKETDATA, this));
    set(curl_easy_setopt(m_easy, CURLOPT_PREREQFUNCTION, &CurlTransfer::OnPrerequest));
    set(curl_easy_setopt(m_easy, CURLOPT_PREREQDATA, this));
    // Each request gets its own connection, closed when it ends, so that a
    // session holds nothing open between requests.
    set(curl_easy_setopt(m_easy, CURLOPT_FORBID_REUSE, 1L));
#if LIBCURL_VERSION_NUM >= 0x075700
    // A name lookup still running when the session closes is left behind
    // instead of being waited for.
    set(curl_easy_setopt(m_easy, CURLOPT_QUICK_EXIT, 1L));
#endif
}

CurlTransfer::~CurlTransfer()
{
    if (m_easy) {
        m_session.Engine().Remove(*this);
        curl_easy_cleanup(m_easy);
    }
    curl_slist_free_all(m_headerList);
    curl_slist_free_all(m_resolveList);
}

void CurlTransfer::SetScheme(const std::string& scheme)
{
    // The proxy is chosen here, not by libcurl, so that a host reached
    // through a proxy is never looked up on this computer.
    const std::string proxy = SystemProxyFor(scheme, m_host);
    m_proxied = !proxy.empty();
    if (curl_easy_setopt(m_easy, CURLOPT_PROXY, proxy.c_str()) != CURLE_OK)
        m_valid = false;
}

void CurlTransfer::SetHeaders(const std::vector<std::string>& lines)
{
    curl_slist_free_all(m_headerList);
    m_headerList = nullptr;
    for (const auto& line : lines) {
        curl_slist* next = curl_slist_append(m_headerList, line.c_str());
        if (!next) {
            m_valid = false;
            return;
        }
        m_headerList = next;
    }
    if (curl_easy_setopt(m_easy, CURLOPT_HTTPHEADER, m_headerList) != CURLE_OK)
        m_valid = false;
}

void CurlTransfer::SetUpload(std::string data)
{
    m_upload = std::move(data);
    m_uploadPos = 0;
    bool ok = curl_easy_setopt(m_easy, CURLOPT_UPLOAD, 1L) == CURLE_OK
        && curl_easy_setopt(m_easy, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(m_upload.size())) == CURLE_OK
        && curl_easy_setopt(m_easy, CURLOPT_READFUNCTION, &CurlTransfer::OnRead) == CURLE_OK
        && curl_easy_setopt(m_easy, CURLOPT_READDATA, this) == CURLE_OK
        && curl_easy_setopt(m_easy, CURLOPT_SEEKFUNCTION, &CurlTransfer::OnSeek) == CURLE_OK
        && curl_easy_setopt(m_easy, CURLOPT_SEEKDATA, this) == CURLE_OK;
    if (!ok)
        m_valid = false;
}

void CurlTransfer::SetResolvedAddress(const std::string& address)
{
    std::string entry = m_host + ":" + std::to_string(m_port) + ":" + internet_text::HostForUrl(address);
    curl_slist* next = curl_slist_append(m_resolveList, entry.c_str());
    if (!next || curl_easy_setopt(m_easy, CURLOPT_RESOLVE, next) != CURLE_OK) {
        m_valid = false;
        return;
    }
    m_resolveList = next;
}

bool CurlTransfer::Begin(InternetError& error)
{
    return m_session.Engine().Start(*this, error);
}

bool CurlTransfer::WaitForHeaders(InternetError& error)
{
    if (!m_session.Engine().RunUntil(*this, [this] { return m_headersDone; })) {
        error = Failure();
        return false;
    }
    if (!m_headersDone) {
        error = Failure();
        if (!error)
            error = {ERROR_HTTP_INVALID_SERVER_RESPONSE, InternetErrorText(ERROR_HTTP_INVALID_SERVER_RESPONSE)};
        return false;
    }
    return true;
}

bool CurlTransfer::WaitForCompletion(InternetError& error)
{
    m_session.Engine().RunUntil(*this, [] { return false; });
    error = Failure();
    return !error;
}

bool CurlTransfer::WaitForBody(std::size_t have, InternetError& error)
{
    if (!m_session.Engine().RunUntil(*this, [this, have] { return Available() > have; })) {
        error = Failure();
        return false;
    }
    return true;
}

InternetError CurlTransfer::Failure() const
{
    if (!m_done || m_result == CURLE_OK)
        return {};
    CURLcode result = m_result;
    // A peer that answers something other than HTTP is a server fault, not
    // an unknown scheme.
    if (result == CURLE_UNSUPPORTED_PROTOCOL && m_everConnected)
        result = CURLE_WEIRD_SERVER_REPLY;
    InternetError error = InternetErrorFromCurl(result, m_errorBuffer, m_serverAnswer);
    // Users act differently on an expired, a self-signed and a wrong-name
    // certificate; each has its own words.
    if (result == CURLE_PEER_FAILED_VERIFICATION)
        error.text = CertificateErrorText(m_verifyResult);
    return error;
}

void CurlTransfer::Consume(std::size_t count)
{
    m_bodyPos += count;
    if (m_bodyPos == m_body.size()) {
        m_body.clear();
        m_bodyPos = 0;
    } else if (m_bodyPos > kBufferLimit / 2) {
        m_body.erase(0, m_bodyPos);
        m_bodyPos = 0;
    }
    if (m_paused && Available() < kBufferLimit / 2) {
        m_paused = false;
        curl_easy_pause(m_easy, CURLPAUSE_CONT);
    }
}

void CurlTransfer::Finish(CURLcode result)
{
    if (m_done)
        return;
    m_done = true;
    m_result = result;
    if (result == CURLE_PEER_FAILED_VERIFICATION)
        curl_easy_getinfo(m_easy, CURLINFO_SSL_VERIFYRESULT, &m_verifyResult);
    if (result == CURLE_OK && m_kind == Kind::Http && !m_headersDone && !m_current.empty()) {
        m_final = m_current;
        m_headersDone = true;
    }
    if (result == CURLE_OK)
        Report(INTERNET_STATUS_REQUEST_COMPLETE, {});
}

void CurlTransfer::ReportResolving()
{
    if (!m_reportedResolving) {
        m_reportedResolving = true;
        Report(INTERNET_STATUS_RESOLVING_NAME, m_host);
    }
}

void CurlTransfer::MarkConnected(const char* primaryIp)
{
    // The sockets still open when the connection stands are the connection.
    bool fresh = false;
    for (curl_socket_t fd : m_openSockets)
        fresh = m_connectedSockets.insert(fd).second || fresh;
    m_openSockets.clear();
    if (!fresh)
        return;
    m_everConnected = true;
    char* address = nullptr;
    if (!primaryIp)
        curl_easy_getinfo(m_easy, CURLINFO_PRIMARY_IP, &address);
    Report(INTERNET_STATUS_CONNECTED_TO_SERVER, primaryIp ? primaryIp : (address ? address : ""));
}

void CurlTransfer::Report(uint32_t code, const std::string& info)
{
    m_session.Report(m_context, code, info);
}

size_t CurlTransfer::OnHeader(char* data, size_t size, size_t count, void* self)
{
    auto* transfer = static_cast<CurlTransfer*>(self);
    try {
        transfer->HeaderLine(std::string(data, size * count));
    } catch (...) {
        return 0;
    }
    return size * count;
}

void CurlTransfer::HeaderLine(std::string line)
{
    if (m_kind != Kind::Http) {
        // FTP: the greeting shows the connection stands, before any login.
        MarkConnected();
        // The last refusal (4xx, 5xx) explains a failure; the farewell after
        // it must not hide it.
        line = Trimmed(std::move(line));
        if (line.size() >= 3 && (line[0] == '4' || line[0] == '5') && std::isdigit(static_cast<unsigned char>(line[1]))
            && std::isdigit(static_cast<unsigned char>(line[2])))
            m_serverAnswer = line;
        return;
    }
    if (line.rfind("HTTP/", 0) == 0) {
        if (!m_reportedSent) {
            m_reportedSent = true;
            long requestSize = 0;
            curl_easy_getinfo(m_easy, CURLINFO_REQUEST_SIZE, &requestSize);
            Report(INTERNET_STATUS_REQUEST_SENT, std::to_string(requestSize));
        }
        m_current.clear();
        m_currentBytes = 0;
        Report(INTERNET_STATUS_RECEIVING_RESPONSE, {});
    }
    m_currentBytes += line.size();
    m_current.push_back(std::move(line));
    if (m_current.back() == "\r\n" || m_current.back() == "\n")
        EndOfHeaderBlock();
}

void CurlTransfer::EndOfHeaderBlock()
{
    Report(INTERNET_STATUS_RESPONSE_RECEIVED, std::to_string(m_currentBytes));
    const uint32_t status = StatusOfLine(m_current.front());
    if (status >= 100 && status < 200)
        return;
    if (m_follows && IsRedirect(status)) {
        std::string location = HeaderValue(m_current, "Location");
        if (!location.empty()) {
            Report(INTERNET_STATUS_REDIRECT, location);
            return;
        }
    }
    // libcurl answers the first authentication request itself when it has
    // credentials; the response to that answer is the final one.
    if (status == 401 && m_hasCredentials && !m_authAnswered) {
        m_authAnswered = true;
        return;
    }
    m_final = m_current;
    m_headersDone = true;
}

size_t CurlTransfer::OnWrite(char* data, size_t size, size_t count, void* self)
{
    auto* transfer = static_cast<CurlTransfer*>(self);
    const size_t length = size * count;
    if (transfer->Available() >= kBufferLimit) {
        transfer->m_paused = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    try {
        if (transfer->m_kind == Kind::Http && !transfer->m_headersDone && !transfer->m_current.empty()) {
            transfer->m_final = transfer->m_current;
            transfer->m_headersDone = true;
        }
        transfer->m_body.append(data, length);
    } catch (...) {
        return 0;
    }
    return length;
}

size_t CurlTransfer::OnRead(char* buffer, size_t size, size_t count, void* self)
{
    auto* transfer = static_cast<CurlTransfer*>(self);
    const size_t length = std::min(size * count, transfer->m_upload.size() - transfer->m_uploadPos);
    std::memcpy(buffer, transfer->m_upload.data() + transfer->m_uploadPos, length);
    transfer->m_uploadPos += length;
    if (transfer->m_uploadPos == transfer->m_upload.size() && !transfer->m_reportedSent) {
        transfer->m_reportedSent = true;
        transfer->Report(INTERNET_STATUS_REQUEST_SENT, std::to_string(transfer->m_upload.size()));
    }
    return length;
}

int CurlTransfer::OnSeek(void* self, curl_off_t offset, int origin)
{
    auto* transfer = static_cast<CurlTransfer*>(self);
    if (origin != SEEK_SET || offset < 0 || static_cast<size_t>(offset) > transfer->m_upload.size())
        return CURL_SEEKFUNC_CANTSEEK;
    transfer->m_uploadPos = static_cast<size_t>(offset);
    return CURL_SEEKFUNC_OK;
}

int CurlTransfer::OnResolverStart(void*, void*, void* self)
{
    auto* transfer = static_cast<CurlTransfer*>(self);
    // The address for an FTP data connection is looked up after login.
    if (transfer->m_kind != Kind::Ftp || transfer->m_connectedSockets.empty())
        transfer->ReportResolving();
    return 0;
}

curl_socket_t CurlTransfer::OnOpenSocket(void* self, curlsocktype purpose, struct curl_sockaddr* address)
{
    auto* transfer = static_cast<CurlTransfer*>(self);
    curl_socket_t fd = socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    if (fd == CURL_SOCKET_BAD)
        return fd;
    // An FTP data connection after login is not a connection to report.
    bool dataConnection = transfer->m_kind == Kind::Ftp && !transfer->m_connectedSockets.empty();
    if (purpose != CURLSOCKTYPE_IPCXN || dataConnection)
        return fd;
    try {
        transfer->m_openSockets.insert(fd);
        const std::string text = AddressText(address);
        transfer->ReportResolving();
        if (!transfer->m_reportedResolved) {
            transfer->m_reportedResolved = true;
            transfer->Report(INTERNET_STATUS_NAME_RESOLVED, text);
        }
        transfer->Report(INTERNET_STATUS_CONNECTING_TO_SERVER, text);
    } catch (...) {
    }
    return fd;
}

int CurlTransfer::OnCloseSocket(void* self, curl_socket_t fd)
{
    auto* transfer = static_cast<CurlTransfer*>(self);
    transfer->m_openSockets.erase(fd);
    const bool connected = transfer->m_connectedSockets.erase(fd) > 0;
    if (connected)
        transfer->Report(INTERNET_STATUS_CLOSING_CONNECTION, {});
    int result = close(fd);
    if (connected)
        transfer->Report(INTERNET_STATUS_CONNECTION_CLOSED, {});
    return result;
}

int CurlTransfer::OnPrerequest(void* self, char* primaryIp, char*, int, int)
{
    auto* transfer = static_cast<CurlTransfer*>(self);
    try {
        transfer->MarkConnected(primaryIp);
        // The next connection (redirect, second attempt) reports its own address.
        transfer->m_reportedResolving = false;
        transfer->m_reportedResolved = false;
        transfer->m_reportedSent = false;
        transfer->Report(INTERNET_STATUS_SENDING_REQUEST, {});
    } catch (...) {
    }
    return CURL_PREREQFUNC_OK;
}

} // namespace platform
