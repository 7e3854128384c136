#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include "tarnwick/cycle/RedirectCycle.h"

#include <QObject>
#include <QTimer>

#include <memory>

namespace platform {
class TitleWindow;
}

namespace tarnwick {

class AddressChangeWatch;
class CycleServices;
class CRedirectApp;
class InstanceMessages;
class TerminationSignals;

// What the headless mode and the tray window share once the first instance
// runs: the redirect cycle built from the application object, the commands
// of later starts (execnow, quit, bring to front), settings that other
// processes stored adopted before each run, and the termination signals
// with their rule: cancel a running step, give it a short while to report,
// stop periodic redirecting, save without backup, end.
class TARNWICK_EXPORT ProgramSession : public QObject
{
    Q_OBJECT

public:
    // How long a cancelled step may take to report before the program ends anyway.
    static constexpr int kShutdownWaitMs = 2000;

    // app and title must outlive the session, view and attention too (the
    // cycle shows through them).
    ProgramSession(CRedirectApp& app, platform::TitleWindow& title, CycleView& view, AttentionView& attention,
                   DialStatusSink dialStatus, QObject* parent = nullptr);
    ~ProgramSession() override;

    RedirectCycle& Cycle() { return *m_cycle; }
    // The transfer object and the dial-up functions of this program, shared
    // with the cycle's workers and handed to the settings sheet.
    const std::shared_ptr<CycleServices>& Services() const { return m_services; }
    CRedirectApp& App() { return m_app; }

    // The orderly end: a running step is cancelled and waited for (at most
    // kShutdownWaitMs), then periodic redirecting stops, the settings are
    // saved without backup and ended() follows. A second request ends at once.
    void Shutdown();
    bool IsFinished() const { return m_finished; }

Q_SIGNALS:
    // A later start asked for the window.
    void bringToFrontRequested();
    // The quit message: end at once, without saving and without waiting.
    void quitRequested();
    // Shutdown is complete (settings saved).
    void ended();
    // Before a run the live record took values another process stored.
    void storedSettingsTaken();

private:
    void OnPosted(uint32_t message, uintptr_t wParam, intptr_t lParam);
    void OnCycleEnded();
    void FinishShutdown();

    CRedirectApp& m_app;
    std::shared_ptr<CycleServices> m_services;
    RedirectCycle* m_cycle = nullptr;
    InstanceMessages* m_messages = nullptr;
    TerminationSignals* m_signals = nullptr;
    AddressChangeWatch* m_addressWatch = nullptr;
    QTimer m_shutdownTimer;
    bool m_shuttingDown = false;
    bool m_finished = false;
};

} // namespace tarnwick
