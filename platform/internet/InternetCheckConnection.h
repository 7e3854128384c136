#pragma once

#include "platform/internet/InternetError.h"

#include <cstdint>
#include <string>

namespace platform {

// Whether a TCP connection to the host and port of url can be opened now (a
// real connection attempt, closed at once; nothing is sent). flags is
// FLAG_ICC_FORCE_CONNECTION or 0, which behave alike. On false, error says why.
bool InternetCheckConnection(const std::string& url, uint32_t flags, InternetError& error);

} // namespace platform
