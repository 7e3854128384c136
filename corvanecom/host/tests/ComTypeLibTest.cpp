#include "TestModule.h"
#include "corvanecom/host/tests/modules/TestObjectIds.h"
#include "platform/com/BStr.h"
#include "platform/com/ClassRegistry.h"
#include "platform/com/ComPtr.h"
#include "platform/com/ComStrings.h"
#include "testing/FreeTcpPort.h"
#include "testing/TempHome.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace platform::com;

namespace {

const std::string kLibKey = "TypeLib\\" + GuidToString(LIBID_TestObjectLib);
const std::string kInterfaceKey = "Interface\\" + GuidToString(IID_ITestObject);

ComPtr<ITypeLib> Load(const std::string& path, HRESULT expected = S_OK)
{
    ComPtr<ITypeLib> library;
    EXPECT_EQ(LoadTypeLib(AnsiToUtf16(path).c_str(), library.Put()), expected) << path;
    return library;
}

ComPtr<ITypeInfo> InterfaceInfo(ITypeLib* library)
{
    ComPtr<ITypeInfo> info;
    EXPECT_EQ(library->GetTypeInfoOfGuid(IID_ITestObject, info.Put()), S_OK);
    return info;
}

TEST(ComTypeLib, DescribesTheLibraryAndItsTypes)
{
    ComPtr<ITypeLib> library = Load(TEST_OBJECT_MODULE);
    ASSERT_TRUE(library);
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(library->GetLibAttr(&attr), S_OK);
    EXPECT_TRUE(attr->guid == LIBID_TestObjectLib);
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    EXPECT_EQ(attr->syskind, SYS_WIN64);
    library->ReleaseTLibAttr(attr);
    BStr name;
    BStr doc;
    ASSERT_EQ(library->GetDocumentation(-1, name.Put(), doc.Put(), nullptr, nullptr), S_OK);
    EXPECT_EQ(name.ToAnsi(), "TestObjectLib");
    EXPECT_EQ(doc.ToAnsi(), "TestObject 1.0 Typbibliothek");
    ASSERT_EQ(library->GetTypeInfoCount(), 2u);
    TYPEKIND kind {};
    EXPECT_EQ(library->GetTypeInfoType(1, &kind), S_OK);
    EXPECT_EQ(kind, TKIND_COCLASS);
    EXPECT_EQ(library->GetTypeInfoType(2, &kind), TYPE_E_ELEMENTNOTFOUND);

    ComPtr<ITypeInfo> info = InterfaceInfo(library.Get());
    TYPEATTR* type = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&type), S_OK);
    EXPECT_EQ(type->typekind, TKIND_INTERFACE);
    EXPECT_EQ(type->cFuncs, 12);
    EXPECT_EQ(type->cbSizeVft, 19 * sizeof(void*));
    EXPECT_TRUE(type->wTypeFlags & TYPEFLAG_FDUAL);
    info->ReleaseTypeAttr(type);

    // The dual interface derives from the standard IDispatch.
    HREFTYPE base = 0;
    ASSERT_EQ(info->GetRefTypeOfImplType(0, &base), S_OK);
    ComPtr<ITypeInfo> dispatch;
    ASSERT_EQ(info->GetRefTypeInfo(base, dispatch.Put()), S_OK);
    ASSERT_EQ(dispatch->GetDocumentation(-1, name.Put(), nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(name.ToAnsi(), "IDispatch");

    // The class names its default interface.
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(library->GetTypeInfo(1, coclass.Put()), S_OK);
    INT flags = 0;
    ASSERT_EQ(coclass->GetImplTypeFlags(0, &flags), S_OK);
    EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT);
    HREFTYPE implemented = 0;
    ASSERT_EQ(coclass->GetRefTypeOfImplType(0, &implemented), S_OK);
    ComPtr<ITypeInfo> implementedInfo;
    ASSERT_EQ(coclass->GetRefTypeInfo(implemented, implementedInfo.Put()), S_OK);
    ASSERT_EQ(implementedInfo->GetDocumentation(-1, name.Put(), doc.Put(), nullptr, nullptr), S_OK);
    EXPECT_EQ(name.ToAnsi(), "ITestObject");
    EXPECT_EQ(doc.ToAnsi(), "ITestObject-Schnittstelle");
}

struct FuncCase
{
    UINT index;
    const char* name;
    MEMBERID memid;
    INVOKEKIND invkind;
    size_t slot;
    SHORT params;
    VARTYPE lastParam; // VT_PTR | pointee for pointers
};

class ComFuncDesc : public ::testing::TestWithParam<FuncCase>
{
};

