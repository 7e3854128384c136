#include "tarnwick/widgets/common/HelpLauncher.h"

#include "tarnwick/widgets/common/UrlOpener.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace tarnwick {

HelpLauncher::HelpLauncher()
    : HelpLauncher(DefaultHelpDirectory())
{
}

HelpLauncher::HelpLauncher(QString helpDirectory)
    : m_helpDirectory(std::move(helpDirectory))
{
}

QString HelpLauncher::DefaultHelpDirectory()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/tarnwick/help"));
}

QString HelpLauncher::TopicPath(const QString& topic) const
{
    // A topic names a page in the folder, never a path out of it.
    if (topic.isEmpty() || topic.contains(QLatin1Char('/')) || topic == QStringLiteral("..")
        || m_helpDirectory.isEmpty())
        return {};
    const QFileInfo page(QDir(m_helpDirectory), topic);
    if (!page.isFile())
        return {};
    return page.absoluteFilePath();
}

bool HelpLauncher::ShowTopic(const QString& topic, QObject* context, OpenFailureHandler onFailure) const
{
    const QString path = TopicPath(topic);
    if (path.isEmpty()) {
        if (context && onFailure) {
            const QUrl page = QUrl::fromLocalFile(QDir(m_helpDirectory).filePath(topic));
            onFailure(OpenFailureText(page, QStringLiteral("die Hilfeseite ist nicht vorhanden.")));
        }
        return false;
    }
    return OpenUrl(QUrl::fromLocalFile(path), context, std::move(onFailure));
}

} // namespace tarnwick
