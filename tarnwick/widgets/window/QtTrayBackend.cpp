#include "tarnwick/widgets/window/QtTrayBackend.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>

namespace tarnwick {

bool QtTrayBackend::StatusNotifierHostRegistered()
{
    return StatusNotifierHostRegistered(QDBusConnection::sessionBus());
}

bool QtTrayBackend::StatusNotifierHostRegistered(const QDBusConnection& bus)
{
    const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
    if (!bus.isConnected() || !bus.interface() || !bus.interface()->isServiceRegistered(watcherService))
        return false;
    QDBusInterface watcher(watcherService, QStringLiteral("/StatusNotifierWatcher"), watcherService, bus);
    return watcher.property("IsStatusNotifierHostRegistered").toBool();
}

QtTrayBackend::QtTrayBackend(QObject* parent)
    : TrayBackend(parent)
    , m_bStatusNotifierItem(StatusNotifierHostRegistered())
{
    // An XEmbed tray reports a single click as Trigger and a double click as
    // Trigger followed by DoubleClick; a StatusNotifierItem host reports its
    // activation (a single click on most desktops) as Trigger alone. Passing
    // them on as distinct gestures lets the tray act once per gesture on both.
    connect(&m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        switch (reason) {
        case QSystemTrayIcon::Context:
            Q_EMIT gestureMade(TrayGesture::Context);
            break;
        case QSystemTrayIcon::Trigger:
            Q_EMIT gestureMade(m_bStatusNotifierItem ? TrayGesture::Activate : TrayGesture::Trigger);
            break;
        case QSystemTrayIcon::DoubleClick:
            Q_EMIT gestureMade(TrayGesture::DoubleClick);
            break;
        case QSystemTrayIcon::MiddleClick:
            Q_EMIT gestureMade(TrayGesture::MiddleClick);
            break;
        case QSystemTrayIcon::Unknown:
            break;
        }
    });
    m_watchTimer.setInterval(kWatchIntervalMs);
    connect(&m_watchTimer, &QTimer::timeout, this, &QtTrayBackend::PollAvailability);
}

QtTrayBackend::~QtTrayBackend()
{
    m_icon.hide();
}

bool QtTrayBackend::IsAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool QtTrayBackend::Add(const QIcon& icon, const QString& toolTip)
{
    if (!IsAvailable())
        return false;
    m_icon.setIcon(icon);
    m_icon.setToolTip(toolTip);
    m_icon.show();
    return m_icon.isVisible();
}

void QtTrayBackend::ModifyIcon(const QIcon& icon)
{
    m_icon.setIcon(icon);
}

void QtTrayBackend::Delete()
{
    m_icon.hide();
}

void QtTrayBackend::SetContextMenu(QMenu* menu)
{
    m_icon.setContextMenu(menu);
}

void QtTrayBackend::WatchAvailability(bool watch)
{
    if (!watch) {
        m_watchTimer.stop();
        return;
    }
    m_bLastAvailable = IsAvailable();
    m_watchTimer.start();
}

void QtTrayBackend::PollAvailability()
{
    const bool available = IsAvailable();
    if (available == m_bLastAvailable)
        return;
    m_bLastAvailable = available;
    Q_EMIT availabilityChanged(available);
}

} // namespace tarnwick
