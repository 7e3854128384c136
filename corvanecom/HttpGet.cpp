#include "corvanecom/HttpGet.h"

#include "corvanecom/CAddressSession.h"
#include "corvanecom/CorvaneMessages.h"
#include "platform/internet/HttpRequest.h"
#include "platform/internet/InternetConnection.h"
#include "platform/internet/InternetError.h"
#include "platform/url/InternetUrl.h"

#include <algorithm>
#include <chrono>

namespace corvane {

namespace {

constexpr uint32_t kRequestFlags = platform::INTERNET_FLAG_RELOAD | platform::INTERNET_FLAG_NO_CACHE_WRITE
    | platform::INTERNET_FLAG_NO_AUTO_REDIRECT | platform::INTERNET_FLAG_NO_UI;
constexpr const char* kRequestHeaders = "Accept: text/*\r\nUser-Agent: VELT Corvane\r\n";

// The text of an internet error; a code without a text of its own still says what failed.
std::string ErrorText(const platform::InternetError& error)
{
    if (!error.text.empty())
        return error.text;
    std::string text = platform::InternetErrorText(error.code);
    return text.empty() ? "Internetfehler " + std::to_string(error.code) : text;
}

} // namespace

bool HttpGet(const std::string& url, std::string& errorText, std::string& headers, std::string& body,
             std::string& serverAddress, long timeoutSeconds)
{
    CAddressSession session;
    // A script waits for the answer: a server that trickles must not hold it for ever.
    session.SetTransferLimits(std::chrono::seconds(timeoutSeconds), 1);
    platform::InternetUrl parts;
    if (!platform::ParseInternetUrl(url, parts) || parts.serviceType != platform::INTERNET_SERVICE_HTTP) {
        errorText = messages::HttpUrlNotResolved(url);
        return false;
    }
    body.clear();
    headers.clear();

    platform::InternetError error;
    // Request before connection before session: each must go before what it came from.
    std::unique_ptr<platform::InternetConnection> connection
        = session.GetHttpConnection(parts.server, parts.port, {}, {}, error);
    if (!connection) {
        errorText = ErrorText(error);
        return false;
    }
    std::unique_ptr<platform::HttpRequest> request
        = connection->OpenRequest("GET", parts.object, {}, 1, kRequestFlags, error);
    if (!request) {
        errorText = ErrorText(error);
        return false;
    }
    if (!request->Send(kRequestHeaders, {}, error)) {
        errorText = ErrorText(error);
        return false;
    }
    headers = request->RawHeaders();
    const uint32_t status = request->StatusCode();
    serverAddress = session.ResolvedAddress();
    if (status != 200) {
        body = request->StatusText();
        errorText = messages::HttpStatusError(static_cast<long>(status), body);
        return false;
    }
    std::string line;
    for (;;) {
        const std::size_t room = kMaxHttpBody - std::min(kMaxHttpBody, body.size());
        if (!request->ReadLine(line, error, room + 1))
            break;
        if (line.size() + 2 > room) {
            body.clear();
            errorText = messages::kHttpBodyTooLarge;
            return false;
        }
        body += line;
        body += "\r\n";
    }
    if (error) {
        errorText = ErrorText(error);
        return false;
    }
    return true;
}

} // namespace corvane
