#include "tarnwick/cycle/RedirectCycle.h"

#include "platform/system/Ipv6AddressList.h"
#include "platform/url/IpAddressText.h"
#include "tarnwick/cycle/AddressKind.h"
#include "tarnwick/cycle/AddressWorker.h"
#include "tarnwick/cycle/CycleServices.h"
#include "tarnwick/cycle/CycleTexts.h"
#include "tarnwick/cycle/CycleWorkers.h"
#include "tarnwick/cycle/DialDialogCall.h"
#include "tarnwick/cycle/RedirectPageGenerator.h"
#include "tarnwick/cycle/SamePlace.h"
#include "tarnwick/cycle/StatusList.h"
#include "tarnwick/cycle/UiMessageChannel.h"
#include "tarnwick/cycle/WorkerThreadHandle.h"
#include "tarnwick/dialup/DialProgress.h"
#include "tarnwick/dns/DnsValueRules.h"
#include "tarnwick/messages/WindowMessages.h"
#include "tarnwick/settings/CRedirectSettings.h"

#include <QPointer>

#include <chrono>
#include <climits>
#include <cstdio>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace tarnwick {

// The referrers of the transfer object's requests (the redirect address and
// the redirect page's address), read on the transferring threads.
struct ReferrerText
{
    std::mutex mutex;
    std::string redirectAddress;
    std::string redirectUrl;
};

std::atomic<int> RedirectCycle::s_runningWorkers {0};

namespace {

constexpr uint32_t WM_DESTROY = 0x0002;

// What the address fields show: an IPv6 address canonically, anything else
// as the dotted form of its four numbers (nothing for none).
std::string ShownAddress(const std::string& address)
{
    if (std::optional<std::string> v6 = platform::CanonicalIpv6(address))
        return *v6;
    const uint32_t v4 = CRedirectSettings::ParseIpAddress(address);
    if (v4 == 0)
        return {};
    return std::to_string(v4 >> 24) + "." + std::to_string((v4 >> 16) & 0xFF) + "." + std::to_string((v4 >> 8) & 0xFF)
        + "." + std::to_string(v4 & 0xFF);
}

std::string Format(const char* format, const std::string& first, const std::string& second = {})
{
    const int length = std::snprintf(nullptr, 0, format, first.c_str(), second.c_str());
    std::string text(static_cast<size_t>(length > 0 ? length : 0), '\0');
    std::snprintf(text.data(), text.size() + 1, format, first.c_str(), second.c_str());
    return text;
}

// Each "%s" of format replaced by the next value.
std::string FormatEach(std::string format, std::initializer_list<std::string> values)
{
    size_t at = 0;
    for (const std::string& value : values) {
        at = format.find("%s", at);
        if (at == std::string::npos)
            break;
        format.replace(at, 2, value);
        at += value.size();
    }
    return format;
}

} // namespace

