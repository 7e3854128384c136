#include "platform/internet/HttpRequest.h"

#include "platform/internet/CurlTransfer.h"
#include "platform/internet/InternetConnection.h"
#include "platform/internet/InternetSession.h"
#include "platform/internet/InternetText.h"

#include <cstdint>
#include <cstring>
#include <strings.h>

namespace platform {

namespace {

InternetError ErrorOf(uint32_t code)
{
    return {code, InternetErrorText(code)};
}

std::string_view HeaderName(std::string_view line)
{
    auto colon = line.find(':');
    std::string_view name = line.substr(0, colon);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t'))
        name.remove_suffix(1);
    return name;
}

bool SameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// Splits header text at CR LF (or LF) into lines; false for a line with a
// stray control character or without a name.
bool SplitHeaders(std::string_view text, std::vector<std::string>& lines)
{
    while (!text.empty()) {
        auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            continue;
        for (unsigned char c : line) {
            if ((c < 0x20 && c != '\t') || c == 0x7F)
                return false;
        }
        auto colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0)
            return false;
        lines.emplace_back(line);
    }
    return true;
}

} // namespace

HttpRequest::HttpRequest(InternetConnection& connection, std::string verb, std::string object, std::string referrer,
                         uintptr_t context, uint32_t flags)
    : m_connection(connection)
    , m_verb(std::move(verb))
    , m_object(std::move(object))
    , m_referrer(std::move(referrer))
    , m_context(context)
    , m_flags(flags)
{
    // The session's agent name is one of the request's headers from its opening, so that adding
    // headers "only if new" keeps it.
    if (const std::string& agent = m_connection.Session().Agent(); !agent.empty()) {
        m_agentLine = "User-Agent: " + agent;
        m_headers.push_back(m_agentLine);
    }
    m_connection.Session().Report(m_context, INTERNET_STATUS_HANDLE_CREATED, {});
}

HttpRequest::~HttpRequest()
{
    Close();
}

void HttpRequest::Close()
{
    if (!m_open)
        return;
    m_open = false;
    m_transfer.reset();
    m_connection.Session().Report(m_context, INTERNET_STATUS_HANDLE_CLOSING, {});
}

