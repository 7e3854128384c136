#include "tarnwick/widgets/window/CSystemTray.h"

#include "tarnwick/widgets/common/Artwork.h"
#include "tarnwick/widgets/window/QtTrayBackend.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

#include <cmath>

namespace tarnwick {

CSystemTray::CSystemTray(TrayBackend* backend, QObject* parent)
    : QObject(parent)
    , m_backend(backend ? backend : new QtTrayBackend)
{
    m_backend->setParent(this);
    connect(m_backend, &TrayBackend::gestureMade, this, [this](TrayGesture gesture) { OnGesture(gesture); });
    connect(m_backend, &TrayBackend::availabilityChanged, this, &CSystemTray::OnAvailabilityChanged);

    m_blinkTimer.setTimerType(Qt::CoarseTimer);
    connect(&m_blinkTimer, &QTimer::timeout, this, &CSystemTray::OnBlinkTick);

    BuildMenu();
}

CSystemTray::~CSystemTray()
{
    StopBlinking();
    DeleteFromTray();
    m_frames.clear();
    m_backend->SetContextMenu(nullptr);
}

void CSystemTray::SetMainWindow(QWidget* window)
{
    m_mainWindow = window;
}

void CSystemTray::BuildMenu()
{
    m_menu = std::make_unique<QMenu>();
    const auto add = [this](int command, const QString& text) {
        QAction* action = m_menu->addAction(text);
        action->setData(command);
        connect(action, &QAction::triggered, this, [this, command] { Q_EMIT commandChosen(command); });
        return action;
    };
    QAction* show = add(kCmdShow, QString::fromUtf8("&Anzeigen"));
    show->setCheckable(true);
    add(kCmdForum, QString::fromUtf8("zum Tarnwick-Forum"));
    m_menu->addSeparator();
    add(kCmdRemoveIcon, QString::fromUtf8("Systemsymbol ent&fernen"));
    add(kCmdEnd, QString::fromUtf8("B&eenden"));

    // The default item stands out in bold, as a double click runs it.
    QAction* defaultAction = m_menu->actions().value(m_nDefaultItem);
    QFont bold = defaultAction->font();
    bold.setBold(true);
    defaultAction->setFont(bold);

    connect(m_menu.get(), &QMenu::aboutToShow, this, &CSystemTray::RefreshMenuState);
}

QAction* CSystemTray::MenuAction(int command) const
{
    for (QAction* action : m_menu->actions()) {
        if (!action->isSeparator() && action->data().toInt() == command)
            return action;
    }
    return nullptr;
}

void CSystemTray::RefreshMenuState()
{
    if (QAction* show = MenuAction(kCmdShow))
        show->setChecked(m_mainWindow && m_mainWindow->isVisible());
}

bool CSystemTray::IsSystemTrayAvailable() const
{
    return m_backend->IsAvailable();
}

bool CSystemTray::AddToTray(const QString& toolTip, const QIcon& icon, int iconId)
{
    m_iconId = iconId;
    m_toolTip = toolTip;
    m_icon = icon;
    m_backend->SetContextMenu(m_menu.get());
    m_bEnabled = m_backend->Add(icon, toolTip);
    m_bAddPending = !m_bEnabled;
    m_backend->WatchAvailability(m_bAddPending);
    return m_bEnabled;
}

void CSystemTray::OnAvailabilityChanged(bool available)
{
    if (!available || !m_bAddPending)
        return;
    if (!m_backend->Add(m_icon, m_toolTip))
        return;
    m_bEnabled = true;
    m_bWithdrawn = false;
    m_bAddPending = false;
    m_backend->WatchAvailability(false);
    Q_EMIT iconAdded();
}

void CSystemTray::DeleteFromTray()
{
    m_bAddPending = false;
    m_backend->WatchAvailability(false);
    if (!m_bEnabled)
        return;
    m_backend->Delete();
    m_bEnabled = false;
}

void CSystemTray::WithdrawIcon()
{
    if (!m_bEnabled || m_bWithdrawn)
        return;
    m_backend->Delete();
    m_bWithdrawn = true;
}

void CSystemTray::RestoreIcon()
{
    if (!m_bEnabled || !m_bWithdrawn)
        return;
    m_backend->Add(m_icon, m_toolTip);
    m_bWithdrawn = false;
}

void CSystemTray::ChangeIcon(const QIcon& icon)
{
    if (!m_bEnabled)
        return;
    m_icon = icon;
    m_backend->ModifyIcon(icon);
}

QIcon CSystemTray::CurrentIcon() const
{
    return m_bEnabled ? m_icon : QIcon();
}

bool CSystemTray::LoadFrames(int first, int last)
{
    if (last < first)
        return false;
    m_frames.clear();
    for (int id = first; id <= last; ++id) {
        const QIcon frame = Icon(id);
        if (frame.isNull()) {
            m_frames.clear();
            return false;
        }
        m_frames.append(frame);
    }
    return true;
}

bool CSystemTray::StartBlinking(int periodMs, int limitSeconds)
{
    StopBlinking();
    if (!m_bEnabled || periodMs <= 0)
        return false;
    m_nFrame = 0;
    m_blinkStart = QDateTime::currentDateTimeUtc();
    m_nBlinkSeconds = limitSeconds;
    m_hIconBeforeBlink = CurrentIcon();
    m_blinkTimer.start(periodMs);
    return true;
}

void CSystemTray::OnBlinkTick()
{
    if (m_nBlinkSeconds > 0) {
        const qint64 elapsedMs = m_blinkStart.msecsTo(QDateTime::currentDateTimeUtc());
        if (std::llround(static_cast<double>(elapsedMs) / 1000.0) > m_nBlinkSeconds) {
            StopBlinking();
            return;
        }
    }
    NextFrame();
}

void CSystemTray::NextFrame()
{
    if (m_frames.isEmpty())
        return;
    m_nFrame = (m_nFrame + 1) % m_frames.size();
    ChangeIcon(m_frames.at(m_nFrame));
}

void CSystemTray::StopBlinking()
{
    m_blinkTimer.stop();
    if (!m_hIconBeforeBlink.isNull()) {
        ChangeIcon(m_hIconBeforeBlink);
        m_hIconBeforeBlink = QIcon();
    }
}

int CSystemTray::DefaultCommand() const
{
    if (!m_bDefaultByPosition)
        return m_nDefaultItem;
    const QAction* action = m_menu->actions().value(m_nDefaultItem);
    return action ? action->data().toInt() : 0;
}

void CSystemTray::OnGesture(TrayGesture gesture)
{
    HandleIconMessage(m_iconId, gesture);
}

bool CSystemTray::HandleIconMessage(int iconId, TrayGesture gesture)
{
    if (iconId != m_iconId || !m_bEnabled)
        return false;
    switch (gesture) {
    case TrayGesture::Context:
        // The notification area opens the menu itself; it only has to be current
        // and its owner in front.
        RefreshMenuState();
        if (m_mainWindow && m_mainWindow->isVisible())
            m_mainWindow->activateWindow();
        return true;
    case TrayGesture::DoubleClick:
    case TrayGesture::Activate:
        // The backend reports each user gesture as exactly one of these.
        RunDefaultCommand();
        return true;
    case TrayGesture::Trigger:
    case TrayGesture::MiddleClick:
        return false;
    }
    return false;
}

void CSystemTray::RunDefaultCommand()
{
    if (const int command = DefaultCommand())
        Q_EMIT commandChosen(command);
}

} // namespace tarnwick
