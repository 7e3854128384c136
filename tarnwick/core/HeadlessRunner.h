#pragma once

#include "tarnwick/core/HeadlessView.h"
#include "tarnwick/core/RedirectCycle.h"

#include <QObject>
#include <QTimer>

#include <cstdio>

namespace platform {
class TitleWindow;
}

namespace tarnwick {

class CRedirectApp;
class InstanceMessages;
class TerminationSignals;

// The program without any window, for servers: the redirect cycle with its
// status lines on a stream. Periodic mode redirects periodically from the
// start (as AutoStart would); once mode runs one full cycle. Both answer the
// commands of later starts like the tray program (quit ends at once without
// saving, execnow starts a cycle unless one runs). SIGTERM and SIGINT end
// them cleanly: the running step is cancelled and given a short while to
// report, periodic redirecting stops and the settings are saved.
class HeadlessRunner : public QObject
{
public:
    enum class Mode { Periodic, Once };

    // How long a cancelled step may take to report before the program ends anyway.
    static constexpr int kShutdownWaitMs = 2000;

    // Exit codes of once mode.
    static constexpr int kExitCurrent = 0; // the page was current or has been uploaded
    static constexpr int kExitNotCurrent = 1;

    HeadlessRunner(CRedirectApp& app, platform::TitleWindow& title, Mode mode, std::FILE* out = stdout,
                   QObject* parent = nullptr);
    ~HeadlessRunner() override;

    // Runs the event loop until the end and returns the exit code.
    int Run();

    RedirectCycle& Cycle() { return *m_cycle; }

private:
    void OnPosted(uint32_t message, uintptr_t wParam, intptr_t lParam);
    void OnQuit();
    void OnSignal(int signalNumber);
    void OnCycleEnded(RedirectCycle::Outcome outcome);
    void FinishShutdown();
    int OutcomeExitCode() const;

    CRedirectApp& m_app;
    Mode m_mode;
    std::FILE* m_out;
    HeadlessView m_view;
    RedirectCycle* m_cycle = nullptr;
    InstanceMessages* m_messages = nullptr;
    TerminationSignals* m_signals = nullptr;
    QTimer m_shutdownTimer;
    bool m_shuttingDown = false;
    bool m_finished = false;
    bool m_haveOutcome = false;
    RedirectCycle::Outcome m_lastOutcome = RedirectCycle::Outcome::Cancelled;
};

} // namespace tarnwick
