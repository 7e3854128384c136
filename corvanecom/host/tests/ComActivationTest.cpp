#include "TestModule.h"
#include "corvanecom/host/tests/modules/TestObjectIds.h"
#include "platform/com/ClassRegistry.h"
#include "platform/com/ComPtr.h"
#include "platform/com/ComStrings.h"
#include "testing/FreeTcpPort.h"
#include "testing/TempHome.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace platform::com;

namespace {

constexpr CLSID kProbe = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};

class ComActivation : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(CallModuleEntry(TEST_OBJECT_MODULE, "DllRegisterServer"), S_OK); }

    velt::testing::TempHome m_home;
};

TEST_F(ComActivation, CreatesARegisteredClassByProgIdAndCallsItEarlyBound)
{
    InApartment([] {
        CLSID clsid {};
        ASSERT_EQ(CLSIDFromProgID(u"VELT.TestObject", &clsid), S_OK);
        EXPECT_TRUE(clsid == CLSID_TestObject);
        ComPtr<ITestObject> object;
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_ITestObject, object.PutVoid()), S_OK);
        EXPECT_EQ(OleRun(object.Get()), S_OK);
        LONG sum = 0;
        EXPECT_EQ(object->Add(2, 3, &sum), S_OK);
        EXPECT_EQ(sum, 5);
        LPOLESTR progId = nullptr;
        ASSERT_EQ(ProgIDFromCLSID(clsid, &progId), S_OK);
        EXPECT_EQ(std::u16string(progId), u"VELT.TestObject.1");
        CoTaskMemFree(progId);
    });
}

TEST_F(ComActivation, RegistrationNamesTheModuleAndItsThreadingModel)
{
    const std::string key = "CLSID\\" + GuidToString(CLSID_TestObject) + "\\InprocServer32";
    const auto path = ReadDefaultValue(key);
    ASSERT_TRUE(path);
    EXPECT_EQ(std::filesystem::canonical(*path), std::filesystem::canonical(TEST_OBJECT_MODULE));
    EXPECT_EQ(ReadNamedValue(key, "ThreadingModel"), "Apartment");
}

TEST_F(ComActivation, UnregisteredClassesAreReportedAsSuch)
{
    ASSERT_EQ(CallModuleEntry(TEST_OBJECT_MODULE, "DllUnregisterServer"), S_OK);
    InApartment([] {
        ComPtr<IUnknown> object;
        EXPECT_EQ(CoCreateInstance(CLSID_TestObject, nullptr, CLSCTX_ALL, IID_IUnknown, object.PutVoid()),
                  REGDB_E_CLASSNOTREG);
        CLSID clsid {};
        EXPECT_EQ(CLSIDFromProgID(u"VELT.TestObject", &clsid), CO_E_CLASSSTRING);
    });
}

TEST_F(ComActivation, ModuleAnswersForItsOwnClassesOnly)
{
    // A registry entry that sends a foreign CLSID to the test module.
    WriteDefaultValue("CLSID\\" + GuidToString(kProbe) + "\\InprocServer32", TEST_OBJECT_MODULE);
    InApartment([] {
        ComPtr<IUnknown> object;
        EXPECT_EQ(CoCreateInstance(kProbe, nullptr, CLSCTX_ALL, IID_IUnknown, object.PutVoid()),
                  CLASS_E_CLASSNOTAVAILABLE);
        EXPECT_FALSE(object);
        ComPtr<IClassFactory> factory;
        ASSERT_EQ(
            CoGetClassObject(CLSID_TestObject, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factory.PutVoid()),
            S_OK);
        ComPtr<IUnknown> aggregated;
        EXPECT_EQ(factory->CreateInstance(factory.Get(), IID_IUnknown, aggregated.PutVoid()), CLASS_E_NOAGGREGATION);
    });
}

struct BrokenEntry
{
    const char* name;
    std::string (*path)(const std::filesystem::path& dir);
    HRESULT expected;
};

