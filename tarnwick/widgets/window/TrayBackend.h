#pragma once

#include <QIcon>
#include <QObject>
#include <QString>

class QMenu;

namespace tarnwick {

// What the user did on the notification icon, as the notification area reports it.
enum class TrayGesture {
    Context, // right click: the area shows the icon's menu itself
    Trigger, // single left click in an XEmbed tray: not a command of its own
    DoubleClick, // XEmbed tray: the default gesture (it follows a Trigger for the same double click)
    Activate, // a StatusNotifierItem host's activation: the default gesture there (no double click exists)
    MiddleClick,
};

// The desktop's notification area as CSystemTray needs it: add, change and
// delete one icon with a tooltip and a context menu, and report gestures.
// QtTrayBackend speaks to the desktop; RecordingTrayBackend stands in for it in tests.
class TrayBackend : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~TrayBackend() override = default;

    // Whether the desktop has a notification area now.
    virtual bool IsAvailable() const = 0;
    // Shows the icon; false when no notification area takes it.
    virtual bool Add(const QIcon& icon, const QString& toolTip) = 0;
    virtual void ModifyIcon(const QIcon& icon) = 0;
    virtual void Delete() = 0;
    // The menu the area shows on a right click; owned by the caller.
    virtual void SetContextMenu(QMenu* menu) = 0;
    // Asks to be told (AvailabilityChanged) when a notification area appears or goes.
    virtual void WatchAvailability(bool watch) = 0;

Q_SIGNALS:
    void gestureMade(tarnwick::TrayGesture gesture);
    void availabilityChanged(bool available);
};

} // namespace tarnwick
