#pragma once

#include <string>

namespace platform {

// The directory of the running executable, ending in "/"; empty when it cannot be read.
std::string ProgramDirectory();

} // namespace platform
