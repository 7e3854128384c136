#pragma once

#include "tarnwick/cycle/AttentionView.h"
#include "tarnwick/cycle/CycleView.h"

#include <QDialog>

#include <memory>
#include <string>

namespace Ui {
class CRedirectMainDlg;
}

namespace platform {
class TitleWindow;
}

namespace tarnwick {

class CRedirectApp;
class CSystemTray;
class ProgramSession;
class RedirectCycle;
class SettingsSheetOpener;
class TrayBackend;

// Tarnwick's main window: a status and control panel for the redirect cycle
// that lives hidden behind the notification icon. It shows the settings and
// the cycle's state, forwards the user's commands to the cycle and decides
// when the window hides, shows and ends the program.
class CRedirectMainDlg : public QDialog, public CycleView, public AttentionView
{
    Q_OBJECT

public:
    // Commands that are not a control's own.
    static constexpr int kCmdAbout = 0x0010; // "Inf&o über Tarnwick..." of the window's menu
    static constexpr int kCmdInfoIcon = 57664; // the program icon in the window

    // Shows session (which must outlive the window) and its cycle. trayBackend:
    // none = the desktop's notification area (the window takes ownership).
    explicit CRedirectMainDlg(ProgramSession& session, TrayBackend* trayBackend = nullptr, QWidget* parent = nullptr);
    ~CRedirectMainDlg() override;

    // Shows the window and runs the start rules: the note about a missing
    // notification area, periodic redirecting when AutoStart is set, and
    // hiding at once after a pending start.
    void Start();

    // A command from a button, the icon's menu, the window's menu or a key.
    void OnCommand(int command);

    void FillControls();
    void ToggleVisibility();
    void ShowAndActivate();
    void UpdateHideButton();
    // Who shows the settings sheet (must outlive the window); without one the
    // sheet's buttons do nothing.
    void SetSettingsSheetOpener(SettingsSheetOpener* opener) { m_sheetOpener = opener; }
    ProgramSession& Session() { return m_session; }
    // The settings sheet on a tab (0 general ... 5 auto-dial): periodic
    // redirecting pauses while it is open; OK takes its copy into the live
    // record and saves it with the backup file.
    void OpenSettingsSheet(const QString& title, int page);

    RedirectCycle& Cycle();
    CSystemTray& Tray() { return *m_tray; }
    bool IsEnded() const { return m_ended; }

    // CycleView
    void SetAddressesButtonLabel(std::string_view label) override;
    void SetCycleButtonLabel(std::string_view label) override;
    void SetPeriodicButtonLabel(std::string_view label) override;
    void SetIntervalEnabled(bool enabled) override;
    void SetLocalAddress(std::string_view address) override;
    void SetRemoteAddress(std::string_view address) override;
    void SetRedirectAddress(std::string_view address) override;
    void ClearStatusList() override;
    void AddStatusLine(std::string_view line) override;

    // AttentionView
    bool IsWindowVisible() const override;
    void ShowAndBringToFront() override;
    void StartBlinking() override;
    void StopBlinking() override;

Q_SIGNALS:
    // The program ends now with this exit code.
    void programEnded(int exitCode);

protected:
    void reject() override; // Escape
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ConnectControls();
    void End();
    void EndNow(int exitCode);
    bool IsIconPresent() const;
    void OnAutostartClicked(bool checked);
    void OnRemoveIcon();
    void OpenAddress(const std::string& address);
    // A browser or help page that could not be opened: beep and status line.
    void ShowOpenFailure(const QString& text);
    void ShowInfo();
    void ShowHelp();
    void SaveSettings();

    std::unique_ptr<Ui::CRedirectMainDlg> m_ui;
    CRedirectApp& m_app;
    CSystemTray* m_tray = nullptr;
    ProgramSession& m_session;
    SettingsSheetOpener* m_sheetOpener = nullptr;
    bool m_trayAdded = false;
    bool m_iconRemoved = false; // the user removed the icon; an area that appears later must not bring it back
    bool m_ended = false;
};

} // namespace tarnwick
