#pragma once

#include "platform/com/ComTypes.h"

#include <optional>
#include <string>
#include <string_view>

// Reads and writes default values of keys in the class registry
// (HKEY_CLASSES_ROOT hive), the way activation and type-library
// registration need them.
namespace platform::com {

// The default value of a key; nothing when the key or the value is missing.
std::optional<std::string> ReadDefaultValue(std::string_view key);
std::optional<std::string> ReadNamedValue(std::string_view key, std::string_view name);
// Creates the key with its parents and sets its default (or named) value.
bool WriteDefaultValue(std::string_view key, std::string_view value);
bool WriteNamedValue(std::string_view key, std::string_view name, std::string_view value);
bool CreateKey(std::string_view key);
// Deletes a key with everything below it; true also when it was missing.
bool DeleteTree(std::string_view key);
// Deletes a key when it has no subkeys and no values other than an empty default.
void DeleteIfEmpty(std::string_view key);

// The module path registered for a class, or nothing.
std::optional<std::string> InprocServerPath(REFCLSID clsid);

} // namespace platform::com
