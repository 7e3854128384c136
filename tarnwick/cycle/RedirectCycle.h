#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include "tarnwick/cycle/AttentionView.h"
#include "tarnwick/cycle/CycleView.h"
#include "tarnwick/cycle/RetryPlan.h"
#include "tarnwick/dialup/DialSession.h"
#include "tarnwick/messages/MessageTarget.h"

#include <QObject>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <ctime>
#include <functional>
#include <memory>
#include <string>

namespace tarnwick {

class CInternetTransfer;
class CRedirectSettings;
class CycleServices;
struct DialDialogCall;
struct ReferrerText;
class UiMessageChannel;
class WorkerThreadHandle;

// The redirect cycle without widgets: finds the addresses, reads where the
// published page leads, and uploads a new page when it leads elsewhere; once
// on request or periodically. It owns the cycle state, the period timer and
// the short-lived worker threads (one at a time), lives on the
// user-interface thread and shows everything through a CycleView.
//
// Two choices where the design leaves room:
// - A new cycle clears the transfer object's cancel marker when it starts,
//   so that after a cancelled cycle the address service works again at once.
// - Nobody waits for a worker at exit. A worker only reaches its window
//   through a channel that outlives the cycle and goes quiet when the cycle
//   goes, so a worker still blocked at exit touches nothing that is gone.
// A cancelled cycle ends with the step that runs: it does not go on to the
// next step (a check cut short would otherwise lead to an upload).
class TARNWICK_EXPORT RedirectCycle : public QObject
{
    Q_OBJECT

public:
    enum class Outcome {
        AddressesFailed, // no local address
        AddressesFound, // addresses-only run done
        AlreadyCurrent, // the page leads to the redirect address
        Uploaded,
        UploadFailed,
        Cancelled, // a step ended after a cancel and the cycle went no further
        NameCurrent, // DNS name only (RedirectPage=0): the name was current or has been updated
        NameFailed, // the page is fine or off, but the DNS name could not be checked or updated
        NameHeldBack, // the update service's stop or wait holds the name's update back
    };

    struct Context
    {
        std::string clientIpUrl; // the address service (string 102)
        std::string programDirectory; // for template names without "/"
        std::string version; // string 57668, stamped into the page
        // empty: the dial without a window (DefaultDialSessionFactory); the window
        // installs HostedDialSessionFactory to show the dial progress dialog
        DialSessionFactory dialSessions;
        DialStatusSink dialStatus; // progress texts of a dial (worker thread)
        std::function<std::time_t()> clock; // empty: the system clock
        std::function<void()> beforeRun; // called as each run starts, before the settings are read
        std::chrono::milliseconds firstRetry {30000}; // after the first failure of a periodic cycle
    };

    // The period timer's identifier while periodic redirecting runs.
    static constexpr unsigned kPeriodTimerId = 1;

    // settings is the live record, view and attention the window; all must
    // outlive the cycle. services are the program's transfer object and
    // dial-up functions, shared with the workers. Hands the cycle's message
    // window to the transfer object.
    RedirectCycle(CRedirectSettings& settings, std::shared_ptr<CycleServices> services, CycleView& view,
                  AttentionView& attention, Context context, QObject* parent = nullptr);
    ~RedirectCycle() override;

    // Button 1014, a period tick, WM_EXECUTE_NOW: a full cycle, or CancelCycle while busy.
    void StartCycle();
    // Button 1008: the address step alone, or CancelCycle while busy.
    void StartAddresses();
    // Asks the running step to end early; it reports through its own message.
    void CancelCycle();
    void StartPeriodic();
    void StopPeriodic();
    void TogglePeriodic();
    // After a failure: a visible window comes to the front, a hidden one blinks.
    void NotifyUser();

    // The live settings record was changed outside a cycle (the settings
    // sheet's OK): what the cycle keeps of it for other threads follows.
    void SettingsChanged();
    // The address service's address for the runs from now on.
    void SetClientIpUrl(std::string url) { m_context.clientIpUrl = std::move(url); }

