#include "platform/com/BStr.h"
#include "platform/com/ComApi.h"
#include "platform/com/ComStrings.h"

#include <gtest/gtest.h>

using namespace platform::com;

namespace {

VARIANT Empty()
{
    VARIANT v;
    VariantInit(&v);
    return v;
}

VARIANT I4(LONG value)
{
    VARIANT v = Empty();
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

VARIANT Bool(bool value)
{
    VARIANT v = Empty();
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

VARIANT Text(const char* text)
{
    VARIANT v = Empty();
    v.vt = VT_BSTR;
    v.bstrVal = AnsiToBstr(text);
    return v;
}

VARIANT Real(double value)
{
    VARIANT v = Empty();
    v.vt = VT_R8;
    v.dblVal = value;
    return v;
}

// The value of a converted VARIANT as text, to compare across types.
std::string Describe(const VARIANT& v)
{
    switch (v.vt) {
    case VT_I4:
        return "I4:" + std::to_string(v.lVal);
    case VT_I2:
        return "I2:" + std::to_string(v.iVal);
    case VT_BOOL:
        return "BOOL:" + std::to_string(v.boolVal);
    case VT_BSTR:
        return "BSTR:" + BstrToAnsi(v.bstrVal);
    case VT_EMPTY:
        return "EMPTY";
    default:
        return "vt" + std::to_string(v.vt);
    }
}

struct ChangeCase
{
    const char* name;
    VARIANT (*make)();
    VARTYPE target;
    HRESULT expectedHr;
    const char* expected; // Describe() of the result when it succeeds
    USHORT flags = 0;
};

const ChangeCase kChanges[] = {
    {"I4ToBstr", [] { return I4(-42); }, VT_BSTR, S_OK, "BSTR:-42"},
    {"BstrToI4", [] { return Text(" 2525 "); }, VT_I4, S_OK, "I4:2525"},
    {"BstrRealRoundsHalfToEven", [] { return Text("2.5"); }, VT_I4, S_OK, "I4:2"},
    {"BstrNotANumber", [] { return Text("12a"); }, VT_I4, DISP_E_TYPEMISMATCH, nullptr},
    {"EmptyBstrToI4", [] { return Text(""); }, VT_I4, DISP_E_TYPEMISMATCH, nullptr},
    {"BstrTooBigForI4", [] { return Text("4294967296"); }, VT_I4, DISP_E_OVERFLOW, nullptr},
    {"I4TooBigForI2", [] { return I4(40000); }, VT_I2, DISP_E_OVERFLOW, nullptr},
    {"BoolToI4", [] { return Bool(true); }, VT_I4, S_OK, "I4:-1"},
    {"I4ToBool", [] { return I4(5); }, VT_BOOL, S_OK, "BOOL:-1"},
    {"ZeroToBool", [] { return I4(0); }, VT_BOOL, S_OK, "BOOL:0"},
    {"TrueTextToBool", [] { return Text("true"); }, VT_BOOL, S_OK, "BOOL:-1"},
    {"FalschTextToBool", [] { return Text("Falsch"); }, VT_BOOL, S_OK, "BOOL:0"},
    {"NumberTextToBool", [] { return Text("0"); }, VT_BOOL, S_OK, "BOOL:0"},
    {"BoolToBstr", [] { return Bool(true); }, VT_BSTR, S_OK, "BSTR:-1"},
    {"BoolToAlphaBstr", [] { return Bool(false); }, VT_BSTR, S_OK, "BSTR:False", VARIANT_ALPHABOOL},
    {"RealToI4", [] { return Real(3.5); }, VT_I4, S_OK, "I4:4"},
    {"InfiniteRealToI4", [] { return Real(1e300 * 1e300); }, VT_I4, DISP_E_OVERFLOW, nullptr},
    {"EmptyToI4", Empty, VT_I4, S_OK, "I4:0"},
    {"EmptyToBstr", Empty, VT_BSTR, S_OK, "BSTR:"},
    {"I4ToUnsupported", [] { return I4(1); }, VT_DATE, DISP_E_BADVARTYPE, nullptr},
};

TEST(ComVariant, ConvertsOrReportsWhyNot)
{
    for (const ChangeCase& c : kChanges) {
        SCOPED_TRACE(c.name);
        VARIANT source = c.make();
        VARIANT result = Empty();
        const HRESULT hr = VariantChangeType(&result, &source, c.flags, c.target);
        EXPECT_EQ(hr, c.expectedHr);
        if (SUCCEEDED(hr) && c.expected) {
            EXPECT_EQ(Describe(result), c.expected);
        }
        if (FAILED(hr)) {
            EXPECT_EQ(result.vt, VT_EMPTY) << "a failed conversion leaves the target alone";
        }
        VariantClear(&result);
        VariantClear(&source);
    }
}

TEST(ComVariant, ChangeTypeInPlaceFreesTheOldValue)
{
    VARIANT v = Text("123");
    ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_I4), S_OK);
    EXPECT_EQ(Describe(v), "I4:123");
    ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_BSTR), S_OK);
    EXPECT_EQ(Describe(v), "BSTR:123");
    VariantClear(&v);
}

