// VARIANT handling: VariantInit, VariantClear, VariantCopy, VariantChangeType.
#include "platform/com/ComApi.h"
#include "platform/com/ComStrings.h"
#include "platform/system/AsciiText.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>

namespace {

// One value in the widest form it can take, for the conversions.
struct Scalar
{
    enum class Kind { Empty, Integer, Real, Boolean, Text } kind = Kind::Empty;
    int64_t integer = 0;
    double real = 0;
    bool boolean = false;
    std::string text;
};

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

// Reads the value of src (following one VT_BYREF). Empty optional: a type
// the conversions do not cover.
std::optional<Scalar> ReadScalar(const VARIANT& src)
{
    const VARTYPE base = src.vt & ~VT_BYREF;
    const bool byRef = (src.vt & VT_BYREF) != 0;
    if (byRef && !src.byref)
        return std::nullopt;
    Scalar s;
    switch (base) {
    case VT_EMPTY:
        if (byRef)
            return std::nullopt;
        return s;
    case VT_I2:
        s.kind = Scalar::Kind::Integer;
        s.integer = byRef ? *static_cast<SHORT*>(src.byref) : src.iVal;
        return s;
    case VT_I4:
    case VT_INT:
        s.kind = Scalar::Kind::Integer;
        s.integer = byRef ? *src.plVal : src.lVal;
        return s;
    case VT_UI4:
    case VT_UINT:
        s.kind = Scalar::Kind::Integer;
        s.integer = byRef ? *static_cast<ULONG*>(src.byref) : src.ulVal;
        return s;
    case VT_R8:
        s.kind = Scalar::Kind::Real;
        s.real = byRef ? *static_cast<DOUBLE*>(src.byref) : src.dblVal;
        return s;
    case VT_BOOL:
        s.kind = Scalar::Kind::Boolean;
        s.boolean = (byRef ? *src.pboolVal : src.boolVal) != VARIANT_FALSE;
        return s;
    case VT_BSTR:
        s.kind = Scalar::Kind::Text;
        s.text = platform::com::BstrToAnsi(byRef ? *src.pbstrVal : src.bstrVal);
        return s;
    default:
        return std::nullopt;
    }
}

// A whole number from a scalar, rounding reals half to even as the system does.
HRESULT ToInteger(const Scalar& s, int64_t* out)
{
    switch (s.kind) {
    case Scalar::Kind::Empty:
        *out = 0;
        return S_OK;
    case Scalar::Kind::Integer:
        *out = s.integer;
        return S_OK;
    case Scalar::Kind::Boolean:
        *out = s.boolean ? -1 : 0;
        return S_OK;
    case Scalar::Kind::Real: {
        if (!std::isfinite(s.real) || std::fabs(s.real) > 9.2e18)
            return DISP_E_OVERFLOW;
        *out = static_cast<int64_t>(std::nearbyint(s.real));
        return S_OK;
    }
    case Scalar::Kind::Text: {
        std::string_view text = Trimmed(s.text);
        if (!text.empty() && text.front() == '+')
            text.remove_prefix(1);
        int64_t value = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (ec == std::errc::result_out_of_range)
            return DISP_E_OVERFLOW;
        if (ec == std::errc() && end == text.data() + text.size() && !text.empty()) {
            *out = value;
            return S_OK;
        }
        // "2.5" and the like: through the real form.
        double real = 0;
        const auto [rend, rec] = std::from_chars(text.data(), text.data() + text.size(), real);
        if (rec != std::errc() || rend != text.data() + text.size() || text.empty())
            return DISP_E_TYPEMISMATCH;
        return ToInteger(Scalar {Scalar::Kind::Real, 0, real, false, {}}, out);
    }
    }
    return DISP_E_TYPEMISMATCH;
}

HRESULT ToReal(const Scalar& s, double* out)
{
    if (s.kind == Scalar::Kind::Real) {
        *out = s.real;
        return S_OK;
    }
    if (s.kind == Scalar::Kind::Text) {
        const std::string_view text = Trimmed(s.text);
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *out);
        if (ec == std::errc::result_out_of_range)
            return DISP_E_OVERFLOW;
        return ec == std::errc() && end == text.data() + text.size() && !text.empty() ? S_OK : DISP_E_TYPEMISMATCH;
    }
    int64_t value = 0;
    const HRESULT hr = ToInteger(s, &value);
    *out = static_cast<double>(value);
    return hr;
}

HRESULT ToBoolean(const Scalar& s, bool* out)
{
    if (s.kind == Scalar::Kind::Boolean) {
        *out = s.boolean;
        return S_OK;
    }
    if (s.kind == Scalar::Kind::Text) {
        const std::string_view text = Trimmed(s.text);
        if (platform::EqualsAsciiNoCase(text, "True") || platform::EqualsAsciiNoCase(text, "Wahr")) {
            *out = true;
            return S_OK;
        }
        if (platform::EqualsAsciiNoCase(text, "False") || platform::EqualsAsciiNoCase(text, "Falsch")) {
            *out = false;
            return S_OK;
        }
    }
    double value = 0;
    const HRESULT hr = ToReal(s, &value);
    *out = value != 0;
    return hr;
}

