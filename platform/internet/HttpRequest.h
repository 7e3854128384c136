#pragma once

#include "platform/internet/InternetConstants.h"
#include "platform/internet/InternetError.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class CurlTransfer;
class InternetConnection;

// One HTTP request of a connection: headers are added, the request is sent
// (Send returns when the final response's headers have arrived), then the
// status and headers are queried and the body is read in lines or pieces.
// Must not outlive its connection.
class HttpRequest
{
public:
    HttpRequest(InternetConnection& connection, std::string verb, std::string object, std::string referrer,
                uintptr_t context, uint32_t flags);
    ~HttpRequest();
    HttpRequest(const HttpRequest&) = delete;
    HttpRequest& operator=(const HttpRequest&) = delete;

    // Header lines separated by CR LF; HTTP_ADDREQ_FLAG_ADD_IF_NEW keeps a
    // header that is already present. False for a line with a bare CR, LF or
    // NUL or without a colon.
    bool AddHeaders(std::string_view headers, uint32_t flags = HTTP_ADDREQ_FLAG_ADD);

    // Sends the request with further header lines and a body (PUT). Redirects
    // are followed unless the request flags forbid it; a server's request for
    // authentication is answered with the connection's user and password.
    bool Send(std::string_view headers, std::string_view body, InternetError& error);

    // The final response, after a successful Send.
    uint32_t StatusCode() const { return m_statusCode; }
    const std::string& StatusText() const { return m_statusText; }
    // Status line and header lines, each ending in CR LF, then an empty line.
    const std::string& RawHeaders() const { return m_rawHeaders; }
    // The first header of that name (any case), value without surrounding blanks.
    bool QueryHeader(std::string_view name, std::string& value) const;

    // The next body line without its line end (LF or CR LF); a last line
    // without a line end counts too. False at the end (error.code 0) or on a
    // failure (error set). A line longer than maxLength comes in parts.
    bool ReadLine(std::string& line, InternetError& error,
                  std::size_t maxLength = std::numeric_limits<std::size_t>::max());
    // Up to size bytes of the body; bytesRead 0 at the end. False on a failure.
    bool Read(char* buffer, std::size_t size, std::size_t& bytesRead, InternetError& error);

    void Close();

private:
    void ParseHeaders();

    InternetConnection& m_connection;
    std::string m_verb;
    std::string m_object;
    std::string m_referrer;
    uintptr_t m_context;
    uint32_t m_flags;
    std::vector<std::string> m_headers;
    std::string m_agentLine; // the session's agent as a header line, empty without one
    std::unique_ptr<CurlTransfer> m_transfer;
    uint32_t m_statusCode = 0;
    std::string m_statusText;
    std::string m_rawHeaders;
    bool m_open = true;
};

} // namespace platform
