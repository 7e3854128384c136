#pragma once

#include "platform/com/TypeLibData.h"

// ITypeInfo::Invoke for a described interface: finds the member, converts
// the DISPPARAMS to the parameter types, calls the vtable slot and turns the
// retval and a failure into what IDispatch::Invoke reports.
namespace platform::com {

HRESULT InvokeFromTypeInfo(const TlbType& type, void* instance, MEMBERID memid, WORD flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr);

} // namespace platform::com
