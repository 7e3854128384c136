#include "tarnwick/dialup/provider/ErrorTexts.h"

#include "tarnwick/dialup/RasRecords.h"

namespace rasprovider {

const char* ErrorText(uint32_t code)
{
    switch (code) {
    case RAS_ERROR_INVALID_HANDLE:
        return "Die Verbindung besteht nicht (mehr).";
    case RAS_ERROR_INVALID_PARAMETER:
        return "Ungültiger Parameter.";
    case RAS_ERROR_INVALID_NAME:
        return "Der Name der Verbindung ist ungültig.";
    case RAS_ERROR_ALREADY_EXISTS:
        return "Die Verbindung existiert bereits.";
    case RAS_ERROR_BUFFER_TOO_SMALL:
        return "Der Speicherbereich ist zu klein.";
    case RAS_ERROR_BUFFER_INVALID:
        return "Der Speicherbereich ist ungültig.";
    case RAS_ERROR_CANNOT_FIND_PHONEBOOK_ENTRY:
        return "Das Verbindungsprofil wurde nicht gefunden.";
    case RAS_ERROR_ENTRY_NOT_FOUND:
        // What the program reports for any entry it cannot read, also while
        // NetworkManager is not running.
        return "Das Verbindungsprofil wurde nicht gefunden oder NetworkManager ist nicht erreichbar.";
    case RAS_ERROR_INVALID_SIZE:
        return "Die Größenangabe der Struktur ist falsch.";
    case RAS_ERROR_PORT_NOT_AVAILABLE:
        return "Das Gerät der Verbindung ist nicht vorhanden oder nicht verfügbar.";
    case RAS_ERROR_DEVICE_ERROR:
        return "Das Gerät hat einen Fehler gemeldet; die Verbindung konnte nicht aufgebaut werden.";
    case RAS_ERROR_DISCONNECTION:
        return "Die Verbindung wurde getrennt.";
    case RAS_ERROR_NO_ANSWER:
        return "Die Gegenstelle antwortet nicht (Zeitüberschreitung).";
    case RAS_ERROR_AUTHENTICATION_FAILURE:
        return "Zugriff verweigert: Benutzername oder Kennwort ist ungültig.";
    case RAS_ERROR_SERVICE_UNAVAILABLE:
        return "NetworkManager ist nicht erreichbar.";
    default:
        return nullptr;
    }
}

} // namespace rasprovider
