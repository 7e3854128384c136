#pragma once

#include <cstdint>
#include <string_view>

namespace platform {

// The value of one hexadecimal digit in either case, or -1 for any other character.
inline int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads a text made only of hexadecimal digits; false (value untouched) when
// it is empty or holds anything else. Callers limit the length to what fits.
inline bool ParseHexDigits(std::string_view text, uint32_t* value)
{
    if (text.empty())
        return false;
    uint32_t result = 0;
    for (char c : text) {
        const int digit = HexDigitValue(c);
        if (digit < 0)
            return false;
        result = (result << 4) | static_cast<uint32_t>(digit);
    }
    *value = result;
    return true;
}

} // namespace platform
