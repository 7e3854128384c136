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
    std::lock_guard lock(m_mutex);
    m_cancelled = true;
    if (m_session)
        m_session->Close();
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
    {
        std::lock_guard lock(m_mutex);
        m_session = &session;
        if (m_cancelled)
            session.Close();
    }
    struct Unregister
    {
        VersionInfoDownload& self;
        ~Unregister()
        {
            std::lock_guard lock(self.m_mutex);
            self.m_session = nullptr;
        }
    } unregister {*this};

    InternetError error;
    auto connection = session.GetHttpConnection(url.server, url.port, {}, {}, error);
    std::unique_ptr<HttpRequest> request;
    if (connection) {
        request = connection->OpenRequest(
            "GET", object, {}, 1, INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT,
            error);
    }
    bool ok = false;
    std::string failure;
    if (request && request->AddHeaders(kRequestHeaders, HTTP_ADDREQ_FLAG_ADD_IF_NEW) && request->Send({}, {}, error)) {
        if (request->StatusCode() != 200) {
            failure = "Server gab Fehler-Code: " + std::to_string(request->StatusCode()) + " zurück!";
        } else {
            char piece[256];
            for (;;) {
                std::size_t count = 0;
                if (!request->Read(piece, sizeof piece, count, error))
                    break;
                if (count == 0) {
                    ok = true;
                    break;
                }
                if (out.size() + count > kMaxTextBytes) {
                    failure = "Die Versionsinformation ist größer als 64 KB und wird nicht verwendet.";
                    break;
                }
                out.append(piece, count);
            }
        }
    }
    {
        // A cancel that came after the last byte still counts: the user ended the flow.
        std::lock_guard lock(m_mutex);
        if (ok && m_cancelled) {
            ok = false;
            failure = "Die Versionsinformation wurde nicht verwendet: abgebrochen.";
        }
    }
    if (!ok && failure.empty()) {
        // The error's own text, at most 1023 characters as the platform gives it.
        failure = error ? error.text.substr(0, 1023) : std::string("Die Anforderung konnte nicht erstellt werden.");
    }
    if (request)
        request->Close();
    if (connection)
        connection->Close();
    session.Close();
    // Shown last, so that the closing steps do not cover it.
    if (!ok)
        Fail(out, failure);
    return ok;
}

} // namespace kestrup
