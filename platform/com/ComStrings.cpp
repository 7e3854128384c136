#include "platform/com/ComStrings.h"

#include "platform/com/ComApi.h"
#include "platform/system/HexDigits.h"
#include "platform/system/Utf8.h"

#include <cstdio>

namespace platform::com {

namespace {

void AppendCodePoint(std::u16string& out, char32_t cp)
{
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(cp));
    }
}

// Decodes one well-formed sequence of length n (checked by the caller).
char32_t DecodeUtf8(std::string_view text, size_t pos, size_t n)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[pos + i]); };
    if (n == 1)
        return byte(0);
    char32_t cp = byte(0) & (0xFF >> (n + 1));
    for (size_t i = 1; i < n; ++i)
        cp = (cp << 6) | (byte(i) & 0x3F);
    return cp;
}

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

bool ParseHex(std::string_view text, size_t pos, size_t digits, uint32_t* value)
{
    return ParseHexDigits(text.substr(pos, digits), value);
}

} // namespace

std::u16string AnsiToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t n = Utf8SequenceLength(text, pos);
        if (n > 0) {
            AppendCodePoint(out, DecodeUtf8(text, pos, n));
            pos += n;
            continue;
        }
        // Not UTF-8: a byte from a Windows-written text, kept as its Windows-1252 character.
        const std::string utf8 = Windows1252ToUtf8(text.substr(pos, 1));
        AppendCodePoint(out, DecodeUtf8(utf8, 0, utf8.size()));
        ++pos;
    }
    return out;
}

std::string Utf16ToAnsi(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

BSTR AnsiToBstr(std::string_view text)
{
    const std::u16string wide = AnsiToUtf16(text);
    return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

std::string BstrToAnsi(BSTR text)
{
    return Utf16ToAnsi(std::u16string_view(text ? text : u"", SysStringLen(text)));
}

std::string GuidToString(REFGUID guid)
{
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.Data1, guid.Data2,
                  guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                  guid.Data4[6], guid.Data4[7]);
    return buffer;
}

bool GuidFromString(std::string_view text, GUID* guid)
{
    if (text.size() != 38 || text.front() != '{' || text.back() != '}' || text[9] != '-' || text[14] != '-'
        || text[19] != '-' || text[24] != '-')
        return false;
    GUID g {};
    uint32_t part = 0;
    if (!ParseHex(text, 1, 8, &g.Data1) || !ParseHex(text, 10, 4, &part))
        return false;
    g.Data2 = static_cast<uint16_t>(part);
    if (!ParseHex(text, 15, 4, &part))
        return false;
    g.Data3 = static_cast<uint16_t>(part);
    static constexpr size_t kBytePositions[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!ParseHex(text, kBytePositions[i], 2, &part))
            return false;
        g.Data4[i] = static_cast<uint8_t>(part);
    }
    *guid = g;
    return true;
}

} // namespace platform::com
