#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The initialisation-file functions of the backup file, compatible with files
// written on Windows: sections and keys are case-insensitive, CRLF and LF lines
// are read, text that is not UTF-8 is read as Windows-1252.
namespace platform::profile {

// Copies at most size-1 bytes of the value (or of defaultValue when the key is
// missing) and a terminating zero into buffer; returns the bytes copied without
// the zero. A value cut at the buffer end is not cut inside a UTF-8 sequence.
uint32_t GetPrivateProfileString(std::string_view section, std::string_view key, std::string_view defaultValue,
                                 char* buffer, uint32_t size, std::string_view fileName);

// The leading decimal number of the value (optional sign); defaultValue when the
// key is missing or its value does not begin with a number.
int GetPrivateProfileInt(std::string_view section, std::string_view key, int defaultValue, std::string_view fileName);

// Writes key=value into section, keeping every other section and key in order;
// creates the file (and its folder) when missing. False when it cannot be written
// or when a name or the value holds a line break or NUL.
bool WritePrivateProfileString(std::string_view section, std::string_view key, std::string_view value,
                               std::string_view fileName);

// Writes several keys into section in one rewrite of the file, so that a reader
// sees all of them or none; the same rules as above.
bool WritePrivateProfileStrings(std::string_view section,
                                const std::vector<std::pair<std::string, std::string>>& values,
                                std::string_view fileName);

// A bare name (no "/") resolves to $XDG_CONFIG_HOME/VELT/<name>; a path stays as it is.
std::string ResolveProfilePath(std::string_view fileName);

} // namespace platform::profile
