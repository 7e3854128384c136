#include "tarnwick/widgets/common/UrlOpener.h"

#include <QPointer>
#include <QProcess>
#include <QTimer>

namespace tarnwick {

namespace {

UrlOpenerFunction& Opener()
{
    static UrlOpenerFunction opener;
    return opener;
}

// What the launcher's exit codes mean (its manual's list).
QString ExitReason(int code)
{
    const QString launcher = QString::fromLatin1(kLauncherProgram);
    switch (code) {
    case 1:
        return QStringLiteral("%1 hat den Aufruf nicht verstanden (Fehlercode 1).").arg(launcher);
    case 2:
        return QStringLiteral("die Datei ist nicht vorhanden (%1 endete mit Fehlercode 2).").arg(launcher);
    case 3:
        return QStringLiteral("kein Browser gefunden (%1 endete mit Fehlercode 3).").arg(launcher);
    case 4:
        return QStringLiteral("der Browser konnte nicht gestartet werden (%1 endete mit Fehlercode 4).").arg(launcher);
    default:
        return QStringLiteral("%1 endete mit Fehlercode %2.").arg(launcher).arg(code);
    }
}

// Follows one launcher until it has either failed or outlived the grace
// time. It is never killed: a launcher that execs the browser is the browser.
class LauncherWatch : public QObject
{
public:
    LauncherWatch(const QUrl& url, QObject* context, OpenFailureHandler onFailure)
        : m_url(url)
        , m_context(context)
        , m_onFailure(std::move(onFailure))
    {
        connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart) {
                Fail(QStringLiteral("das Programm %1 wurde nicht gefunden oder kann nicht ausgeführt werden.")
                         .arg(QString::fromLatin1(kLauncherProgram)));
                deleteLater();
            }
        });
        connect(&m_process, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
            if (status == QProcess::CrashExit)
                Fail(QStringLiteral("%1 wurde abgebrochen.").arg(QString::fromLatin1(kLauncherProgram)));
            else if (code != 0)
                Fail(ExitReason(code));
            deleteLater();
        });
        QTimer::singleShot(kLauncherGraceMs, this, [this] { m_decided = true; });
        m_process.setProcessChannelMode(QProcess::ForwardedChannels);
        m_process.setInputChannelMode(QProcess::ForwardedInputChannel);
        m_process.start(QString::fromLatin1(kLauncherProgram), {m_url.toString(QUrl::FullyEncoded)});
    }

private:
    void Fail(const QString& reason)
    {
        if (m_decided)
            return;
        m_decided = true;
        if (m_context && m_onFailure)
            m_onFailure(OpenFailureText(m_url, reason));
    }

    QUrl m_url;
    QPointer<QObject> m_context;
    OpenFailureHandler m_onFailure;
    QProcess m_process;
    bool m_decided = false;
};

} // namespace

QString OpenFailureText(const QUrl& url, const QString& reason)
{
    const QString what = url.isLocalFile() ? url.toLocalFile() : url.toDisplayString();
    return QStringLiteral("\"%1\" konnte nicht geöffnet werden: %2").arg(what, reason);
}

bool OpenUrl(const QUrl& url, QObject* context, OpenFailureHandler onFailure)
{
    const auto fail = [&](const QString& reason) {
        if (context && onFailure)
            onFailure(OpenFailureText(url, reason));
        return false;
    };
    if (!url.isValid() || url.isEmpty())
        return fail(QStringLiteral("die Adresse ist ungültig."));
    if (const UrlOpenerFunction& opener = Opener())
        return opener(url) || fail(QStringLiteral("der Browser hat die Adresse nicht angenommen."));
    // Not parented: it lives until its launcher ends, also past its caller.
    new LauncherWatch(url, context, std::move(onFailure));
    return true;
}

UrlOpenerFunction SetUrlOpener(UrlOpenerFunction opener)
{
    return std::exchange(Opener(), std::move(opener));
}

} // namespace tarnwick
