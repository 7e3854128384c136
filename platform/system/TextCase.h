#pragma once

#include <string>
#include <string_view>

namespace platform {

// Case-insensitive comparison of UTF-8 names as Windows compares key and
// section names: ASCII letters and the Latin-1 letters (Ä/ä, Ö/ö, Ü/ü, ...)
// match regardless of case; all other bytes must be equal.
bool EqualsNoCase(std::string_view a, std::string_view b);

// The folded form used by EqualsNoCase (for lookups by key).
std::string FoldCase(std::string_view text);

} // namespace platform
