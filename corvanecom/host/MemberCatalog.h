#pragma once

#include "platform/com/ComInterfaces.h"

#include <string>
#include <vector>

namespace corvane::host {

// What the host needs to know of one member to call it from a command line.
struct MemberInfo
{
    DISPID dispid = DISPID_UNKNOWN;
    bool isMethod = false;
    bool hasGet = false;
    bool hasPut = false;
    VARTYPE putType = VT_EMPTY;
    // The caller-supplied parameters of the method or property get, in order.
    std::vector<std::string> paramNames;
    std::vector<VARTYPE> paramTypes;
};

// The members of an object's dual interface, read from its type information.
class MemberCatalog
{
public:
    // S_OK, or the failure of the type information (for example
    // TYPE_E_LIBNOTREGISTERED when the library is not registered).
    HRESULT Load(IDispatch* object);
    // The member's description by DISPID; nullptr when the type information has none.
    const MemberInfo* Find(DISPID dispid) const;

private:
    std::vector<MemberInfo> m_members;
};

} // namespace corvane::host
