#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include "tarnwick/cycle/RedirectCycle.h"
#include "tarnwick/program/HeadlessView.h"

#include <QObject>

#include <cstdio>

namespace platform {
class TitleWindow;
}

namespace tarnwick {

class CRedirectApp;
class ProgramSession;

// The program without any window, for servers: the redirect cycle with its
// status lines on a stream. Periodic mode redirects periodically from the
// start (as AutoStart would); once mode runs one full cycle. Both answer the
// commands of later starts like the tray program and end on SIGTERM and
// SIGINT as ProgramSession says.
class TARNWICK_EXPORT HeadlessRunner : public QObject
{
public:
    enum class Mode { Periodic, Once };

    // Exit codes of once mode.
    static constexpr int kExitCurrent = 0; // every target (page, DNS name) was current or has been updated
    static constexpr int kExitNotCurrent = 1;

    // Shows session's cycle on out until the runner goes.
    HeadlessRunner(ProgramSession& session, Mode mode, std::FILE* out = stdout, QObject* parent = nullptr);
    ~HeadlessRunner() override;

    // Runs the event loop until the end and returns the exit code.
    int Run();

    RedirectCycle& Cycle();

private:
    int ExitCode() const;

    Mode m_mode;
    HeadlessView m_view;
    ProgramSession& m_session;
    bool m_haveOutcome = false;
    RedirectCycle::Outcome m_lastOutcome = RedirectCycle::Outcome::Cancelled;
};

} // namespace tarnwick
