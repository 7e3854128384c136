#pragma once

#include "tarnwick/logic/TarnwickExport.h"

namespace tarnwick {

// Creates the product key "Software\VELT\Tarnwick" (and the maker's key above
// it) when it is missing. Linux has no per-user installer step that would
// create it, and without it the settings could never be saved. Called once at
// every start, also by the command-line options. True when the key exists.
TARNWICK_EXPORT bool EnsureProductKey();

} // namespace tarnwick