RedirectCycle::RedirectCycle(CRedirectSettings& settings, std::shared_ptr<CycleServices> services, CycleView& view,
                             AttentionView& attention, Context context, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_services(std::move(services))
    , m_transfer(m_services->m_transfer)
    , m_view(view)
    , m_attention(attention)
    , m_context(std::move(context))
    , m_referrer(std::make_shared<ReferrerText>())
    , m_extMessages(std::make_shared<std::atomic<bool>>(settings.GetExtMessages() == 1))
    , m_retries(m_context.firstRetry)
{
    // The session's progress texts also come outside a cycle (the settings'
    // connection test), so the filter follows the record, not the run.
    m_channel = UiMessageChannel::Create(
        [this](uint32_t message, uintptr_t wParam, intptr_t lParam) { return WindowProc(message, wParam, lParam); });
    m_channel->SetDropFilter([extMessages = m_extMessages](uint32_t message) {
        return message == WM_STATUS_TEXT && !extMessages->load(std::memory_order_relaxed);
    });
    m_periodTimer.setTimerType(Qt::CoarseTimer);
    connect(&m_periodTimer, &QTimer::timeout, this, [this] { OnPeriodTimer(); });
    m_retryTimer.setSingleShot(true);
    m_retryTimer.setTimerType(Qt::CoarseTimer);
    connect(&m_retryTimer, &QTimer::timeout, this, [this] {
        if (m_nPeriodTimerId == kPeriodTimerId && !m_bCycleBusy)
            StartCycle();
    });
    RedirectAddress();
    m_transfer.SetMessageWindow(m_channel.get());
    m_transfer.SetRedirectAddressSource([referrer = m_referrer] {
        std::lock_guard lock(referrer->mutex);
        return referrer->redirectAddress;
    });
    m_transfer.SetRedirectUrlSource([referrer = m_referrer] {
        std::lock_guard lock(referrer->mutex);
        return referrer->redirectUrl;
    });
}

RedirectCycle::~RedirectCycle()
{
    // A worker may still run: from now on its messages go nowhere.
    m_channel->Close();
    m_periodTimer.stop();
    m_retryTimer.stop();
}

MessageTarget& RedirectCycle::MessageWindow()
{
    return *m_channel;
}

int RedirectCycle::RunningWorkers()
{
    return s_runningWorkers.load();
}

int RedirectCycle::PeriodMilliseconds() const
{
    // The stored period is taken as it is, but a period of 0 or less would
    // hammer the server and one beyond the timer's range would never come.
    long long minutes = m_settings.GetWaitTimeInMin();
    if (minutes < 1)
        minutes = 1;
    const long long milliseconds = minutes * 60000;
    return milliseconds > INT_MAX ? INT_MAX : static_cast<int>(milliseconds);
}

void RedirectCycle::StartCycle()
{
    if (m_bCycleBusy) {
        CancelCycle();
        return;
    }
    BeginRun(false);
}

void RedirectCycle::StartAddresses()
{
    if (m_bCycleBusy) {
        CancelCycle();
        return;
    }
    BeginRun(true);
}

void RedirectCycle::SettingsChanged()
{
    m_extMessages->store(m_settings.GetExtMessages() == 1, std::memory_order_relaxed);
    RedirectAddress();
}

void RedirectCycle::BeginRun(bool addressesOnly)
{
    if (m_context.beforeRun)
        m_context.beforeRun();
    m_view.ClearStatusList();
    m_bAddressesOnly = addressesOnly;
    m_bCancelled = false;
    m_nNameStep = -1;
    m_view.SetAddressesButtonLabel(cycle_texts::kCancelLabel);
    if (!addressesOnly)
        m_view.SetCycleButtonLabel(cycle_texts::kCancelLabel);
    m_bCycleBusy = true;
    SettingsChanged(); // the settings may have changed since the last run
    // A cancel of an earlier cycle must not fail this one's address service.
    m_transfer.Cancel(false);
    m_transfer.SetCaFile(m_settings.GetCaFile());
    StartAddressWorker();
}

void RedirectCycle::CancelCycle()
{
    if (m_bCycleBusy)
        m_bCancelled = true;
    // A dial dialog that is open ends as with "Abbrechen"; the worker then hangs up.
    if (m_pDialCall && m_pDialCall->progress && *m_pDialCall->progress)
        (*m_pDialCall->progress)->Cancel();
    if (m_pAddressThread)
        m_pAddressThread->Cancel();
    m_transfer.Cancel(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

void RedirectCycle::StartPeriodic()
{
    if (m_nPeriodTimerId != 0)
        return;
    m_view.SetPeriodicButtonLabel(cycle_texts::kStopLabel);
    m_view.SetIntervalEnabled(false);
    m_periodTimer.start(PeriodMilliseconds());
    m_nPeriodTimerId = kPeriodTimerId;
    Q_EMIT periodicChanged(true);
    StartCycle();
}

void RedirectCycle::StopPeriodic()
{
    if (m_nPeriodTimerId != 0) {
        m_periodTimer.stop();
        m_nPeriodTimerId = 0;
        Q_EMIT periodicChanged(false);
    }
    m_retryTimer.stop();
    m_retries.Reset();
    m_bRunWhenIdle = false;
    CancelCycle();
    m_view.SetPeriodicButtonLabel(cycle_texts::kStartLabel);
    m_view.SetIntervalEnabled(true);
}

void RedirectCycle::TogglePeriodic()
{
    if (m_nPeriodTimerId != 0)
        StopPeriodic();
    else
        StartPeriodic();
}

void RedirectCycle::OnPeriodTimer()
{
    if (m_nPeriodTimerId == kPeriodTimerId)
        StartCycle();
}

void RedirectCycle::OnAddressChange()
{
    if (m_nPeriodTimerId != kPeriodTimerId || !m_settings.GetRedirectOnAddressChange())
        return;
    if (m_bCycleBusy) {
        m_bRunWhenIdle = true;
        return;
    }
    StartCycle();
    AddStatusLine(cycle_texts::kAddressChanged);
}

void RedirectCycle::NotifyUser()
{
    if (m_attention.IsWindowVisible()) {
        m_attention.ShowAndBringToFront();
        m_attention.StopBlinking();
    } else {
        m_attention.StartBlinking();
    }
}

template<typename Job>
bool RedirectCycle::Launch(void (*worker)(Job), Job job)
{
    s_runningWorkers.fetch_add(1);
    try {
        std::thread([worker, job = std::move(job)]() mutable {
            worker(std::move(job));
            s_runningWorkers.fetch_sub(1);
        }).detach();
        return true;
    } catch (const std::system_error&) {
        s_runningWorkers.fetch_sub(1);
        return false;
    }
}

void RedirectCycle::StartAddressWorker()
{
    AddressJob job;
    job.services = m_services;
    job.autoDial = m_settings.GetAutoDial();
    job.dial = DialRequest {m_settings.GetAutoDialConnection(), m_settings.GetAutoDialUsername(),
                            m_settings.GetAutoDialPW()};
    job.clientIpByServer = m_settings.GetClientIpByServer();
    job.redirectUrl = m_settings.GetRedirectUrl();
    job.testUrl = TestConnectionUrl();
    job.clientIpUrl = m_context.clientIpUrl;
    job.addressFamily = m_settings.GetAddressFamily() == 6 ? 6 : 4;
    job.ipv6InterfaceId = m_settings.GetIpv6InterfaceId();
    job.dialSessions = m_context.dialSessions;
    job.dialStatus = m_context.dialStatus;
    job.window = m_channel;
    job.thread = std::make_shared<WorkerThreadHandle>();
    m_pAddressThread = job.thread;
    if (!Launch(&AddressWorker, std::move(job)))
        m_channel->PostMessage(WM_ADDRESSES_DONE, 0, 0);
}

void RedirectCycle::StartCheckWorker()
{
    if (!Launch(&CheckWorker, CheckJob {m_services, m_settings.GetRedirectUrl(), m_channel})) {
        m_bCancelled = true;
        m_channel->PostMessage(WM_CHECK_DONE, 1, 0);
    }
}

void RedirectCycle::StartUploadWorker()
{
    UploadJob job;
    job.services = m_services;
    job.uploadServiceType = m_settings.GetUploadServiceType();
    job.server = m_settings.GetUploadServer();
    job.path = UploadPath(m_settings.GetUploadDir(), m_settings.GetPageFileName());
    job.userName = m_settings.GetUserName();
    job.password = m_settings.GetPassword();
    job.port = m_settings.GetUploadPort();
    job.tls = m_settings.GetUploadTls() == 1;
    job.window = m_channel;
    if (!Launch(&UploadWorker, std::move(job)))
        m_channel->PostMessage(WM_UPLOAD_DONE, 0, 0);
}

// With DnsUpdate on, the name's step runs first; then the page's steps.
bool RedirectCycle::PageStepsOn() const
{
    return m_settings.IsRedirectPageOn();
}

std::string RedirectCycle::TestConnectionUrl() const
{
    return PageStepsOn() ? std::string() : DnsServerTestUrl(m_settings.GetDnsUpdate(), m_settings.GetDnsServer());
}

void RedirectCycle::StartStepsAfterAddresses()
{
    if (m_settings.GetDnsUpdate() != 0)
        StartDnsWorker();
    else
        StartCheckWorker();
}

void RedirectCycle::StartDnsWorker()
{
    DnsJob job;
    job.services = m_services;
    job.settings.kind = m_settings.GetDnsUpdate();
    job.settings.name = m_settings.GetDnsName();
    job.settings.server = m_settings.GetDnsServer();
    job.settings.user = m_settings.GetDnsUser();
    job.settings.password = m_settings.GetDnsPassword();
    job.settings.key = m_settings.GetDnsKey();
    job.settings.checkServer = m_settings.GetDnsCheckServer();
    job.settings.caFile = m_settings.GetCaFile();
    // The address step's result: the local address, IPv4 dotted or IPv6; its form gives the record type.
    job.address = m_settings.GetLocalServerName();
    job.now = Now();
    job.window = m_channel;
    if (!Launch(&DnsWorker, std::move(job))) {
        m_bCancelled = true;
        m_channel->PostMessage(WM_DNS_DONE, kDnsFailed, 0);
    }
}

void RedirectCycle::OnDnsDone(uintptr_t end)
{
    m_nNameStep = static_cast<int>(end);
    m_bCycleBusy = false;
    m_view.SetCycleButtonLabel(cycle_texts::kCycleLabel);
    if (m_bCancelled) {
        Finish(Outcome::Cancelled);
    } else if (PageStepsOn()) {
        m_view.SetCycleButtonLabel(cycle_texts::kCancelLabel);
        m_bCycleBusy = true;
        m_transfer.Cancel(false);
        StartCheckWorker();
    } else {
        Finish(Outcome::NameCurrent);
    }
}

// The cycle's outcome with the name's step in it: every enabled target must be current.
RedirectCycle::Outcome RedirectCycle::WithNameStep(Outcome outcome) const
{
    const bool pageFine
        = outcome == Outcome::AlreadyCurrent || outcome == Outcome::Uploaded || outcome == Outcome::NameCurrent;
    if (m_nNameStep < 0 || m_nNameStep == kDnsCurrent || !pageFine)
        return outcome;
    return m_nNameStep == kDnsHeldBack ? Outcome::NameHeldBack : Outcome::NameFailed;
}

intptr_t RedirectCycle::WindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    const char* text = reinterpret_cast<const char*>(lParam);
    switch (message) {
    case WM_ADDRESS_FOUND:
        OnAddressFound(wParam, text);
        return 0;
    case WM_ADDRESSES_DONE:
        OnAddressesDone(wParam != 0);
        return 0;
    case WM_REDIRECT_TARGET:
        OnRedirectTarget(wParam != 0, text);
        return 0;
    case WM_CHECK_DONE:
        OnCheckDone();
        return 0;
    case WM_UPLOAD_DONE:
        OnUploadDone(wParam != 0);
        return 0;
    case WM_DNS_DONE:
        OnDnsDone(wParam);
        return 0;
    case WM_GENERATE_PAGE:
        return OnGeneratePage();
    case WM_RUN_DIAL_DIALOG:
        OnRunDialDialog(reinterpret_cast<DialDialogCall*>(lParam));
        return 0;
    case WM_ERROR_TEXT:
    case WM_INFO_TEXT:
        OnStatusText(wParam, text);
        return 0;
    case WM_STATUS_TEXT:
        if (m_settings.GetExtMessages() == 1)
            OnStatusText(wParam, text);
        return 0;
    case WM_EXECUTE_NOW:
        if (!m_bCycleBusy)
            StartCycle();
        return 0;
    case WM_QUIT:
    case WM_DESTROY:
        Q_EMIT quitRequested();
        return 0;
    default:
        return 0;
    }
}

void RedirectCycle::SetDialDialog(DialDialog dialog)
{
    m_dialDialog = std::move(dialog);
    m_context.dialSessions = m_dialDialog ? HostedDialSessionFactory(std::make_shared<ChannelDialDialogHost>(m_channel))
                                          : DialSessionFactory();
}

void RedirectCycle::OnRunDialDialog(DialDialogCall* call)
{
    if (!call || !m_dialDialog || m_pDialCall)
        return; // answered with Cancel
    // The dialog runs a loop of its own; the cycle may go meanwhile (the program ends).
    const DialDialog dialog = m_dialDialog;
    const QPointer<RedirectCycle> self(this);
    m_pDialCall = call;
    call->result = dialog(*call->request, *call->progress);
    if (self)
        m_pDialCall = nullptr;
}

void RedirectCycle::OnAddressFound(uintptr_t which, const char* text)
{
    const std::string address = text ? text : "";
    if (which == 0) {
        m_settings.SetLocalServerName(address);
        m_view.SetLocalAddress(ShownAddress(m_settings.GetLocalServerName()));
    } else if (which == 1) {
        m_view.SetRemoteAddress(ShownAddress(address));
    } else {
        m_view.SetLocalAddress({});
        m_view.SetRemoteAddress({});
    }
}

void RedirectCycle::OnAddressesDone(bool found)
{
    m_pAddressThread.reset();
    m_bCycleBusy = false;
    m_view.SetAddressesButtonLabel(cycle_texts::kAddressesLabel);
    m_view.SetCycleButtonLabel(cycle_texts::kCycleLabel);
    if (!found) {
        AddStatusLine(cycle_texts::kNoAddresses);
        NotifyUser();
        m_view.SetLocalAddress({});
        m_view.SetRemoteAddress({});
        Finish(Outcome::AddressesFailed);
        return;
    }
    // Only the component finds the local side's address; the address
    // service's answer is public by its nature.
    if (m_settings.GetWarnPrivateAddress() == 1 && m_settings.GetClientIpByServer() != 1) {
        const std::string& local = m_settings.GetLocalServerName();
        const std::string kind = UnreachableAddressKind(local);
        // Behind a shared IPv4 address the computer's own IPv6 address is the way in.
        const std::optional<std::string> stableIpv6 = !kind.empty() && m_settings.GetAddressFamily() != 6
            ? platform::AnyStableGlobalAddress(platform::ListIpv6Addresses())
            : std::nullopt;
        if (stableIpv6)
            AddStatusLine(FormatEach(cycle_texts::kUnreachableAddressTryIpv6, {local, kind, *stableIpv6}));
        else if (!kind.empty())
            AddStatusLine(Format(cycle_texts::kUnreachableAddress, local, kind));
    }
    const bool goOn = !m_bAddressesOnly && !m_bCancelled;
    if (goOn) {
        m_view.SetCycleButtonLabel(cycle_texts::kCancelLabel);
        m_bCycleBusy = true;
        m_transfer.Cancel(false);
        StartStepsAfterAddresses();
    }
    m_attention.StopBlinking();
    m_view.SetRedirectAddress(RedirectAddress());
    if (!goOn)
        Finish(m_bAddressesOnly ? Outcome::AddressesFound : Outcome::Cancelled);
}

void RedirectCycle::OnRedirectTarget(bool found, const char* text)
{
    if (found && text) {
        m_strCurrentTarget = text;
        AddStatusLine(Format(cycle_texts::kRedirectsTo, m_settings.GetRedirectUrl(), m_strCurrentTarget));
    } else {
        m_strCurrentTarget.clear();
        AddStatusLine(Format(cycle_texts::kDoesNotRedirect, m_settings.GetRedirectUrl()));
    }
}

void RedirectCycle::OnCheckDone()
{
    m_bCycleBusy = false;
    m_view.SetCycleButtonLabel(cycle_texts::kCycleLabel);
    Outcome outcome = Outcome::Cancelled;
    bool idle = true;
    if (IsSamePlace(m_strCurrentTarget, RedirectAddress())) {
        AddStatusLine(cycle_texts::kAlreadyCurrent);
        outcome = Outcome::AlreadyCurrent;
    } else if (!m_bCancelled) {
        m_view.SetCycleButtonLabel(cycle_texts::kCancelLabel);
        m_bCycleBusy = true;
        StartUploadWorker();
        idle = false;
    }
    m_attention.StopBlinking();
    if (idle)
        Finish(outcome);
}

void RedirectCycle::OnUploadDone(bool ok)
{
    if (ok) {
        AddStatusLine(cycle_texts::kUploadSucceeded);
        m_attention.StopBlinking();
    } else {
        AddStatusLine(cycle_texts::kUploadFailed);
        NotifyUser();
    }
    m_bCycleBusy = false;
    m_view.SetCycleButtonLabel(cycle_texts::kCycleLabel);
    Finish(ok ? Outcome::Uploaded : Outcome::UploadFailed);
}

intptr_t RedirectCycle::OnGeneratePage()
{
    GeneratedPage generated = GenerateRedirectPage(m_settings, m_context.programDirectory, Now(), m_context.version);
    RedirectAddress(); // generation composed it afresh
    for (const StatusLine& line : generated.status)
        AddStatusLine(line.text);
    m_strPage = std::move(generated.page);
    return reinterpret_cast<intptr_t>(&m_strPage);
}

void RedirectCycle::OnStatusText(uintptr_t wParam, const char* text)
{
    if (wParam == 0 || !text)
        m_view.ClearStatusList();
    else
        AddStatusLine(text);
}

void RedirectCycle::AddStatusLine(const std::string& text)
{
    m_view.AddStatusLine(FormatStatusLine(Now(), text));
}

void RedirectCycle::Finish(Outcome outcome)
{
    outcome = WithNameStep(outcome);
    // After the page's steps, which stop the blinking when they succeed.
    if (outcome == Outcome::NameFailed || outcome == Outcome::NameHeldBack)
        NotifyUser();
    PlanNextRun(outcome);
    Q_EMIT cycleEnded(outcome);
}

void RedirectCycle::PlanNextRun(Outcome outcome)
{
    if (m_nPeriodTimerId != kPeriodTimerId || m_bAddressesOnly)
        return;
    // A held-back name is not tried sooner: the service's stop or wait holds.
    const bool failed
        = outcome == Outcome::AddressesFailed || outcome == Outcome::UploadFailed || outcome == Outcome::NameFailed;
    const bool runAgain = m_bRunWhenIdle && !m_bCancelled;
    m_bRunWhenIdle = false;
    if (runAgain) {
        // The addresses changed while this cycle ran: what it found may be stale.
        m_retryTimer.stop();
        m_retries.Reset();
        m_periodTimer.start(PeriodMilliseconds());
        m_retryTimer.start(0);
        return;
    }
    if (failed && !m_bCancelled && m_settings.GetRetryAfterFailure() == 1) {
        const auto delay = m_retries.Failed(Now(), std::chrono::milliseconds(PeriodMilliseconds()));
        // The tries replace the period's ticks until one succeeds.
        m_periodTimer.stop();
        m_retryTimer.start(delay);
        char clock[16] = {};
        const std::time_t next = m_retries.NextTry();
        std::tm local {};
        localtime_r(&next, &local);
        std::strftime(clock, sizeof clock, "%H:%M:%S", &local);
        const long long seconds = std::chrono::duration_cast<std::chrono::seconds>(delay).count();
        const std::string wait
            = seconds < 120 ? std::to_string(seconds) + " Sekunden" : std::to_string(seconds / 60) + " Minuten";
        AddStatusLine(Format(cycle_texts::kNextTry, clock, wait));
        return;
    }
    // A success, a cancel or a failure without retries: the regular period again.
    if (m_retries.Pending() || m_retryTimer.isActive()) {
        m_retryTimer.stop();
        m_retries.Reset();
        m_periodTimer.start(PeriodMilliseconds());
    }
}

std::string RedirectCycle::RedirectAddress()
{
    std::string address = m_settings.GetRedirectAddress();
    std::lock_guard lock(m_referrer->mutex);
    m_referrer->redirectAddress = address;
    m_referrer->redirectUrl = m_settings.GetRedirectUrl();
    return address;
}

std::time_t RedirectCycle::Now() const
{
    return m_context.clock ? m_context.clock() : std::time(nullptr);
}

} // namespace tarnwick
