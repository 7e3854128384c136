#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include "platform/com/ComTypes.h"

#include <string>

namespace tarnwick {

// The one status-list text for a failed component call, looked for in this
// order: the description of the error object the component left on the
// calling thread (taken and released), the system's message text for the
// code, "IDispatch error #%d" for codes 0x80040201 to 0x8004FFFF, else
// "Unknown error 0x%0lX".
TARNWICK_EXPORT std::string ComFailureText(HRESULT hr);

} // namespace tarnwick
