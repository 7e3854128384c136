#pragma once

#include "platform/com/ComTypes.h"

// The calling thread's apartment: counted CoInitializeEx / CoUninitialize.
namespace platform::com {

HRESULT EnterApartment(DWORD coInit);
void LeaveApartment();
// True when the thread entered an apartment, or any thread holds the
// process's multithreaded apartment (which every thread then belongs to).
bool InApartment();

} // namespace platform::com