TEST(ComVariant, ByRefSourcesAreFollowed)
{
    LONG value = 77;
    VARIANT ref = Empty();
    ref.vt = VT_I4 | VT_BYREF;
    ref.plVal = &value;
    VARIANT result = Empty();
    ASSERT_EQ(VariantChangeType(&result, &ref, 0, VT_BSTR), S_OK);
    EXPECT_EQ(Describe(result), "BSTR:77");
    VariantClear(&result);
    ref.plVal = nullptr;
    EXPECT_EQ(VariantChangeType(&result, &ref, 0, VT_BSTR), DISP_E_TYPEMISMATCH) << "a null reference is refused";
}

TEST(ComVariant, CopyDuplicatesTheStringAndClearFreesIt)
{
    VARIANT source = Text("Kopie");
    VARIANT copy = Empty();
    ASSERT_EQ(VariantCopy(&copy, &source), S_OK);
    EXPECT_NE(copy.bstrVal, source.bstrVal);
    EXPECT_EQ(Describe(copy), "BSTR:Kopie");
    EXPECT_EQ(VariantClear(&copy), S_OK);
    EXPECT_EQ(copy.vt, VT_EMPTY);
    EXPECT_EQ(VariantCopy(&source, &source), S_OK) << "copy onto itself keeps the value";
    EXPECT_EQ(Describe(source), "BSTR:Kopie");
    VariantClear(&source);
}

// Counts references, to see that VARIANTs hold and release interfaces.
class CountingUnknown final : public IUnknown
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IUnknown) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    ULONG refs = 1;
};

TEST(ComVariant, InterfacesAreReferencedByCopyAndReleasedByClear)
{
    CountingUnknown object;
    VARIANT v = Empty();
    v.vt = VT_UNKNOWN;
    v.punkVal = &object;
    object.AddRef();
    VARIANT copy = Empty();
    ASSERT_EQ(VariantCopy(&copy, &v), S_OK);
    EXPECT_EQ(object.refs, 3u);
    VariantClear(&copy);
    VariantClear(&v);
    EXPECT_EQ(object.refs, 1u);
    VARIANT dispatch = Empty();
    v.vt = VT_UNKNOWN;
    v.punkVal = &object;
    object.AddRef();
    EXPECT_EQ(VariantChangeType(&dispatch, &v, 0, VT_DISPATCH), DISP_E_TYPEMISMATCH)
        << "an object without IDispatch does not become one";
    VariantClear(&v);
    EXPECT_EQ(object.refs, 1u);
}

TEST(ComVariant, ClearRefusesNullAndArrays)
{
    EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
    VARIANT v = Empty();
    v.vt = VT_ARRAY | VT_I4;
    EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
}

} // namespace
