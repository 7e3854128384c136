#include "platform/messages/ThreadMessages.h"

#include "platform/messages/MessageQueue.h"
#include "platform/messages/MessageWait.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <unordered_map>

namespace platform {

namespace {

// Queues by thread id. Never destroyed: threads may still end while the
// process shuts down.
struct QueueDirectory
{
    std::mutex mutex;
    std::unordered_map<uint32_t, std::shared_ptr<MessageQueue>> queues;
};

QueueDirectory& Directory()
{
    static auto* directory = new QueueDirectory;
    return *directory;
}

std::atomic<uint32_t> g_nextThreadId {1};
pthread_key_t g_queueKey;
std::once_flag g_queueKeyOnce;
thread_local MessageQueue* t_queue = nullptr;

// Runs when a thread ends: its id stops accepting posts for good.
void EndThreadQueue(void* holder)
{
    auto* queue = static_cast<std::shared_ptr<MessageQueue>*>(holder);
    {
        QueueDirectory& directory = Directory();
        std::lock_guard lock(directory.mutex);
        directory.queues.erase((*queue)->ThreadId());
    }
    (*queue)->Close();
    t_queue = nullptr;
    delete queue;
}

MessageQueue& CurrentQueue()
{
    if (t_queue)
        return *t_queue;
    std::call_once(g_queueKeyOnce, [] { pthread_key_create(&g_queueKey, EndThreadQueue); });
    auto queue = std::make_shared<MessageQueue>(g_nextThreadId.fetch_add(1));
    {
        QueueDirectory& directory = Directory();
        std::lock_guard lock(directory.mutex);
        directory.queues.emplace(queue->ThreadId(), queue);
    }
    t_queue = queue.get();
    pthread_setspecific(g_queueKey, new std::shared_ptr<MessageQueue>(std::move(queue)));
    return *t_queue;
}

} // namespace

uint32_t GetCurrentThreadId()
{
    return CurrentQueue().ThreadId();
}

bool PostThreadMessage(uint32_t threadId, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    std::shared_ptr<MessageQueue> queue;
    {
        QueueDirectory& directory = Directory();
        std::lock_guard lock(directory.mutex);
        auto it = directory.queues.find(threadId);
        if (it == directory.queues.end())
            return false;
        queue = it->second;
    }
    return queue->Post(message, wParam, lParam);
}

bool PeekMessage(MSG* msg, void* hwnd, uint32_t filterMin, uint32_t filterMax, uint32_t removeFlags)
{
    return CurrentQueue().Peek(msg, hwnd, filterMin, filterMax, removeFlags);
}

bool PeekTimerMessage(MSG* msg, uint32_t timerId, uint32_t removeFlags)
{
    return CurrentQueue().PeekTimer(msg, timerId, removeFlags);
}

uint32_t SetTimer(void* hwnd, uint32_t id, uint32_t elapseMs, void* callback)
{
    // Window timers have no windows to go to here.
    if (hwnd != nullptr)
        return 0;
    return CurrentQueue().SetTimer(id, elapseMs, callback);
}

bool KillTimer(void* hwnd, uint32_t id)
{
    if (hwnd != nullptr)
        return false;
    return CurrentQueue().KillTimer(id);
}

int GetMessageQueueFd()
{
    return CurrentQueue().Fd();
}

int NextTimerTimeoutMs()
{
    return CurrentQueue().NextTimerTimeoutMs();
}

bool WaitMessage(int timeoutMs)
{
    return CurrentQueue().WaitForInput(timeoutMs);
}

MessageMark TakeMessageMark()
{
    return CurrentQueue().Mark();
}

MessageWaitResult WaitForFdOrNewMessage(int fd, short events, int timeoutMs, const MessageMark& mark, short* revents)
{
    return CurrentQueue().WaitForFd(fd, events, timeoutMs, mark, revents);
}

} // namespace platform
