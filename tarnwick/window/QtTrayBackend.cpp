#include "tarnwick/window/QtTrayBackend.h"

namespace tarnwick {

QtTrayBackend::QtTrayBackend(QObject* parent)
    : TrayBackend(parent)
{
    connect(&m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        switch (reason) {
        case QSystemTrayIcon::Context:
            Q_EMIT Gesture(TrayGesture::Context);
            break;
        case QSystemTrayIcon::Trigger:
            Q_EMIT Gesture(TrayGesture::Trigger);
            break;
        case QSystemTrayIcon::DoubleClick:
            Q_EMIT Gesture(TrayGesture::DoubleClick);
            break;
        case QSystemTrayIcon::MiddleClick:
            Q_EMIT Gesture(TrayGesture::MiddleClick);
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
    Q_EMIT AvailabilityChanged(available);
}

} // namespace tarnwick
