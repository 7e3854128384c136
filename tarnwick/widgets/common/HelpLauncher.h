#pragma once

#include "tarnwick/widgets/common/UrlOpener.h"

#include <QString>

namespace tarnwick {

// Opens the program's help pages (one HTML page per topic, e.g.
// "tarnwick.htm") in the browser. Without the help folder it says so.
class HelpLauncher
{
public:
    // The folder of the pages: <program dir>/../share/tarnwick/help/.
    HelpLauncher();
    explicit HelpLauncher(QString helpDirectory);

    static QString DefaultHelpDirectory();
    QString HelpDirectory() const { return m_helpDirectory; }

    // The page of a topic; empty when the folder or the page is missing, or
    // the topic is not a plain file name.
    QString TopicPath(const QString& topic) const;
    // Starts showing the page in the browser; false when it is missing or
    // failed at once. Failures, later ones too, reach onFailure as with OpenUrl.
    bool ShowTopic(const QString& topic, QObject* context = nullptr, OpenFailureHandler onFailure = {}) const;

    // The main window's page.
    static QString MainTopic() { return QStringLiteral("tarnwick.htm"); }

private:
    QString m_helpDirectory;
};

} // namespace tarnwick
