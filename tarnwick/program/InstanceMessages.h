#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include <QObject>

#include <cstdint>
#include <functional>

class QSocketNotifier;

namespace platform {
class TitleWindow;
}

namespace tarnwick {

// Delivers what later starts (and the updater) send to the claimed main
// window title as calls on the user-interface thread. Wakes up only when a
// peer writes.
class TARNWICK_EXPORT InstanceMessages : public QObject
{
public:
    using MessageHandler = std::function<void(uint32_t message, uintptr_t wParam, intptr_t lParam)>;
    using FrontHandler = std::function<void()>;

    // title must stay claimed while this object lives.
    InstanceMessages(platform::TitleWindow& title, MessageHandler onMessage, FrontHandler onBringToFront,
                     QObject* parent = nullptr);

private:
    void OnReadable();

    platform::TitleWindow& m_title;
    MessageHandler m_onMessage;
    FrontHandler m_onBringToFront;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace tarnwick