bool HttpRequest::AddHeaders(std::string_view headers, uint32_t flags)
{
    try {
        std::vector<std::string> lines;
        if (!SplitHeaders(headers, lines))
            return false;
        for (auto& line : lines) {
            auto existing = m_headers.end();
            for (auto it = m_headers.begin(); it != m_headers.end(); ++it) {
                if (SameName(HeaderName(*it), HeaderName(line)))
                    existing = it;
            }
            if (existing != m_headers.end() && (flags & HTTP_ADDREQ_FLAG_ADD_IF_NEW))
                continue;
            if (existing != m_headers.end() && (flags & HTTP_ADDREQ_FLAG_REPLACE))
                *existing = std::move(line);
            else
                m_headers.push_back(std::move(line));
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool HttpRequest::Send(std::string_view headers, std::string_view body, InternetError& error)
{
    error = {};
    try {
        if (!m_open || m_transfer) {
            error = ErrorOf(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
            return false;
        }
        std::vector<std::string> given;
        if (!SplitHeaders(headers, given)) {
            error = ErrorOf(ERROR_INVALID_PARAMETER);
            return false;
        }
        std::vector<std::string> lines = m_headers;
        // An agent given when sending stands instead of the session's.
        for (const auto& line : given) {
            if (SameName(HeaderName(line), "User-Agent"))
                std::erase(lines, m_agentLine);
        }
        lines.insert(lines.end(), given.begin(), given.end());
        bool hasAccept = false;
        for (const auto& line : lines)
            hasAccept = hasAccept || SameName(HeaderName(line), "Accept");
        // libcurl's own defaults that the caller did not ask for.
        if (!hasAccept)
            lines.emplace_back("Accept:");
        lines.emplace_back("Expect:");

        InternetSession& session = m_connection.Session();
        m_transfer = std::make_unique<CurlTransfer>(session, m_context, CurlTransfer::Kind::Http, m_connection.Server(),
                                                    m_connection.Port());
        CurlTransfer& transfer = *m_transfer;
        if (!session.ApplyOptions(transfer)) {
            error = ErrorOf(ERROR_INTERNET_INTERNAL_ERROR);
            return false;
        }
        const bool secure = (m_flags & INTERNET_FLAG_SECURE) != 0;
        transfer.SetScheme(secure ? "https" : "http");
        // A body is never sent again to where a redirect points.
        const bool follow = (m_flags & INTERNET_FLAG_NO_AUTO_REDIRECT) == 0 && m_verb != "PUT" && body.empty();
        const std::string url = std::string(secure ? "https://" : "http://")
            + internet_text::HostForUrl(m_connection.Server()) + ":" + std::to_string(m_connection.Port())
            + internet_text::EncodeHttpObject(m_object);
        CURL* easy = transfer.Easy();
        bool ok = curl_easy_setopt(easy, CURLOPT_URL, url.c_str()) == CURLE_OK
            && curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK
            && curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK
            && curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1)) == CURLE_OK
            && curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, follow ? 1L : 0L) == CURLE_OK
            && curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L) == CURLE_OK;
        if (!m_referrer.empty())
            ok = ok && curl_easy_setopt(easy, CURLOPT_REFERER, m_referrer.c_str()) == CURLE_OK;
        if (!m_connection.User().empty()) {
            // Sent only when the server asks, as the server asks.
            ok = ok && curl_easy_setopt(easy, CURLOPT_USERNAME, m_connection.User().c_str()) == CURLE_OK
                && curl_easy_setopt(easy, CURLOPT_PASSWORD, m_connection.Password().c_str()) == CURLE_OK
                && curl_easy_setopt(easy, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC | CURLAUTH_DIGEST))
                    == CURLE_OK;
            transfer.SetHasCredentials(true);
        }
        if (m_verb == "HEAD") {
            ok = ok && curl_easy_setopt(easy, CURLOPT_NOBODY, 1L) == CURLE_OK;
        } else if (m_verb == "PUT") {
            transfer.SetUpload(std::string(body));
        } else {
            if (m_verb != "GET")
                ok = ok && curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, m_verb.c_str()) == CURLE_OK;
            if (!body.empty())
                transfer.SetUpload(std::string(body));
        }
        transfer.SetHeaders(lines);
        transfer.SetFollowsRedirects(follow);
        if (!ok || !transfer.Valid()) {
            error = ErrorOf(ERROR_INTERNET_INTERNAL_ERROR);
            return false;
        }
        if (!transfer.Begin(error) || !transfer.WaitForHeaders(error))
            return false;
        ParseHeaders();
        return true;
    } catch (...) {
        error = ErrorOf(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
}

void HttpRequest::ParseHeaders()
{
    const auto& lines = m_transfer->FinalHeaders();
    m_rawHeaders.clear();
    for (std::string line : lines) {
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
            line.pop_back();
        m_rawHeaders += line + "\r\n";
    }
    m_statusCode = 0;
    m_statusText.clear();
    if (lines.empty())
        return;
    std::string status = lines.front();
    while (!status.empty() && (status.back() == '\r' || status.back() == '\n'))
        status.pop_back();
    // "HTTP/1.1 404 Not Found": the number, then the text after one blank.
    auto first = status.find(' ');
    if (first == std::string::npos)
        return;
    m_statusCode = static_cast<uint32_t>(std::strtoul(status.c_str() + first + 1, nullptr, 10));
    auto second = status.find(' ', first + 1);
    if (second != std::string::npos)
        m_statusText = status.substr(second + 1);
}

bool HttpRequest::QueryHeader(std::string_view name, std::string& value) const
{
    if (!m_transfer)
        return false;
    const auto& lines = m_transfer->FinalHeaders();
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        auto colon = line.find(':');
        if (colon == std::string_view::npos || !SameName(HeaderName(line), name))
            continue;
        std::string_view rest = line.substr(colon + 1);
        while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t'))
            rest.remove_prefix(1);
        while (!rest.empty()
               && (rest.back() == '\r' || rest.back() == '\n' || rest.back() == ' ' || rest.back() == '\t'))
            rest.remove_suffix(1);
        value.assign(rest);
        return true;
    }
    return false;
}

bool HttpRequest::ReadLine(std::string& line, InternetError& error, std::size_t maxLength)
{
    error = {};
    line.clear();
    if (!m_transfer || !m_open) {
        error = ErrorOf(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
        return false;
    }
    try {
        CurlTransfer& transfer = *m_transfer;
        bool any = false;
        // The line is taken out of the buffer as it arrives: the buffer is
        // bounded, a line is not.
        for (;;) {
            const char* data = transfer.Data();
            const std::size_t available = transfer.Available();
            const std::size_t room = maxLength - line.size();
            const void* newline = std::memchr(data, '\n', std::min(available, room == SIZE_MAX ? room : room + 1));
            if (newline) {
                const std::size_t length = static_cast<const char*>(newline) - data;
                line.append(data, length);
                transfer.Consume(length + 1);
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                return true;
            }
            const std::size_t take = std::min(available, room);
            line.append(data, take);
            transfer.Consume(take);
            any = any || take > 0;
            if (line.size() >= maxLength)
                return true;
            if (transfer.Available() > 0)
                continue;
            if (transfer.Done()) {
                if (any)
                    return true;
                error = transfer.Failure();
                return false;
            }
            if (!transfer.WaitForBody(0, error))
                return false;
        }
    } catch (...) {
        error = ErrorOf(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
}

bool HttpRequest::Read(char* buffer, std::size_t size, std::size_t& bytesRead, InternetError& error)
{
    error = {};
    bytesRead = 0;
    if (!m_transfer || !m_open) {
        error = ErrorOf(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
        return false;
    }
    if (size == 0)
        return true;
    CurlTransfer& transfer = *m_transfer;
    while (transfer.Available() == 0) {
        if (transfer.Done()) {
            error = transfer.Failure();
            return !error;
        }
        if (!transfer.WaitForBody(0, error))
            return false;
    }
    bytesRead = std::min(size, transfer.Available());
    std::memcpy(buffer, transfer.Data(), bytesRead);
    transfer.Consume(bytesRead);
    return true;
}

} // namespace platform
