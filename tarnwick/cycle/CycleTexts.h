#pragma once

// The redirect cycle's own texts: button labels and status-list lines.
namespace tarnwick::cycle_texts {

inline constexpr const char* kAddressesLabel = "&IPs ermitteln";
inline constexpr const char* kCycleLabel = "Umleitbefehl hoch&laden";
inline constexpr const char* kCancelLabel = "A&bbrechen";
inline constexpr const char* kStartLabel = "&Start";
inline constexpr const char* kStopLabel = "&Stopp";

inline constexpr const char* kNoAddresses = "IP-Adressen konnten nicht ermittelt werden.";
inline constexpr const char* kRedirectsTo = "Webseite %s leitet nach %s um...";
inline constexpr const char* kDoesNotRedirect = "Webseite %s leitet nicht um...";
inline constexpr const char* kAlreadyCurrent = "Webseite ist bereits aktuell und wird nicht erneut hochgeladen...";
inline constexpr const char* kUploadSucceeded = "Datei mit neuer Umleitung wurde erfolgreich an den Server gesendet.";
inline constexpr const char* kUploadFailed = "Datei mit neuer Umleitung konnte nicht gesendet werden!";

// Beside the cycle: the address warning, the retry and the reaction to a changed address.
inline constexpr const char* kUnreachableAddress
    = "Hinweis: %s ist eine %s und aus dem Internet nicht erreichbar. Abhilfe: \"zugewiesene IP-Adresse vom "
      "VELT-Server abholen\" einschalten.";
inline constexpr const char* kUnreachableAddressTryIpv6
    = "Hinweis: %s ist eine %s und aus dem Internet nicht erreichbar. Abhilfe: Der Computer hat die feste "
      "globale IPv6-Adresse %s; auf der Seite \"Umleitung nach...\" \"IPv6\" wählen.";
inline constexpr const char* kNoIpv6Server = "Fehler! Der Server %s hat keine IPv6-Adresse.";
inline constexpr const char* kNoIpv4Server = "Fehler! Der Server %s hat keine IPv4-Adresse.";
inline constexpr const char* kNoStableIpv6
    = "Fehler! Der Computer hat keine feste globale IPv6-Adresse (gefunden: %s; temporäre, veraltete und "
      "lokale Adressen werden nicht veröffentlicht).";
inline constexpr const char* kBadInterfaceId
    = "Fehler! Die Schnittstellenkennung %s ist keine IPv6-Schnittstellenkennung (die oberen 64 Bit null, etwa ::99).";
inline constexpr const char* kNextTry = "Nächster Versuch um %s (in %s).";
inline constexpr const char* kAddressChanged
    = "Die Netzwerkadressen des Computers haben sich geändert; die Umleitung wird geprüft.";

inline constexpr const char* kFetchingClientAddress = "Client-IP-Adresse wird vom Server abgeholt.";
inline constexpr const char* kDialFailed = "Fehler! Verbindung zum Server konnte nicht automatisch aufgebaut werden.";
inline constexpr const char* kComponentInitFailed
    = "Fehler! VELT-Corvane-Komponente konnte nicht initialisiert werden.";

} // namespace tarnwick::cycle_texts
