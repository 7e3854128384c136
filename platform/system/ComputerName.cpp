#include "platform/system/ComputerName.h"

#include <unistd.h>

namespace platform {

std::string GetComputerName()
{
    char buffer[256] = {};
    if (gethostname(buffer, sizeof buffer - 1) != 0)
        return {};
    return buffer;
}

} // namespace platform
