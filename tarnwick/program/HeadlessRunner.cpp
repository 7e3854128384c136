#include "tarnwick/program/HeadlessRunner.h"

#include "tarnwick/cycle/StatusList.h"
#include "tarnwick/program/ProgramSession.h"

#include <QCoreApplication>

#include <ctime>

namespace tarnwick {

HeadlessRunner::HeadlessRunner(ProgramSession& session, Mode mode, std::FILE* out, QObject* parent)
    : QObject(parent)
    , m_mode(mode)
    , m_view(out)
    , m_session(session)
{
    // The dial's progress texts, which a window would show in its dialog, become lines too.
    m_session.AttachViews(&m_view, &m_view, [out](const std::string& text) {
        HeadlessView(out).AddStatusLine(FormatStatusLine(std::time(nullptr), text));
    });
    connect(&m_session.Cycle(), &RedirectCycle::cycleEnded, this, [this](RedirectCycle::Outcome outcome) {
        m_haveOutcome = true;
        m_lastOutcome = outcome;
        if (m_mode == Mode::Once)
            m_session.Shutdown();
    });
    // The exit code is taken when the loop has ended, after every outcome of this turn is in.
    connect(&m_session, &ProgramSession::quitRequested, this, [] { QCoreApplication::exit(0); });
    connect(&m_session, &ProgramSession::ended, this, [] { QCoreApplication::exit(0); });
}

HeadlessRunner::~HeadlessRunner()
{
    m_session.AttachViews(nullptr, nullptr);
}

RedirectCycle& HeadlessRunner::Cycle()
{
    return m_session.Cycle();
}

int HeadlessRunner::Run()
{
    if (m_mode == Mode::Periodic)
        Cycle().TogglePeriodic();
    else
        Cycle().StartCycle();
    QCoreApplication::exec();
    return ExitCode();
}

int HeadlessRunner::ExitCode() const
{
    if (m_mode == Mode::Periodic)
        return 0;
    const bool current = m_haveOutcome
        && (m_lastOutcome == RedirectCycle::Outcome::AlreadyCurrent || m_lastOutcome == RedirectCycle::Outcome::Uploaded
            || m_lastOutcome == RedirectCycle::Outcome::NameCurrent);
    return current ? kExitCurrent : kExitNotCurrent;
}

} // namespace tarnwick