    // The period timer's tick.
    void OnPeriodTimer();
    // The machine's addresses or default route changed: while redirecting
    // periodically (and RedirectOnAddressChange is on) a cycle runs now, or
    // as soon as the running one has ended.
    void OnAddressChange();
    // A failed periodic cycle waits for its next try.
    bool IsRetrying() const { return m_retryTimer.isActive(); }
    const RetryPlan& Retries() const { return m_retries; }

    // The main window's message handler, on the user-interface thread; the
    // workers' messages arrive here. WM_GENERATE_PAGE answers the address of
    // the page (a std::string owned by the cycle until the next generation).
    intptr_t WindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam);

    // The receiver for the transfer object's messages (any thread).
    MessageTarget& MessageWindow();

    bool IsBusy() const { return m_bCycleBusy; }
    bool IsPeriodic() const { return m_nPeriodTimerId != 0; }
    int PeriodMilliseconds() const;
    const std::string& Page() const { return m_strPage; }
    const std::string& CurrentTarget() const { return m_strCurrentTarget; }

    // The window mode's dial progress dialog, run on this thread: from now on
    // a worker's dial asks for it through the message channel and waits for
    // it (HostedDialSessionFactory). progress is set as soon as the dial
    // exists, so that CancelCycle can end the dialog as "Abbrechen" does.
    using DialDialog = std::function<int(const DialRequest& request, std::shared_ptr<DialProgress>& progress)>;
    void SetDialDialog(DialDialog dialog);

    // Worker threads of any cycle that have not ended yet.
    static int RunningWorkers();

Q_SIGNALS:
    // The cycle is idle again after a run.
    void cycleEnded(tarnwick::RedirectCycle::Outcome outcome);
    // Periodic redirecting started (true) or stopped (false).
    void periodicChanged(bool periodic);
    // The quit message (or the destroy notification) arrived.
    void quitRequested();

private:
    void BeginRun(bool addressesOnly);
    void StartAddressWorker();
    void StartCheckWorker();
    void StartUploadWorker();
    void StartStepsAfterAddresses();
    void StartDnsWorker();
    void OnDnsDone(uintptr_t end);
    bool PageStepsOn() const;
    std::string TestConnectionUrl() const;
    Outcome WithNameStep(Outcome outcome) const;
    template<typename Job>
    bool Launch(void (*worker)(Job), Job job);

    void OnAddressFound(uintptr_t which, const char* text);
    void OnAddressesDone(bool found);
    void OnRedirectTarget(bool found, const char* text);
    void OnCheckDone();
    void OnUploadDone(bool ok);
    intptr_t OnGeneratePage();
    void OnRunDialDialog(DialDialogCall* call);
    void OnStatusText(uintptr_t wParam, const char* text);
    void AddStatusLine(const std::string& text);
    void Finish(Outcome outcome);
    void PlanNextRun(Outcome outcome);
    std::string RedirectAddress();
    std::time_t Now() const;

    CRedirectSettings& m_settings;
    std::shared_ptr<CycleServices> m_services;
    CInternetTransfer& m_transfer; // m_services' transfer object
    CycleView& m_view;
    AttentionView& m_attention;
    Context m_context;
    std::shared_ptr<UiMessageChannel> m_channel;
    std::shared_ptr<ReferrerText> m_referrer;
    // ExtMessages for the transferring threads: without the extended texts
    // the session's progress texts are dropped there, sparing each of them a
    // round trip to this thread. Follows the live record at every run and
    // at SettingsChanged.
    std::shared_ptr<std::atomic<bool>> m_extMessages;

    std::shared_ptr<WorkerThreadHandle> m_pAddressThread;
    unsigned m_nPeriodTimerId = 0;
    QTimer m_periodTimer;
    QTimer m_retryTimer;
    RetryPlan m_retries;
    bool m_bRunWhenIdle = false;
    bool m_bAddressesOnly = false;
    bool m_bCancelled = false;
    std::string m_strPage;
    std::string m_strCurrentTarget;
    bool m_bCycleBusy = false;
    int m_nNameStep = -1; // the DNS step's DnsStepEnd in this run; -1 when it did not run
    DialDialog m_dialDialog;
    DialDialogCall* m_pDialCall = nullptr; // while the dialog runs

    static std::atomic<int> s_runningWorkers;
};

} // namespace tarnwick
