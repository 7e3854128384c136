#pragma once

#include "tarnwick/widgets/window/TrayBackend.h"

#include <QSystemTrayIcon>
#include <QTimer>

class QDBusConnection;

namespace tarnwick {

// The notification area of the desktop through QSystemTrayIcon, which speaks
// both StatusNotifierItem hosts and XEmbed trays.
class QtTrayBackend : public TrayBackend
{
    Q_OBJECT
public:
    explicit QtTrayBackend(QObject* parent = nullptr);
    ~QtTrayBackend() override;

    bool IsAvailable() const override;

    // Whether the icon lives with a StatusNotifierItem host: decided once,
    // when the backend is made, by the same question Qt asks when it picks
    // the kind of icon (a watcher on the session bus with a host registered).
    bool IsStatusNotifierItem() const { return m_bStatusNotifierItem; }
    static bool StatusNotifierHostRegistered();
    static bool StatusNotifierHostRegistered(const QDBusConnection& bus);
    bool Add(const QIcon& icon, const QString& toolTip) override;
    void ModifyIcon(const QIcon& icon) override;
    void Delete() override;
    void SetContextMenu(QMenu* menu) override;
    void WatchAvailability(bool watch) override;

    // How often the area is looked for while watched: a panel usually starts
    // within seconds after the autostart entry, and the query is cheap.
    static constexpr int kWatchIntervalMs = 3000;

private:
    void PollAvailability();

    bool m_bStatusNotifierItem; // before m_icon: asked before Qt asks the same
    QSystemTrayIcon m_icon;
    QTimer m_watchTimer;
    bool m_bLastAvailable = false;
};

} // namespace tarnwick
