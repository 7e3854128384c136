#include "corvanecom/host/HostFormat.h"

#include <cstdio>

namespace corvane::host {

std::string Format(std::string_view pattern, std::string_view a, std::string_view b)
{
    std::string result;
    int used = 0;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's') {
            result += used++ == 0 ? a : b;
            ++i;
        } else {
            result += pattern[i];
        }
    }
    return result;
}

std::string Format(std::string_view pattern, uint32_t code)
{
    char number[16];
    std::snprintf(number, sizeof number, "%08X", code);
    std::string result(pattern);
    const size_t at = result.find("%08X");
    if (at != std::string::npos)
        result.replace(at, 4, number);
    return result;
}

} // namespace corvane::host
