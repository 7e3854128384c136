#pragma once

#include "platform/window/RemoteWindow.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Ending the program to be updated through its main window's title.
namespace kestrup {

inline constexpr uint32_t WM_DESTROY = 0x0002;
inline constexpr uint32_t WM_QUIT = 0x0012;
inline constexpr int kMaxQuitAttempts = 10;

// The window with exactly this title, asked to come to the front; empty when
// no running program has it.
platform::RemoteWindow FindAndActivateWindow(std::string_view title);

// Posts the quit message and the destroy notification alternately (quit
// first) to the window of that title, up to ten times with a pause between,
// until it is gone. True when no such window is (any longer) there; false
// after showing `stopMessage` with the reason (no title, or the program did
// not end).
bool QuitProgram(std::string_view title, const std::function<void(const std::string&)>& stopMessage,
                 std::chrono::milliseconds pause = std::chrono::milliseconds(200));

} // namespace kestrup
