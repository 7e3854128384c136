#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include <string>
#include <string_view>

// The logon-start entry: an XDG autostart file that starts the program hidden
// ("/pending") when the user logs on, standing in for the value
// "TarnwickTray" of the Run key.
namespace tarnwick {

// $XDG_CONFIG_HOME/autostart/TarnwickTray.desktop
TARNWICK_EXPORT std::string AutostartEntryPath();

// The command the entry runs: the quoted program path followed by " /pending".
// Executables have no implicit extension here, so the file name is kept whole.
TARNWICK_EXPORT std::string AutostartCommand(std::string_view programDir, std::string_view programFileName);

// The desktop entry text for that command; empty when the path cannot be
// written into an Exec line (control characters).
TARNWICK_EXPORT std::string AutostartDesktopEntry(std::string_view programDir, std::string_view programFileName);

// Writes the entry (creating the autostart folder); true on success.
TARNWICK_EXPORT bool WriteAutostartEntry(std::string_view programDir, std::string_view programFileName);

// Removes the entry; true when it existed and was removed.
TARNWICK_EXPORT bool DeleteAutostartEntry();

} // namespace tarnwick
