#include "kestrup/VersionInfoDownload.h"

#include "kestrup/CKestrupApp.h"
#include "kestrup/CUpdateSession.h"
#include "kestrup/KestrupArguments.h"
#include "kestrup/KestrupTexts.h"
#include "platform/internet/HttpRequest.h"
#include "platform/internet/InternetConnection.h"
#include "platform/internet/InternetConstants.h"
#include "platform/url/InternetUrl.h"
#include "tarnwick/messages/MessageTarget.h"
#include "tarnwick/messages/WindowMessages.h"

namespace kestrup {

VersionInfoDownload::VersionInfoDownload(tarnwick::MessageTarget* statusWindow)
    : m_statusWindow(statusWindow)
{
}

void VersionInfoDownload::SetTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds idle,
                                      std::chrono::milliseconds total)
{
    m_connectTimeout = connect;
    m_idleTimeout = idle;
    m_totalTimeout = total;
}

void VersionInfoDownload::Cancel()
{
    m_get.Cancel();
}

void VersionInfoDownload::Fail(std::string& out, const std::string& text)
{
    out = text;
    if (m_statusWindow)
        m_statusWindow->SendMessage(tarnwick::WM_STATUS_TEXT, 1, reinterpret_cast<intptr_t>(out.c_str()));
}

bool VersionInfoDownload::DownloadVersionInfo(const CKestrupApp& app, std::string& out)
{
    using namespace platform;
    const std::string agent
        = app.m_strProgram.empty() ? std::string(IDS_DEFAULT_AGENT) : app.m_strProgram + " " + app.m_strVersion;

    InternetUrl url;
    if (!ParseInternetUrl(app.m_strMsiDownloadUrl, url)) {
        Fail(out, "Fehler in der MSI-Dateiangabe: " + app.m_strMsiDownloadUrl);
        return false;
    }
    const std::string object = VersionTextPath(url.object);

    CUpdateSession session(agent);
    session.SetTimeouts(m_connectTimeout, m_idleTimeout);
    session.SetTransferLimits(m_totalTimeout, 1);
    session.SetStatusWindow(m_statusWindow);
    out.clear();

    std::string failure;
    GetRequest request;
    request.server = url.server;
    request.port = url.port;
    request.object = object;
    request.flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT;
    request.headersIfNew = kRequestHeaders;
    const GetResult got = m_get.Run(
        session, request, kMaxTextBytes,
        [&failure](HttpRequest& answer) {
            if (answer.StatusCode() == 200)
                return true;
            failure = "Server gab Fehler-Code: " + std::to_string(answer.StatusCode()) + " zurück!";
            return false;
        },
        [&out](std::string_view piece) {
            out.append(piece);
            return true;
        });
    const bool ok = got.end == GetResult::End::Complete;
    if (got.end == GetResult::End::TooLarge)
        failure = "Die Versionsinformation ist größer als 64 KB und wird nicht verwendet.";
    else if (got.end == GetResult::End::Cancelled && !got.error)
        // A cancel that came after the last byte still counts: the user ended the flow.
        failure = "Die Versionsinformation wurde nicht verwendet: abgebrochen.";
    if (!ok && failure.empty()) {
        // The error's own text, at most 1023 characters as the platform gives it.
        failure
            = got.error ? got.error.text.substr(0, 1023) : std::string("Die Anforderung konnte nicht erstellt werden.");
    }
    session.Close();
    // Shown last, so that the closing steps do not cover it.
    if (!ok)
        Fail(out, failure);
    return ok;
}

} // namespace kestrup
