#include "platform/com/TypeDocumentation.h"

#include "platform/com/ComStrings.h"

namespace platform::com {

namespace {

HRESULT SetText(const std::string& text, BSTR* out)
{
    if (!out)
        return S_OK;
    *out = AnsiToBstr(text);
    return *out ? S_OK : E_OUTOFMEMORY;
}

} // namespace

HRESULT ReturnDocumentation(const std::string& name, const std::string& docString, BSTR* pBstrName,
                            BSTR* pBstrDocString, DWORD* pdwHelpContext, BSTR* pBstrHelpFile)
{
    if (pdwHelpContext)
        *pdwHelpContext = 0;
    if (pBstrHelpFile)
        *pBstrHelpFile = nullptr;
    HRESULT hr = SetText(name, pBstrName);
    if (SUCCEEDED(hr))
        hr = SetText(docString, pBstrDocString);
    return hr;
}

} // namespace platform::com
