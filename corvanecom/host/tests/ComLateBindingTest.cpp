#include "TestModule.h"
#include "corvanecom/host/tests/modules/TestObjectIds.h"
#include "platform/com/BStr.h"
#include "platform/com/ComPtr.h"
#include "platform/com/ComStrings.h"
#include "testing/TempHome.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace platform::com;

namespace {

VARIANT I4(LONG value)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

VARIANT Text(const char* text)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = AnsiToBstr(text);
    return v;
}

VARIANT Bool(bool value)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

// The result as "<vt>:<text>", so that cases compare type and value at once.
std::string Describe(const VARIANT& v)
{
    if (v.vt == VT_EMPTY)
        return "empty";
    VARIANT text;
    VariantInit(&text);
    std::string value = "?";
    if (SUCCEEDED(VariantChangeType(&text, &v, 0, VT_BSTR)))
        value = BstrToAnsi(text.bstrVal);
    VariantClear(&text);
    return std::to_string(v.vt) + ":" + value;
}

// Calls a member by name the way a script host does.
struct Call
{
    HRESULT hr = S_OK;
    VARIANT result {};
    EXCEPINFO excep {};
    UINT argErr = 0;
    ~Call()
    {
        VariantClear(&result);
        SysFreeString(excep.bstrSource);
        SysFreeString(excep.bstrDescription);
        SysFreeString(excep.bstrHelpFile);
    }
};

DISPID IdOf(IDispatch* object, const char* name)
{
    std::u16string wide = AnsiToUtf16(name);
    LPOLESTR names[] = {wide.data()};
    DISPID id = DISPID_UNKNOWN;
    EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK) << name;
    return id;
}

// args in parameter order; they are passed reversed as IDispatch expects.
void Invoke(IDispatch* object, DISPID id, WORD flags, std::vector<VARIANT> args, Call* call,
            std::vector<DISPID> named = {})
{
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS params {reversed.data(), named.empty() ? nullptr : named.data(), static_cast<UINT>(reversed.size()),
                       static_cast<UINT>(named.size())};
    VariantInit(&call->result);
    call->hr = object->Invoke(id, IID_NULL, 0, flags, &params, &call->result, &call->excep, &call->argErr);
    for (VARIANT& arg : args)
        VariantClear(&arg);
}

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
    {"EmptyTextIsNotNull", "Join", DISPATCH_METHOD,
     [] {
         return std::vector {Text("x"), I4(0)};
     },
     S_OK, "8:"},
    {"TextThatIsNoNumber", "Join", DISPATCH_METHOD,
     [] {
         return std::vector {Text("ab"), Text("drei")};
     },
     DISP_E_TYPEMISMATCH, "argErr:0"},
    {"TooFewArguments", "Join", DISPATCH_METHOD, [] { return std::vector {Text("ab")}; }, DISP_E_BADPARAMCOUNT, ""},
    {"TooManyArguments", "Join", DISPATCH_METHOD,
     [] {
         return std::vector {Text("a"), I4(1), I4(2)};
     },
     DISP_E_BADPARAMCOUNT, ""},
    {"LongRetval", "Add", DISPATCH_METHOD,
     [] {
         return std::vector {I4(-7), I4(3)};
     },
     S_OK, "3:-4"},
    {"BoolConvertsToLong", "Add", DISPATCH_METHOD,
     [] {
         return std::vector {I4(2), Bool(true)};
     },
     S_OK, "3:1"},
    {"NumberOutOfRange", "Add", DISPATCH_METHOD,
     [] {
         return std::vector {Text("3000000000"), I4(1)};
     },
     DISP_E_OVERFLOW, "argErr:1"},
    {"BoolInAndOut", "Negate", DISPATCH_METHOD, [] { return std::vector {Bool(true)}; }, S_OK, "11:0"},
    {"ArgumentsOnTheStack", "Sum8", DISPATCH_METHOD,
     [] { return std::vector {I4(1), I4(2), I4(3), I4(4), I4(5), I4(6), I4(7), I4(8)}; }, S_OK, "3:204"},
    {"VariantPointerWithNumber", "Describe", DISPATCH_METHOD, [] { return std::vector {I4(7)}; }, S_OK, "8:3:7"},
    {"VariantPointerWithText", "Describe", DISPATCH_METHOD, [] { return std::vector {Text("x")}; }, S_OK, "8:8:x"},
    {"PutOnAMethodIsNoMember", "Join", DISPATCH_PROPERTYPUT, [] { return std::vector {I4(1)}; }, DISP_E_MEMBERNOTFOUND,
     ""},
    {"FreshPropertyReadsZero", "Value", DISPATCH_PROPERTYGET, [] { return std::vector<VARIANT> {}; }, S_OK, "3:0"},
};

