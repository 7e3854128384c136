#include "platform/internet/CurlMulti.h"

#include "platform/internet/CurlTransfer.h"
#include "platform/internet/InternetConstants.h"
#include "platform/internet/InternetSession.h"
#include "platform/internet/InternetText.h"

#include <mutex>
#include <optional>
#include <thread>

namespace platform {

// Lets a resolver thread wake the session's wait, unless the session is gone.
struct WakeTarget
{
    std::mutex mutex;
    CURLM* multi = nullptr;

    void Wake()
    {
        std::lock_guard lock(mutex);
        if (multi)
            curl_multi_wakeup(multi);
    }
};

namespace {

// The longest single wait; Close() wakes it earlier.
constexpr int kPollMilliseconds = 1000;

std::mutex g_resolverMutex;
InternetResolver g_resolver;

InternetResolver CurrentResolver()
{
    std::lock_guard lock(g_resolverMutex);
    return g_resolver;
}

struct ResolveState
{
    std::mutex mutex;
    bool done = false;
    std::optional<std::string> address;
};

InternetError Cancelled()
{
    return {ERROR_INTERNET_OPERATION_CANCELLED, InternetErrorText(ERROR_INTERNET_OPERATION_CANCELLED)};
}

} // namespace

void SetInternetResolveOverride(InternetResolver resolver)
{
    std::lock_guard lock(g_resolverMutex);
    g_resolver = std::move(resolver);
}

bool CurlGlobalReady()
{
    static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ready;
}

CurlMulti::CurlMulti(const std::atomic<bool>& closed)
    : m_closed(closed)
    , m_wake(std::make_shared<WakeTarget>())
{
    if (!CurlGlobalReady())
        return;
    m_multi = curl_multi_init();
    m_wake->multi = m_multi;
}

CurlMulti::~CurlMulti()
{
    {
        std::lock_guard lock(m_wake->mutex);
        m_wake->multi = nullptr;
    }
    if (m_multi)
        curl_multi_cleanup(m_multi);
}

void CurlMulti::Wakeup()
{
    m_wake->Wake();
}

bool CurlMulti::Start(CurlTransfer& transfer, InternetError& error)
{
    if (m_closed.load()) {
        error = Cancelled();
        return false;
    }
    if (!m_multi || !transfer.Valid()) {
        error = {ERROR_INTERNET_INTERNAL_ERROR, InternetErrorText(ERROR_INTERNET_INTERNAL_ERROR)};
        return false;
    }
    if (!Resolve(transfer, error))
        return false;
    CURLMcode code = curl_multi_add_handle(m_multi, transfer.Easy());
    if (code != CURLM_OK) {
        error = {ERROR_INTERNET_INTERNAL_ERROR, curl_multi_strerror(code)};
        return false;
    }
    transfer.MarkAdded(true);
    return true;
}

bool CurlMulti::Resolve(CurlTransfer& transfer, InternetError& error)
{
    InternetResolver resolver = CurrentResolver();
    if (!resolver || transfer.Proxied() || internet_text::IsNumericHost(transfer.Host()))
        return true;
    transfer.ReportResolving();
    // The answer may take long: it is awaited in the same wait that Close()
    // interrupts, so a closed session stops waiting at once.
    auto state = std::make_shared<ResolveState>();
    auto wake = m_wake;
    std::thread([state, wake, resolver, host = transfer.Host()] {
        std::optional<std::string> address;
        try {
            address = resolver(host);
        } catch (...) {
        }
        {
            std::lock_guard lock(state->mutex);
            state->address = std::move(address);
            state->done = true;
        }
        wake->Wake();
    }).detach();
    for (;;) {
        {
            std::lock_guard lock(state->mutex);
            if (state->done)
                break;
        }
        if (m_closed.load()) {
            error = Cancelled();
            return false;
        }
        curl_multi_poll(m_multi, nullptr, 0, kPollMilliseconds, nullptr);
    }
    if (!state->address || state->address->empty()) {
        error = InternetErrorFromCurl(CURLE_COULDNT_RESOLVE_HOST, {}, {});
        return false;
    }
    transfer.SetResolvedAddress(*state->address);
    return true;
}

bool CurlMulti::RunUntil(CurlTransfer& transfer, const std::function<bool()>& ready)
{
    for (;;) {
        if (m_closed.load()) {
            Remove(transfer);
            transfer.Finish(CURLE_ABORTED_BY_CALLBACK);
            return false;
        }
        if (ready() || transfer.Done())
            return true;
        int running = 0;
        CURLMcode code = curl_multi_perform(m_multi, &running);
        Dispatch();
        if (code != CURLM_OK && !transfer.Done())
            transfer.Finish(CURLE_OUT_OF_MEMORY);
        if (ready() || transfer.Done())
            return true;
        if (m_closed.load())
            continue;
        curl_multi_poll(m_multi, nullptr, 0, kPollMilliseconds, nullptr);
    }
}

void CurlMulti::Dispatch()
{
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(m_multi, &queued)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        CurlTransfer* transfer = nullptr;
        curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &transfer);
        if (transfer)
            transfer->Finish(message->data.result);
    }
}

void CurlMulti::Remove(CurlTransfer& transfer)
{
    if (m_multi && transfer.Added()) {
        curl_multi_remove_handle(m_multi, transfer.Easy());
        transfer.MarkAdded(false);
    }
}

} // namespace platform
