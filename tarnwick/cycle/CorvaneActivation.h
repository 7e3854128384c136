#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include "corvanecom/IVELTCorvane.h"
#include "platform/com/ComTypes.h"

namespace tarnwick {

// A VELTCorvane object for one use on the calling thread (its component
// library initialised there): created by class id, run, asked for
// IVELTCorvane. On success *corvane holds the one reference the caller
// releases; on failure it stays null and the code says why.
TARNWICK_EXPORT HRESULT CreateVeltCorvane(IVELTCorvane** corvane);

} // namespace tarnwick
