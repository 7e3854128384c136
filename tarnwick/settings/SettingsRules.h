#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <string>

// The settings pages' rules that need no widget: reading number fields,
// protocol choices, the update starter's arguments and the file dialogs'
// start values.
namespace tarnwick {

// The number in a digits-only field, read as signed; 0 when the text is not a
// number (as the interval field hands it to its setter).
TARNWICK_EXPORT int FieldNumber(const QString& text);

// A port typed into a field: the number when it lies within minimum..65535;
// none when the field is empty, not a number or out of range, so that a
// half-typed or overlong entry never reaches the record cut to 16 bits.
TARNWICK_EXPORT std::optional<uint16_t> FieldPort(const QString& text, int minimum);

// Protocol lists: index 0 is "ftp://" (service type 1, port 21), index 1
// "http://" (service type 3, port 80).
TARNWICK_EXPORT int ProtocolIndexForServiceType(int serviceType); // -1 for any other type
struct TARNWICK_EXPORT ProtocolChoice
{
    int serviceType;
    uint16_t port;
};
TARNWICK_EXPORT std::optional<ProtocolChoice> ProtocolForIndex(int index);
// The upload port after the TLS choice: http's usual port follows it (80 and
// 443); FTP over TLS keeps 21, and a port of the user's own stays.
TARNWICK_EXPORT uint16_t UploadPortForTls(int serviceType, uint16_t port, bool tls);

// The update starter's program file in the program directory, and its
// arguments: the package, the product title in double quotes (the starter
// reads its arguments as one command line) and the version.
TARNWICK_EXPORT QString UpgradeProgram(const std::string& programDirectory);
TARNWICK_EXPORT QStringList UpgradeArguments(const std::string& title, const std::string& version);

// The installed page templates, <program dir>/../share/tarnwick/vorlagen/,
// or the program directory itself when that folder is missing; with a
// trailing "/".
TARNWICK_EXPORT std::string TemplateFolder(const std::string& programDirectory);

// Where the template dialog starts: the template field's text, else the
// page name; a name without "/" lies in the given folder. The default
// suffix comes from a "." after the first character of the name.
struct TARNWICK_EXPORT FileDialogStart
{
    QString path;
    QString defaultSuffix; // without the dot; empty for none
};
TARNWICK_EXPORT FileDialogStart TemplateDialogStart(const QString& templateText, const QString& pageName,
                                                    const std::string& folder);

// A filter list in the form "Description|patterns|...||" turned into Qt's
// form: one "Description (pattern pattern)" per entry, the description's own
// pattern list replaced by the real patterns, "*.*" read as every file.
TARNWICK_EXPORT QString QtFileFilter(const char* windowsFilter);

// The filters of the pages' file dialogs.
extern TARNWICK_EXPORT const char* const kTemplateFilter;
extern TARNWICK_EXPORT const char* const kBackupFilter;

} // namespace tarnwick
