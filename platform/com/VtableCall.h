#pragma once

#include "platform/com/ComTypes.h"

#include <cstddef>
#include <cstdint>

// Calls one slot of an interface's vtable with integer-class arguments.
namespace platform::com {

// Every argument is passed in a 64-bit integer slot: the platform's calling
// convention passes 32-bit integers, pointers and BSTRs that way, so the
// callee sees the types it declares. At most 16 arguments (besides this).
HRESULT CallVtableSlot(void* instance, size_t slot, const uint64_t* args, size_t count);

} // namespace platform::com
