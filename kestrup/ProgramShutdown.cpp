#include "kestrup/ProgramShutdown.h"

#include <thread>

namespace kestrup {

platform::RemoteWindow FindAndActivateWindow(std::string_view title)
{
    platform::RemoteWindow window = platform::RemoteWindow::Find(title);
    if (window)
        window.BringToFront();
    return window;
}

bool QuitProgram(std::string_view title, const std::function<void(const std::string&)>& stopMessage,
                 std::chrono::milliseconds pause)
{
    if (title.empty()) {
        stopMessage("Es wurde kein Name für das zu beendende Programm angegeben!");
        return false;
    }
    int attempt = 0;
    platform::RemoteWindow window = FindAndActivateWindow(title);
    while (window) {
        if (attempt == kMaxQuitAttempts)
            break;
        window.PostMessage(attempt % 2 == 0 ? WM_QUIT : WM_DESTROY, 0, 0);
        std::this_thread::sleep_for(pause);
        ++attempt;
        window = FindAndActivateWindow(title);
    }
    if (!window)
        return true;
    stopMessage("Das Programm \"" + std::string(title)
                + "\" läßt sich nicht beenden!\nBitte beenden Sie das Programm, damit die Installation fortgeführt "
                  "werden kann.");
    return false;
}

} // namespace kestrup