TEST_P(ComFuncDesc, GivesSlotKindAndParameterTypes)
{
    ComPtr<ITypeLib> library = Load(TEST_OBJECT_MODULE);
    ComPtr<ITypeInfo> info = InterfaceInfo(library.Get());
    const FuncCase& c = GetParam();
    FUNCDESC* desc = nullptr;
    ASSERT_EQ(info->GetFuncDesc(c.index, &desc), S_OK);
    EXPECT_EQ(desc->memid, c.memid);
    EXPECT_EQ(desc->invkind, c.invkind);
    EXPECT_EQ(desc->oVft, static_cast<SHORT>(c.slot * sizeof(void*)));
    EXPECT_EQ(desc->callconv, CC_STDCALL);
    EXPECT_EQ(desc->elemdescFunc.tdesc.vt, VT_HRESULT);
    ASSERT_EQ(desc->cParams, c.params);
    if (c.params > 0) {
        const TYPEDESC& last = desc->lprgelemdescParam[c.params - 1].tdesc;
        const VARTYPE actual = last.vt == VT_PTR ? static_cast<VARTYPE>(last.lptdesc->vt | VT_BYREF) : last.vt;
        EXPECT_EQ(actual, c.lastParam);
    }
    info->ReleaseFuncDesc(desc);
    BStr name;
    ASSERT_EQ(info->GetDocumentation(c.memid, name.Put(), nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(name.ToAnsi(), c.name);
}

INSTANTIATE_TEST_SUITE_P(Members, ComFuncDesc,
                         ::testing::Values(FuncCase {0, "Join", 1, INVOKE_FUNC, 7, 3, VT_BSTR | VT_BYREF},
                                           FuncCase {3, "Value", 3, INVOKE_PROPERTYPUT, 10, 1, VT_I4},
                                           FuncCase {6, "Twice", 5, INVOKE_FUNC, 13, 2, VT_BSTR | VT_BYREF},
                                           FuncCase {7, "Negate", 6, INVOKE_FUNC, 14, 2, VT_BOOL | VT_BYREF},
                                           FuncCase {9, "Self", 8, INVOKE_FUNC, 16, 1, VT_DISPATCH | VT_BYREF},
                                           FuncCase {11, "Sum8", 10, INVOKE_FUNC, 18, 9, VT_I4 | VT_BYREF}));

TEST(ComTypeLib, NamesResolveIgnoringCaseAndUnknownNamesAreReported)
{
    ComPtr<ITypeLib> library = Load(TEST_OBJECT_MODULE);
    ComPtr<ITypeInfo> info = InterfaceInfo(library.Get());
    std::u16string add = u"aDD";
    std::u16string lb = u"LB";
    std::u16string la = u"la";
    LPOLESTR names[] = {add.data(), lb.data(), la.data()};
    MEMBERID ids[3] = {};
    ASSERT_EQ(info->GetIDsOfNames(names, 3, ids), S_OK);
    EXPECT_EQ(ids[0], 2);
    EXPECT_EQ(ids[1], 1);
    EXPECT_EQ(ids[2], 0);

    std::u16string wrong = u"lZ";
    names[1] = wrong.data();
    EXPECT_EQ(info->GetIDsOfNames(names, 2, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], 2);
    EXPECT_EQ(ids[1], DISPID_UNKNOWN);
    std::u16string missing = u"Subtract";
    names[0] = missing.data();
    EXPECT_EQ(info->GetIDsOfNames(names, 1, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], DISPID_UNKNOWN);

    BSTR got[4] = {};
    UINT count = 0;
    ASSERT_EQ(info->GetNames(2, got, 4, &count), S_OK);
    ASSERT_EQ(count, 4u);
    EXPECT_EQ(BstrToAnsi(got[0]), "Add");
    EXPECT_EQ(BstrToAnsi(got[3]), "plSum");
    for (BSTR b : got)
        SysFreeString(b);

    std::u16string probe = u"itestobject";
    BOOL found = 0;
    ASSERT_EQ(library->IsName(probe.data(), 0, &found), S_OK);
    EXPECT_TRUE(found);
    EXPECT_EQ(probe, u"ITestObject") << "IsName gives back the library's spelling";
}

class ComTypeLibRegistration : public ::testing::Test
{
protected:
    velt::testing::TempHome m_home;
    const std::string m_path = std::filesystem::canonical(TEST_OBJECT_MODULE).string();
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
    EXPECT_EQ(ReadDefaultValue(kLibKey + "\\1.0"), "TestObject 1.0 Typbibliothek");
    EXPECT_EQ(ReadDefaultValue(kLibKey + "\\1.0\\0\\linux64"), m_path);
    EXPECT_EQ(ReadDefaultValue(kLibKey + "\\1.0\\FLAGS"), "0");
    EXPECT_EQ(ReadDefaultValue(kLibKey + "\\1.0\\HELPDIR"), m_helpDir);
    EXPECT_EQ(ReadDefaultValue(kInterfaceKey), "ITestObject");
    EXPECT_EQ(ReadDefaultValue(kInterfaceKey + "\\TypeLib"), GuidToString(LIBID_TestObjectLib));
    EXPECT_EQ(ReadNamedValue(kInterfaceKey + "\\TypeLib", "Version"), "1.0");
    EXPECT_EQ(ReadDefaultValue(kInterfaceKey + "\\ProxyStubClsid32"), "{00020424-0000-0000-C000-000000000046}");

    // Another library's interface must survive the unregistration.
    const std::string foreign = "Interface\\{11111111-2222-3333-4444-555555555555}";
    WriteDefaultValue(foreign + "\\TypeLib", "{11111111-2222-3333-4444-666666666666}");
    WriteNamedValue(foreign + "\\TypeLib", "Version", "1.0");

    EXPECT_EQ(UnRegisterTypeLib(LIBID_TestObjectLib, 1, 0, 0, SYS_WIN64), S_OK);
    EXPECT_FALSE(ReadDefaultValue(kLibKey + "\\1.0"));
    EXPECT_FALSE(ReadDefaultValue(kInterfaceKey));
    EXPECT_TRUE(ReadDefaultValue(foreign + "\\TypeLib"));
    ComPtr<ITypeLib> library;
    EXPECT_EQ(LoadRegTypeLib(LIBID_TestObjectLib, 1, 0, 0, library.Put()), TYPE_E_LIBNOTREGISTERED);
    EXPECT_EQ(UnRegisterTypeLib(LIBID_TestObjectLib, 1, 0, 0, SYS_WIN64), TYPE_E_REGISTRYACCESS);
}

TEST_F(ComTypeLibRegistration, LoadsTheRegisteredLibraryByIdentity)
{
    Register();
    BStr path;
    ASSERT_EQ(QueryPathOfRegTypeLib(LIBID_TestObjectLib, 1, 0, 0x0407, path.Put()), S_OK)
        << "a German locale finds the neutral registration";
    EXPECT_EQ(path.ToAnsi(), m_path);
    ComPtr<ITypeLib> library;
    ASSERT_EQ(LoadRegTypeLib(LIBID_TestObjectLib, 1, 0, 0, library.Put()), S_OK);
    EXPECT_EQ(library->GetTypeInfoCount(), 2u);
    EXPECT_EQ(LoadRegTypeLib(LIBID_TestObjectLib, 2, 0, 0, library.Put()), TYPE_E_LIBNOTREGISTERED);
    EXPECT_EQ(LoadRegTypeLib(LIBID_TestObjectLib, 1, 1, 0, library.Put()), TYPE_E_LIBNOTREGISTERED);
}

TEST_F(ComTypeLibRegistration, ARegisteredPathThatIsGoneFailsToLoad)
{
    WriteDefaultValue(kLibKey + "\\1.0\\0\\linux64", (m_home.home() / "weg.so").string());
    ComPtr<ITypeLib> library;
    EXPECT_EQ(LoadRegTypeLib(LIBID_TestObjectLib, 1, 0, 0, library.Put()), TYPE_E_CANTLOADLIBRARY);
    EXPECT_FALSE(library);
}

TEST_F(ComTypeLibRegistration, AStandAloneTlbFileIsAModuleWithTheRecord)
{
    const std::string tlb = (m_home.home() / "testobject.tlb").string();
    std::filesystem::copy_file(TEST_OBJECT_MODULE, tlb);
    ComPtr<ITypeLib> library = Load(tlb);
    ASSERT_TRUE(library);
    EXPECT_EQ(library->GetTypeInfoCount(), 2u);
}

struct LoadFailure
{
    const char* name;
    std::string (*path)(const std::filesystem::path& dir);
    HRESULT expected;
};

class ComTypeLibLoadFailure : public ::testing::TestWithParam<LoadFailure>
{
protected:
    velt::testing::TempHome m_home;
};

TEST_P(ComTypeLibLoadFailure, IsReportedWithoutALibrary)
{
    ComPtr<ITypeLib> library = Load(GetParam().path(m_home.home()), GetParam().expected);
    EXPECT_FALSE(library);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ComTypeLibLoadFailure,
    ::testing::Values(
        LoadFailure {"Missing", [](const auto& dir) { return (dir / "fehlt.tlb").string(); }, TYPE_E_CANTLOADLIBRARY},
        LoadFailure {"Directory", [](const auto& dir) { return dir.string(); }, TYPE_E_CANTLOADLIBRARY},
        LoadFailure {"Empty", [](const auto&) { return std::string(); }, TYPE_E_CANTLOADLIBRARY},
        LoadFailure {"TextFile",
                     [](const auto& dir) {
                         velt::testing::WriteTextFile((dir / "text.tlb").string(), std::string(5000, 'x'));
                         return (dir / "text.tlb").string();
                     },
                     TYPE_E_CANTLOADLIBRARY},
        LoadFailure {"ModuleWithoutLibrary", [](const auto&) { return std::string(PLATFORM_LIBRARY); },
                     TYPE_E_CANTLOADLIBRARY},
        LoadFailure {"DamagedRecord", [](const auto&) { return std::string(BAD_TYPELIB_MODULE); }, TYPE_E_INVDATAREAD}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
