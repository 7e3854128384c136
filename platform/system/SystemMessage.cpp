#include "platform/system/SystemMessage.h"

#include <cerrno>
#include <cstring>
#include <string_view>

namespace platform {

namespace {

struct MessageText
{
    uint32_t code;
    const char* text;
};

// German system texts, keyed by Windows error number, Winsock code or HRESULT.
constexpr MessageText kTexts[] = {
    {0, "Der Vorgang wurde erfolgreich beendet."},
    {2, "Das System kann die angegebene Datei nicht finden."},
    {3, "Das System kann den angegebenen Pfad nicht finden."},
    {5, "Zugriff verweigert"},
    {6, "Das Handle ist ungültig."},
    {8, "Nicht genügend Speicher verfügbar, um diesen Befehl zu verarbeiten."},
    {14, "Nicht genügend Speicher verfügbar, um diesen Vorgang abzuschließen."},
    {87, "Falscher Parameter."},
    {126, "Das angegebene Modul wurde nicht gefunden."},
    {127, "Die angegebene Prozedur wurde nicht gefunden."},

    {10004, "Ein blockierender Vorgang wurde durch einen Aufruf von WSACancelBlockingCall unterbrochen."},
    {10013, "Der Zugriff auf einen Socket war aufgrund der Zugriffsrechte des Sockets unzulässig."},
    {10022, "Ein ungültiges Argument wurde angegeben."},
    {10035, "Ein nicht blockierender Socketvorgang konnte nicht sofort ausgeführt werden."},
    {10038, "Ein Vorgang bezog sich auf ein Objekt, das kein Socket ist."},
    {10040,
     "Eine an einen Datagrammsocket gesendete Nachricht war größer als der interne Nachrichtenpuffer oder ein "
     "anderes Netzwerklimit, oder der Puffer für den Empfang eines Datagramms war kleiner als das Datagramm "
     "selbst."},
    {10048,
     "Normalerweise darf jede Socketadresse (Protokoll, Netzwerkadresse oder Anschluss) nur jeweils einmal "
     "verwendet werden."},
    {10049, "Die angeforderte Adresse ist in diesem Kontext ungültig."},
    {10050, "Ein Socketvorgang hat ein nicht verfügbares Netzwerk festgestellt."},
    {10051, "Ein Socketvorgang bezog sich auf ein nicht verfügbares Netzwerk."},
    {10053, "Eine bestehende Verbindung wurde softwaregesteuert durch den Hostcomputer abgebrochen."},
    {10054, "Eine vorhandene Verbindung wurde vom Remotehost geschlossen."},
    {10055,
     "Ein Vorgang für einen Socket konnte nicht ausgeführt werden, da dem System Pufferspeicher fehlte oder eine "
     "Warteschlange voll war."},
    {10056, "Für einen verbundenen Socket wurde eine Verbindungsanforderung gesendet."},
    {10057,
     "Eine Anforderung zum Senden oder Empfangen von Daten wurde verhindert, da der Socket nicht verbunden ist "
     "und (beim Senden über einen Datagrammsocket mit einem sendto-Aufruf) keine Adresse angegeben wurde."},
    {10060,
     "Ein Verbindungsversuch ist fehlgeschlagen, da die Gegenstelle nach einer bestimmten Zeitspanne nicht "
     "richtig reagiert hat, oder die hergestellte Verbindung war fehlerhaft, da der verbundene Host nicht "
     "reagiert hat."},
    {10061, "Es konnte keine Verbindung hergestellt werden, da der Zielcomputer die Verbindung verweigerte."},
    {10064, "Ein Socketvorgang ist fehlgeschlagen, da der Zielhost nicht verfügbar war."},
    {10065, "Ein Socketvorgang bezog sich auf einen nicht verfügbaren Host."},
    {10093, "Entweder hat die Anwendung WSAStartup nicht aufgerufen, oder WSAStartup ist fehlgeschlagen."},
    {11001, "Der angegebene Host ist unbekannt."},
    {11002,
     "Dies ist normalerweise ein temporärer Fehler bei der Auflösung von Hostnamen. Er tritt auf, wenn der "
     "lokale Server keine Antwort vom autorisierenden Server erhalten hat."},
    {11004, "Der angeforderte Name ist gültig, es wurden jedoch keine Daten des angeforderten Typs gefunden."},

    {0x80004001, "Nicht implementiert"},
    {0x80004002, "Schnittstelle nicht unterstützt"},
    {0x80004003, "Ungültiger Zeiger"},
    {0x80004004, "Vorgang abgebrochen"},
    {0x80004005, "Unbekannter Fehler"},
    {0x8000FFFF, "Schwerwiegender Fehler"},
    {0x80070057, "Mindestens ein Argument ist ungültig."},
    {0x80010106, "Der Threadmodus kann nicht geändert werden, nachdem er festgelegt wurde."},
    {0x80020003, "Mitglied nicht gefunden."},
    {0x80020004, "Parameter nicht gefunden."},
    {0x80020005, "Typenkonflikt."},
    {0x80020006, "Unbekannter Name."},
    {0x80020007, "Benannte Argumente werden nicht unterstützt."},
    {0x80020008, "Ungültiger Variablentyp."},
    {0x80020009, "Ausnahmefehler aufgetreten."},
    {0x8002000A, "Außerhalb des gültigen Bereichs."},
    {0x8002000E, "Ungültige Anzahl von Parametern."},
    {0x8002000F, "Parameter ist nicht optional."},
    {0x80028018, "Fehler beim Lesen der Daten."},
    {0x8002801C, "Fehler beim Zugriff auf die Registrierung."},
    {0x8002801D, "Bibliothek nicht registriert."},
    {0x8002802B, "Element nicht gefunden."},
    {0x80029C4A, "Fehler beim Laden der Typbibliothek/DLL."},
    {0x80040110, "Die Klasse unterstützt keine Aggregation (oder das Klassenobjekt ist remote)."},
    {0x80040111, "Die Klassenfactory kann die angeforderte Klasse nicht bereitstellen."},
    {0x80040154, "Klasse nicht registriert"},
    {0x800401F0, "CoInitialize wurde nicht aufgerufen."},
    {0x800401F3, "Ungültige Klassenzeichenfolge"},
    {0x800401F8, "DLL für die Klasse wurde nicht gefunden."},
    {0x800401F9, "Fehler in der DLL"},
};

// Winsock codes without a German text, as the errno values they stand for.
constexpr struct
{
    uint32_t code;
    int errnoValue;
} kWinsockErrno[] = {
    {10009, EBADF},           {10014, EFAULT},          {10024, EMFILE},     {10036, EINPROGRESS},
    {10037, EALREADY},        {10039, EDESTADDRREQ},    {10041, EPROTOTYPE}, {10042, ENOPROTOOPT},
    {10043, EPROTONOSUPPORT}, {10044, ESOCKTNOSUPPORT}, {10045, EOPNOTSUPP}, {10046, EPFNOSUPPORT},
    {10047, EAFNOSUPPORT},    {10052, ENETRESET},       {10058, ESHUTDOWN},  {10059, ETOOMANYREFS},
    {10062, ELOOP},           {10063, ENAMETOOLONG},    {10066, ENOTEMPTY},  {10068, EUSERS},
    {10069, EDQUOT},          {10070, ESTALE},          {10071, EREMOTE},
};

const char* GermanText(uint32_t code)
{
    for (const MessageText& entry : kTexts) {
        if (entry.code == code)
            return entry.text;
    }
    return nullptr;
}

// strerror's text, or "" for a number the C library does not know.
std::string ErrnoText(int value)
{
    char buffer[256];
    const char* text = ::strerror_r(value, buffer, sizeof buffer);
    if (!text || std::string_view(text).starts_with("Unknown error")
        || std::string_view(text).starts_with("Unbekannter Fehler "))
        return {};
    return text;
}

} // namespace

std::string FormatSystemMessage(uint32_t code)
{
    if (const char* text = GermanText(code))
        return text;
    // An HRESULT that wraps a Windows error number has that number's text.
    if ((code & 0xFFFF0000u) == 0x80070000u)
        return FormatSystemMessage(code & 0xFFFFu);
    for (const auto& entry : kWinsockErrno) {
        if (entry.code == code)
            return ErrnoText(entry.errnoValue);
    }
    if (code > 0 && code < 4096)
        return ErrnoText(static_cast<int>(code));
    return {};
}

} // namespace platform
