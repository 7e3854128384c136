#pragma once

#include <chrono>
#include <cstdint>

// Waiting on a descriptor while watching the calling thread's message queue, the
// way a blocking socket call does. Messages that were already looked at do not
// wake the wait again; only input that arrived after a mark does.
namespace platform {

// What the calling thread's queue had seen when the mark was taken.
struct MessageMark
{
    uint64_t postCount = 0;
    std::chrono::steady_clock::time_point time;
};

MessageMark TakeMessageMark();

enum class MessageWaitResult { Ready, NewMessage, Timeout, Failed };

// Waits until fd reports one of events (revents receives what it reported), a
// message is posted to the calling thread after the mark, one of its timers falls
// due after the mark, or timeoutMs passes (-1: no limit). Failed leaves errno set.
MessageWaitResult WaitForFdOrNewMessage(int fd, short events, int timeoutMs, const MessageMark& mark, short* revents);

} // namespace platform
