#include "tarnwick/program/SingleInstance.h"

#include <chrono>
#include <thread>

namespace tarnwick {

SingleInstance::Result SingleInstance::Start(std::string_view title, std::string* error)
{
    // The title's owner may be between taking the title and listening, or
    // ending; both last a moment, so look again for a while.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
        m_running = platform::RemoteWindow::Find(title);
        if (m_running)
            return Result::Running;
        switch (m_title.Claim(title, error)) {
        case platform::TitleWindow::ClaimResult::Claimed:
            return Result::First;
        case platform::TitleWindow::ClaimResult::Failed:
            return Result::Failed;
        case platform::TitleWindow::ClaimResult::OwnedByOther:
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return Result::Failed;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace tarnwick
