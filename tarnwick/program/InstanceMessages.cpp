#include "tarnwick/program/InstanceMessages.h"

#include "platform/window/TitleWindow.h"

#include <QSocketNotifier>

namespace tarnwick {

InstanceMessages::InstanceMessages(platform::TitleWindow& title, MessageHandler onMessage, FrontHandler onBringToFront,
                                   QObject* parent)
    : QObject(parent)
    , m_title(title)
    , m_onMessage(std::move(onMessage))
    , m_onBringToFront(std::move(onBringToFront))
{
    if (m_title.Fd() < 0)
        return;
    m_notifier = new QSocketNotifier(m_title.Fd(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { OnReadable(); });
}

void InstanceMessages::OnReadable()
{
    for (const platform::TitleWindow::Request& request : m_title.TakeRequests()) {
        if (request.kind == platform::TitleRequestKind::BringToFront) {
            if (m_onBringToFront)
                m_onBringToFront();
        } else if (m_onMessage) {
            m_onMessage(request.message, request.wParam, request.lParam);
        }
    }
}

} // namespace tarnwick
