#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The system's message text for an error number, as a German system shows
// it: Winsock codes (10004, 10061, 11001, ...), the Windows error numbers the
// programs meet, and HRESULTs (also HRESULTs that wrap a Windows error
// number). Codes without a German text fall back to strerror() where the C
// library knows them; "" when nothing knows the code. The text carries no
// trailing line break: callers put it into lines of their own.
std::string FormatSystemMessage(uint32_t code);

} // namespace platform
