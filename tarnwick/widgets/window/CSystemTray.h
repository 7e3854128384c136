#pragma once

#include "tarnwick/widgets/window/TrayBackend.h"

#include <QDateTime>
#include <QIcon>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>

class QAction;
class QMenu;
class QWidget;

namespace tarnwick {

// Tarnwick's notification icon: adds and removes it, blinks between frames
// after a failure and turns gestures on it into commands of the main window
// (the Command signal). Every call comes on the user-interface thread.
class CSystemTray : public QObject
{
    Q_OBJECT
public:
    // Menu 133's commands and the icon's resource numbers.
    static constexpr int kIconId = 133;
    static constexpr int kCmdShow = 40001;
    static constexpr int kCmdRemoveIcon = 40002;
    static constexpr int kCmdForum = 40003;
    static constexpr int kCmdHideOrEnd = 57665; // the window's hide button, Escape and close box
    static constexpr int kCmdEnd = 40004; // "B&eenden": ends whether the window is shown or not
    static constexpr int kFirstFrame = 141;
    static constexpr int kLastFrame = 142;
    static constexpr int kBlinkPeriodMs = 500;

    // Takes ownership of the backend; none = the desktop's notification area.
    explicit CSystemTray(TrayBackend* backend = nullptr, QObject* parent = nullptr);
    ~CSystemTray() override; // DeleteFromTray

    // The window whose visibility checks "&Anzeigen" and that is raised
    // before its menu opens.
    void SetMainWindow(QWidget* window);

    // Shows the icon with menu iconId (Tarnwick: 133). False when the desktop
    // has no notification area; the icon is then added by itself when one
    // appears later (IconAdded).
    bool AddToTray(const QString& toolTip, const QIcon& icon, int iconId = kIconId);
    void WithdrawIcon();
    void RestoreIcon();
    void ChangeIcon(const QIcon& icon);
    QIcon CurrentIcon() const;

    // Frames are the artwork icons first..last; false when last < first or one is missing.
    bool LoadFrames(int first, int last);
    // Limit in seconds, 0 or less = until StopBlinking. False when nothing can blink.
    bool StartBlinking(int periodMs = kBlinkPeriodMs, int limitSeconds = 0);
    void NextFrame();
    void StopBlinking();
    bool IsBlinking() const { return m_blinkTimer.isActive(); }

    // A gesture on the icon with the given id; true when it acted.
    bool HandleIconMessage(int iconId, TrayGesture gesture);

    bool IsEnabled() const { return m_bEnabled; }
    bool IsWithdrawn() const { return m_bWithdrawn; }
    // Whether the desktop has a notification area at all.
    bool IsSystemTrayAvailable() const;

    // Menu 133 (for the main window's menu-state handling and for tests).
    QMenu* Menu() const { return m_menu.get(); }
    QAction* MenuAction(int command) const;

Q_SIGNALS:
    // A command for the main window: a menu entry or the default command.
    void commandChosen(int commandId);
    // A notification area appeared after AddToTray had failed, and the icon is in it now.
    void iconAdded();

private:
    void BuildMenu();
    void RefreshMenuState();
    void DeleteFromTray();
    void OnGesture(TrayGesture gesture);
    void OnAvailabilityChanged(bool available);
    void OnBlinkTick();
    void RunDefaultCommand();
    int DefaultCommand() const;

    TrayBackend* m_backend;
    QPointer<QWidget> m_mainWindow;
    std::unique_ptr<QMenu> m_menu;

    bool m_bEnabled = false;
    bool m_bWithdrawn = false;
    bool m_bAddPending = false; // AddToTray found no area: add when one appears
    int m_iconId = 0;
    QString m_toolTip;
    QIcon m_icon;

    QList<QIcon> m_frames;
    QTimer m_blinkTimer;
    int m_nFrame = 0;
    QDateTime m_blinkStart;
    int m_nBlinkSeconds = 0;
    QIcon m_hIconBeforeBlink;

    int m_nDefaultItem = 0;
    bool m_bDefaultByPosition = true;
};

} // namespace tarnwick
