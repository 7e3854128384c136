#pragma once

#include <string>
#include <string_view>

namespace platform::installer {

// The SHA-256 of a file as 64 lower-case hex digits; empty when it cannot be read.
std::string Sha256OfFile(const std::string& path);

// Whether `expected` (hex, any case, surrounding blanks ignored) is the given digest.
bool Sha256Matches(std::string_view expected, std::string_view digest);

} // namespace platform::installer
