#pragma once

#include "platform/internet/InternetError.h"

#include <cstdint>
#include <curl/curl.h>
#include <set>
#include <string>
#include <vector>

namespace platform {

class InternetSession;

// One libcurl easy handle with the callbacks that turn its progress into the
// session's status reports and collect the response: the final header block,
// the server's last answer line (FTP), and the body in a bounded buffer from
// which the reader takes it.
class CurlTransfer
{
public:
    enum class Kind { Http, Ftp, Connect };

    CurlTransfer(InternetSession& session, uintptr_t context, Kind kind, std::string host, uint16_t port);
    ~CurlTransfer();
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    bool Valid() const { return m_easy != nullptr && m_valid; }
    CURL* Easy() { return m_easy; }
    Kind GetKind() const { return m_kind; }
    const std::string& Host() const { return m_host; }
    uint16_t Port() const { return m_port; }

    // The system's proxy for this scheme and host, or a direct connection.
    void SetScheme(const std::string& scheme);
    bool Proxied() const { return m_proxied; }
    // Settings that keep a pointer: owned here for the transfer's life.
    void SetHeaders(const std::vector<std::string>& lines);
    void SetUpload(std::string data);
    void SetResolvedAddress(const std::string& address);
    void SetFollowsRedirects(bool follow) { m_follows = follow; }
    void SetHasCredentials(bool has) { m_hasCredentials = has; }

    // Starts and waits until the final response headers are in (HTTP) or
    // until the transfer has ended. False with error set on failure.
    bool Begin(InternetError& error);
    bool WaitForHeaders(InternetError& error);
    bool WaitForCompletion(InternetError& error);
    // Waits until more body bytes than `have` are buffered or the transfer
    // ended; false when the session was closed.
    bool WaitForBody(std::size_t have, InternetError& error);

    bool HeadersDone() const { return m_headersDone; }
    const std::vector<std::string>& FinalHeaders() const { return m_final; }
    bool Done() const { return m_done; }
    // The transfer's failure (code 0 while running or after success).
    InternetError Failure() const;

    // The unread body bytes.
    std::size_t Available() const { return m_body.size() - m_bodyPos; }
    const char* Data() const { return m_body.data() + m_bodyPos; }
    void Consume(std::size_t count);

    // Called by the engine.
    void Finish(CURLcode result);
    void MarkAdded(bool added) { m_added = added; }
    bool Added() const { return m_added; }
    void ReportResolving();

private:
    static size_t OnHeader(char* data, size_t size, size_t count, void* self);
    static size_t OnWrite(char* data, size_t size, size_t count, void* self);
    static size_t OnRead(char* buffer, size_t size, size_t count, void* self);
    static int OnSeek(void* self, curl_off_t offset, int origin);
    static int OnResolverStart(void* resolverState, void* reserved, void* self);
    static curl_socket_t OnOpenSocket(void* self, curlsocktype purpose, struct curl_sockaddr* address);
    static int OnCloseSocket(void* self, curl_socket_t fd);
    static int OnPrerequest(void* self, char* primaryIp, char* localIp, int primaryPort, int localPort);

    void Report(uint32_t code, const std::string& info);
    void MarkConnected(const char* primaryIp = nullptr);
    void HeaderLine(std::string line);
    void EndOfHeaderBlock();

    InternetSession& m_session;
    uintptr_t m_context;
    Kind m_kind;
    std::string m_host;
    uint16_t m_port;
    CURL* m_easy = nullptr;
    bool m_valid = true;
    bool m_added = false;
    bool m_proxied = false;
    char m_errorBuffer[CURL_ERROR_SIZE] = {};
    curl_slist* m_headerList = nullptr;
    curl_slist* m_resolveList = nullptr;

    std::string m_upload;
    std::size_t m_uploadPos = 0;
    bool m_follows = false;
    bool m_hasCredentials = false;
    bool m_authAnswered = false;

    // Progress of the reports.
    bool m_reportedResolving = false;
    bool m_reportedResolved = false;
    bool m_reportedSent = true;
    std::set<curl_socket_t> m_openSockets;
    std::set<curl_socket_t> m_connectedSockets;
    bool m_everConnected = false;

    // The response.
    std::vector<std::string> m_current;
    std::size_t m_currentBytes = 0;
    std::vector<std::string> m_final;
    bool m_headersDone = false;
    std::string m_serverAnswer;
    std::string m_body;
    std::size_t m_bodyPos = 0;
    bool m_paused = false;
    bool m_done = false;
    CURLcode m_result = CURLE_OK;
    long m_verifyResult = 0;
};

} // namespace platform
