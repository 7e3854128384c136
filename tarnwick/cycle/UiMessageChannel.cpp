#include "tarnwick/cycle/UiMessageChannel.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>

#include <condition_variable>

namespace tarnwick {

namespace {

const QEvent::Type kMessageEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

} // namespace

// The answer a sending worker waits for.
struct UiMessageChannel::Reply
{
    std::mutex mutex;
    std::condition_variable done;
    bool answered = false;
    intptr_t result = 0;

    void Answer(intptr_t value)
    {
        std::lock_guard lock(mutex);
        if (!answered) {
            answered = true;
            result = value;
            done.notify_all();
        }
    }

    intptr_t Wait()
    {
        std::unique_lock lock(mutex);
        done.wait(lock, [this] { return answered; });
        return result;
    }
};

// One queued message. An event that Qt drops unhandled (its receiver was
// deleted, the application ended) still lets its sender go.
class UiMessageChannel::MessageEvent : public QEvent
{
public:
    MessageEvent(uint32_t message, uintptr_t wParam, intptr_t lParam, std::shared_ptr<Reply> reply)
        : QEvent(kMessageEventType)
        , m_message(message)
        , m_wParam(wParam)
        , m_lParam(lParam)
        , m_reply(std::move(reply))
    {
    }
    ~MessageEvent() override
    {
        if (m_reply)
            m_reply->Answer(0);
    }

    uint32_t m_message;
    uintptr_t m_wParam;
    intptr_t m_lParam;
    std::shared_ptr<Reply> m_reply;
};

// Lives on the handler's thread and runs the handler for each message event.
class UiMessageChannel::Receiver : public QObject
{
public:
    explicit Receiver(UiMessageChannel* channel)
        : m_channel(channel)
    {
    }

    bool event(QEvent* e) override
    {
        if (e->type() != kMessageEventType)
            return QObject::event(e);
        auto* message = static_cast<MessageEvent*>(e);
        const intptr_t result
            = m_channel ? m_channel->Deliver(message->m_message, message->m_wParam, message->m_lParam) : 0;
        if (message->m_reply)
            message->m_reply->Answer(result);
        return true;
    }

    UiMessageChannel* m_channel;
};

std::shared_ptr<UiMessageChannel> UiMessageChannel::Create(Handler handler)
{
    return std::shared_ptr<UiMessageChannel>(new UiMessageChannel(std::move(handler)));
}

UiMessageChannel::UiMessageChannel(Handler handler)
    : m_handler(std::move(handler))
    , m_receiver(new Receiver(this))
{
}

UiMessageChannel::~UiMessageChannel()
{
    // The last owner may be a worker thread: the receiver then goes on its own thread.
    std::lock_guard lock(m_mutex);
    if (m_receiver) {
        m_receiver->m_channel = nullptr;
        if (QThread::currentThread() == m_receiver->thread())
            delete m_receiver;
        else
            m_receiver->deleteLater();
        m_receiver = nullptr;
    }
}

void UiMessageChannel::SetDropFilter(Filter filter)
{
    std::lock_guard lock(m_mutex);
    m_drop = std::move(filter);
}

intptr_t UiMessageChannel::SendMessage(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    std::shared_ptr<Reply> reply;
    {
        std::lock_guard lock(m_mutex);
        if (m_closed || !m_receiver || (m_drop && m_drop(message)))
            return 0;
        if (QThread::currentThread() == m_receiver->thread()) {
            // Already on the handler's thread (a transfer made there).
            reply = nullptr;
        } else {
            reply = std::make_shared<Reply>();
            QCoreApplication::postEvent(m_receiver, new MessageEvent(message, wParam, lParam, reply));
        }
    }
    if (!reply)
        return Deliver(message, wParam, lParam);
    return reply->Wait();
}

void UiMessageChannel::PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    std::lock_guard lock(m_mutex);
    if (m_closed || !m_receiver || (m_drop && m_drop(message)))
        return;
    QCoreApplication::postEvent(m_receiver, new MessageEvent(message, wParam, lParam, nullptr));
}

void UiMessageChannel::Close()
{
    Receiver* receiver = nullptr;
    {
        std::lock_guard lock(m_mutex);
        if (m_closed)
            return;
        m_closed = true;
        receiver = m_receiver;
        m_receiver = nullptr;
    }
    if (receiver) {
        receiver->m_channel = nullptr;
        // Dropping its queued events lets every waiting sender go. When Close
        // runs inside the receiver's own event, it goes once that has returned.
        QCoreApplication::removePostedEvents(receiver, kMessageEventType);
        receiver->deleteLater();
    }
}

bool UiMessageChannel::IsClosed() const
{
    std::lock_guard lock(m_mutex);
    return m_closed;
}

intptr_t UiMessageChannel::Deliver(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    if (IsClosed())
        return 0;
    return m_handler ? m_handler(message, wParam, lParam) : 0;
}

} // namespace tarnwick
