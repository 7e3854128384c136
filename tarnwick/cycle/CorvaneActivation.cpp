#include "tarnwick/cycle/CorvaneActivation.h"

#include "corvanecom/CorvaneIds.h"
#include "platform/com/ComApi.h"

namespace tarnwick {

HRESULT CreateVeltCorvane(IVELTCorvane** corvane)
{
    *corvane = nullptr;
    IUnknown* unknown = nullptr;
    HRESULT hr = CoCreateInstance(corvane::CLSID_VELTCorvane, nullptr, CLSCTX_ALL, IID_IUnknown,
                                  reinterpret_cast<void**>(&unknown));
    if (SUCCEEDED(hr))
        hr = OleRun(unknown);
    if (SUCCEEDED(hr))
        hr = unknown->QueryInterface(corvane::IID_IVELTCorvane, reinterpret_cast<void**>(corvane));
    if (unknown)
        unknown->Release();
    return hr;
}

} // namespace tarnwick
