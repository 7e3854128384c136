#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// Length of the well-formed UTF-8 sequence that starts at text[pos], or 0 when
// the bytes there are not one (stray continuation byte, overlong form,
// surrogate, beyond U+10FFFF, cut short).
size_t Utf8SequenceLength(std::string_view text, size_t pos);

bool IsValidUtf8(std::string_view text);

// The longest prefix of at most maxBytes bytes that does not end inside a
// UTF-8 sequence.
size_t Utf8SafePrefix(std::string_view text, size_t maxBytes);

// Text written in Windows-1252 (the German Windows code page) as UTF-8. The
// five bytes that code page leaves undefined become U+FFFD.
std::string Windows1252ToUtf8(std::string_view text);

// UTF-16 little-endian bytes (without BOM) as UTF-8; unpaired surrogates become U+FFFD.
std::string Utf16LeToUtf8(std::string_view bytes);

} // namespace platform
