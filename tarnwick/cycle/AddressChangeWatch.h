#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <memory>

class QSocketNotifier;

namespace tarnwick {

// Where notices of changed addresses come from: a descriptor that becomes
// readable, and a drain that says whether what was read matters.
class TARNWICK_EXPORT AddressEventSource
{
public:
    virtual ~AddressEventSource() = default;
    virtual int Descriptor() const = 0;
    virtual bool Drain() = 0;
};

// The kernel's address and default-route notices (rtnetlink).
TARNWICK_EXPORT std::unique_ptr<AddressEventSource> KernelAddressEvents();

// Turns a burst of address notices into one changed() after a quiet time:
// every notice that matters restarts the wait, so a reconnect that changes
// addresses and routes a dozen times gives one signal. Event-driven only: no
// timer runs while nothing changes.
class TARNWICK_EXPORT AddressChangeWatch : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kQuietTime {3000};

    AddressChangeWatch(std::unique_ptr<AddressEventSource> source, std::chrono::milliseconds quietTime = kQuietTime,
                       QObject* parent = nullptr);
    ~AddressChangeWatch() override;

    // False when the source has no descriptor (then nothing is ever signalled).
    bool IsListening() const { return m_notifier != nullptr; }

Q_SIGNALS:
    void changed();

private:
    void OnReadable();

    std::unique_ptr<AddressEventSource> m_source;
    QSocketNotifier* m_notifier = nullptr;
    QTimer m_quiet;
};

} // namespace tarnwick
