// Self-registration, activation through the runtime, late binding and unloading.
#include "corvanecom/tests/ComponentModule.h"

#include "corvanecom/CorvaneIds.h"
#include "platform/com/BStr.h"
#include "platform/com/ClassRegistry.h"
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
using platform::com::ReadDefaultValue;

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
    const std::pair<std::string, std::string> expected[] = {
        {"VELT.Corvane.1", "VELTCorvane Class"},
        {"VELT.Corvane.1\\CLSID", clsid},
        {"VELT.Corvane", "VELTCorvane Class"},
        {"VELT.Corvane\\CLSID", clsid},
        {"VELT.Corvane\\CurVer", "VELT.Corvane.1"},
        {kClassKey, "VELTCorvane Class"},
        {kClassKey + "\\ProgID", "VELT.Corvane.1"},
        {kClassKey + "\\VersionIndependentProgID", "VELT.Corvane"},
        {kClassKey + "\\InprocServer32", m_module.Path()},
        {kClassKey + "\\TypeLib", GuidToString(corvane::LIBID_CORVANECOMLib)},
    };
    for (const auto& [key, value] : expected)
        EXPECT_EQ(ReadDefaultValue(key), value) << key;
    EXPECT_EQ(platform::com::ReadNamedValue(kClassKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_TRUE(KeyExists(kClassKey + "\\Programmable"));
    EXPECT_FALSE(ReadDefaultValue(kClassKey + "\\Programmable"));
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
    const std::string other = "CLSID\\{00000000-1111-2222-3333-444444444444}";
    ASSERT_TRUE(platform::com::CreateKey(other));
    ASSERT_EQ(m_module.Register(), S_OK);
    ASSERT_TRUE(platform::com::CreateKey("VELT.Corvane\\Foreign"));
    EXPECT_EQ(m_module.Unregister(), S_OK);
    EXPECT_TRUE(KeyExists("CLSID"));
    EXPECT_TRUE(KeyExists(other));
    EXPECT_FALSE(KeyExists(kClassKey));
    EXPECT_FALSE(KeyExists("VELT.Corvane.1"));
    // A key with foreign subkeys survives without the component's own ones.
    EXPECT_TRUE(KeyExists("VELT.Corvane\\Foreign"));
    EXPECT_FALSE(KeyExists("VELT.Corvane\\CurVer"));
    // Unregistering what is not there is no failure.
    EXPECT_EQ(m_module.Unregister(), S_OK);
}

TEST_F(CorvaneRegistration, AModulePathWithASingleQuoteIsWrittenAndLoads)
{
    velt::testing::TempDir dir;
    const auto folder = dir.path() / "Corvane's Module";
    std::filesystem::create_directories(folder);
    const std::string copy = (folder / "libcorvanecom.so").string();
    std::filesystem::copy_file(ComponentModule::DefaultPath(), copy);
    ComponentModule quoted(copy);
    ASSERT_EQ(quoted.Register(), S_OK);
    EXPECT_EQ(ReadDefaultValue(kClassKey + "\\InprocServer32"), copy);
    BSTR path = nullptr;
    ASSERT_EQ(QueryPathOfRegTypeLib(corvane::LIBID_CORVANECOMLib, 1, 0, 0, &path), S_OK);
    EXPECT_EQ(TakeText(path), copy);

    // Activation by ProgID goes through the runtime to the copy.
    CLSID clsid {};
    ASSERT_EQ(CLSIDFromProgID(u"VELT.Corvane", &clsid), S_OK);
    ComPtr<IVELTCorvane> object;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, corvane::IID_IVELTCorvane, object.PutVoid()),
              S_OK);
    EXPECT_EQ(OleRun(object.Get()), S_OK);
    LONG timeout = 0;
    EXPECT_EQ(object->get_TimeoutInSec(&timeout), S_OK);
    EXPECT_EQ(timeout, 10);
    object.Reset();
    EXPECT_EQ(quoted.Unregister(), S_OK);
}

TEST_F(CorvaneRegistration, ErrorObjectsNameTheProgIdOnceRegistered)
{
    ASSERT_EQ(m_module.Register(), S_OK);
    ComPtr<IVELTCorvane> object = m_module.Create();
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
    EXPECT_EQ(object->put_TimeoutInSec(5), S_OK) << "early binding needs no type library";

    ASSERT_EQ(m_module.Register(), S_OK);
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
    EXPECT_EQ(m_module.Unregister(), S_OK);
}
