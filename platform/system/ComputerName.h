#pragma once

#include <string>

namespace platform {

// The local computer's name as the system reports it (gethostname); empty
// when it cannot be read. Callers that need a name always supply a fallback.
std::string GetComputerName();

} // namespace platform
