#pragma once

#include "platform/com/ComTypes.h"

#include <new>

// Runs the body of an exported or interface function so that no exception
// leaves it: running out of memory becomes E_OUTOFMEMORY, anything else E_UNEXPECTED.
template<typename F>
HRESULT ComGuard(F&& body) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}
