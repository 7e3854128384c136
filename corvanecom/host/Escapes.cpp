#include "corvanecom/host/Escapes.h"

#include "platform/system/HexDigits.h"

namespace corvane::host {

bool DecodeEscapes(std::string_view text, std::string* out)
{
    std::string decoded;
    decoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            decoded.push_back(text[i]);
            continue;
        }
        const char next = text[++i];
        switch (next) {
        case 'r':
            decoded.push_back('\r');
            break;
        case 'n':
            decoded.push_back('\n');
            break;
        case 't':
            decoded.push_back('\t');
            break;
        case '0':
            decoded.push_back('\0');
            break;
        case '\\':
        case '"':
            decoded.push_back(next);
            break;
        case 'x': {
            const int high = i + 1 < text.size() ? platform::HexDigitValue(text[i + 1]) : -1;
            const int low = i + 2 < text.size() ? platform::HexDigitValue(text[i + 2]) : -1;
            if (high < 0 || low < 0)
                return false;
            decoded.push_back(static_cast<char>(high * 16 + low));
            i += 2;
            break;
        }
        default:
            decoded.push_back('\\');
            decoded.push_back(next);
            break;
        }
    }
    *out = std::move(decoded);
    return true;
}

} // namespace corvane::host
