#pragma once

#include "tarnwick/logic/TarnwickExport.h"

namespace tarnwick {

class CRedirectSettings;

// Brings into `live` what another process (the settings command line, a
// second program) stored since `base` was read, while keeping every field
// that `live` itself changed since then: a running instance must neither
// overwrite newer stored settings with its older copy nor lose its own
// changes. Afterwards `live` is `stored` plus its own changes, marked
// modified exactly when it holds something `stored` lacks. LocalServerName,
// which the registry load never reads back, always stays as `live` has it.
TARNWICK_EXPORT void MergeStoredSettings(CRedirectSettings& live, const CRedirectSettings& base,
                                         const CRedirectSettings& stored);

} // namespace tarnwick
