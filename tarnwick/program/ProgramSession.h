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
class TARNWICK_EXPORT ProgramSession : public QObject, private CycleView, private AttentionView
{
    Q_OBJECT

public:
    // How long a cancelled step may take to report before the program ends anyway.
    static constexpr int kShutdownWaitMs = 2000;

    // app and title must outlive the session. The cycle shows through the
    // views attached with AttachViews; without them it shows nothing.
    ProgramSession(CRedirectApp& app, platform::TitleWindow& title, QObject* parent = nullptr);
    ~ProgramSession() override;

    // The window or the headless view the cycle shows through, and where a
    // dial's progress texts go (the worker's thread); null detaches. Views
    // must stay attached until they are detached or the session ends.
    void AttachViews(CycleView* view, AttentionView* attention, DialStatusSink dialStatus = {});

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
    // CycleView and AttentionView: passed on to the attached views.
    void SetAddressesButtonLabel(std::string_view label) override;
    void SetCycleButtonLabel(std::string_view label) override;
    void SetPeriodicButtonLabel(std::string_view label) override;
    void SetIntervalEnabled(bool enabled) override;
    void SetLocalAddress(std::string_view address) override;
    void SetRemoteAddress(std::string_view address) override;
    void SetRedirectAddress(std::string_view address) override;
    void ClearStatusList() override;
    void AddStatusLine(std::string_view line) override;
    bool IsWindowVisible() const override;
    void ShowAndBringToFront() override;
    void StartBlinking() override;
    void StopBlinking() override;

    void OnPosted(uint32_t message, uintptr_t wParam, intptr_t lParam);
    void OnCycleEnded();
    void FinishShutdown();

    CRedirectApp& m_app;
    std::shared_ptr<CycleServices> m_services;
    CycleView* m_view = nullptr;
    AttentionView* m_attention = nullptr;
    // Read by dialling workers while the user-interface thread may attach another.
    struct DialStatusTarget;
    std::shared_ptr<DialStatusTarget> m_dialStatus;
    RedirectCycle* m_cycle = nullptr;
    InstanceMessages* m_messages = nullptr;
    TerminationSignals* m_signals = nullptr;
    AddressChangeWatch* m_addressWatch = nullptr;
    QTimer m_shutdownTimer;
    bool m_shuttingDown = false;
    bool m_finished = false;
};

// The one way a running program (headless or with its window) gets its
// session: the first instance's state is loaded (settings, the component's
// registration) and the session is built over it. The application object
// of Qt must exist already.
TARNWICK_EXPORT std::unique_ptr<ProgramSession> StartProgramSession(CRedirectApp& app, platform::TitleWindow& title);

} // namespace tarnwick
