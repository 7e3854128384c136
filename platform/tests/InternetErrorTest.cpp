// The German texts users read for failed transfers, one row per kind.
#include "platform/internet/InternetError.h"
#include "platform/internet/InternetConstants.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

using namespace platform;

namespace {

struct ErrorCase
{
    CURLcode curl;
    const char* answer;
    uint32_t code;
    const char* text;
};

TEST(InternetErrorText, EachKindGivesTheGermanText)
{
    const ErrorCase cases[] = {
        {CURLE_COULDNT_RESOLVE_HOST, "", ERROR_INTERNET_NAME_NOT_RESOLVED,
         "Der Servername oder die Serveradresse konnte nicht verarbeitet werden."},
        {CURLE_COULDNT_CONNECT, "", ERROR_INTERNET_CANNOT_CONNECT,
         "Es konnte keine Verbindung mit dem Server hergestellt werden."},
        {CURLE_OPERATION_TIMEDOUT, "", ERROR_INTERNET_TIMEOUT, "Das Zeitlimit für den Vorgang wurde überschritten."},
        {CURLE_RECV_ERROR, "", ERROR_INTERNET_CONNECTION_RESET, "Die Verbindung mit dem Server wurde zurückgesetzt."},
        {CURLE_GOT_NOTHING, "", ERROR_INTERNET_CONNECTION_ABORTED,
         "Die Verbindung mit dem Server wurde unerwartet beendet."},
        {CURLE_PARTIAL_FILE, "", ERROR_INTERNET_CONNECTION_ABORTED,
         "Die Verbindung mit dem Server wurde unerwartet beendet."},
        {CURLE_ABORTED_BY_CALLBACK, "", ERROR_INTERNET_OPERATION_CANCELLED, "Der Vorgang wurde abgebrochen."},
        {CURLE_WEIRD_SERVER_REPLY, "", ERROR_HTTP_INVALID_SERVER_RESPONSE,
         "Die Antwort des Servers ist ungültig oder wurde nicht erkannt."},
        {CURLE_LOGIN_DENIED, "530 Login incorrect.", ERROR_INTERNET_LOGIN_FAILURE,
         "Die Anmeldung am Server wurde abgelehnt.\r\n530 Login incorrect."},
        {CURLE_UPLOAD_FAILED, "553 Not permitted.", ERROR_INTERNET_EXTENDED_ERROR,
         "Der Server hat den Zugriff auf die Datei verweigert.\r\n553 Not permitted."},
        {CURLE_REMOTE_ACCESS_DENIED, "", ERROR_INTERNET_EXTENDED_ERROR,
         "Der Server hat den Zugriff auf die Datei verweigert."},
        {CURLE_FTP_PORT_FAILED, "500 PORT refused", ERROR_INTERNET_EXTENDED_ERROR,
         "Der FTP-Server hat die Datenverbindung im aktiven Modus abgelehnt.\r\n500 PORT refused"},
        {CURLE_COULDNT_RESOLVE_PROXY, "", ERROR_INTERNET_PROXY_SERVER_UNREACHABLE,
         "Der Proxyserver ist nicht erreichbar."},
        {CURLE_URL_MALFORMAT, "", ERROR_INTERNET_INVALID_URL, "Die URL ist ungültig."},
        {CURLE_TOO_MANY_REDIRECTS, "", ERROR_HTTP_REDIRECT_FAILED, "Die Umleitung ist fehlgeschlagen."},
        // A server answer is only added where it explains the failure.
        {CURLE_COULDNT_CONNECT, "421 busy", ERROR_INTERNET_CANNOT_CONNECT,
         "Es konnte keine Verbindung mit dem Server hergestellt werden."},
        // Rare kinds keep libcurl's words and its detail.
        {CURLE_FILESIZE_EXCEEDED, "", ERROR_INTERNET_INTERNAL_ERROR,
         "Maximum file size exceeded (detail from libcurl)"}};
    for (const ErrorCase& c : cases) {
        InternetError error = InternetErrorFromCurl(c.curl, "detail from libcurl", c.answer);
        EXPECT_EQ(error.code, c.code) << c.text;
        EXPECT_EQ(error.text, c.text);
    }
}

TEST(InternetErrorText, SuccessAndUnknownNumbersHaveNoText)
{
    EXPECT_FALSE(InternetErrorFromCurl(CURLE_OK, "x", "y"));
    EXPECT_EQ(InternetErrorText(0), "");
    EXPECT_EQ(InternetErrorText(12345), "");
}

} // namespace
