#pragma once

#include "platform/registry/HiveKey.h"

#include <string>
#include <string_view>

// The text form of a hive file:
//   [Software\VELT\Tarnwick]
//   "RedirectUrl"="http://domain/index.htm"
//   "LocalPort"=dword:00000050
//   @="the key's default value"
// Values before the first section belong to the root. Strings escape "\" and
// '"' with "\", line breaks and tabs as \n \r \t, and any other control byte
// or byte that is not UTF-8 as \xHH, so the file stays readable UTF-8.
namespace platform::registry {

// Bounds that keep a damaged or hostile file from taking unbounded time,
// memory or stack; the writer checks its output against the same bounds.
inline constexpr size_t kMaxHiveSize = 64 * 1024 * 1024;
inline constexpr size_t kMaxHiveDepth = 64;
// A 1 MiB value escaped byte by byte, plus its name.
inline constexpr size_t kMaxHiveLine = 5 * 1024 * 1024;
// Values, and subkeys, of one key.
inline constexpr size_t kMaxHiveEntries = 65536;

std::string SerializeHive(const HiveKey& root);

// Fills root from text, in time linear in its size; a leading UTF-8 byte
// order mark is skipped. False with a German reason in *error when the text is
// not a complete hive (bad line, unterminated string, cut-off last line, NUL)
// or exceeds one of the bounds above.
bool ParseHive(std::string_view text, HiveKey& root, std::string* error);

} // namespace platform::registry
