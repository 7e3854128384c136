#include "platform/internet/CancellableGet.h"

#include "platform/internet/HttpRequest.h"
#include "platform/internet/InternetConnection.h"
#include "platform/internet/InternetConstants.h"
#include "platform/internet/InternetSession.h"

#include <vector>

namespace platform {

void CancellableGet::Cancel()
{
    std::lock_guard lock(m_mutex);
    m_cancelled.store(true);
    if (m_session)
        m_session->Close();
}

void CancellableGet::Reset()
{
    m_cancelled.store(false);
}

GetResult CancellableGet::Run(InternetSession& session, const GetRequest& request, uint64_t maxBytes,
                              const Answered& answered, const Reader& reader, Body body)
{
    {
        std::lock_guard lock(m_mutex);
        // Cancelled before it began: nothing goes out, and nothing failed.
        if (m_cancelled)
            return GetResult {GetResult::End::Cancelled, 0, {}};
        m_session = &session;
    }
    struct Unregister
    {
        CancellableGet& self;
        ~Unregister()
        {
            std::lock_guard lock(self.m_mutex);
            self.m_session = nullptr;
        }
    } unregister {*this};

    GetResult result;
    auto connection = session.GetHttpConnection(request.server, request.port, {}, {}, result.error);
    std::unique_ptr<HttpRequest> http;
    if (connection) {
        const uint32_t flags = request.secure ? request.flags | INTERNET_FLAG_SECURE : request.flags;
        http = connection->OpenRequest("GET", request.object, request.referrer, 1, flags, result.error);
    }
    const bool sent = http && !m_cancelled
        && (request.headersIfNew.empty() || http->AddHeaders(request.headersIfNew, HTTP_ADDREQ_FLAG_ADD_IF_NEW))
        && http->Send(request.headers, {}, result.error) && !m_cancelled;
    if (!sent) {
        result.end = m_cancelled ? GetResult::End::Cancelled : GetResult::End::Failed;
        return result;
    }
    result.status = http->StatusCode();
    if (answered && !answered(*http)) {
        result.end = GetResult::End::NotRead;
        return result;
    }
    const uint32_t status = result.status;
    result = ReadBody(*http, maxBytes, reader, body);
    result.status = status;
    // A cancel that came after the last byte still counts: the caller asked to end.
    if (m_cancelled && result.end != GetResult::End::TooLarge && result.end != GetResult::End::Stopped)
        result.end = GetResult::End::Cancelled;
    return result;
}

GetResult CancellableGet::ReadBody(HttpRequest& request, uint64_t maxBytes, const Reader& reader, Body body)
{
    GetResult result;
    uint64_t received = 0;
    if (body == Body::Lines) {
        std::string line;
        while (!m_cancelled) {
            const uint64_t room = maxBytes - std::min(maxBytes, received);
            if (!request.ReadLine(line, result.error, static_cast<std::size_t>(room + 1))) {
                result.end = result.error ? GetResult::End::Failed : GetResult::End::Complete;
                return result;
            }
            if (line.size() + 2 > room) {
                result.end = GetResult::End::TooLarge;
                return result;
            }
            received += line.size() + 2;
            if (reader && !reader(line)) {
                result.end = GetResult::End::Stopped;
                return result;
            }
        }
        result.end = GetResult::End::Cancelled;
        return result;
    }
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        std::size_t count = 0;
        if (!request.Read(buffer.data(), buffer.size(), count, result.error)) {
            result.end = GetResult::End::Failed;
            return result;
        }
        if (count == 0) {
            result.end = GetResult::End::Complete;
            return result;
        }
        received += count;
        if (received > maxBytes) {
            result.end = GetResult::End::TooLarge;
            return result;
        }
        if (reader && !reader(std::string_view(buffer.data(), count))) {
            result.end = GetResult::End::Stopped;
            return result;
        }
    }
}

} // namespace platform