std::string ToText(const Scalar& s, USHORT flags)
{
    switch (s.kind) {
    case Scalar::Kind::Empty:
        return {};
    case Scalar::Kind::Integer:
        return std::to_string(s.integer);
    case Scalar::Kind::Boolean:
        if (flags & VARIANT_ALPHABOOL)
            return s.boolean ? "True" : "False";
        return s.boolean ? "-1" : "0";
    case Scalar::Kind::Real: {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.15g", s.real);
        return buffer;
    }
    case Scalar::Kind::Text:
        return s.text;
    }
    return {};
}

template<typename T>
HRESULT NarrowInteger(const Scalar& s, T* out)
{
    int64_t value = 0;
    const HRESULT hr = ToInteger(s, &value);
    if (FAILED(hr))
        return hr;
    if (value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max())
        return DISP_E_OVERFLOW;
    *out = static_cast<T>(value);
    return S_OK;
}

HRESULT Convert(const Scalar& s, USHORT flags, VARTYPE vt, VARIANT* result)
{
    VariantInit(result);
    HRESULT hr = S_OK;
    switch (vt) {
    case VT_EMPTY:
        return s.kind == Scalar::Kind::Empty ? S_OK : DISP_E_TYPEMISMATCH;
    case VT_I2:
        hr = NarrowInteger(s, &result->iVal);
        break;
    case VT_I4:
    case VT_INT:
        hr = NarrowInteger(s, &result->lVal);
        break;
    case VT_UI4:
    case VT_UINT:
        hr = NarrowInteger(s, &result->ulVal);
        break;
    case VT_R8:
        hr = ToReal(s, &result->dblVal);
        break;
    case VT_BOOL: {
        bool value = false;
        hr = ToBoolean(s, &value);
        result->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
        break;
    }
    case VT_BSTR:
        result->bstrVal = platform::com::AnsiToBstr(ToText(s, flags));
        hr = result->bstrVal ? S_OK : E_OUTOFMEMORY;
        break;
    default:
        return DISP_E_BADVARTYPE;
    }
    if (SUCCEEDED(hr))
        result->vt = vt;
    return hr;
}

} // namespace

extern "C" {

void VariantInit(VARIANTARG* pvarg)
{
    if (!pvarg)
        return;
    pvarg->vt = VT_EMPTY;
    pvarg->wReserved1 = pvarg->wReserved2 = pvarg->wReserved3 = 0;
    pvarg->brecord = {nullptr, nullptr};
}

HRESULT VariantClear(VARIANTARG* pvarg)
{
    if (!pvarg)
        return E_INVALIDARG;
    switch (pvarg->vt) {
    case VT_BSTR:
        SysFreeString(pvarg->bstrVal);
        break;
    case VT_DISPATCH:
    case VT_UNKNOWN:
        if (pvarg->punkVal)
            pvarg->punkVal->Release();
        break;
    default:
        if ((pvarg->vt & VT_ARRAY) || pvarg->vt == VT_VARIANT)
            return DISP_E_BADVARTYPE;
        break;
    }
    VariantInit(pvarg);
    return S_OK;
}

HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc)
{
    if (!pvargDest || !pvargSrc)
        return E_INVALIDARG;
    if (pvargDest == pvargSrc)
        return S_OK;
    if (pvargSrc->vt & VT_ARRAY)
        return DISP_E_BADVARTYPE;
    VARIANT copy = *pvargSrc;
    if (copy.vt == VT_BSTR && copy.bstrVal) {
        copy.bstrVal = SysAllocStringByteLen(reinterpret_cast<const char*>(pvargSrc->bstrVal),
                                             SysStringByteLen(pvargSrc->bstrVal));
        if (!copy.bstrVal)
            return E_OUTOFMEMORY;
    } else if ((copy.vt == VT_DISPATCH || copy.vt == VT_UNKNOWN) && copy.punkVal) {
        copy.punkVal->AddRef();
    }
    const HRESULT hr = VariantClear(pvargDest);
    if (FAILED(hr)) {
        VariantClear(&copy);
        return hr;
    }
    *pvargDest = copy;
    return S_OK;
}

HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags, VARTYPE vt)
{
    if (!pvargDest || !pvarSrc)
        return E_INVALIDARG;
    if (pvarSrc->vt == vt)
        return VariantCopy(pvargDest, pvarSrc);
    if ((vt == VT_DISPATCH || vt == VT_UNKNOWN) && (pvarSrc->vt == VT_DISPATCH || pvarSrc->vt == VT_UNKNOWN)) {
        VARIANT result;
        VariantInit(&result);
        if (pvarSrc->punkVal) {
            const HRESULT hr = pvarSrc->punkVal->QueryInterface(vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown,
                                                                reinterpret_cast<void**>(&result.punkVal));
            if (FAILED(hr))
                return DISP_E_TYPEMISMATCH;
        }
        result.vt = vt;
        VariantClear(pvargDest);
        *pvargDest = result;
        return S_OK;
    }
    const std::optional<Scalar> value = ReadScalar(*pvarSrc);
    if (!value)
        return DISP_E_TYPEMISMATCH;
    VARIANT result;
    const HRESULT hr = Convert(*value, wFlags, vt, &result);
    if (FAILED(hr))
        return hr;
    // Cleared only now: source and destination may be the same variant.
    VariantClear(pvargDest);
    *pvargDest = result;
    return S_OK;
}

} // extern "C"
