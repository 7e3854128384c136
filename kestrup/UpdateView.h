#pragma once

#include <functional>
#include <string>

namespace tarnwick {
class MessageTarget;
}
namespace platform::installer {
class InstallObserver;
}

namespace kestrup {

// What the update flow needs of Kestrup's window; the window implements it,
// on the user-interface thread.
class UpdateView
{
public:
    virtual void SetStepText(const std::string& text) = 0; // line 1000
    virtual void SetStatusText(const std::string& text) = 0; // line 1003
    virtual void ShowInformation(const std::string& text) = 0; // "Hinweis", owned by the window
    virtual void ShowStop(const std::string& text) = 0; // stop icon, the program's name as caption
    virtual void PostCommand(int command) = 0; // IDOK or IDCANCEL, handled later as if pressed
    virtual void SetBusy(bool busy) = 0;
    // Runs `work` on another thread and returns when it has ended; the window
    // keeps showing status texts meanwhile. A close of the window calls
    // `cancel` (when given) and closes the window after the flow.
    virtual void RunBlocking(const std::function<void()>& work, const std::function<void()>& cancel) = 0;
    // Receives the status texts of the version download, from any thread.
    virtual tarnwick::MessageTarget* StatusTarget() = 0;
    // The installer's reduced user interface: a progress window whose
    // "Abbrechen" calls cancel. Its observer may be called from any thread.
    virtual platform::installer::InstallObserver* ShowInstallProgress(std::function<void()> cancel) = 0;
    virtual void HideInstallProgress() = 0;

protected:
    ~UpdateView() = default;
};

} // namespace kestrup
