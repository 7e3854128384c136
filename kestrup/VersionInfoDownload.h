#pragma once

#include "platform/internet/CancellableGet.h"

#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>

namespace tarnwick {
class MessageTarget;
}

namespace kestrup {

class CKestrupApp;
class CUpdateSession;

// Fetches the version text that lies beside the package on the update
// server (the package path with ".txt"), without following redirects, and
// shows every step and any failure in the window's status line.
class VersionInfoDownload
{
public:
    // A longer answer is not a version text (a wrong address naming a large file).
    static constexpr std::size_t kMaxTextBytes = 64 * 1024;

    explicit VersionInfoDownload(tarnwick::MessageTarget* statusWindow);

    // Time limits for the connection, for a server that sends nothing, and
    // for the whole download (a server that trickles).
    void SetTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds idle,
                     std::chrono::milliseconds total = std::chrono::milliseconds(120000));

    // True with the whole text in `out` after status 200; false with the
    // error text (also shown) in `out`. Blocks; runs on any one thread.
    bool DownloadVersionInfo(const CKestrupApp& app, std::string& out);

    // Any thread: a running download ends at once with a failure.
    void Cancel();

private:
    void Fail(std::string& out, const std::string& text);

    tarnwick::MessageTarget* m_statusWindow;
    std::chrono::milliseconds m_connectTimeout {30000};
    std::chrono::milliseconds m_idleTimeout {30000};
    std::chrono::milliseconds m_totalTimeout {120000};
    platform::CancellableGet m_get;
};

} // namespace kestrup
