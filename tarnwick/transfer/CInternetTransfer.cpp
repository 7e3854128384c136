#include "tarnwick/transfer/CInternetTransfer.h"

#include "platform/internet/HttpRequest.h"
#include "platform/internet/InternetConnection.h"
#include "platform/internet/InternetConstants.h"
#include "platform/url/InternetUrl.h"
#include "platform/url/IpAddressText.h"
#include "tarnwick/messages/MessageTarget.h"
#include "tarnwick/messages/WindowMessages.h"
#include "tarnwick/transfer/CTransferSession.h"

#include <algorithm>
#include <cctype>

namespace tarnwick {

const std::string kRequestHeaders = "Accept: text/*\r\nUser-Agent: VELT Tarnwick-Client\r\n";

namespace {

constexpr uint32_t kGetFlags = 0x84200200; // reload, no cache write, no auto redirect, no UI
// Uploads never follow a redirect: the page would go again, perhaps in clear,
// to a server nobody chose.
constexpr uint32_t kPutFlags = 0x84200200; // reload, no cache write, no auto redirect, no UI
constexpr std::size_t kErrorTextLimit = 1023;
constexpr const char* kRedirectedTo = "redirected to: ";
constexpr const char* kRefresh = "<meta http-equiv=\"refresh\" content=\"0; url=";

// Fills the message templates: "%d" takes the number, "%s" the text.
std::string Format(std::string format, int number, const std::string& text = {})
{
    auto numberAt = format.find("%d");
    if (numberAt != std::string::npos)
        format.replace(numberAt, 2, std::to_string(number));
    auto textAt = format.find("%s");
    if (textAt != std::string::npos)
        format.replace(textAt, 2, text);
    return format;
}

// Texts are cut as into a buffer of 1024 characters, but never inside a
// UTF-8 sequence.
std::string Limited(std::string text)
{
    if (text.size() <= kErrorTextLimit)
        return text;
    std::size_t cut = kErrorTextLimit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    text.resize(cut);
    return text;
}

bool HasLineBreak(const std::string& text)
{
    return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

// Four decimal numbers 0..255 of one to three digits, joined by dots.
bool IsDottedIpv4(std::string_view text)
{
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (text.empty() || text.front() != '.')
                return false;
            text.remove_prefix(1);
        }
        std::size_t digits = 0;
        int value = 0;
        while (digits < text.size() && digits < 4 && text[digits] >= '0' && text[digits] <= '9')
            value = value * 10 + (text[digits++] - '0');
        if (digits == 0 || digits > 3 || value > 255)
            return false;
        text.remove_prefix(digits);
    }
    return text.empty();
}

// The text of an HTML attribute value with its character references resolved.
std::string HtmlUnescaped(const std::string& text)
{
    static const std::pair<std::string_view, char> kReferences[]
        = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''}};
    std::string out;
    for (std::size_t pos = 0; pos < text.size();) {
        bool replaced = false;
        if (text[pos] == '&') {
            for (const auto& [reference, character] : kReferences) {
                if (text.compare(pos, reference.size(), reference) == 0) {
                    out += character;
                    pos += reference.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced)
            out += text[pos++];
    }
    return out;
}

std::string LowerCase(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

bool IsWebService(uint32_t service)
{
    return service == platform::INTERNET_SERVICE_HTTP || service == platform::AFX_INET_SERVICE_HTTPS;
}

// location is the https form of the http address url: same host, same path
// and query. That is how a host that forces https answers every http request.
bool IsHttpsFormOf(const std::string& location, const std::string& url)
{
    platform::InternetUrl from;
    platform::InternetUrl to;
    return platform::ParseInternetUrl(url, from) && platform::ParseInternetUrl(location, to)
        && from.serviceType == platform::INTERNET_SERVICE_HTTP && to.serviceType == platform::AFX_INET_SERVICE_HTTPS
        && LowerCase(from.server) == LowerCase(to.server) && from.object == to.object;
}

// Where a page read by GetPage leads: its redirect notice or its refresh
// element; the output is lower case.
bool TargetOfPage(std::string text, std::string& target)
{
    text = LowerCase(std::move(text));
    if (text.rfind(kRedirectedTo, 0) == 0) {
        target = text.substr(std::char_traits<char>::length(kRedirectedTo));
    } else {
        auto refresh = text.find(kRefresh);
        if (refresh == std::string::npos || refresh == 0)
            return false;
        text = text.substr(refresh + std::char_traits<char>::length(kRefresh));
        auto end = text.find("\">");
        if (end == std::string::npos || end == 0)
            return false;
        // The page writes the address as an attribute value, escaped.
        target = HtmlUnescaped(text.substr(0, end));
    }
    return !target.empty();
}

// 307 and 308 count as a redirect notice only where a host forces https;
// any other such answer stays a server error.
bool IsForcedHttps(const platform::HttpRequest& request, int status, const std::string& url)
{
    std::string location;
    return (status == 307 || status == 308) && request.QueryHeader("Location", location)
        && IsHttpsFormOf(location, url);
}

} // namespace

// Holds m_bBusy for one operation; the test and the setting are one step,
// so two threads can never both start.
class CInternetTransfer::BusyScope
{
public:
    explicit BusyScope(std::atomic<int32_t>& busy)
        : m_busy(busy)
    {
        int32_t idle = 0;
        m_owned = m_busy.compare_exchange_strong(idle, 1);
    }
    ~BusyScope()
    {
        if (m_owned)
            m_busy.store(0);
    }
    bool Owned() const { return m_owned; }

private:
    std::atomic<int32_t>& m_busy;
    bool m_owned = false;
};

CInternetTransfer::CInternetTransfer() = default;

CInternetTransfer::~CInternetTransfer()
{
    CloseSession();
}

void CInternetTransfer::SetMessageWindow(MessageTarget* window)
{
    m_hWndMessages.store(window);
}

void CInternetTransfer::SetRedirectAddressSource(std::function<std::string()> source)
{
    m_redirectAddress = std::move(source);
}

void CInternetTransfer::SetRedirectUrlSource(std::function<std::string()> source)
{
    m_redirectUrl = std::move(source);
}

void CInternetTransfer::SetCaFile(const std::string& caFile)
{
    std::lock_guard lock(m_sessionMutex);
    m_caFile = caFile;
}

void CInternetTransfer::SetLimits(const CTransferSession::Limits& limits)
{
    std::lock_guard lock(m_sessionMutex);
    m_limits = limits;
}

CTransferSession::Limits CInternetTransfer::Limits() const
{
    std::lock_guard lock(m_sessionMutex);
    return m_limits;
}

void CInternetTransfer::Cancel(bool bCancel)
{
    if (bCancel)
        m_get.Cancel();
    else
        m_get.Reset();
    std::lock_guard lock(m_sessionMutex);
    m_bCancel.store(bCancel ? 1 : 0);
    if (m_pSession)
        m_pSession->Close();
}

bool CInternetTransfer::OpenSession()
{
    CloseSession();
    std::unique_ptr<CTransferSession> session;
    try {
        session = std::make_unique<CTransferSession>(Limits());
    } catch (...) {
    }
    if (!session || !session->IsValid()) {
        ReportError("Internetsession konnte nicht angelegt werden!");
        return false;
    }
    session->SetStatusWindow(m_hWndMessages.load());
    std::lock_guard lock(m_sessionMutex);
    session->SetCaFile(m_caFile);
    session->SetAddressFamily(m_addressFamily);
    m_pSession = std::move(session);
    return true;
}

void CInternetTransfer::CloseSession()
{
    std::unique_ptr<CTransferSession> session;
    {
        std::lock_guard lock(m_sessionMutex);
        session = std::move(m_pSession);
    }
    // Destroyed outside the lock: its last status texts are sent to the main
    // window, which may at that moment be waiting in Cancel().
    if (session)
        session->Close();
}

void CInternetTransfer::ReportInfo(const std::string& text)
{
    if (MessageTarget* window = m_hWndMessages.load())
        window->SendMessage(WM_INFO_TEXT, 1, reinterpret_cast<intptr_t>(text.c_str()));
}

void CInternetTransfer::ReportError(const std::string& text)
{
    m_strLastError = Limited(text);
    if (MessageTarget* window = m_hWndMessages.load())
        window->SendMessage(WM_ERROR_TEXT, 1, reinterpret_cast<intptr_t>(m_strLastError.c_str()));
}

std::string CInternetTransfer::Referrer(const std::function<std::string()>& source) const
{
    if (!source)
        return {};
    try {
        std::string referrer = source();
        // A referrer that could carry a second header line is left out.
        return HasLineBreak(referrer) ? std::string() : referrer;
    } catch (...) {
        return {};
    }
}

bool CInternetTransfer::GetPage(std::string& strText, const std::string& strUrl)
{
    BusyScope busy(m_bBusy);
    if (!busy.Owned())
        return false;
    platform::InternetUrl url;
    if (!OpenSession() || !platform::ParseInternetUrl(strUrl, url) || !IsWebService(url.serviceType)) {
        CloseSession();
        return false;
    }
    strText.clear();
    m_strServerIp.clear();
    CTransferSession& session = *m_pSession;
    enum class Answer { Other, NeedsLogin, Redirected, Page } answer = Answer::Other;
    int status = -1;
    std::string statusText;
    std::string location;
    platform::GetRequest request;
    request.server = url.server;
    request.port = url.port;
    request.object = url.object;
    request.secure = url.serviceType == platform::AFX_INET_SERVICE_HTTPS;
    request.flags = kGetFlags;
    request.referrer = Referrer(m_redirectAddress);
    request.headers = kRequestHeaders;
    const platform::GetResult got = m_get.Run(
        session, request, kMaxPageBytes,
        [&](platform::HttpRequest& answered) {
            status = static_cast<int>(answered.StatusCode());
            statusText = answered.StatusText();
            m_strServerIp = platform::CanonicalAddress(session.LastAddress());
            if (status == 401) {
                answer = Answer::NeedsLogin;
            } else if (status == 301 || status == 302 || status == 303 || IsForcedHttps(answered, status, strUrl)) {
                answered.QueryHeader("Location", location);
                answer = Answer::Redirected;
            } else if (status == 200) {
                answer = Answer::Page;
                return true;
            }
            return false;
        },
        [&strText](std::string_view line) {
            strText += line;
            strText += "\r\n";
            return true;
        },
        platform::CancellableGet::Body::Lines);

    bool result = false;
    if (got.end == platform::GetResult::End::TooLarge) {
        ReportError("Fehler: Die Webseite ist größer als 16 MB!");
    } else if (got.error) {
        ReportError(got.error.text);
    } else if (got.end == platform::GetResult::End::Cancelled) {
        result = false;
    } else if (answer == Answer::NeedsLogin) {
        ReportError(Format("Fehler: %d - Diese Webseite verlangt eine Anmeldung!", status));
    } else if (answer == Answer::Redirected) {
        strText = kRedirectedTo + location;
        result = true;
    } else if (answer == Answer::Page) {
        result = got.end == platform::GetResult::End::Complete;
    } else if (got.end == platform::GetResult::End::NotRead) {
        ReportError(Format("Server Fehler: %d. %s", status, statusText));
    }
    CloseSession();
    return result;
}

bool CInternetTransfer::ReadRedirectTarget(std::string& strTarget, const std::string& strUrl)
{
    std::string text;
    if (!GetPage(text, strUrl))
        return false;
    // The same page on https: only its own redirect says where it leads.
    // Read once (as the server spelled it), so a host that sends http and
    // https back and forth ends here.
    if (text.rfind(kRedirectedTo, 0) == 0) {
        const std::string location = text.substr(std::char_traits<char>::length(kRedirectedTo));
        if (IsHttpsFormOf(location, strUrl) && !GetPage(text, location))
            return false;
    }
    return TargetOfPage(std::move(text), strTarget);
}

bool CInternetTransfer::ReadClientAddress(std::string& strAddress, const std::string& strUrl, int family)
{
    strAddress.clear();
    const bool v6 = family == 6;
    m_addressFamily = v6 ? 6 : 4;
    const bool read = GetPage(strAddress, strUrl);
    m_addressFamily = 0;
    if (!read)
        return false;
    // The answer goes into the public page: nothing but a dotted address is
    // taken, surrounding white space aside.
    std::string_view answer = strAddress;
    while (!answer.empty() && std::isspace(static_cast<unsigned char>(answer.front())))
        answer.remove_prefix(1);
    while (!answer.empty() && std::isspace(static_cast<unsigned char>(answer.back())))
        answer.remove_suffix(1);
    if (v6 ? !platform::IsIpv6Address(answer) : !IsDottedIpv4(answer)) {
        strAddress.clear();
        return false;
    }
    strAddress = platform::CanonicalAddress(answer);
    return true;
}

bool CInternetTransfer::ReadServerAddress(std::string& strAddress, const std::string& strUrl, int family)
{
    m_addressFamily = family;
    const bool read = GetPage(strAddress, strUrl);
    m_addressFamily = 0;
    if (!read)
        return false;
    strAddress = m_strServerIp;
    return !strAddress.empty();
}

bool CInternetTransfer::ReadyToUpload(const std::string& strText, const std::string& strServer,
                                      const std::string& strPath, const std::string& strUser,
                                      const std::string& strPassword)
{
    bool ready = true;
    if (strText.empty()) {
        ready = false;
    } else if (HasLineBreak(strServer) || HasLineBreak(strPath) || HasLineBreak(strUser) || HasLineBreak(strPassword)) {
        // A line break in any of these would become a command of its own on
        // the wire; nothing is sent.
        ReportError("Fehler: Server, Pfad, Benutzername oder Kennwort enthält einen Zeilenumbruch!");
        ready = false;
    } else if (!m_pSession && !OpenSession()) {
        ready = false;
    }
    if (!ready)
        CloseSession();
    return ready;
}

bool CInternetTransfer::EndUpload(bool result, const platform::InternetError& error)
{
    if (error)
        ReportError(error.text);
    CloseSession();
    return result;
}

bool CInternetTransfer::UploadFtp(const std::string& strText, const std::string& strServer, const std::string& strPath,
                                  const std::string& strUser, const std::string& strPassword, uint16_t nPort, bool bTls)
{
    BusyScope busy(m_bBusy);
    if (!busy.Owned() || !ReadyToUpload(strText, strServer, strPath, strUser, strPassword))
        return false;
    platform::InternetError error;
    bool result = false;
    const auto store = [&](uint32_t flags) {
        auto connection = m_pSession->GetFtpConnection(strServer, nPort, strUser, strPassword, flags, error);
        if (connection)
            result = connection->PutFile(strPath, strText, platform::FTP_TRANSFER_TYPE_ASCII, 1, error);
    };
    store(bTls ? platform::INTERNET_FLAG_SECURE : 0);
    // Behind a router the server often cannot connect back; passive mode
    // needs no connection towards this computer.
    if (!bTls && !result && platform::IsActiveModeFailure(error)) {
        ReportInfo("Der FTP-Server konnte keine Datenverbindung im aktiven Modus herstellen; "
                   "die Datei wird im passiven Modus gesendet.");
        error = {};
        store(platform::INTERNET_FLAG_PASSIVE);
    }
    return EndUpload(result, error);
}

bool CInternetTransfer::UploadHttp(const std::string& strText, const std::string& strServer, const std::string& strPath,
                                   const std::string& strUser, const std::string& strPassword, uint16_t nPort,
                                   bool bTls)
{
    BusyScope busy(m_bBusy);
    if (!busy.Owned() || !ReadyToUpload(strText, strServer, strPath, strUser, strPassword))
        return false;
    platform::InternetError error;
    bool result = false;
    {
        auto connection = m_pSession->GetHttpConnection(strServer, nPort, strUser, strPassword, error);
        std::unique_ptr<platform::HttpRequest> request;
        if (connection)
            request = connection->OpenRequest("PUT", strPath, Referrer(m_redirectUrl), 1,
                                              bTls ? kPutFlags | platform::INTERNET_FLAG_SECURE : kPutFlags, error);
        if (request && request->Send(kRequestHeaders, strText, error)) {
            const int status = static_cast<int>(request->StatusCode());
            if (status >= 200 && status <= 299)
                result = true;
            else if (status == 403)
                ReportError(Format("Fehler %d - HTTP-Schreibzugriff verweigert!", status));
            else
                ReportError(Format("Server gab Fehler-Code: %d zurück!\r\n%s", status, request->StatusText()));
        }
    }
    return EndUpload(result, error);
}

} // namespace tarnwick
