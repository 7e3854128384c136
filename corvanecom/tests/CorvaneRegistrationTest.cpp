// Self-registration, activation through the runtime, late binding and unloading.
#include "corvanecom/tests/ComponentModule.h"

#include "corvanecom/CorvaneIds.h"
#include "platform/com/BStr.h"
#include "platform/com/ComApi.h"
#include "platform/com/ComStrings.h"
#include "platform/registry/Registry.h"
#include "testing/TempDir.h"
#include "testing/TempHome.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

using namespace platform::registry;
using platform::com::GuidToString;

namespace {

const std::string kClassKey = "CLSID\\" + GuidToString(corvane::CLSID_VELTCorvane);

bool KeyExists(const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKey(Root::ClassesRoot, path, Access::Read, &key) != kSuccess)
        return false;
    RegCloseKey(key);
    return true;
}

std::string DefaultValue(const std::string& path, const std::string& name = {})
{
    HKEY key = nullptr;
    if (RegOpenKey(Root::ClassesRoot, path, Access::Read, &key) != kSuccess)
        return "<no key>";
    std::string value = "<no value>";
    RegQueryString(key, name, &value);
    RegCloseKey(key);
    return value;
}

std::vector<std::string> Subkeys(const std::string& path)
{
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKey(Root::ClassesRoot, path, Access::Read, &key) != kSuccess)
        return names;
    std::string name;
    for (uint32_t i = 0; RegEnumKey(key, i, &name) == kSuccess; ++i)
        names.push_back(name);
    RegCloseKey(key);
    return names;
}

class CorvaneRegistration : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        TakeThreadError();
    }
    void TearDown() override { CoUninitialize(); }

    velt::testing::TempHome m_home;
    const ComponentModule& m_module = ComponentModule::Shared();
};

} // namespace

