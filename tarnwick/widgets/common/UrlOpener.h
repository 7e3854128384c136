#pragma once

#include <QString>
#include <QUrl>

#include <functional>

class QObject;

// Opening an address in the user's browser through the desktop's launcher
// (xdg-open), without waiting on the user-interface thread. The desktop's
// own "open" reports success as soon as a launcher starts; here a launcher
// that is missing or fails within a few seconds counts as a failure, one
// still running after that as a success.
namespace tarnwick {

// A German sentence naming what could not be opened and why.
using OpenFailureHandler = std::function<void(const QString& text)>;

// How long a launcher may still fail before the opening counts as done.
inline constexpr int kLauncherGraceMs = 3000;
// The desktop's launcher, found on PATH.
inline constexpr const char* kLauncherProgram = "xdg-open";

// Starts opening url. False when that failed at once (onFailure has been
// called); a launcher's later failure reaches onFailure within
// kLauncherGraceMs, on the user-interface thread and only while context
// lives. Success is not reported.
bool OpenUrl(const QUrl& url, QObject* context, OpenFailureHandler onFailure);

// The failure sentence for url with the reason.
QString OpenFailureText(const QUrl& url, const QString& reason);

// Tests: a synchronous opener instead of the launcher (true = the browser
// took the address); none = the launcher again.
using UrlOpenerFunction = std::function<bool(const QUrl&)>;
UrlOpenerFunction SetUrlOpener(UrlOpenerFunction opener);

// Sets an opener for one scope, for tests.
class ScopedUrlOpener
{
public:
    explicit ScopedUrlOpener(UrlOpenerFunction opener)
        : m_previous(SetUrlOpener(std::move(opener)))
    {
    }
    ~ScopedUrlOpener() { SetUrlOpener(std::move(m_previous)); }
    ScopedUrlOpener(const ScopedUrlOpener&) = delete;
    ScopedUrlOpener& operator=(const ScopedUrlOpener&) = delete;

private:
    UrlOpenerFunction m_previous;
};

} // namespace tarnwick
