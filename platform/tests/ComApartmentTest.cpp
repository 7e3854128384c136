#include "platform/com/ComApi.h"
#include "platform/com/ComPtr.h"
#include "platform/com/ComStrings.h"
#include "platform/registry/Registry.h"
#include "testing/TempHome.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

using namespace platform::com;

namespace {

constexpr CLSID kUnregistered = {0x5B77F013, 0x38DE, 0x470E, {0x8D, 0x3F, 0x27, 0x92, 0x11, 0xD8, 0xF3, 0x1A}};

HRESULT TryCreate()
{
    ComPtr<IUnknown> object;
    return CoCreateInstance(kUnregistered, nullptr, CLSCTX_ALL, IID_IUnknown, object.PutVoid());
}

TEST(ComApartment, CountsNestedInitialisationPerThreadAndChecksArguments)
{
    velt::testing::TempHome home;
    std::thread([] {
        EXPECT_EQ(TryCreate(), CO_E_NOTINITIALIZED);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
        EXPECT_EQ(TryCreate(), REGDB_E_CLASSNOTREG);
        CoUninitialize();
        EXPECT_EQ(TryCreate(), REGDB_E_CLASSNOTREG) << "one initialisation is still open";
        CoUninitialize();
        EXPECT_EQ(TryCreate(), CO_E_NOTINITIALIZED);
        CoUninitialize(); // one too many is harmless
        // The threading model cannot change while initialised.
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
        EXPECT_EQ(OleRun(nullptr), E_INVALIDARG);
        EXPECT_EQ(CoCreateInstance(kUnregistered, nullptr, CLSCTX_ALL, IID_IUnknown, nullptr), E_POINTER);
        IUnknown* fakeOuter = reinterpret_cast<IUnknown*>(0x1);
        void* out = reinterpret_cast<void*>(0x1);
        EXPECT_EQ(CoCreateInstance(kUnregistered, fakeOuter, CLSCTX_ALL, IID_IDispatch, &out), CLASS_E_NOAGGREGATION);
        EXPECT_EQ(out, nullptr) << "the out pointer is cleared on failure";
        EXPECT_EQ(CoGetClassObject(kUnregistered, CLSCTX_LOCAL_SERVER, nullptr, IID_IClassFactory, &out),
                  REGDB_E_CLASSNOTREG)
            << "there are no out-of-process servers";
        CoUninitialize();
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        CoUninitialize();
        int reserved = 0;
        EXPECT_EQ(CoInitializeEx(&reserved, COINIT_APARTMENTTHREADED), E_INVALIDARG);
    }).join();
}

TEST(ComApartment, SingleThreadedApartmentsDoNotCoverOtherThreads)
{
    velt::testing::TempHome home;
    std::promise<void> initialised;
    std::promise<void> checked;
    std::thread owner([&] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        initialised.set_value();
        checked.get_future().wait();
        CoUninitialize();
    });
    initialised.get_future().wait();
    std::thread([] { EXPECT_EQ(TryCreate(), CO_E_NOTINITIALIZED); }).join();
    checked.set_value();
    owner.join();
}

TEST(ComApartment, TheMultithreadedApartmentCoversEveryThreadWhileItLasts)
{
    velt::testing::TempHome home;
    std::thread([] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        std::thread([] { EXPECT_EQ(TryCreate(), REGDB_E_CLASSNOTREG); }).join();
        CoUninitialize();
        std::thread([] { EXPECT_EQ(TryCreate(), CO_E_NOTINITIALIZED); }).join();
        // A thread that ends without CoUninitialize leaves the apartment too.
        std::thread([] { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }).join();
        std::thread([] { EXPECT_EQ(TryCreate(), CO_E_NOTINITIALIZED); }).join();
    }).join();
}

void SetClassDefault(const std::string& path, const std::string& value)
{
    using namespace platform::registry;
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKey(Root::ClassesRoot, path, &key), kSuccess);
    ASSERT_EQ(RegSetString(key, "", value), kSuccess);
    RegCloseKey(key);
}

TEST(ComProgId, LookupsFollowTheClassRegistry)
{
    velt::testing::TempHome home;
    SetClassDefault("VELT.Probe.1\\CLSID", GuidToString(kUnregistered));
    SetClassDefault("VELT.Probe\\CurVer", "VELT.Probe.1");
    SetClassDefault("VELT.Broken\\CLSID", "{kaputt}");
    SetClassDefault("VELT.Loop\\CurVer", "VELT.Loop");
    SetClassDefault("CLSID\\" + GuidToString(kUnregistered) + "\\ProgID", "VELT.Probe.1");

    CLSID clsid {};
    EXPECT_EQ(CLSIDFromProgID(u"VELT.Probe.1", &clsid), S_OK);
    EXPECT_TRUE(clsid == kUnregistered);
    clsid = GUID_NULL;
    EXPECT_EQ(CLSIDFromProgID(u"velt.probe", &clsid), S_OK) << "through CurVer, any letter case";
    EXPECT_TRUE(clsid == kUnregistered);
    EXPECT_EQ(CLSIDFromString(u"VELT.Probe.1", &clsid), S_OK);
    for (const char16_t* bad :
         {u"VELT.Broken", u"VELT.Loop", u"VELT.Missing", u"", u"CLSID\\{x}", u"VELT.Probe\\CurVer"})
        EXPECT_EQ(CLSIDFromProgID(bad, &clsid), CO_E_CLASSSTRING) << Utf16ToAnsi(bad);

    LPOLESTR progId = nullptr;
    ASSERT_EQ(ProgIDFromCLSID(kUnregistered, &progId), S_OK);
    EXPECT_EQ(std::u16string(progId), u"VELT.Probe.1");
    CoTaskMemFree(progId);
    EXPECT_EQ(ProgIDFromCLSID(IID_IDispatch, &progId), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(progId, nullptr);
}

} // namespace
