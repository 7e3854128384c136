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

std::string SerializeHive(const HiveKey& root);

// Fills root from text. False with a German reason in *error when the text is
// not a complete hive (bad line, unterminated string, cut-off last line, NUL).
bool ParseHive(std::string_view text, HiveKey& root, std::string* error);

} // namespace platform::registry
