#pragma once

#include <string>

// The component's error descriptions as the user reads them. Builders put the
// variable parts in place; texts are 8-bit (UTF-8) and become UTF-16 in the
// error object.
namespace corvane::messages {

inline constexpr const char* kTimeoutRange = "Die Timeout-Angabe muss zwischen 0 und 30 Sekunden liegen!";
inline constexpr const char* kNoServer = "Fehler! Es wurde kein Server angegeben!";
inline constexpr const char* kUrlNotResolved = "Fehler! URL konnte nicht aufgelößt werden.";
inline constexpr const char* kNoHost = "Hostadresse wurde nicht angegeben!";
inline constexpr const char* kBadPort = "Port ist ungültig!";
inline constexpr const char* kNoCommand = "Kommando wurde nicht angegeben!";
inline constexpr const char* kHttpBodyTooLarge = "Fehler! Die Antwort des Servers ist größer als 16 MB.";
inline constexpr const char* kReceiveSizeRange = "Die maximale Größe der Antwort muss zwischen 1 und 32768 KB liegen!";

std::string ConnectFailed(const std::string& server, long port, const std::string& systemText);
std::string SendFailed(const std::string& command, const std::string& systemText);
std::string SendOrReceiveFailed(const std::string& command, const std::string& systemText);
std::string ReceiveFailed(const std::string& answerSoFar, const std::string& systemText);
std::string HttpUrlNotResolved(const std::string& url);
std::string HttpStatusError(long statusCode, const std::string& statusText);

} // namespace corvane::messages
