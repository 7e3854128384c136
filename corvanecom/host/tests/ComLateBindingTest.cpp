// Late binding through the runtime's DispInvoke: the parameter kinds the
// component uses, on the test component, called by name as a script host calls.
#include "TestModule.h"
#include "corvanecom/host/tests/modules/TestObjectIds.h"
#include "corvanecom/tests/ComponentModule.h"
#include "platform/com/BStr.h"
#include "platform/com/ComStrings.h"
#include "testing/TempHome.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace platform::com;

namespace {

VARIANT I4(LONG value)
{
    VARIANT v {};
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}
VARIANT Text(const char* text)
{
    VARIANT v {};
    v.vt = VT_BSTR;
    v.bstrVal = AnsiToBstr(text);
    return v;
}

// The result as "<vt>:<text>", so that cases compare type and value at once.
std::string Describe(const VARIANT& v)
{
    VARIANT text;
    VariantInit(&text);
    std::string value = "?";
    if (SUCCEEDED(VariantChangeType(&text, &v, 0, VT_BSTR)))
        value = BstrToAnsi(text.bstrVal);
    VariantClear(&text);
    return std::to_string(v.vt) + ":" + value;
}

// One call by name, with what came back.
struct Call
{
    HRESULT hr = S_OK;
    VARIANT result {};
    EXCEPINFO excep {};
    UINT argErr = 0;

    // args in parameter order; they are passed reversed as IDispatch expects.
    Call(IDispatch* object, const char* member, WORD flags, std::vector<VARIANT> args, std::vector<DISPID> named = {})
    {
        std::u16string wide = AnsiToUtf16(member);
        LPOLESTR names[] = {wide.data()};
        DISPID id = DISPID_UNKNOWN;
        EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK) << member;
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        DISPPARAMS params {reversed.data(), named.empty() ? nullptr : named.data(), static_cast<UINT>(reversed.size()),
                           static_cast<UINT>(named.size())};
        VariantInit(&result);
        hr = object->Invoke(id, IID_NULL, 0, flags, &params, &result, &excep, &argErr);
        for (VARIANT& arg : args)
            VariantClear(&arg);
    }
    ~Call()
    {
        VariantClear(&result);
        SysFreeString(excep.bstrSource);
        SysFreeString(excep.bstrDescription);
        SysFreeString(excep.bstrHelpFile);
    }
};

struct InvokeCase
{
    const char* name;
    const char* member;
    WORD flags;
    std::function<std::vector<VARIANT>()> args;
    HRESULT expectedHr;
    std::string expected; // Describe() of the result, or the failing argument index
};

const InvokeCase kCases[] = {
    {"TextAndNumberIn", "Join", DISPATCH_METHOD,
     [] {
         return std::vector {Text("ab"), I4(3)};
     },
     S_OK, "8:ababab"},
    {"NumberGivenAsText", "Join", DISPATCH_METHOD,
     [] {
         return std::vector {Text("ü"), Text("2")};
     },
     S_OK, "8:üü"},
    {"TextThatIsNoNumber", "Join", DISPATCH_METHOD,
     [] {
         return std::vector {Text("ab"), Text("drei")};
     },
     DISP_E_TYPEMISMATCH, "argErr:0"},
    {"TooFewArguments", "Join", DISPATCH_METHOD, [] { return std::vector {Text("ab")}; }, DISP_E_BADPARAMCOUNT, ""},
    {"LongRetval", "Add", DISPATCH_METHOD,
     [] {
         return std::vector {I4(-7), I4(3)};
     },
     S_OK, "3:-4"},
    {"PutOnAMethodIsNoMember", "Join", DISPATCH_PROPERTYPUT, [] { return std::vector {I4(1)}; }, DISP_E_MEMBERNOTFOUND,
     ""},
};

class ComLateBinding : public ::testing::TestWithParam<InvokeCase>
{
protected:
    void SetUp() override { ASSERT_EQ(ComponentModule(TEST_OBJECT_MODULE).Register(), S_OK); }

    // Runs the body with a fresh object in an apartment of its own.
    static void WithObject(const std::function<void(IDispatch*)>& body)
    {
        InApartment([&] {
            ComPtr<IDispatch> object;
            ASSERT_EQ(CoCreateInstance(CLSID_TestObject, nullptr, CLSCTX_ALL, IID_IDispatch, object.PutVoid()), S_OK);
            body(object.Get());
        });
    }

    velt::testing::TempHome m_home;
};

TEST_P(ComLateBinding, CallsTheSlotWithConvertedArguments)
{
    const InvokeCase& c = GetParam();
    WithObject([&](IDispatch* object) {
        Call call(object, c.member, c.flags, c.args());
        EXPECT_EQ(call.hr, c.expectedHr);
        if (c.expected.starts_with("argErr:")) {
            EXPECT_EQ(std::to_string(call.argErr), c.expected.substr(7));
        } else if (!c.expected.empty()) {
            EXPECT_EQ(Describe(call.result), c.expected);
        }
    });
}

INSTANTIATE_TEST_SUITE_P(Members, ComLateBinding, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ComLateBinding, ATextPropertyIsPutAndReadBackWithNamesInAnyCase)
{
    WithObject([](IDispatch* object) {
        EXPECT_EQ(Call(object, "name", DISPATCH_PROPERTYPUT, {Text("Grüße")}, {DISPID_PROPERTYPUT}).hr, S_OK);
        Call get(object, "NAME", DISPATCH_PROPERTYGET | DISPATCH_METHOD, {});
        EXPECT_EQ(Describe(get.result), "8:Grüße");
    });
}

TEST_F(ComLateBinding, AFailingMemberReportsItsErrorObjectAsException)
{
    WithObject([](IDispatch* object) {
        Call call(object, "Fail", DISPATCH_METHOD, {Text("Absichtlicher Fehler: äöü\r\n")});
        EXPECT_EQ(call.hr, DISP_E_EXCEPTION);
        EXPECT_EQ(call.excep.scode, E_FAIL);
        EXPECT_EQ(BstrToAnsi(call.excep.bstrDescription), "Absichtlicher Fehler: äöü\r\n");
        EXPECT_EQ(BstrToAnsi(call.excep.bstrSource), "VELT.TestObject.1");
        ComPtr<IErrorInfo> left;
        EXPECT_EQ(GetErrorInfo(0, left.Put()), S_FALSE) << "the exception took the error object over";

        // Without EXCEPINFO the error object stays for the caller.
        std::vector<VARIANT> args {Text("bleibt")};
        DISPPARAMS params {args.data(), nullptr, 1, 0};
        EXPECT_EQ(object->Invoke(7, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
                  DISP_E_EXCEPTION);
        VariantClear(&args[0]);
        ComPtr<IErrorInfo> info;
        ASSERT_EQ(GetErrorInfo(0, info.Put()), S_OK);
        BStr description;
        info->GetDescription(description.Put());
        EXPECT_EQ(description.ToAnsi(), "bleibt");
    });
}

TEST_F(ComLateBinding, UnknownMembersAndMissingParametersAreRefused)
{
    WithObject([](IDispatch* object) {
        DISPPARAMS none {};
        EXPECT_EQ(object->Invoke(99, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
                  DISP_E_MEMBERNOTFOUND);
        EXPECT_EQ(object->Invoke(2, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr), E_INVALIDARG);
    });
}

} // namespace
