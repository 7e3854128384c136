// The runtime's type libraries over the record embedded in a module (here the
// real component's): description, name lookup, registration and loading.
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

std::string NameOf(ITypeInfo* info)
{
    BStr name;
    EXPECT_EQ(info->GetDocumentation(-1, name.Put(), nullptr, nullptr, nullptr), S_OK);
    return name.ToAnsi();
}

TEST(ComTypeLib, DescribesTheLibraryAndItsTypes)
{
    ComPtr<ITypeLib> library = Load(CORVANE_MODULE);
    ASSERT_TRUE(library);
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(library->GetLibAttr(&attr), S_OK);
    EXPECT_TRUE(attr->guid == LIBID_CORVANECOMLib);
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    EXPECT_EQ(attr->syskind, SYS_WIN64);
    library->ReleaseTLibAttr(attr);
    BStr name;
    BStr doc;
    ASSERT_EQ(library->GetDocumentation(-1, name.Put(), doc.Put(), nullptr, nullptr), S_OK);
    EXPECT_EQ(name.ToAnsi(), "CORVANECOMLib");
    EXPECT_EQ(doc.ToAnsi(), "CorvaneCom 1.0 Typbibliothek");
    ASSERT_EQ(library->GetTypeInfoCount(), 3u);
    TYPEKIND kind {};
    EXPECT_EQ(library->GetTypeInfoType(2, &kind), S_OK);
    EXPECT_EQ(kind, TKIND_COCLASS);
    EXPECT_EQ(library->GetTypeInfoType(3, &kind), TYPE_E_ELEMENTNOTFOUND);

    // The dual interface derives from the standard IDispatch.
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(library->GetTypeInfoOfGuid(IID_IVELTCorvane, info.Put()), S_OK);
    HREFTYPE ref = 0;
    ASSERT_EQ(info->GetRefTypeOfImplType(0, &ref), S_OK);
    ComPtr<ITypeInfo> base;
    ASSERT_EQ(info->GetRefTypeInfo(ref, base.Put()), S_OK);
    EXPECT_EQ(NameOf(base.Get()), "IDispatch");

    // The class names its default interface and its event source.
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(library->GetTypeInfo(2, coclass.Put()), S_OK);
    const std::pair<const char*, INT> implemented[] = {
        {"IVELTCorvane", IMPLTYPEFLAG_FDEFAULT}, {"_IVELTCorvaneEvents", IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE}};
    for (UINT i = 0; i < 2; ++i) {
        INT flags = 0;
        ASSERT_EQ(coclass->GetImplTypeFlags(i, &flags), S_OK);
        EXPECT_EQ(flags, implemented[i].second);
        ASSERT_EQ(coclass->GetRefTypeOfImplType(i, &ref), S_OK);
        ComPtr<ITypeInfo> target;
        ASSERT_EQ(coclass->GetRefTypeInfo(ref, target.Put()), S_OK);
        EXPECT_EQ(NameOf(target.Get()), implemented[i].first);
    }
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

TEST_F(ComTypeLibRegistration, LoadsTheRegisteredLibraryByIdentity)
{
    Register();
    BStr path;
    ASSERT_EQ(QueryPathOfRegTypeLib(LIBID_CORVANECOMLib, 1, 0, 0x0407, path.Put()), S_OK)
        << "a German locale finds the neutral registration";
    EXPECT_EQ(path.ToAnsi(), m_path);
    ComPtr<ITypeLib> library;
    ASSERT_EQ(LoadRegTypeLib(LIBID_CORVANECOMLib, 1, 0, 0, library.Put()), S_OK);
    EXPECT_EQ(library->GetTypeInfoCount(), 3u);
    EXPECT_EQ(LoadRegTypeLib(LIBID_CORVANECOMLib, 2, 0, 0, library.Put()), TYPE_E_LIBNOTREGISTERED);
    EXPECT_EQ(LoadRegTypeLib(LIBID_CORVANECOMLib, 1, 1, 0, library.Put()), TYPE_E_LIBNOTREGISTERED);

    // A registered path that is gone fails to load.
    WriteDefaultValue(kLibKey + "\\1.0\\0\\linux64", (m_home.home() / "weg.so").string());
    EXPECT_EQ(LoadRegTypeLib(LIBID_CORVANECOMLib, 1, 0, 0, library.Put()), TYPE_E_CANTLOADLIBRARY);
    EXPECT_FALSE(library);
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
        LoadCase {"ModuleWithoutLibrary", [](const auto&) { return std::string(PLATFORM_LIBRARY); },
                  TYPE_E_CANTLOADLIBRARY},
        LoadCase {"DamagedRecord", [](const auto&) { return std::string(BAD_TYPELIB_MODULE); }, TYPE_E_INVDATAREAD}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
