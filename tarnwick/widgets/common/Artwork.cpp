#include "tarnwick/widgets/common/Artwork.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QImageReader>
#include <QString>

// Resources of a static library are linked in only when named.
static void InitArtworkResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(Artwork);
        return true;
    }();
    (void)done;
}

namespace tarnwick {

namespace {

QString ArtworkPath(int resourceId)
{
    InitArtworkResources();
    return QStringLiteral(":/tarnwick/artwork/%1.svg").arg(resourceId);
}

// Rendered at the sizes notification areas and title bars ask for, so that
// no host has to scale a bitmap.
constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128};

// Icons hold pixmaps, which must go while the application still exists.
QHash<int, QIcon>& IconCache()
{
    static QHash<int, QIcon> cache;
    static const bool cleared = [] {
        qAddPostRoutine([] { IconCache().clear(); });
        return true;
    }();
    (void)cleared;
    return cache;
}

} // namespace

QPixmap Pixmap(int resourceId, QSize size)
{
    const QString path = ArtworkPath(resourceId);
    if (!QFile::exists(path))
        return {};
    QImageReader reader(path);
    if (!size.isEmpty())
        reader.setScaledSize(size);
    const QImage image = reader.read();
    return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
}

QIcon Icon(int resourceId)
{
    QHash<int, QIcon>& cache = IconCache();
    const auto found = cache.constFind(resourceId);
    if (found != cache.constEnd())
        return *found;
    QIcon icon;
    for (int side : kIconSizes) {
        const QPixmap pixmap = Pixmap(resourceId, QSize(side, side));
        if (pixmap.isNull())
            break;
        icon.addPixmap(pixmap);
    }
    cache.insert(resourceId, icon);
    return icon;
}

} // namespace tarnwick
