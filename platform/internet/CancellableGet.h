#pragma once

#include "platform/internet/InternetError.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace platform {

class HttpRequest;
class InternetSession;

// What one GET asks for besides the session it runs over.
struct GetRequest
{
    std::string server;
    uint16_t port = 0;
    std::string object; // path and query
    bool secure = false; // https
    uint32_t flags = 0; // INTERNET_FLAG_* of the request
    std::string referrer;
    std::string headers; // sent with the request
    std::string headersIfNew; // added before sending where the request has none of the same name
};

// How a GET ended.
struct GetResult
{
    enum class End {
        Complete, // the body was read to its end
        NotRead, // the answer's status or headers said not to read the body
        Stopped, // the body's reader stopped it
        TooLarge, // the body went past the bound
        Failed, // see error
        Cancelled,
    };
    End end = End::Failed;
    uint32_t status = 0; // the server's status, 0 without an answer
    InternetError error; // the failure, when there was one
};

// One HTTP(S) GET that any thread can cancel, with a bounded body: the
// session is registered for Cancel() while the GET runs, the connection and
// the request are made and sent, the answer is looked at, and the body is
// read in pieces or lines up to a bound. Time and speed bounds come from the
// session the caller made (its agent, timeouts, transfer limits and status
// callback); texts and rules stay with the callers.
class CancellableGet
{
public:
    enum class Body {
        Pieces, // as the bytes arrive
        Lines, // one line at a time, without its line end; each line counts two more bytes for the end a caller adds
    };

    // Sees the status and headers before the body; false leaves the body unread (End::NotRead).
    using Answered = std::function<bool(HttpRequest& request)>;
    // Takes a piece or a line of the body; false stops reading (End::Stopped).
    using Reader = std::function<bool(std::string_view data)>;

    // Blocks until the GET has ended. maxBytes bounds the body.
    GetResult Run(InternetSession& session, const GetRequest& request, uint64_t maxBytes, const Answered& answered,
                  const Reader& reader, Body body = Body::Pieces);

    // Any thread: ends the GET under way at once, and every later one until Reset().
    void Cancel();
    void Reset();
    bool IsCancelled() const { return m_cancelled.load(); }

private:
    GetResult ReadBody(HttpRequest& request, uint64_t maxBytes, const Reader& reader, Body body);

    std::atomic<bool> m_cancelled {false};
    std::mutex m_mutex; // guards m_session between Run and Cancel
    InternetSession* m_session = nullptr;
};

} // namespace platform
