#include "corvanecom/ErrorReport.h"

#include "corvanecom/CorvaneIds.h"
#include "platform/com/ComApi.h"
#include "platform/com/ComPtr.h"
#include "platform/com/ComStrings.h"

namespace corvane {

void ReportError(const std::string& description)
{
    ComPtr<ICreateErrorInfo> create;
    if (FAILED(CreateErrorInfo(create.Put())) || !create)
        return;
    create->SetGUID(GUID_NULL);
    LPOLESTR progId = nullptr;
    if (SUCCEEDED(ProgIDFromCLSID(CLSID_VELTCorvane, &progId)) && progId) {
        create->SetSource(progId);
        CoTaskMemFree(progId);
    }
    std::u16string text = platform::com::AnsiToUtf16(description);
    create->SetDescription(text.data());
    ComPtr<IErrorInfo> info;
    if (SUCCEEDED(create.As(IID_IErrorInfo, &info)))
        SetErrorInfo(0, info.Get());
}

} // namespace corvane
