#pragma once

#include "platform/com/ComTypes.h"

#include <string>

namespace platform::com {

// Fills the out parameters of GetDocumentation, shared by type libraries and
// their type infos; each may be null. Name and doc string become new BSTRs;
// there is no help context and no help file.
HRESULT ReturnDocumentation(const std::string& name, const std::string& docString, BSTR* pBstrName,
                            BSTR* pBstrDocString, DWORD* pdwHelpContext, BSTR* pBstrHelpFile);

} // namespace platform::com
