#pragma once

#include "tarnwick/dialup/DialProgress.h"
#include "tarnwick/dialup/DialSession.h"

#include <QDialog>

#include <memory>

namespace Ui {
class CDialProgressDlg;
}

namespace tarnwick {

class CRedirectSettings;

// The small modal window that shows a dial of the settings' phonebook entry:
// a view on a DialProgress, which decides the early ends, the delays and the
// result. It never hangs up by itself; the caller calls HangUp on any result
// but kDialOk. User-interface thread only.
class CDialProgressDlg : public QDialog, public DialProgressView
{
    Q_OBJECT

public:
    CDialProgressDlg(QWidget* parent, const RasFunctionTable& table);
    ~CDialProgressDlg() override;

    // Entry name, user name and password; must be set before DoModal.
    void SetSettings(const CRedirectSettings* settings);
    void SetRequest(const DialRequest& request) { m_request = request; }

    // Runs the dial: kDialOk or kDialCancel. The early ends that come at once
    // (entry error, dial start error) end it before the window is shown;
    // while another dialog dials, Cancel at once.
    int DoModal();
    // Ends the dial's connection (also a dial still going on); false when
    // there is none. Callable after DoModal has returned.
    bool HangUp();
    // The dial, also for a caller on another thread that hangs up later; it
    // is released on this thread however the last owner lets it go.
    std::shared_ptr<DialProgress> Progress() const { return m_progress; }

    // DialProgressView
    void SetStatusText(const std::string& text) override;
    void SetEntryName(const std::string& name) override;
    void SetPhoneNumber(const std::string& number) override;
    void ShowError(const std::string& text) override;

public Q_SLOTS:
    // "Abbrechen", Escape and the close box: Cancel at once, the dial goes on.
    void reject() override;

private:
    int RunDial();
    void OnFinished(int result);

    static bool s_dialling; // user-interface thread only

    std::unique_ptr<Ui::CDialProgressDlg> m_ui;
    DialRequest m_request;
    std::shared_ptr<DialProgress> m_progress;
    bool m_running = false; // inside exec
    bool m_closing = false; // the window goes: an end must not touch it
};

// Shows the dialog for one dial over table. progress
// receives the dial as soon as it exists, so a caller can cancel it while
// the dialog runs and hang it up afterwards.
int RunDialProgressDialog(QWidget* parent, const RasFunctionTable& table, const DialRequest& request,
                          std::shared_ptr<DialProgress>& progress);

} // namespace tarnwick
