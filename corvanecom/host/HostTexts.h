#pragma once

// The texts the corvane program shows, and its exit codes.
namespace corvane::host {

inline constexpr int kExitOk = 0;
inline constexpr int kExitCallFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitComponent = 3;

inline constexpr const char* kProgramProgId = "VELT.Corvane";
inline constexpr const char* kModuleFileName = "libcorvanecom.so";

extern const char* const kHelpText;

inline constexpr const char* kNoCalls = "Es wurde kein Aufruf angegeben. Hilfe: corvane --help";
inline constexpr const char* kUnknownOption = "Unbekannte Option: %s";
inline constexpr const char* kUnknownMember = "Unbekanntes Mitglied: %s";
inline constexpr const char* kMissingArgument = "Fehlendes Argument %s für %s.";
inline constexpr const char* kNotANumber = "Das Argument \"%s\" für %s ist keine gültige Zahl.";
inline constexpr const char* kBadEscape = "Ungültige Escape-Folge im Argument \"%s\" für %s.";
inline constexpr const char* kNotSettable = "%s ist keine Eigenschaft, der ein Wert zugewiesen werden kann.";
inline constexpr const char* kNotCallable = "%s kann nicht aufgerufen werden.";
inline constexpr const char* kUnsupportedType
    = "Der Parameter %s von %s hat einen Typ, den corvane nicht übergeben kann.";
inline constexpr const char* kTooManyArguments = "Zu viele Argumente für %s.";
inline constexpr const char* kNotRegistered
    = "Die Komponente VELT.Corvane ist nicht registriert. Registrieren mit: corvane --register";
inline constexpr const char* kCreateFailed = "Die Komponente VELT.Corvane konnte nicht erzeugt werden: %s";
inline constexpr const char* kTypeInfoFailed = "Die Typinformationen der Komponente fehlen: %s";
inline constexpr const char* kModuleNotFound = "Die Komponente %s wurde nicht gefunden.";
inline constexpr const char* kModuleNotLoaded = "Die Komponente %s konnte nicht geladen werden: %s";
inline constexpr const char* kNoEntryPoint = "Die Komponente %s exportiert %s nicht.";
inline constexpr const char* kRegistered = "Die Komponente %s wurde registriert.";
inline constexpr const char* kUnregistered = "Die Registrierung der Komponente %s wurde entfernt.";
inline constexpr const char* kRegisterFailed = "%s ist fehlgeschlagen: %s";
inline constexpr const char* kUnknownError = "Fehler 0x%08X";

} // namespace corvane::host
