#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include <string>
#include <string_view>

namespace tarnwick {

// Why visitors from the internet cannot reach an address, in the words of
// the warning line: "private Adresse", "gemeinsam genutzte Provider-Adresse",
// "link-lokale Adresse", "Loopback-Adresse"; empty for a public address and
// for anything that is no address.
TARNWICK_EXPORT std::string UnreachableAddressKind(std::string_view address);

} // namespace tarnwick
