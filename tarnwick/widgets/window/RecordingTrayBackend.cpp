#include "tarnwick/widgets/window/RecordingTrayBackend.h"

namespace tarnwick {

RecordingTrayBackend::RecordingTrayBackend(bool available, QObject* parent)
    : TrayBackend(parent)
    , m_bAvailable(available)
{
}

bool RecordingTrayBackend::Add(const QIcon& icon, const QString& toolTip)
{
    m_calls.append(QStringLiteral("add"));
    if (!m_bAvailable)
        return false;
    m_icon = icon;
    m_toolTip = toolTip;
    m_bShown = true;
    return true;
}

void RecordingTrayBackend::ModifyIcon(const QIcon& icon)
{
    m_calls.append(QStringLiteral("modify"));
    m_icon = icon;
}

void RecordingTrayBackend::Delete()
{
    m_calls.append(QStringLiteral("delete"));
    m_bShown = false;
}

void RecordingTrayBackend::SetAvailable(bool available)
{
    m_bAvailable = available;
    if (!available)
        m_bShown = false;
    if (m_bWatching)
        Q_EMIT availabilityChanged(available);
}

} // namespace tarnwick
