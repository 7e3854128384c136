#include "tarnwick/core/HeadlessRunner.h"

#include "tarnwick/core/CRedirectApp.h"
#include "tarnwick/core/InstanceMessages.h"
#include "tarnwick/core/StatusList.h"
#include "tarnwick/core/TerminationSignals.h"
#include "tarnwick/messages/WindowMessages.h"

#include <QCoreApplication>

#include <ctime>

namespace tarnwick {

namespace {

constexpr uint32_t WM_DESTROY = 0x0002;

} // namespace

HeadlessRunner::HeadlessRunner(CRedirectApp& app, platform::TitleWindow& title, Mode mode, std::FILE* out,
                               QObject* parent)
    : QObject(parent)
    , m_app(app)
    , m_mode(mode)
    , m_out(out)
    , m_view(out)
{
    RedirectCycle::Context context;
    context.clientIpUrl = app.m_strClientIpUrl;
    context.programDirectory = app.m_strProgramDir;
    context.version = app.m_strVersion;
    // The dial's progress texts, which a window would show in its dialog, become
    // lines too.
    context.dialStatus = [out](const std::string& text) {
        HeadlessView(out).AddStatusLine(FormatStatusLine(std::time(nullptr), text));
    };
    // Settings changed from the command line meanwhile apply from the next cycle
    // on.
    context.beforeRun = [&app] { app.AdoptStoredSettings(); };
    context.cycleEnded = [this](RedirectCycle::Outcome outcome) { OnCycleEnded(outcome); };
    context.quitRequested = [this] { OnQuit(); };
    m_cycle = new RedirectCycle(app.m_settings, m_view, std::move(context), this);

    m_messages = new InstanceMessages(
        title, [this](uint32_t message, uintptr_t wParam, intptr_t lParam) { OnPosted(message, wParam, lParam); },
        nullptr, this);
    m_signals = new TerminationSignals([this](int signalNumber) { OnSignal(signalNumber); }, this);

    m_shutdownTimer.setSingleShot(true);
    connect(&m_shutdownTimer, &QTimer::timeout, this, [this] { FinishShutdown(); });
}

HeadlessRunner::~HeadlessRunner()
{
    // The cycle shows through m_view, which goes before the QObject children.
    delete m_cycle;
}

int HeadlessRunner::Run()
{
    if (m_mode == Mode::Periodic)
        m_cycle->TogglePeriodic();
    else
        m_cycle->StartCycle();
    return QCoreApplication::exec();
}

void HeadlessRunner::OnPosted(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    // Only the commands a later start or the updater sends; the cycle's own
    // messages never come from outside.
    if (message == WM_EXECUTE_NOW || message == WM_QUIT || message == WM_DESTROY)
        m_cycle->WindowProc(message, wParam, lParam);
}

void HeadlessRunner::OnQuit()
{
    // At once, without saving and without waiting for a worker.
    m_finished = true;
    QCoreApplication::exit(m_mode == Mode::Periodic ? 0 : OutcomeExitCode());
}

void HeadlessRunner::OnSignal(int)
{
    if (m_finished)
        return;
    if (m_shuttingDown || !m_cycle->IsBusy()) {
        FinishShutdown();
        return;
    }
    m_shuttingDown = true;
    m_cycle->CancelCycle();
    m_shutdownTimer.start(kShutdownWaitMs);
}

void HeadlessRunner::OnCycleEnded(RedirectCycle::Outcome outcome)
{
    m_haveOutcome = true;
    m_lastOutcome = outcome;
    if (m_finished)
        return;
    if (m_shuttingDown || m_mode == Mode::Once)
        FinishShutdown();
}

void HeadlessRunner::FinishShutdown()
{
    if (m_finished)
        return;
    m_finished = true;
    m_shutdownTimer.stop();
    if (m_cycle->IsPeriodic())
        m_cycle->StopPeriodic();
    m_app.SaveSettings(false);
    QCoreApplication::exit(m_mode == Mode::Periodic ? 0 : OutcomeExitCode());
}

int HeadlessRunner::OutcomeExitCode() const
{
    const bool current = m_haveOutcome
        && (m_lastOutcome == RedirectCycle::Outcome::AlreadyCurrent
            || m_lastOutcome == RedirectCycle::Outcome::Uploaded);
    return current ? kExitCurrent : kExitNotCurrent;
}

} // namespace tarnwick
