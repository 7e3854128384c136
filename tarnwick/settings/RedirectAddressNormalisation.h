#pragma once

#include "tarnwick/logic/TarnwickExport.h"

namespace tarnwick {

class CRedirectSettings;

// Splits the composed redirect address again and stores its service type,
// path and port back through the setters, so that the record holds what the
// address really says; nothing changes when the address cannot be split.
TARNWICK_EXPORT void NormaliseRedirectAddress(CRedirectSettings& settings);

} // namespace tarnwick
