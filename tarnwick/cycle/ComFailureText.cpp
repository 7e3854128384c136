#include "tarnwick/cycle/ComFailureText.h"

#include "platform/com/ComApi.h"
#include "platform/com/ComStrings.h"
#include "platform/system/SystemMessage.h"

#include <cstdio>

namespace tarnwick {

namespace {

std::string TakeErrorDescription()
{
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || !info)
        return {};
    BSTR description = nullptr;
    std::string text;
    if (SUCCEEDED(info->GetDescription(&description)))
        text = platform::com::BstrToAnsi(description);
    SysFreeString(description);
    info->Release();
    return text;
}

} // namespace

std::string ComFailureText(HRESULT hr)
{
    std::string text = TakeErrorDescription();
    if (!text.empty())
        return text;
    const auto code = static_cast<uint32_t>(hr);
    text = platform::FormatSystemMessage(code);
    // System texts end with a line end, which a status line does not want.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    if (!text.empty())
        return text;
    char buffer[64];
    if (code >= 0x80040200u && code <= 0x8004FFFFu && (code & 0xFFFFu) != 0x200u) {
        std::snprintf(buffer, sizeof buffer, "IDispatch error #%d", static_cast<int>(code & 0xFFFFu) - 0x200);
        return buffer;
    }
    std::snprintf(buffer, sizeof buffer, "Unknown error 0x%0lX", static_cast<unsigned long>(code));
    return buffer;
}

} // namespace tarnwick
