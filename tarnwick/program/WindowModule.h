#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include <string>
#include <vector>

namespace platform {
class TitleWindow;
}
namespace tarnwick {
class CRedirectApp;
}

// The window program lives in a module that only window mode opens, so that
// the command-line options and the headless mode never map Qt Gui, Qt
// Widgets or display libraries. These are its two entries (C names, looked
// up at run time).
extern "C" {
// The first instance with its application object and its claimed title: runs
// the main window for the whole life of the program and returns the exit code.
using TarnwickWindowMainFn
    = int (*)(tarnwick::CRedirectApp* app, platform::TitleWindow* title, bool pending, int argc, char** argv);
// A later desktop start while the windowless instance runs: says so in a message box.
using TarnwickWindowlessNoteFn = int (*)(int argc, char** argv);
}

namespace tarnwick {

inline constexpr const char* kWindowMainSymbol = "TarnwickWindowMain";
inline constexpr const char* kWindowlessNoteSymbol = "TarnwickWindowlessNote";

// Where the module is looked for, first match wins: beside the program (the
// build tree), then in the installed private library folder.
TARNWICK_EXPORT std::vector<std::string> WindowModuleCandidates(const std::string& programDirectory);

// The windowless instance claims this title beside the main window's one, so
// that a desktop start can tell it apart from a tray instance.
TARNWICK_EXPORT std::string WindowlessMarkerTitle(const std::string& title);

} // namespace tarnwick

namespace tarnwick {

// What a desktop start says while the windowless instance (the service) runs.
inline constexpr const char* kWindowlessNoteCaption = "Tarnwick läuft bereits";
inline constexpr const char* kWindowlessNoteText
    = "Tarnwick läuft bereits ohne Fenster (als Dienst) und hält die Umleitung aktuell.\n\n"
      "Die Statusmeldungen zeigt: journalctl --user -u tarnwick.service -f\n"
      "Einen Durchlauf sofort starten: tarnwick /execnow\n"
      "Tarnwick mit Fenster verwenden: zuerst den Dienst beenden mit\n"
      "systemctl --user stop tarnwick.service";

} // namespace tarnwick
