#pragma once

#include "tarnwick/window/TrayBackend.h"

#include <QSystemTrayIcon>
#include <QTimer>

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

    QSystemTrayIcon m_icon;
    QTimer m_watchTimer;
    bool m_bLastAvailable = false;
};

} // namespace tarnwick
