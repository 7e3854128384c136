#include "tarnwick/program/ProgramSession.h"

#include "tarnwick/cycle/AddressChangeWatch.h"
#include "tarnwick/cycle/CycleServices.h"
#include "tarnwick/messages/WindowMessages.h"
#include "tarnwick/program/CRedirectApp.h"
#include "tarnwick/program/InstanceMessages.h"
#include "tarnwick/program/TerminationSignals.h"

#include <mutex>

namespace tarnwick {

namespace {

constexpr uint32_t WM_DESTROY = 0x0002;

} // namespace

struct ProgramSession::DialStatusTarget
{
    std::mutex mutex;
    DialStatusSink sink;
};

ProgramSession::ProgramSession(CRedirectApp& app, platform::TitleWindow& title, QObject* parent)
    : QObject(parent)
    , m_app(app)
    , m_services(std::make_shared<CycleServices>())
    , m_dialStatus(std::make_shared<DialStatusTarget>())
{
    if (app.m_settings.GetAutoDial() == 1)
        m_services->LoadDialUp();
    RedirectCycle::Context context;
    context.clientIpUrl = app.m_strClientIpUrl;
    context.programDirectory = app.m_strProgramDir;
    context.version = app.m_strVersion;
    context.dialStatus = [target = m_dialStatus](const std::string& text) {
        std::lock_guard lock(target->mutex);
        if (target->sink)
            target->sink(text);
    };
    // Settings changed from the command line meanwhile apply from the next cycle on.
    context.beforeRun = [this, &app, services = m_services.get()] {
        if (app.AdoptStoredSettings())
            Q_EMIT storedSettingsTaken();
        // The address service follows a host changed in the settings sheet.
        m_cycle->SetClientIpUrl(app.m_strClientIpUrl);
        // AutoDial may have been switched on since the start.
        if (app.m_settings.GetAutoDial() == 1)
            services->LoadDialUp();
    };
    m_cycle = new RedirectCycle(app.m_settings, m_services, *this, *this, std::move(context), this);
    connect(m_cycle, &RedirectCycle::cycleEnded, this, [this] { OnCycleEnded(); });
    connect(m_cycle, &RedirectCycle::quitRequested, this, [this] {
        m_finished = true;
        Q_EMIT quitRequested();
    });

    m_messages = new InstanceMessages(
        title, [this](uint32_t message, uintptr_t wParam, intptr_t lParam) { OnPosted(message, wParam, lParam); },
        [this] { Q_EMIT bringToFrontRequested(); }, this);
    m_signals = new TerminationSignals([this](int) { Shutdown(); }, this);
    // A reconnect is answered within seconds instead of at the next tick;
    // the kernel is listened to only while there is a period to shorten.
    connect(m_cycle, &RedirectCycle::periodicChanged, this, [this](bool periodic) {
        delete m_addressWatch;
        m_addressWatch = nullptr;
        if (!periodic)
            return;
        m_addressWatch = new AddressChangeWatch(KernelAddressEvents(), AddressChangeWatch::kQuietTime, this);
        connect(m_addressWatch, &AddressChangeWatch::changed, this, [this] {
            if (!m_shuttingDown && !m_finished)
                m_cycle->OnAddressChange();
        });
    });

    m_shutdownTimer.setSingleShot(true);
    connect(&m_shutdownTimer, &QTimer::timeout, this, [this] { FinishShutdown(); });
}

ProgramSession::~ProgramSession()
{
    delete m_cycle;
    m_cycle = nullptr;
}

std::unique_ptr<ProgramSession> StartProgramSession(CRedirectApp& app, platform::TitleWindow& title)
{
    app.LoadFirstInstanceState();
    return std::make_unique<ProgramSession>(app, title);
}

void ProgramSession::AttachViews(CycleView* view, AttentionView* attention, DialStatusSink dialStatus)
{
    m_view = view;
    m_attention = attention;
    std::lock_guard lock(m_dialStatus->mutex);
    m_dialStatus->sink = std::move(dialStatus);
}

void ProgramSession::SetAddressesButtonLabel(std::string_view label)
{
    if (m_view)
        m_view->SetAddressesButtonLabel(label);
}

void ProgramSession::SetCycleButtonLabel(std::string_view label)
{
    if (m_view)
        m_view->SetCycleButtonLabel(label);
}

void ProgramSession::SetPeriodicButtonLabel(std::string_view label)
{
    if (m_view)
        m_view->SetPeriodicButtonLabel(label);
}

void ProgramSession::SetIntervalEnabled(bool enabled)
{
    if (m_view)
        m_view->SetIntervalEnabled(enabled);
}

void ProgramSession::SetLocalAddress(std::string_view address)
{
    if (m_view)
        m_view->SetLocalAddress(address);
}

void ProgramSession::SetRemoteAddress(std::string_view address)
{
    if (m_view)
        m_view->SetRemoteAddress(address);
}

void ProgramSession::SetRedirectAddress(std::string_view address)
{
    if (m_view)
        m_view->SetRedirectAddress(address);
}

void ProgramSession::ClearStatusList()
{
    if (m_view)
        m_view->ClearStatusList();
}

void ProgramSession::AddStatusLine(std::string_view line)
{
    if (m_view)
        m_view->AddStatusLine(line);
}

bool ProgramSession::IsWindowVisible() const
{
    return m_attention && m_attention->IsWindowVisible();
}

void ProgramSession::ShowAndBringToFront()
{
    if (m_attention)
        m_attention->ShowAndBringToFront();
}

void ProgramSession::StartBlinking()
{
    if (m_attention)
        m_attention->StartBlinking();
}

void ProgramSession::StopBlinking()
{
    if (m_attention)
        m_attention->StopBlinking();
}

void ProgramSession::OnPosted(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    // Only the commands a later start or the updater sends; the cycle's own
    // messages never come from outside.
    if (message == WM_EXECUTE_NOW || message == WM_QUIT || message == WM_DESTROY)
        m_cycle->WindowProc(message, wParam, lParam);
}

void ProgramSession::Shutdown()
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

void ProgramSession::OnCycleEnded()
{
    if (m_shuttingDown && !m_finished)
        FinishShutdown();
}

void ProgramSession::FinishShutdown()
{
    if (m_finished)
        return;
    m_finished = true;
    m_shutdownTimer.stop();
    if (m_cycle->IsPeriodic())
        m_cycle->StopPeriodic();
    m_app.SaveSettings(false);
    Q_EMIT ended();
}

} // namespace tarnwick
