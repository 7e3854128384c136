#pragma once

#include <QUrl>

#include <functional>

// Opening an address in the user's browser (the desktop's "open"), behind a
// seam so that tests decide whether it succeeds without starting a browser.
namespace tarnwick {

using UrlOpenerFunction = std::function<bool(const QUrl&)>;

// True when the desktop accepted the address.
bool OpenUrl(const QUrl& url);

// Replaces how addresses are opened (none = QDesktopServices again); returns the one before.
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
