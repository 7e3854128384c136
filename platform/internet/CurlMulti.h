#pragma once

#include "platform/internet/InternetError.h"

#include <atomic>
#include <curl/curl.h>
#include <functional>
#include <memory>

namespace platform {

class CurlTransfer;
struct WakeTarget;

// A session's libcurl multi handle and the loop in which the session's thread
// waits for its transfers. Another thread ends the wait with Wakeup().
class CurlMulti
{
public:
    explicit CurlMulti(const std::atomic<bool>& closed);
    ~CurlMulti();
    CurlMulti(const CurlMulti&) = delete;
    CurlMulti& operator=(const CurlMulti&) = delete;

    bool Valid() const { return m_multi != nullptr; }
    // Any thread.
    void Wakeup();

    // Resolves the host through the override when one is set, then adds the
    // transfer. False (error set) when resolving failed or the session closed.
    bool Start(CurlTransfer& transfer, InternetError& error);
    // Runs transfers until ready() holds or the transfer has ended (true), or
    // until the session is closed (false; the transfer is removed).
    bool RunUntil(CurlTransfer& transfer, const std::function<bool()>& ready);
    void Remove(CurlTransfer& transfer);

private:
    bool Resolve(CurlTransfer& transfer, InternetError& error);
    void Dispatch();

    CURLM* m_multi = nullptr;
    const std::atomic<bool>& m_closed;
    std::shared_ptr<WakeTarget> m_wake;
};

// Every easy handle gets these; curl_global_init runs once per process.
bool CurlGlobalReady();

} // namespace platform
