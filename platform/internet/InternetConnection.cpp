#include "platform/internet/InternetConnection.h"

#include "platform/internet/CurlTransfer.h"
#include "platform/internet/HttpRequest.h"
#include "platform/internet/InternetConstants.h"
#include "platform/internet/InternetSession.h"
#include "platform/internet/InternetText.h"
#include "platform/url/InternetUrl.h"

#include <algorithm>

namespace platform {

namespace {

InternetError ErrorOf(uint32_t code)
{
    return {code, InternetErrorText(code)};
}

// How long an active-mode transfer waits for the server's data connection.
constexpr long kActiveAcceptMs = 5000;

} // namespace

InternetConnection::InternetConnection(InternetSession& session, uint32_t service, std::string server, uint16_t port,
                                       std::string user, std::string password, uint32_t flags)
    : m_session(session)
    , m_service(service)
    , m_server(std::move(server))
    , m_port(port)
    , m_user(std::move(user))
    , m_password(std::move(password))
    , m_flags(flags)
{
    if (m_port == INTERNET_INVALID_PORT_NUMBER)
        m_port = service == INTERNET_SERVICE_FTP ? INTERNET_DEFAULT_FTP_PORT : INTERNET_DEFAULT_HTTP_PORT;
    m_session.Report(m_session.Context(), INTERNET_STATUS_HANDLE_CREATED, {});
}

InternetConnection::~InternetConnection()
{
    Close();
}

void InternetConnection::Close()
{
    if (!m_open)
        return;
    m_open = false;
    m_session.Report(m_session.Context(), INTERNET_STATUS_HANDLE_CLOSING, {});
}

std::unique_ptr<HttpRequest> InternetConnection::OpenRequest(const std::string& verb, const std::string& object,
                                                             const std::string& referrer, uintptr_t context,
                                                             uint32_t flags, InternetError& error)
{
    error = {};
    if (!m_open || m_service != INTERNET_SERVICE_HTTP) {
        error = ErrorOf(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
        return nullptr;
    }
    if (m_session.IsClosed()) {
        error = ErrorOf(ERROR_INTERNET_OPERATION_CANCELLED);
        return nullptr;
    }
    const std::string method = verb.empty() ? std::string("GET") : verb;
    if (internet_text::HasControlCharacters(method) || method.find(' ') != std::string::npos
        || internet_text::HasControlCharacters(object) || internet_text::HasControlCharacters(referrer)) {
        error = ErrorOf(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    try {
        return std::make_unique<HttpRequest>(*this, method, object, referrer, context, flags);
    } catch (...) {
        error = ErrorOf(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}

bool InternetConnection::PutFile(const std::string& remotePath, std::string_view data, uint32_t transferType,
                                 uintptr_t context, InternetError& error)
{
    error = {};
    if (!m_open || m_service != INTERNET_SERVICE_FTP) {
        error = ErrorOf(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
        return false;
    }
    if (remotePath.empty() || internet_text::HasControlCharacters(remotePath)) {
        error = ErrorOf(ERROR_INVALID_PARAMETER);
        return false;
    }
    try {
        CurlTransfer transfer(m_session, context, CurlTransfer::Kind::Ftp, m_server, m_port);
        if (!m_session.ApplyOptions(transfer)) {
            error = ErrorOf(ERROR_INTERNET_INTERNAL_ERROR);
            return false;
        }
        transfer.SetScheme("ftp");
        const bool ascii = transferType == FTP_TRANSFER_TYPE_ASCII;
        const std::string url = "ftp://" + internet_text::HostForUrl(m_server) + ":" + std::to_string(m_port)
            + internet_text::EncodeFtpPath(remotePath);
        CURL* easy = transfer.Easy();
        // The path goes to the server in one STOR, as the caller wrote it.
        bool ok = curl_easy_setopt(easy, CURLOPT_URL, url.c_str()) == CURLE_OK
            && curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "ftp") == CURLE_OK
            && curl_easy_setopt(easy, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD)) == CURLE_OK
            && curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L) == CURLE_OK
            && curl_easy_setopt(easy, CURLOPT_TRANSFERTEXT, ascii ? 1L : 0L) == CURLE_OK;
        if (m_flags & INTERNET_FLAG_SECURE) {
            // Explicit TLS (AUTH TLS) on control and data connection, or no
            // transfer at all; passive, since no router can rewrite a PORT
            // command it cannot read.
            ok = ok && curl_easy_setopt(easy, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL)) == CURLE_OK
                && curl_easy_setopt(easy, CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_TLS)) == CURLE_OK;
        } else if (!(m_flags & INTERNET_FLAG_PASSIVE)) {
            // A server that cannot reach back says so within a few seconds,
            // so that a caller can still try passive mode.
            const long acceptMs
                = std::min<long>(kActiveAcceptMs, static_cast<long>(m_session.ConnectTimeout().count()));
            ok = ok && curl_easy_setopt(easy, CURLOPT_FTPPORT, "-") == CURLE_OK
                && curl_easy_setopt(easy, CURLOPT_ACCEPTTIMEOUT_MS, acceptMs) == CURLE_OK;
        }
        if (!m_user.empty()) {
            ok = ok && curl_easy_setopt(easy, CURLOPT_USERNAME, m_user.c_str()) == CURLE_OK
                && curl_easy_setopt(easy, CURLOPT_PASSWORD, m_password.c_str()) == CURLE_OK;
        }
        transfer.SetUpload(std::string(data));
        if (!ok || !transfer.Valid()) {
            error = ErrorOf(ERROR_INTERNET_INTERNAL_ERROR);
            return false;
        }
        if (!transfer.Begin(error))
            return false;
        return transfer.WaitForCompletion(error);
    } catch (...) {
        error = ErrorOf(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
}

} // namespace platform
