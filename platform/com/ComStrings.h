#pragma once

#include "platform/com/ComTypes.h"

#include <string>
#include <string_view>

// Conversions between the 8-bit texts inside the programs and the UTF-16
// texts at automation interfaces. The system's ANSI code page on Linux is
// UTF-8; bytes that are not valid UTF-8 are taken as Windows-1252 so that no
// text is lost, and unpaired surrogates become U+FFFD.
namespace platform::com {

std::u16string AnsiToUtf16(std::string_view text);
std::string Utf16ToAnsi(std::u16string_view text);

// A new BSTR (never null: an empty text gives an empty BSTR), or null when
// memory runs out.
BSTR AnsiToBstr(std::string_view text);
// A BSTR's text; a null BSTR is "".
std::string BstrToAnsi(BSTR text);

// The braced upper-case form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
std::string GuidToString(REFGUID guid);
// Accepts the braced form in either letter case; false for anything else.
bool GuidFromString(std::string_view text, GUID* guid);

} // namespace platform::com
