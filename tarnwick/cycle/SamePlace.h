#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include <string_view>

namespace tarnwick {

// Whether the target a published page leads to and the redirect address name
// the same place: both non-empty and splittable as internet addresses, with
// equal service types, server names (IPv6 addresses in any spelling of the
// same address) and paths equal ignoring case, and equal
// ports. Anything else counts as different (and so leads to an upload).
TARNWICK_EXPORT bool IsSamePlace(std::string_view target, std::string_view redirectAddress);

} // namespace tarnwick
