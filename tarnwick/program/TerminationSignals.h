#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace tarnwick {

// Turns SIGTERM, SIGINT and SIGHUP (what a service manager, a terminal, and a
// closed terminal or a reload send) into a call on the thread that creates the
// object, through a pipe that the handler writes one byte to. One object per process; the previous handlers
// come back when it goes.
class TARNWICK_EXPORT TerminationSignals : public QObject
{
public:
    using Handler = std::function<void(int signalNumber)>;

    explicit TerminationSignals(Handler handler, QObject* parent = nullptr);
    ~TerminationSignals() override;

    bool IsInstalled() const { return m_notifier != nullptr; }

private:
    void OnReadable();

    Handler m_handler;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace tarnwick
