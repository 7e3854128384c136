#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include "platform/window/RemoteWindow.h"
#include "platform/window/TitleWindow.h"

#include <string>
#include <string_view>

namespace tarnwick {

// Decides at start whether this process is the first instance of the
// program for this user (it then owns the main window's title) or another
// instance runs (reachable by its title). Two starts at the same moment
// still give one first instance, and a title left by a killed instance is
// taken over.
class TARNWICK_EXPORT SingleInstance
{
public:
    enum class Result {
        First, // this process owns the title
        Running, // another process does; see Running()
        Failed, // neither could be established (see the error text)
    };

    Result Start(std::string_view title, std::string* error = nullptr);

    // The running instance's window after Result::Running.
    platform::RemoteWindow& Running() { return m_running; }
    // The claimed title after Result::First: its descriptor carries the
    // messages of later starts.
    platform::TitleWindow& Title() { return m_title; }

private:
    platform::TitleWindow m_title;
    platform::RemoteWindow m_running;
};

} // namespace tarnwick
