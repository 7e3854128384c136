#pragma once

#include <string>
#include <string_view>

namespace corvane::host {

// Decodes the C-style escapes of a command-line string argument: \r \n \t
// \\ \" \0 and \xHH (exactly two hex digits). Any other backslash stays as it
// is. False (and out untouched) for a \x without two hex digits.
bool DecodeEscapes(std::string_view text, std::string* out);

} // namespace corvane::host