class ComBrokenRegistration : public ::testing::TestWithParam<BrokenEntry>
{
protected:
    velt::testing::TempHome m_home;
};

TEST_P(ComBrokenRegistration, GivesACleanErrorAndNoObject)
{
    const std::string path = GetParam().path(m_home.home());
    WriteDefaultValue("CLSID\\" + GuidToString(kProbe) + "\\InprocServer32", path);
    InApartment([&] {
        void* object = reinterpret_cast<void*>(0x1);
        EXPECT_EQ(CoCreateInstance(kProbe, nullptr, CLSCTX_ALL, IID_IUnknown, &object), GetParam().expected);
        EXPECT_EQ(object, nullptr);
    });
}

INSTANTIATE_TEST_SUITE_P(
    Entries, ComBrokenRegistration,
    ::testing::Values(BrokenEntry {"MissingFile", [](const auto& dir) { return (dir / "fehlt.so").string(); },
                                   CO_E_DLLNOTFOUND},
                      BrokenEntry {"Directory", [](const auto& dir) { return dir.string(); }, CO_E_DLLNOTFOUND},
                      BrokenEntry {"EmptyPath", [](const auto&) { return std::string(); }, REGDB_E_CLASSNOTREG},
                      BrokenEntry {"TextFile",
                                   [](const auto& dir) {
                                       velt::testing::WriteTextFile((dir / "text.so").string(), "kein Modul\n");
                                       return (dir / "text.so").string();
                                   },
                                   CO_E_ERRORINDLL},
                      BrokenEntry {"TruncatedModule",
                                   [](const auto& dir) {
                                       const std::string module = velt::testing::ReadTextFile(TEST_OBJECT_MODULE);
                                       velt::testing::WriteTextFile((dir / "halb.so").string(), module.substr(0, 200));
                                       return (dir / "halb.so").string();
                                   },
                                   CO_E_ERRORINDLL},
                      BrokenEntry {"ModuleWithoutEntryPoint", [](const auto&) { return std::string(PLATFORM_LIBRARY); },
                                   CO_E_ERRORINDLL}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ComActivation, ModulesStayLoadedWhileInUseAndGoWhenAsked)
{
    const std::string module = std::filesystem::canonical(TEST_OBJECT_MODULE).string();
    InApartment([&] {
        ComPtr<ITestObject> object;
        ASSERT_EQ(CoCreateInstance(CLSID_TestObject, nullptr, CLSCTX_ALL, IID_ITestObject, object.PutVoid()), S_OK);
        CoFreeUnusedLibraries();
        EXPECT_TRUE(IsModuleLoaded(module)) << "a live object keeps its module";
        object.Reset();

        ComPtr<IClassFactory> factory;
        ASSERT_EQ(CoGetClassObject(CLSID_TestObject, CLSCTX_ALL, nullptr, IID_IClassFactory, factory.PutVoid()), S_OK);
        factory->LockServer(1);
        factory.Reset();
        CoFreeUnusedLibraries();
        EXPECT_TRUE(IsModuleLoaded(module)) << "a server lock keeps its module";

        ASSERT_EQ(CoGetClassObject(CLSID_TestObject, CLSCTX_ALL, nullptr, IID_IClassFactory, factory.PutVoid()), S_OK);
        factory->LockServer(0);
        factory.Reset();
        CoFreeUnusedLibraries();
        EXPECT_FALSE(IsModuleLoaded(module)) << "an unused module is unloaded";

        // And it comes back on the next activation.
        ASSERT_EQ(CoCreateInstance(CLSID_TestObject, nullptr, CLSCTX_ALL, IID_ITestObject, object.PutVoid()), S_OK);
        LONG sum = 0;
        EXPECT_EQ(object->Add(40, 2, &sum), S_OK);
        EXPECT_EQ(sum, 42);
    });
}

} // namespace
