#include "tarnwick/widgets/common/UrlOpener.h"

#include <QDesktopServices>

namespace tarnwick {

namespace {

UrlOpenerFunction& Opener()
{
    static UrlOpenerFunction opener;
    return opener;
}

} // namespace

bool OpenUrl(const QUrl& url)
{
    if (!url.isValid() || url.isEmpty())
        return false;
    if (const UrlOpenerFunction& opener = Opener())
        return opener(url);
    return QDesktopServices::openUrl(url);
}

UrlOpenerFunction SetUrlOpener(UrlOpenerFunction opener)
{
    return std::exchange(Opener(), std::move(opener));
}

} // namespace tarnwick
