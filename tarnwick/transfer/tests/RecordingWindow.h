#pragma once

#include "tarnwick/messages/MessageTarget.h"
#include "tarnwick/messages/WindowMessages.h"

#include <mutex>
#include <string>
#include <vector>

// Stands in for the main window in tests: records every message with a copy
// of its text, as the real window copies it.
class RecordingWindow : public tarnwick::MessageTarget
{
public:
    struct Message
    {
        uint32_t message;
        uintptr_t wParam;
        std::string text;
    };

    intptr_t SendMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override
    {
        std::lock_guard lock(m_mutex);
        m_messages.push_back({message, wParam, lParam ? reinterpret_cast<const char*>(lParam) : ""});
        return 0;
    }
    void PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override
    {
        SendMessage(message, wParam, lParam);
    }

    std::vector<std::string> Texts(uint32_t message) const
    {
        std::lock_guard lock(m_mutex);
        std::vector<std::string> texts;
        for (const auto& m : m_messages) {
            if (m.message == message)
                texts.push_back(m.text);
        }
        return texts;
    }
    std::vector<std::string> Errors() const { return Texts(tarnwick::WM_ERROR_TEXT); }
    std::vector<std::string> Statuses() const { return Texts(tarnwick::WM_STATUS_TEXT); }
    std::vector<Message> All() const
    {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Message> m_messages;
};
