#include "corvanecom/CorvaneMessages.h"

namespace corvane::messages {

std::string ConnectFailed(const std::string& server, long port, const std::string& systemText)
{
    return "Fehler! Verbindung zum Server " + server + " auf Port " + std::to_string(port)
        + " konnte nicht hergestellt werden!\r\n" + systemText;
}

std::string SendFailed(const std::string& command, const std::string& systemText)
{
    return "Fehler beim Senden des Kommandos " + command + "!\r\n" + systemText;
}

std::string SendOrReceiveFailed(const std::string& command, const std::string& systemText)
{
    return "Fehler beim Senden oder Empfangen des Kommandos " + command + "!\r\n" + systemText;
}

std::string ReceiveFailed(const std::string& answerSoFar, const std::string& systemText)
{
    return "Fehler beim Empfang der Daten!\r\nAntwort: " + answerSoFar + "\r\n" + systemText;
}

std::string HttpUrlNotResolved(const std::string& url)
{
    return "Url: " + url + " konnte nicht aufgelößt werden!";
}

std::string HttpStatusError(long statusCode, const std::string& statusText)
{
    return "Der Server gab Fehler-Code: " + std::to_string(statusCode) + " zurück!\r\n" + statusText;
}

} // namespace corvane::messages
