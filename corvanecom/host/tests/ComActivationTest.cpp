// Activation through the runtime: the class registry, loading and unloading
// modules, and registrations that lead nowhere.
#include "TestModule.h"
#include "corvanecom/CorvaneIds.h"
#include "corvanecom/tests/ComponentModule.h"
#include "platform/com/ClassRegistry.h"
#include "platform/com/ComStrings.h"
#include "testing/FreeTcpPort.h"
#include "testing/TempHome.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace platform::com;
using corvane::CLSID_VELTCorvane;

namespace {

constexpr CLSID kProbe = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};

TEST(ComActivation, UnregisteredClassesAreReportedAsSuch)
{
    velt::testing::TempHome home;
    ASSERT_EQ(ComponentModule(CORVANE_MODULE).Register(), S_OK);
    ASSERT_EQ(ComponentModule(CORVANE_MODULE).Unregister(), S_OK);
    InApartment([] {
        ComPtr<IUnknown> object;
        EXPECT_EQ(CoCreateInstance(CLSID_VELTCorvane, nullptr, CLSCTX_ALL, IID_IUnknown, object.PutVoid()),
                  REGDB_E_CLASSNOTREG);
        CLSID clsid {};
        EXPECT_EQ(CLSIDFromProgID(u"VELT.Corvane", &clsid), CO_E_CLASSSTRING);
    });
}

TEST(ComActivation, ModulesStayLoadedWhileInUseAndGoWhenAsked)
{
    velt::testing::TempHome home;
    ASSERT_EQ(ComponentModule(CORVANE_MODULE).Register(), S_OK);
    const std::string module = std::filesystem::canonical(CORVANE_MODULE).string();
    InApartment([&] {
        ComPtr<IUnknown> object;
        ASSERT_EQ(CoCreateInstance(CLSID_VELTCorvane, nullptr, CLSCTX_ALL, IID_IUnknown, object.PutVoid()), S_OK);
        CoFreeUnusedLibraries();
        EXPECT_TRUE(IsModuleLoaded(module)) << "a live object keeps its module";
        object.Reset();

        ComPtr<IClassFactory> factory;
        ASSERT_EQ(CoGetClassObject(CLSID_VELTCorvane, CLSCTX_ALL, nullptr, IID_IClassFactory, factory.PutVoid()), S_OK);
        factory->LockServer(1);
        factory.Reset();
        CoFreeUnusedLibraries();
        EXPECT_TRUE(IsModuleLoaded(module)) << "a server lock keeps its module";

        ASSERT_EQ(CoGetClassObject(CLSID_VELTCorvane, CLSCTX_ALL, nullptr, IID_IClassFactory, factory.PutVoid()), S_OK);
        factory->LockServer(0);
        factory.Reset();
        CoFreeUnusedLibraries();
        EXPECT_FALSE(IsModuleLoaded(module)) << "an unused module is unloaded";

        // And it comes back on the next activation.
        EXPECT_EQ(CoCreateInstance(CLSID_VELTCorvane, nullptr, CLSCTX_ALL, IID_IUnknown, object.PutVoid()), S_OK);
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
    WriteDefaultValue("CLSID\\" + GuidToString(kProbe) + "\\InprocServer32", GetParam().path(m_home.home()));
    InApartment([&] {
        void* object = reinterpret_cast<void*>(0x1);
        EXPECT_EQ(CoCreateInstance(kProbe, nullptr, CLSCTX_ALL, IID_IUnknown, &object), GetParam().expected);
        EXPECT_EQ(object, nullptr);
    });
}

INSTANTIATE_TEST_SUITE_P(Entries, ComBrokenRegistration,
                         ::testing::Values(BrokenEntry {"MissingFile",
                                                        [](const auto& dir) { return (dir / "fehlt.so").string(); },
                                                        CO_E_DLLNOTFOUND},
                                           BrokenEntry {"TextFile",
                                                        [](const auto& dir) {
                                                            velt::testing::WriteTextFile((dir / "text.so").string(),
                                                                                         "kein Modul\n");
                                                            return (dir / "text.so").string();
                                                        },
                                                        CO_E_ERRORINDLL}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
