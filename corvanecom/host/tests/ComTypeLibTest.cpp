// The runtime's type libraries over the record embedded in a module (here the
// real component's): name lookup, registration and loading.
#include "corvanecom/CorvaneIds.h"
#include "platform/com/BStr.h"
#include "platform/com/ClassRegistry.h"
#include "platform/com/ComApi.h"
#include "platform/com/ComPtr.h"
#include "platform/com/ComStrings.h"
#include "testing/FreeTcpPort.h"
#include "testing/TempHome.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace platform::com;
using corvane::IID_IVELTCorvane;
using corvane::LIBID_CORVANECOMLib;

namespace {

const std::string kLibKey = "TypeLib\\" + GuidToString(LIBID_CORVANECOMLib);
const std::string kInterfaceKey = "Interface\\" + GuidToString(IID_IVELTCorvane);

ComPtr<ITypeLib> Load(const std::string& path, HRESULT expected = S_OK)
{
    ComPtr<ITypeLib> library;
    EXPECT_EQ(LoadTypeLib(AnsiToUtf16(path).c_str(), library.Put()), expected) << path;
    return library;
}

TEST(ComTypeLib, NamesResolveIgnoringCaseAndUnknownNamesAreReported)
{
    ComPtr<ITypeLib> library = Load(CORVANE_MODULE);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(library->GetTypeInfoOfGuid(IID_IVELTCorvane, info.Put()), S_OK);
    std::u16string connect = u"cONNECT";
    std::u16string port = u"LHOSTPORT";
    std::u16string host = u"bstrhostaddress";
    LPOLESTR names[] = {connect.data(), port.data(), host.data()};
    MEMBERID ids[3] = {};
    ASSERT_EQ(info->GetIDsOfNames(names, 3, ids), S_OK);
    EXPECT_EQ(ids[0], 7);
    EXPECT_EQ(ids[1], 1);
    EXPECT_EQ(ids[2], 0);

    std::u16string wrong = u"lPort";
    names[1] = wrong.data();
    EXPECT_EQ(info->GetIDsOfNames(names, 2, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], 7);
    EXPECT_EQ(ids[1], DISPID_UNKNOWN);
    std::u16string missing = u"Frobnicate";
    names[0] = missing.data();
    EXPECT_EQ(info->GetIDsOfNames(names, 1, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], DISPID_UNKNOWN);

    BSTR got[4] = {};
    UINT count = 0;
    ASSERT_EQ(info->GetNames(7, got, 4, &count), S_OK);
    ASSERT_EQ(count, 4u);
    EXPECT_EQ(BstrToAnsi(got[0]), "Connect");
    EXPECT_EQ(BstrToAnsi(got[3]), "bOk");
    for (BSTR b : got)
        SysFreeString(b);

    std::u16string probe = u"ivelTcorvane";
    BOOL found = 0;
    ASSERT_EQ(library->IsName(probe.data(), 0, &found), S_OK);
    EXPECT_TRUE(found);
    EXPECT_EQ(probe, u"IVELTCorvane") << "IsName gives back the library's spelling";
}

class ComTypeLibRegistration : public ::testing::Test
{
protected:
    velt::testing::TempHome m_home;
    const std::string m_path = std::filesystem::canonical(CORVANE_MODULE).string();
    const std::string m_helpDir = std::filesystem::path(m_path).parent_path().string() + "/";

    void Register()
    {
        ComPtr<ITypeLib> library = Load(m_path);
        ASSERT_EQ(RegisterTypeLib(library.Get(), AnsiToUtf16(m_path).c_str(), AnsiToUtf16(m_helpDir).c_str()), S_OK);
    }
};

TEST_F(ComTypeLibRegistration, WritesTheLibraryAndItsInterfacesAndRemovesThemAgain)
{
    Register();
    Register(); // twice leaves one set of entries
    EXPECT_EQ(ReadDefaultValue(kLibKey + "\\1.0"), "CorvaneCom 1.0 Typbibliothek");
    EXPECT_EQ(ReadDefaultValue(kLibKey + "\\1.0\\0\\linux64"), m_path);
    EXPECT_EQ(ReadDefaultValue(kLibKey + "\\1.0\\FLAGS"), "0");
    EXPECT_EQ(ReadDefaultValue(kLibKey + "\\1.0\\HELPDIR"), m_helpDir);
    EXPECT_EQ(ReadDefaultValue(kInterfaceKey), "IVELTCorvane");
    EXPECT_EQ(ReadDefaultValue(kInterfaceKey + "\\TypeLib"), GuidToString(LIBID_CORVANECOMLib));
    EXPECT_EQ(ReadNamedValue(kInterfaceKey + "\\TypeLib", "Version"), "1.0");
    EXPECT_EQ(ReadDefaultValue(kInterfaceKey + "\\ProxyStubClsid32"), "{00020424-0000-0000-C000-000000000046}");

    // Another library's interface must survive the unregistration.
    const std::string foreign = "Interface\\{11111111-2222-3333-4444-555555555555}";
    WriteDefaultValue(foreign + "\\TypeLib", "{11111111-2222-3333-4444-666666666666}");
    WriteNamedValue(foreign + "\\TypeLib", "Version", "1.0");

    EXPECT_EQ(UnRegisterTypeLib(LIBID_CORVANECOMLib, 1, 0, 0, SYS_WIN64), S_OK);
    EXPECT_FALSE(ReadDefaultValue(kLibKey + "\\1.0"));
    EXPECT_FALSE(ReadDefaultValue(kInterfaceKey));
    EXPECT_TRUE(ReadDefaultValue(foreign + "\\TypeLib"));
    ComPtr<ITypeLib> library;
    EXPECT_EQ(LoadRegTypeLib(LIBID_CORVANECOMLib, 1, 0, 0, library.Put()), TYPE_E_LIBNOTREGISTERED);
    EXPECT_EQ(UnRegisterTypeLib(LIBID_CORVANECOMLib, 1, 0, 0, SYS_WIN64), TYPE_E_REGISTRYACCESS);
}

struct LoadCase
{
    const char* name;
    std::string (*path)(const std::filesystem::path& dir);
    HRESULT expected;
};

class ComTypeLibLoad : public ::testing::TestWithParam<LoadCase>
{
protected:
    velt::testing::TempHome m_home;
};

TEST_P(ComTypeLibLoad, GivesTheLibraryOrACleanError)
{
    ComPtr<ITypeLib> library = Load(GetParam().path(m_home.home()), GetParam().expected);
    EXPECT_EQ(static_cast<bool>(library), GetParam().expected == S_OK);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ComTypeLibLoad,
    ::testing::Values(
        // A stand-alone .tlb file is a module with the record.
        LoadCase {"TlbFile",
                  [](const auto& dir) {
                      std::filesystem::copy_file(CORVANE_MODULE, dir / "corvane.tlb");
                      return (dir / "corvane.tlb").string();
                  },
                  S_OK},
        LoadCase {"Missing", [](const auto& dir) { return (dir / "fehlt.tlb").string(); }, TYPE_E_CANTLOADLIBRARY},
        LoadCase {"TextFile",
                  [](const auto& dir) {
                      velt::testing::WriteTextFile((dir / "text.tlb").string(), std::string(5000, 'x'));
                      return (dir / "text.tlb").string();
                  },
                  TYPE_E_CANTLOADLIBRARY},
        LoadCase {"DamagedRecord", [](const auto&) { return std::string(BAD_TYPELIB_MODULE); }, TYPE_E_INVDATAREAD}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