class ComLateBinding : public ::testing::TestWithParam<InvokeCase>
{
protected:
    void SetUp() override { ASSERT_EQ(CallModuleEntry(TEST_OBJECT_MODULE, "DllRegisterServer"), S_OK); }

    // Runs the body with a fresh object in an apartment of its own.
    void WithObject(const std::function<void(IDispatch*)>& body)
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
        Call call;
        Invoke(object, IdOf(object, c.member), c.flags, c.args(), &call);
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

TEST_F(ComLateBinding, PropertiesArePutAndReadBack)
{
    WithObject([](IDispatch* object) {
        const DISPID value = IdOf(object, "Value");
        const DISPID name = IdOf(object, "name");
        Call put;
        Invoke(object, value, DISPATCH_PROPERTYPUT, {I4(42)}, &put, {DISPID_PROPERTYPUT});
        EXPECT_EQ(put.hr, S_OK);
        Call putText;
        Invoke(object, name, DISPATCH_PROPERTYPUT, {Text("Grüße")}, &putText, {DISPID_PROPERTYPUT});
        EXPECT_EQ(putText.hr, S_OK);
        Call get;
        Invoke(object, value, DISPATCH_PROPERTYGET, {}, &get);
        EXPECT_EQ(Describe(get.result), "3:42");
        Call getText;
        Invoke(object, name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, {}, &getText);
        EXPECT_EQ(Describe(getText.result), "8:Grüße");
    });
}

TEST_F(ComLateBinding, ReferenceParametersAreUpdatedInPlace)
{
    WithObject([](IDispatch* object) {
        LONG number = 21;
        BSTR text = AnsiToBstr("ab");
        VARIANT numberRef;
        VariantInit(&numberRef);
        numberRef.vt = VT_I4 | VT_BYREF;
        numberRef.plVal = &number;
        VARIANT textRef;
        VariantInit(&textRef);
        textRef.vt = VT_BSTR | VT_BYREF;
        textRef.pbstrVal = &text;
        Call call;
        Invoke(object, IdOf(object, "Twice"), DISPATCH_METHOD, {numberRef, textRef}, &call);
        EXPECT_EQ(call.hr, S_OK);
        EXPECT_EQ(number, 42);
        EXPECT_EQ(BstrToAnsi(text), "abab");
        SysFreeString(text);

        Call byValue;
        Invoke(object, IdOf(object, "Twice"), DISPATCH_METHOD, {I4(1), Text("x")}, &byValue);
        EXPECT_EQ(byValue.hr, DISP_E_TYPEMISMATCH) << "a value cannot stand in for a reference";
    });
}

TEST_F(ComLateBinding, NamedArgumentsGoToTheirParameters)
{
    WithObject([](IDispatch* object) {
        Call call;
        // lB = 10 and lA = 1, named by position.
        Invoke(object, IdOf(object, "Add"), DISPATCH_METHOD, {I4(1), I4(10)}, &call, {0, 1});
        EXPECT_EQ(Describe(call.result), "3:11");
        Call unknown;
        Invoke(object, IdOf(object, "Add"), DISPATCH_METHOD, {I4(1), I4(10)}, &unknown, {0, 5});
        EXPECT_EQ(unknown.hr, DISP_E_PARAMNOTFOUND);
    });
}

TEST_F(ComLateBinding, AFailingMemberReportsItsErrorObjectAsException)
{
    WithObject([](IDispatch* object) {
        Call call;
        Invoke(object, IdOf(object, "Fail"), DISPATCH_METHOD, {Text("Absichtlicher Fehler: äöü\r\n")}, &call);
        EXPECT_EQ(call.hr, DISP_E_EXCEPTION);
        EXPECT_EQ(call.excep.scode, E_FAIL);
        EXPECT_EQ(BstrToAnsi(call.excep.bstrDescription), "Absichtlicher Fehler: äöü\r\n");
        EXPECT_EQ(BstrToAnsi(call.excep.bstrSource), "VELT.TestObject.1");
        ComPtr<IErrorInfo> left;
        EXPECT_EQ(GetErrorInfo(0, left.Put()), S_FALSE) << "the exception took the error object over";

        Call negative;
        Invoke(object, IdOf(object, "Join"), DISPATCH_METHOD, {Text("a"), I4(-1)}, &negative);
        EXPECT_EQ(negative.excep.scode, E_INVALIDARG);
        EXPECT_EQ(BstrToAnsi(negative.excep.bstrDescription), "Anzahl ist ungültig!");

        // Without EXCEPINFO the error object stays for the caller.
        std::vector<VARIANT> args {Text("bleibt")};
        DISPPARAMS params {args.data(), nullptr, 1, 0};
        EXPECT_EQ(
            object->Invoke(IdOf(object, "Fail"), IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
            DISP_E_EXCEPTION);
        VariantClear(&args[0]);
        ComPtr<IErrorInfo> info;
        ASSERT_EQ(GetErrorInfo(0, info.Put()), S_OK);
        BStr description;
        info->GetDescription(description.Put());
        EXPECT_EQ(description.ToAnsi(), "bleibt");
    });
}

TEST_F(ComLateBinding, InterfaceResultsCanBeCalledInTurn)
{
    WithObject([](IDispatch* object) {
        Call self;
        Invoke(object, IdOf(object, "Self"), DISPATCH_METHOD, {}, &self);
        ASSERT_EQ(self.result.vt, VT_DISPATCH);
        IDispatch* again = self.result.pdispVal;
        Call sum;
        Invoke(again, IdOf(again, "Add"), DISPATCH_METHOD, {I4(20), I4(22)}, &sum);
        EXPECT_EQ(Describe(sum.result), "3:42");
    });
}

TEST_F(ComLateBinding, UnknownMembersAndMissingParametersAreRefused)
{
    WithObject([](IDispatch* object) {
        Call unknown;
        Invoke(object, 99, DISPATCH_METHOD, {}, &unknown);
        EXPECT_EQ(unknown.hr, DISP_E_MEMBERNOTFOUND);
        EXPECT_EQ(object->Invoke(IdOf(object, "Add"), IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr),
                  E_INVALIDARG);
    });
}

TEST_F(ComLateBinding, WithoutTheRegisteredLibraryLateBindingFails)
{
    ASSERT_EQ(UnRegisterTypeLib(LIBID_TestObjectLib, 1, 0, 0, SYS_WIN64), S_OK);
    WithObject([](IDispatch* object) {
        std::u16string add = u"Add";
        LPOLESTR names[] = {add.data()};
        DISPID id = 0;
        EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, 0, &id), TYPE_E_LIBNOTREGISTERED);
        ComPtr<ITestObject> early;
        ASSERT_EQ(object->QueryInterface(IID_ITestObject, early.PutVoid()), S_OK);
        LONG sum = 0;
        EXPECT_EQ(early->Add(1, 1, &sum), S_OK) << "early binding needs no type library";
    });
}

} // namespace
