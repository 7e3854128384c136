#pragma once

#include "kestrup/UpdateView.h"
#include "tarnwick/messages/MessageTarget.h"

#include <QDialog>

#include <functional>
#include <memory>

namespace Ui {
class CKestrupDlg;
}

namespace kestrup {

class CInstallProgressDlg;
class CKestrupApp;
class CUpdateFlow;

// Kestrup's main window "VELT Programm Update": the step line, a progress bar
// that stays still, the status line, "&Info" and "A&bbrechen". It starts the
// update flow once it shows and ignores OK and Cancel while the installer runs.
class CKestrupDlg : public QDialog, public UpdateView, public tarnwick::MessageTarget
{
public:
    explicit CKestrupDlg(CKestrupApp& app, QWidget* parent = nullptr);
    ~CKestrupDlg() override;

    CUpdateFlow& Flow() { return *m_flow; }
    int m_bBusy = 0;

    // QDialog: OK and Cancel.
    void accept() override;
    void reject() override;

    // MessageTarget: WM_STATUS_TEXT from any thread, WM_START_UPDATE posted.
    intptr_t SendMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    void PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

    // UpdateView.
    void SetStepText(const std::string& text) override;
    void SetStatusText(const std::string& text) override;
    void ShowInformation(const std::string& text) override;
    void ShowStop(const std::string& text) override;
    void PostCommand(int command) override;
    void SetBusy(bool busy) override;
    void RunBlocking(const std::function<void()>& work, const std::function<void()>& cancel) override;
    tarnwick::MessageTarget* StatusTarget() override { return this; }
    platform::installer::InstallObserver* ShowInstallProgress(std::function<void()> cancel) override;
    void HideInstallProgress() override;

private:
    void OnStartUpdate();
    void OnAbout();

    Ui::CKestrupDlg* m_ui;
    std::unique_ptr<CUpdateFlow> m_flow;
    CInstallProgressDlg* m_progress = nullptr;
    std::function<void()> m_cancelRunning;
    bool m_running = false;
    bool m_closeRequested = false;
};

// German line ends for a Qt label: the texts carry "\r\n" as on the wire.
QString DisplayText(const std::string& text);

} // namespace kestrup
