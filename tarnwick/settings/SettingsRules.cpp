#include "tarnwick/settings/SettingsRules.h"

#include <QDir>
#include <QFileInfo>

namespace tarnwick {

const char* const kTemplateFilter
    = "Webseiten (*.htm,*.asp,*.php,*.pl)|*.htm;*.asp;*.php;*.pl|ASP-Dateien (*.asp)|*.asp|HTML-Dateien "
      "(*.htm)|*.htm*|PHP-Dateien (*.php)|*.php*|PERL-Dateien (*.pl)|*.pl|Alle Dateien (*.*)|*.*||";
const char* const kBackupFilter = "Backup-Dateien (*.bak)|*.bak|Alle Dateien (*.*)|*.*||";

int FieldNumber(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? value : 0;
}

std::optional<uint16_t> FieldPort(const QString& text, int minimum)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < minimum || value > 65535)
        return std::nullopt;
    return static_cast<uint16_t>(value);
}

int ProtocolIndexForServiceType(int serviceType)
{
    switch (serviceType) {
    case 1:
        return 0;
    case 3:
        return 1;
    default:
        return -1;
    }
}

std::optional<ProtocolChoice> ProtocolForIndex(int index)
{
    switch (index) {
    case 0:
        return ProtocolChoice {1, 21};
    case 1:
        return ProtocolChoice {3, 80};
    default:
        return std::nullopt;
    }
}

uint16_t UploadPortForTls(int serviceType, uint16_t port, bool tls)
{
    if (serviceType == 3 && port == (tls ? 80 : 443))
        return tls ? 443 : 80;
    return port;
}

QString UpgradeProgram(const std::string& programDirectory)
{
    return QString::fromStdString(programDirectory) + QStringLiteral("kestrup");
}

QStringList UpgradeArguments(const std::string& title, const std::string& version)
{
    return {QStringLiteral("msidlfile=/Download/TWSetup.msi"),
            QStringLiteral("pr=\"%1\"").arg(QString::fromStdString(title)),
            QStringLiteral("v=%1").arg(QString::fromStdString(version))};
}

std::string TemplateFolder(const std::string& programDirectory)
{
    const QString installed
        = QDir::cleanPath(QString::fromStdString(programDirectory) + QStringLiteral("/../share/tarnwick/vorlagen"));
    if (programDirectory.empty() || !QFileInfo(installed).isDir())
        return programDirectory;
    return (installed + QLatin1Char('/')).toStdString();
}

FileDialogStart TemplateDialogStart(const QString& templateText, const QString& pageName, const std::string& folder)
{
    FileDialogStart start;
    start.path = templateText.isEmpty() ? pageName : templateText;
    if (!start.path.contains(QLatin1Char('/')))
        start.path.prepend(QString::fromStdString(folder));
    // The suffix is looked for in the file name only: a dot in a folder name is no extension.
    const QString name = start.path.mid(start.path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0)
        start.defaultSuffix = name.mid(dot + 1);
    return start;
}

QString QtFileFilter(const char* windowsFilter)
{
    const QStringList parts = QString::fromUtf8(windowsFilter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        if (description.isEmpty())
            break;
        const qsizetype open = description.lastIndexOf(QLatin1Char('('));
        if (open > 0)
            description = description.left(open).trimmed();
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& pattern : patterns) {
            if (pattern == QLatin1String("*.*"))
                pattern = QStringLiteral("*"); // names without a dot are files too
        }
        filters << QStringLiteral("%1 (%2)").arg(description, patterns.join(QLatin1Char(' ')));
    }
    return filters.join(QStringLiteral(";;"));
}

} // namespace tarnwick
