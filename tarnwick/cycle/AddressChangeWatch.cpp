#include "tarnwick/cycle/AddressChangeWatch.h"

#include "platform/system/RouteChangeSocket.h"

#include <QSocketNotifier>

namespace tarnwick {

namespace {

class KernelSource : public AddressEventSource
{
public:
    int Descriptor() const override { return m_socket.Descriptor(); }
    bool Drain() override { return m_socket.Drain(); }

private:
    platform::RouteChangeSocket m_socket;
};

} // namespace

std::unique_ptr<AddressEventSource> KernelAddressEvents()
{
    return std::make_unique<KernelSource>();
}

AddressChangeWatch::AddressChangeWatch(std::unique_ptr<AddressEventSource> source, std::chrono::milliseconds quietTime,
                                       QObject* parent)
    : QObject(parent)
    , m_source(std::move(source))
{
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(quietTime);
    connect(&m_quiet, &QTimer::timeout, this, &AddressChangeWatch::changed);
    if (m_source && m_source->Descriptor() >= 0) {
        m_notifier = new QSocketNotifier(static_cast<qintptr>(m_source->Descriptor()), QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, [this] { OnReadable(); });
    }
}

AddressChangeWatch::~AddressChangeWatch() = default;

void AddressChangeWatch::OnReadable()
{
    if (m_source->Drain())
        m_quiet.start();
}

} // namespace tarnwick