TEST_F(CorvaneRegistration, WritesTheClassEntries)
{
    ASSERT_EQ(m_module.Register(), S_OK);
    const std::string clsid = GuidToString(corvane::CLSID_VELTCorvane);
    struct Expected
    {
        std::string key;
        std::string name;
        std::string value;
    } const expected[] = {
        {"VELT.Corvane.1", "", "VELTCorvane Class"},
        {"VELT.Corvane.1\\CLSID", "", clsid},
        {"VELT.Corvane", "", "VELTCorvane Class"},
        {"VELT.Corvane\\CLSID", "", clsid},
        {"VELT.Corvane\\CurVer", "", "VELT.Corvane.1"},
        {kClassKey, "", "VELTCorvane Class"},
        {kClassKey + "\\ProgID", "", "VELT.Corvane.1"},
        {kClassKey + "\\VersionIndependentProgID", "", "VELT.Corvane"},
        {kClassKey + "\\InprocServer32", "", m_module.Path()},
        {kClassKey + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {kClassKey + "\\TypeLib", "", GuidToString(corvane::LIBID_CORVANECOMLib)},
    };
    for (const Expected& e : expected)
        EXPECT_EQ(DefaultValue(e.key, e.name), e.value) << e.key << " " << e.name;
    EXPECT_TRUE(KeyExists(kClassKey + "\\Programmable"));
    EXPECT_EQ(DefaultValue(kClassKey + "\\Programmable"), "<no value>");
}

TEST_F(CorvaneRegistration, RegisteringTwiceLeavesOneSetAndReplacesTheClassKeyWhole)
{
    ASSERT_EQ(m_module.Register(), S_OK);
    HKEY stray = nullptr;
    ASSERT_EQ(RegCreateKey(Root::ClassesRoot, kClassKey + "\\Stray", &stray), kSuccess);
    RegCloseKey(stray);
    ASSERT_EQ(m_module.Register(), S_OK);
    const std::vector<std::string> expected
        = {"ProgID", "VersionIndependentProgID", "Programmable", "InprocServer32", "TypeLib"};
    EXPECT_EQ(Subkeys(kClassKey), expected);
    EXPECT_EQ(Subkeys("VELT.Corvane"), (std::vector<std::string> {"CLSID", "CurVer"}));
}

TEST_F(CorvaneRegistration, UnregisteringKeepsTheSharedClsidKeyAndOthersEntries)
{
    HKEY other = nullptr;
    ASSERT_EQ(RegCreateKey(Root::ClassesRoot, "CLSID\\{00000000-1111-2222-3333-444444444444}", &other), kSuccess);
    RegCloseKey(other);
    ASSERT_EQ(m_module.Register(), S_OK);
    EXPECT_EQ(m_module.Unregister(), S_OK);
    EXPECT_TRUE(KeyExists("CLSID"));
    EXPECT_TRUE(KeyExists("CLSID\\{00000000-1111-2222-3333-444444444444}"));
    EXPECT_FALSE(KeyExists(kClassKey));
    EXPECT_FALSE(KeyExists("VELT.Corvane"));
    EXPECT_FALSE(KeyExists("VELT.Corvane.1"));
    // Unregistering what is not there is no failure.
    EXPECT_EQ(m_module.Unregister(), S_OK);
}

TEST_F(CorvaneRegistration, AKeyWithForeignSubkeysSurvivesUnregistration)
{
    ASSERT_EQ(m_module.Register(), S_OK);
    HKEY foreign = nullptr;
    ASSERT_EQ(RegCreateKey(Root::ClassesRoot, "VELT.Corvane\\Foreign", &foreign), kSuccess);
    RegCloseKey(foreign);
    EXPECT_EQ(m_module.Unregister(), S_OK);
    EXPECT_TRUE(KeyExists("VELT.Corvane\\Foreign"));
    EXPECT_FALSE(KeyExists("VELT.Corvane\\CurVer"));
}

TEST_F(CorvaneRegistration, AModulePathWithASingleQuoteIsWrittenAndLoads)
{
    velt::testing::TempDir dir;
    const auto folder = dir.path() / "Corvane's Module";
    std::filesystem::create_directories(folder);
    const std::string copy = (folder / "libcorvanecom.so").string();
    std::filesystem::copy_file(ComponentModule::DefaultPath(), copy);
    {
        ComponentModule quoted(copy);
        ASSERT_EQ(quoted.Register(), S_OK);
        EXPECT_EQ(DefaultValue(kClassKey + "\\InprocServer32"), copy);
        BSTR path = nullptr;
        ASSERT_EQ(QueryPathOfRegTypeLib(corvane::LIBID_CORVANECOMLib, 1, 0, 0, &path), S_OK);
        EXPECT_EQ(TakeText(path), copy);

        ComPtr<IVELTCorvane> object;
        ASSERT_EQ(CoCreateInstance(corvane::CLSID_VELTCorvane, nullptr, CLSCTX_INPROC_SERVER, corvane::IID_IVELTCorvane,
                                   object.PutVoid()),
                  S_OK);
        LONG timeout = 0;
        EXPECT_EQ(object->get_TimeoutInSec(&timeout), S_OK);
        EXPECT_EQ(timeout, 10);
        object.Reset();
        EXPECT_EQ(quoted.Unregister(), S_OK);
    }
}

TEST_F(CorvaneRegistration, ErrorObjectsNameTheProgIdOnceRegistered)
{
    ASSERT_EQ(m_module.Register(), S_OK);
    ComPtr<IVELTCorvane> object;
    ASSERT_EQ(
        CoCreateInstance(corvane::CLSID_VELTCorvane, nullptr, CLSCTX_ALL, corvane::IID_IVELTCorvane, object.PutVoid()),
        S_OK);
    LONG ok = 0;
    EXPECT_EQ(object->Connect(BStr::FromAnsi("").Get(), 25, &ok), E_INVALIDARG);
    const ThreadError error = TakeThreadError();
    EXPECT_EQ(error.source, "VELT.Corvane.1");
    EXPECT_EQ(error.description, "Hostadresse wurde nicht angegeben!");
}

TEST_F(CorvaneRegistration, UnknownClassesAreNotAvailable)
{
    const CLSID unknown = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    void* factory = reinterpret_cast<void*>(1);
    EXPECT_EQ(m_module.GetClassObject(unknown, IID_IClassFactory, &factory), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(factory, nullptr);
    EXPECT_EQ(m_module.GetClassObject(corvane::CLSID_VELTCorvane, IID_IClassFactory, nullptr), E_POINTER);
    void* wrong = reinterpret_cast<void*>(1);
    EXPECT_EQ(m_module.GetClassObject(corvane::CLSID_VELTCorvane, IID_IDispatch, &wrong), E_NOINTERFACE);
    EXPECT_EQ(wrong, nullptr);
}

TEST_F(CorvaneRegistration, CanUnloadOnlyWithoutObjectsLocksOrHeldFactories)
{
    ASSERT_EQ(m_module.CanUnloadNow(), S_OK);
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(m_module.GetClassObject(corvane::CLSID_VELTCorvane, IID_IClassFactory, factory.PutVoid()), S_OK);
    EXPECT_EQ(m_module.CanUnloadNow(), S_FALSE) << "a client holds the factory";

    ComPtr<IVELTCorvane> object;
    ASSERT_EQ(factory->CreateInstance(nullptr, corvane::IID_IVELTCorvane, object.PutVoid()), S_OK);
    ASSERT_EQ(factory->LockServer(1), S_OK);
    factory.Reset();
    EXPECT_EQ(m_module.CanUnloadNow(), S_FALSE);
    object.Reset();
    EXPECT_EQ(m_module.CanUnloadNow(), S_FALSE) << "LockServer still holds it";

    ASSERT_EQ(m_module.GetClassObject(corvane::CLSID_VELTCorvane, IID_IClassFactory, factory.PutVoid()), S_OK);
    EXPECT_EQ(factory->LockServer(0), S_OK);
    // An unbalanced unlock must not free the module under a client's feet.
    EXPECT_EQ(factory->LockServer(0), S_OK);
    EXPECT_EQ(m_module.CanUnloadNow(), S_FALSE);
    factory.Reset();
    EXPECT_EQ(m_module.CanUnloadNow(), S_OK);
}

TEST_F(CorvaneRegistration, LateBindingNeedsTheRegisteredTypeLibrary)
{
    ComPtr<IVELTCorvane> object = m_module.Create();
    LPOLESTR names[] = {const_cast<LPOLESTR>(u"TimeoutInSec")};
    DISPID id = 0;
    EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, 0, &id), TYPE_E_LIBNOTREGISTERED);
    ITypeInfo* info = nullptr;
    EXPECT_EQ(object->GetTypeInfo(0, 0, &info), TYPE_E_LIBNOTREGISTERED);

    ASSERT_EQ(m_module.Register(), S_OK);
    UINT count = 0;
    EXPECT_EQ(object->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ASSERT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    EXPECT_EQ(id, 6);
    // A German caller's locale finds the neutral library too.
    DISPID german = 0;
    ASSERT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, 0x0407, &german), S_OK);
    EXPECT_EQ(german, 6);

    VARIANT value;
    VariantInit(&value);
    value.vt = VT_I4;
    value.lVal = 3;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS put {&value, &named, 1, 1};
    ASSERT_EQ(object->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, nullptr), S_OK);
    LONG timeout = 0;
    ASSERT_EQ(object->get_TimeoutInSec(&timeout), S_OK);
    EXPECT_EQ(timeout, 3);

    // A failing member comes back as an exception with the German description.
    value.lVal = 99;
    EXCEPINFO exception {};
    EXPECT_EQ(object->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &put, nullptr, &exception, nullptr),
              DISP_E_EXCEPTION);
    EXPECT_EQ(platform::com::BstrToAnsi(exception.bstrDescription),
              "Die Timeout-Angabe muss zwischen 0 und 30 Sekunden liegen!");
    EXPECT_EQ(exception.scode, E_INVALIDARG);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    EXPECT_EQ(m_module.Unregister(), S_OK);
}

TEST_F(CorvaneRegistration, ActivationByProgIdCreatesAWorkingObject)
{
    ASSERT_EQ(m_module.Register(), S_OK);
    CLSID clsid {};
    ASSERT_EQ(CLSIDFromProgID(u"VELT.Corvane", &clsid), S_OK);
    EXPECT_EQ(clsid, corvane::CLSID_VELTCorvane);
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IUnknown, unknown.PutVoid()), S_OK);
    EXPECT_EQ(OleRun(unknown.Get()), S_OK);
    ComPtr<IVELTCorvane> object;
    EXPECT_EQ(unknown.As(corvane::IID_IVELTCorvane, &object), S_OK);
}
