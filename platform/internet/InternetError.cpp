#include "platform/internet/InternetError.h"

#include "platform/internet/InternetConstants.h"

#include <curl/curl.h>

namespace platform {

namespace {

struct ErrorText
{
    uint32_t code;
    const char* text;
};

// The texts a German system shows for its internet client's errors.
constexpr ErrorText kErrorTexts[] = {
    {ERROR_NOT_ENOUGH_MEMORY, "Nicht genügend Speicher verfügbar, um diesen Befehl zu verarbeiten."},
    {ERROR_INVALID_PARAMETER, "Falscher Parameter."},
    {ERROR_INTERNET_OUT_OF_HANDLES, "Es konnten keine weiteren Internetzugriffsnummern zugeordnet werden."},
    {ERROR_INTERNET_TIMEOUT, "Das Zeitlimit für den Vorgang wurde überschritten."},
    {ERROR_INTERNET_EXTENDED_ERROR, "Ein erweiterter Fehler ist aufgetreten."},
    {ERROR_INTERNET_INTERNAL_ERROR, "Ein interner Fehler ist aufgetreten."},
    {ERROR_INTERNET_INVALID_URL, "Die URL ist ungültig."},
    {ERROR_INTERNET_UNRECOGNIZED_SCHEME, "Das URL-Protokoll konnte nicht erkannt werden."},
    {ERROR_INTERNET_NAME_NOT_RESOLVED, "Der Servername oder die Serveradresse konnte nicht verarbeitet werden."},
    {ERROR_INTERNET_LOGIN_FAILURE, "Die Anmeldung am Server wurde abgelehnt."},
    {ERROR_INTERNET_INVALID_OPERATION, "Der angeforderte Vorgang ist ungültig."},
    {ERROR_INTERNET_OPERATION_CANCELLED, "Der Vorgang wurde abgebrochen."},
    {ERROR_INTERNET_INCORRECT_HANDLE_STATE,
     "Der angeforderte Vorgang kann nicht ausgeführt werden, da die angegebene Zugriffsnummer nicht den "
     "richtigen Status hat."},
    {ERROR_INTERNET_CANNOT_CONNECT, "Es konnte keine Verbindung mit dem Server hergestellt werden."},
    {ERROR_INTERNET_CONNECTION_ABORTED, "Die Verbindung mit dem Server wurde unerwartet beendet."},
    {ERROR_INTERNET_CONNECTION_RESET, "Die Verbindung mit dem Server wurde zurückgesetzt."},
    {ERROR_FTP_DROPPED, "Der FTP-Vorgang wurde abgebrochen, da die Datenverbindung getrennt wurde."},
    {ERROR_HTTP_HEADER_NOT_FOUND, "Der angeforderte Header wurde nicht gefunden."},
    {ERROR_HTTP_INVALID_SERVER_RESPONSE, "Die Antwort des Servers ist ungültig oder wurde nicht erkannt."},
    {ERROR_HTTP_REDIRECT_FAILED, "Die Umleitung ist fehlgeschlagen."},
    {ERROR_INTERNET_SECURITY_CHANNEL_ERROR, "Beim sicheren Kanal ist ein Fehler aufgetreten."},
    {ERROR_INTERNET_PROXY_SERVER_UNREACHABLE, "Der Proxyserver ist nicht erreichbar."},
    {ERROR_INTERNET_SEC_INVALID_CERT, "Das Sicherheitszertifikat des Servers ist ungültig."},
};

// A file the FTP server refused, with the server's answer: "not permitted"
// is the text users understand for 550 and 553 answers.
constexpr const char* kFileRefused = "Der Server hat den Zugriff auf die Datei verweigert.";
constexpr const char* kActiveModeRefused = "Der FTP-Server hat die Datenverbindung im aktiven Modus abgelehnt.";
constexpr const char* kNoDataConnection = "Der FTP-Server hat keine Datenverbindung hergestellt.";
constexpr const char* kNoTls = "Der Server bietet keine verschlüsselte Verbindung (TLS) an.";
constexpr const char* kCaFileUnreadable = "Die Datei mit den Zertifizierungsstellen (CaFile) ist nicht lesbar.";

struct CurlMapping
{
    CURLcode curl;
    uint32_t code;
    const char* text; // nullptr: the error number's own text
    bool withAnswer; // the server's answer follows on a new line
};

constexpr CurlMapping kCurlMappings[] = {
    {CURLE_UNSUPPORTED_PROTOCOL, ERROR_INTERNET_UNRECOGNIZED_SCHEME, nullptr, false},
    {CURLE_URL_MALFORMAT, ERROR_INTERNET_INVALID_URL, nullptr, false},
    {CURLE_COULDNT_RESOLVE_PROXY, ERROR_INTERNET_PROXY_SERVER_UNREACHABLE, nullptr, false},
    {CURLE_COULDNT_RESOLVE_HOST, ERROR_INTERNET_NAME_NOT_RESOLVED, nullptr, false},
    {CURLE_COULDNT_CONNECT, ERROR_INTERNET_CANNOT_CONNECT, nullptr, false},
    {CURLE_WEIRD_SERVER_REPLY, ERROR_HTTP_INVALID_SERVER_RESPONSE, nullptr, false},
    {CURLE_REMOTE_ACCESS_DENIED, ERROR_INTERNET_EXTENDED_ERROR, kFileRefused, true},
    {CURLE_FTP_ACCEPT_FAILED, ERROR_FTP_DROPPED, kNoDataConnection, true},
    {CURLE_FTP_ACCEPT_TIMEOUT, ERROR_FTP_DROPPED, kNoDataConnection, true},
    {CURLE_FTP_WEIRD_PASS_REPLY, ERROR_INTERNET_LOGIN_FAILURE, nullptr, true},
    {CURLE_FTP_WEIRD_PASV_REPLY, ERROR_HTTP_INVALID_SERVER_RESPONSE, nullptr, true},
    {CURLE_FTP_WEIRD_227_FORMAT, ERROR_HTTP_INVALID_SERVER_RESPONSE, nullptr, true},
    {CURLE_FTP_CANT_GET_HOST, ERROR_INTERNET_CANNOT_CONNECT, nullptr, false},
    {CURLE_FTP_COULDNT_SET_TYPE, ERROR_INTERNET_EXTENDED_ERROR, nullptr, true},
    {CURLE_PARTIAL_FILE, ERROR_INTERNET_CONNECTION_ABORTED, nullptr, false},
    {CURLE_FTP_COULDNT_RETR_FILE, ERROR_INTERNET_EXTENDED_ERROR, kFileRefused, true},
    {CURLE_QUOTE_ERROR, ERROR_INTERNET_EXTENDED_ERROR, nullptr, true},
    {CURLE_HTTP_RETURNED_ERROR, ERROR_HTTP_INVALID_SERVER_RESPONSE, nullptr, false},
    {CURLE_WRITE_ERROR, ERROR_INTERNET_INTERNAL_ERROR, nullptr, false},
    {CURLE_UPLOAD_FAILED, ERROR_INTERNET_EXTENDED_ERROR, kFileRefused, true},
    {CURLE_READ_ERROR, ERROR_INTERNET_INTERNAL_ERROR, nullptr, false},
    {CURLE_OUT_OF_MEMORY, ERROR_NOT_ENOUGH_MEMORY, nullptr, false},
    {CURLE_OPERATION_TIMEDOUT, ERROR_INTERNET_TIMEOUT, nullptr, false},
    {CURLE_FTP_PORT_FAILED, ERROR_INTERNET_EXTENDED_ERROR, kActiveModeRefused, true},
    {CURLE_FTP_COULDNT_USE_REST, ERROR_INTERNET_EXTENDED_ERROR, nullptr, true},
    {CURLE_RANGE_ERROR, ERROR_INTERNET_EXTENDED_ERROR, nullptr, false},
    {CURLE_SSL_CONNECT_ERROR, ERROR_INTERNET_SECURITY_CHANNEL_ERROR, nullptr, false},
    {CURLE_BAD_DOWNLOAD_RESUME, ERROR_INTERNET_EXTENDED_ERROR, nullptr, false},
    {CURLE_ABORTED_BY_CALLBACK, ERROR_INTERNET_OPERATION_CANCELLED, nullptr, false},
    {CURLE_INTERFACE_FAILED, ERROR_INTERNET_CANNOT_CONNECT, nullptr, false},
    {CURLE_TOO_MANY_REDIRECTS, ERROR_HTTP_REDIRECT_FAILED, nullptr, false},
    {CURLE_GOT_NOTHING, ERROR_INTERNET_CONNECTION_ABORTED, nullptr, false},
    {CURLE_SEND_ERROR, ERROR_INTERNET_CONNECTION_RESET, nullptr, false},
    {CURLE_RECV_ERROR, ERROR_INTERNET_CONNECTION_RESET, nullptr, false},
    {CURLE_PEER_FAILED_VERIFICATION, ERROR_INTERNET_SEC_INVALID_CERT, nullptr, false},
    {CURLE_SSL_CERTPROBLEM, ERROR_INTERNET_SECURITY_CHANNEL_ERROR, nullptr, false},
    {CURLE_SSL_CIPHER, ERROR_INTERNET_SECURITY_CHANNEL_ERROR, nullptr, false},
    {CURLE_SSL_CACERT_BADFILE, ERROR_INTERNET_SECURITY_CHANNEL_ERROR, kCaFileUnreadable, false},
    {CURLE_USE_SSL_FAILED, ERROR_INTERNET_SECURITY_CHANNEL_ERROR, kNoTls, true},
    {CURLE_LOGIN_DENIED, ERROR_INTERNET_LOGIN_FAILURE, nullptr, true},
    {CURLE_REMOTE_FILE_NOT_FOUND, ERROR_INTERNET_EXTENDED_ERROR, kFileRefused, true},
    {CURLE_REMOTE_DISK_FULL, ERROR_INTERNET_EXTENDED_ERROR, nullptr, true},
    {CURLE_AGAIN, ERROR_INTERNET_CONNECTION_ABORTED, nullptr, false},
};

} // namespace

std::string InternetErrorText(uint32_t code)
{
    for (const auto& entry : kErrorTexts) {
        if (entry.code == code)
            return entry.text;
    }
    return {};
}

InternetError InternetErrorFromCurl(int curlCode, std::string_view curlDetail, std::string_view serverAnswer)
{
    if (curlCode == CURLE_OK)
        return {};
    for (const auto& mapping : kCurlMappings) {
        if (mapping.curl != curlCode)
            continue;
        InternetError error {mapping.code, mapping.text ? mapping.text : InternetErrorText(mapping.code), curlCode};
        if (mapping.withAnswer && !serverAnswer.empty())
            error.text += "\r\n" + std::string(serverAnswer);
        return error;
    }
    // Kinds users rarely meet keep libcurl's own words.
    InternetError error {ERROR_INTERNET_INTERNAL_ERROR, curl_easy_strerror(static_cast<CURLcode>(curlCode)), curlCode};
    if (!curlDetail.empty())
        error.text += " (" + std::string(curlDetail) + ")";
    return error;
}

bool IsActiveModeFailure(const InternetError& error)
{
    return error.cause == CURLE_FTP_ACCEPT_FAILED || error.cause == CURLE_FTP_ACCEPT_TIMEOUT
        || error.cause == CURLE_FTP_PORT_FAILED;
}

std::string CertificateErrorText(long verifyResult)
{
    // X509_V_ERR_* numbers, stable across OpenSSL versions.
    switch (verifyResult) {
    case 0:
    case 1: // unspecified: how libcurl reports its own name check
    case 62: // host name mismatch
    case 64: // IP address mismatch
        return "Das Sicherheitszertifikat des Servers gilt nicht für diesen Servernamen.";
    case 9: // not yet valid
        return "Das Sicherheitszertifikat des Servers ist noch nicht gültig.";
    case 10: // expired
        return "Das Sicherheitszertifikat des Servers ist abgelaufen.";
    case 18: // self-signed leaf
    case 19: // self-signed certificate in the chain
        return "Das Sicherheitszertifikat des Servers ist selbst signiert und nicht vertrauenswürdig.";
    case 2: // issuer unknown
    case 20: // issuer not found locally
    case 21: // leaf alone, issuer unknown
        return "Das Sicherheitszertifikat des Servers stammt von keiner vertrauenswürdigen Zertifizierungsstelle.";
    default:
        return InternetErrorText(ERROR_INTERNET_SEC_INVALID_CERT);
    }
}

} // namespace platform
