#pragma once

#include "platform/internet/InternetSession.h"

#include <mutex>
#include <string>

namespace tarnwick {
class MessageTarget;
}

namespace kestrup {

// The internet session of one version download: sends each progress step as
// a German status text (the shared table, "Unbekannt" for other codes) to
// Kestrup's window.
class CUpdateSession : public platform::InternetSession
{
public:
    explicit CUpdateSession(const std::string& agent);
    ~CUpdateSession() override;

    void SetStatusWindow(tarnwick::MessageTarget* window);
    void OnStatusCallback(uintptr_t context, uint32_t code, const char* info, std::size_t length) override;

private:
    std::mutex m_csStatus;
    std::string m_strStatusText;
    tarnwick::MessageTarget* m_hWndStatus = nullptr;
};

} // namespace kestrup
