#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include "tarnwick/messages/MessageTarget.h"

#include <functional>
#include <memory>
#include <mutex>

class QObject;

namespace tarnwick {

// Carries window messages from worker threads to a handler on the thread
// that created the channel (the user-interface thread): a sent message runs
// the handler there while the sender waits, a posted one is queued. Nothing
// here blocks the user-interface thread, and nothing wakes it but a message.
// Workers keep the channel alive through a shared pointer; after Close the
// handler is never called again and every waiting sender is let go with 0,
// so a worker that outlives its window cannot touch it.
class TARNWICK_EXPORT UiMessageChannel final : public MessageTarget
{
public:
    using Handler = std::function<intptr_t(uint32_t message, uintptr_t wParam, intptr_t lParam)>;

    // Call on the thread that is to run the handler; it needs a Qt event loop there.
    static std::shared_ptr<UiMessageChannel> Create(Handler handler);
    ~UiMessageChannel();

    // From the handler's own thread the handler runs at once.
    intptr_t SendMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    void PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

    // Messages the handler would ignore anyway can be dropped on the sending
    // thread, which spares the round trip. The filter runs on any thread.
    using Filter = std::function<bool(uint32_t message)>;
    void SetDropFilter(Filter filter);

    // On the handler's thread: stops delivery for good.
    void Close();
    bool IsClosed() const;

private:
    class Receiver;
    class MessageEvent;
    struct Reply;

    explicit UiMessageChannel(Handler handler);
    intptr_t Deliver(uint32_t message, uintptr_t wParam, intptr_t lParam);

    mutable std::mutex m_mutex;
    bool m_closed = false;
    Handler m_handler;
    Filter m_drop;
    Receiver* m_receiver = nullptr;
};

} // namespace tarnwick
