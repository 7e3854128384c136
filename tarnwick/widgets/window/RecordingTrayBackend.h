#pragma once

#include "tarnwick/widgets/window/TrayBackend.h"

#include <QStringList>

namespace tarnwick {

// A notification area for tests: it records what was asked of it and lets a
// test play the desktop's part (gestures, an area that appears later).
class RecordingTrayBackend : public TrayBackend
{
    Q_OBJECT
public:
    explicit RecordingTrayBackend(bool available = true, QObject* parent = nullptr);

    bool IsAvailable() const override { return m_bAvailable; }
    bool Add(const QIcon& icon, const QString& toolTip) override;
    void ModifyIcon(const QIcon& icon) override;
    void Delete() override;
    void SetContextMenu(QMenu* menu) override { m_menu = menu; }
    void WatchAvailability(bool watch) override { m_bWatching = watch; }

    // The desktop's side.
    void SetAvailable(bool available); // emits AvailabilityChanged while watched
    void Perform(TrayGesture gesture) { Q_EMIT gestureMade(gesture); }

    // What the icon looks like now.
    bool IsShown() const { return m_bShown; }
    QIcon ShownIcon() const { return m_icon; }
    QString ToolTip() const { return m_toolTip; }
    QMenu* ContextMenu() const { return m_menu; }
    bool IsWatching() const { return m_bWatching; }
    // "add", "modify", "delete" in the order asked.
    QStringList Calls() const { return m_calls; }
    void ClearCalls() { m_calls.clear(); }

private:
    bool m_bAvailable;
    bool m_bShown = false;
    bool m_bWatching = false;
    QIcon m_icon;
    QString m_toolTip;
    QMenu* m_menu = nullptr;
    QStringList m_calls;
};

} // namespace tarnwick
