// The object's interfaces, slot layout, defaults, argument checks and error reporting.
#include "corvanecom/tests/CorvaneTest.h"

#include "corvanecom/CorvaneIds.h"
#include "platform/com/BStr.h"
#include "platform/com/ComApi.h"
#include "platform/com/ComStrings.h"

#include <cstring>
#include <functional>

namespace {

// The vtable slot of a virtual member: under the Itanium C++ ABI a pointer to
// a virtual member holds its vtable byte offset plus one.
template<typename F>
size_t SlotOf(F member)
{
    uintptr_t raw[2];
    std::memcpy(raw, &member, sizeof raw);
    return (raw[0] - 1) / sizeof(void*);
}

struct SlotCase
{
    const char* name;
    INVOKEKIND kind;
    size_t slot; // from the C++ interface
    SHORT params;
};

// In slot order, as the type library lists them.
const SlotCase kSlots[] = {
    {"TestConnect", INVOKE_FUNC, SlotOf(&IVELTCorvane::TestConnect), 2},
    {"SocketAddress", INVOKE_PROPERTYGET, SlotOf(&IVELTCorvane::get_SocketAddress), 1},
    {"PeerAddress", INVOKE_PROPERTYGET, SlotOf(&IVELTCorvane::get_PeerAddress), 1},
    {"CancelBlockingCall", INVOKE_FUNC, SlotOf(&IVELTCorvane::CancelBlockingCall), 0},
    {"LastErrorMsg", INVOKE_PROPERTYGET, SlotOf(&IVELTCorvane::get_LastErrorMsg), 1},
    {"TimeoutInSec", INVOKE_PROPERTYGET, SlotOf(&IVELTCorvane::get_TimeoutInSec), 1},
    {"TimeoutInSec", INVOKE_PROPERTYPUT, SlotOf(&IVELTCorvane::put_TimeoutInSec), 1},
    {"Connect", INVOKE_FUNC, SlotOf(&IVELTCorvane::Connect), 3},
    {"Disconnect", INVOKE_FUNC, SlotOf(&IVELTCorvane::Disconnect), 0},
    {"SocketPort", INVOKE_PROPERTYGET, SlotOf(&IVELTCorvane::get_SocketPort), 1},
    {"PeerPort", INVOKE_PROPERTYGET, SlotOf(&IVELTCorvane::get_PeerPort), 1},
    {"SendCmdAndReceive", INVOKE_FUNC, SlotOf(&IVELTCorvane::SendCmdAndReceive), 2},
    {"Receive", INVOKE_FUNC, SlotOf(&IVELTCorvane::Receive), 2},
    {"Send", INVOKE_FUNC, SlotOf(&IVELTCorvane::Send), 2},
    {"DataToReceiveAvailable", INVOKE_PROPERTYGET, SlotOf(&IVELTCorvane::get_DataToReceiveAvailable), 1},
    {"SendHttpRequest", INVOKE_FUNC, SlotOf(&IVELTCorvane::SendHttpRequest), 2},
    {"ServerAddress", INVOKE_PROPERTYGET, SlotOf(&IVELTCorvane::get_ServerAddress), 1},
    {"ResponseHeaders", INVOKE_PROPERTYGET, SlotOf(&IVELTCorvane::get_ResponseHeaders), 1},
};

using CorvaneObject = CorvaneTest;

// An outer object for aggregation: holds the inner unknown and answers for it.
class Outer final : public IUnknown
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override
    {
        if (riid == IID_IUnknown) {
            *out = this;
            AddRef();
            return S_OK;
        }
        return m_inner ? m_inner->QueryInterface(riid, out) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_refs; }

    IUnknown* m_inner = nullptr;
    ULONG m_refs = 1;
};

} // namespace

TEST(CorvaneInterface, HasTwentyFiveSlotsAndTheTypeLibraryCallsThoseOfTheHeader)
{
    EXPECT_EQ(SlotOf(&IVELTCorvane::TestConnect), 7u);
    EXPECT_EQ(SlotOf(&IVELTCorvane::get_ResponseHeaders), 24u);
    ComPtr<ITypeLib> library;
    ASSERT_EQ(LoadTypeLib(platform::com::AnsiToUtf16(ComponentModule::DefaultPath()).c_str(), library.Put()), S_OK);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(library->GetTypeInfoOfGuid(corvane::IID_IVELTCorvane, info.Put()), S_OK);
    TYPEATTR* type = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&type), S_OK);
    EXPECT_EQ(type->cbSizeVft, 25 * sizeof(void*));
    ASSERT_EQ(type->cFuncs, std::size(kSlots));
    info->ReleaseTypeAttr(type);
    for (UINT i = 0; i < std::size(kSlots); ++i) {
        FUNCDESC* desc = nullptr;
        ASSERT_EQ(info->GetFuncDesc(i, &desc), S_OK);
        BStr name;
        ASSERT_EQ(info->GetDocumentation(desc->memid, name.Put(), nullptr, nullptr, nullptr), S_OK);
        EXPECT_EQ(name.ToAnsi(), kSlots[i].name);
        EXPECT_EQ(desc->invkind, kSlots[i].kind) << kSlots[i].name;
        EXPECT_EQ(static_cast<size_t>(desc->oVft), kSlots[i].slot * sizeof(void*)) << kSlots[i].name;
        EXPECT_EQ(desc->cParams, kSlots[i].params) << kSlots[i].name;
        info->ReleaseFuncDesc(desc);
    }
}

TEST_F(CorvaneObject, ANewObjectHasItsDefaults)
{
    EXPECT_EQ(Number(&IVELTCorvane::get_TimeoutInSec), 10);
    EXPECT_EQ(Number(&IVELTCorvane::get_SocketPort), 0);
    EXPECT_EQ(Number(&IVELTCorvane::get_PeerPort), 0);
    EXPECT_EQ(Number(&IVELTCorvane::get_DataToReceiveAvailable), 0);
    EXPECT_EQ(Text(&IVELTCorvane::get_SocketAddress), "");
    EXPECT_EQ(Text(&IVELTCorvane::get_PeerAddress), "");
    EXPECT_EQ(Text(&IVELTCorvane::get_ServerAddress), "");
    EXPECT_EQ(Text(&IVELTCorvane::get_ResponseHeaders), "");
}

class CorvaneTimeout : public CorvaneTest, public ::testing::WithParamInterface<LONG>
{
};

TEST_P(CorvaneTimeout, AcceptsZeroToThirtyAndKeepsTheOldValueOtherwise)
{
    const LONG value = GetParam();
    const bool valid = value >= 0 && value <= 30;
    ASSERT_EQ(m_object->put_TimeoutInSec(7), S_OK);
    EXPECT_EQ(m_object->put_TimeoutInSec(value), valid ? S_OK : E_INVALIDARG);
    EXPECT_EQ(Number(&IVELTCorvane::get_TimeoutInSec), valid ? value : 7);
    const ThreadError error = TakeThreadError();
    EXPECT_EQ(error.present, !valid);
    if (error.present) {
        EXPECT_EQ(error.description, "Die Timeout-Angabe muss zwischen 0 und 30 Sekunden liegen!");
    }
}

INSTANTIATE_TEST_SUITE_P(Values, CorvaneTimeout, ::testing::Values(0, 30, 31, -1));

struct ArgumentCase
{
    const char* name;
    std::function<HRESULT(IVELTCorvane*)> call;
    HRESULT expected;
    const char* description; // nullptr: no error object
};

class CorvaneArguments : public CorvaneTest, public ::testing::WithParamInterface<ArgumentCase>
{
};

TEST_P(CorvaneArguments, AreCheckedBeforeAnyNetworkWork)
{
    const ArgumentCase& c = GetParam();
    EXPECT_EQ(c.call(m_object.Get()), c.expected);
    const ThreadError error = TakeThreadError();
    EXPECT_EQ(error.present, c.description != nullptr);
    if (c.description) {
        EXPECT_EQ(error.description, c.description);
        EXPECT_EQ(error.source, "") << "the class is not registered in this test";
    }
}

namespace {

LONG g_ok;
BSTR g_text;

HRESULT ConnectTo(IVELTCorvane* o, const char* host, LONG port)
{
    return o->Connect(BStr::FromAnsi(host).Get(), port, &g_ok);
}

} // namespace

INSTANTIATE_TEST_SUITE_P(
    Checks, CorvaneArguments,
    ::testing::Values(
        ArgumentCase {"EmptyHostBeforeBadPort", [](IVELTCorvane* o) { return ConnectTo(o, "", 0); }, E_INVALIDARG,
                      "Hostadresse wurde nicht angegeben!"},
        ArgumentCase {"PortZero", [](IVELTCorvane* o) { return ConnectTo(o, "127.0.0.1", 0); }, E_INVALIDARG,
                      "Port ist ungültig!"},
        ArgumentCase {"SendEmpty", [](IVELTCorvane* o) { return o->Send(BStr::FromAnsi("").Get(), &g_ok); },
                      E_INVALIDARG, "Kommando wurde nicht angegeben!"},
        ArgumentCase {"SendCmdAndReceiveEmpty", [](IVELTCorvane* o) { return o->SendCmdAndReceive(nullptr, &g_text); },
                      E_INVALIDARG, "Kommando wurde nicht angegeben!"},
        ArgumentCase {"ReceiveZero", [](IVELTCorvane* o) { return o->Receive(0, &g_text); }, E_INVALIDARG,
                      "Die maximale Größe der Antwort muss zwischen 1 und 32768 KB liegen!"},
        ArgumentCase {"TestConnectEmpty", [](IVELTCorvane* o) { return o->TestConnect(nullptr, &g_ok); }, E_INVALIDARG,
                      "Fehler! Es wurde kein Server angegeben!"},
        ArgumentCase {"TestConnectBareHost",
                      [](IVELTCorvane* o) { return o->TestConnect(BStr::FromAnsi("127.0.0.1").Get(), &g_ok); }, E_FAIL,
                      "Fehler! URL konnte nicht aufgelößt werden."},
        ArgumentCase {"HttpRequestEmptyGivesNoErrorObject",
                      [](IVELTCorvane* o) { return o->SendHttpRequest(BStr::FromAnsi("").Get(), &g_text); },
                      E_INVALIDARG, nullptr},
        ArgumentCase {"HttpRequestNotHttp",
                      [](IVELTCorvane* o) { return o->SendHttpRequest(BStr::FromAnsi("http://:80/").Get(), &g_text); },
                      E_FAIL, "Url: http://:80/ konnte nicht aufgelößt werden!"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CorvaneObject, NullOutPointersGiveEPointerAndNoErrorObject)
{
    const BStr text = BStr::FromAnsi("x");
    IVELTCorvane* o = m_object.Get();
    const HRESULT results[] = {
        o->TestConnect(text.Get(), nullptr),
        o->get_SocketAddress(nullptr),
        o->get_PeerAddress(nullptr),
        o->get_LastErrorMsg(nullptr),
        o->get_TimeoutInSec(nullptr),
        o->Connect(text.Get(), 0, nullptr),
        o->get_SocketPort(nullptr),
        o->get_PeerPort(nullptr),
        o->SendCmdAndReceive(nullptr, nullptr),
        o->Receive(0, nullptr),
        o->Send(nullptr, nullptr),
        o->get_DataToReceiveAvailable(nullptr),
        o->SendHttpRequest(text.Get(), nullptr),
        o->get_ServerAddress(nullptr),
        o->get_ResponseHeaders(nullptr),
    };
    for (size_t i = 0; i < std::size(results); ++i)
        EXPECT_EQ(results[i], E_POINTER) << "call " << i;
    EXPECT_FALSE(TakeThreadError().present);
}

TEST_F(CorvaneObject, AnswersItsInterfacesAndNoOthers)
{
    const IID answered[] = {IID_IUnknown, corvane::IID_IVELTCorvane, IID_IDispatch, IID_ISupportErrorInfo,
                            IID_IConnectionPointContainer};
    ComPtr<IUnknown> identity;
    ASSERT_EQ(m_object->QueryInterface(IID_IUnknown, identity.PutVoid()), S_OK);
    for (const IID& iid : answered) {
        ComPtr<IUnknown> itf;
        EXPECT_EQ(m_object->QueryInterface(iid, itf.PutVoid()), S_OK);
        // Every interface leads back to one identity.
        ComPtr<IUnknown> back;
        ASSERT_EQ(itf->QueryInterface(IID_IUnknown, back.PutVoid()), S_OK);
        EXPECT_EQ(back.Get(), identity.Get());
    }
    const IID refused[] = {IID_IClassFactory, IID_IErrorInfo, corvane::DIID__IVELTCorvaneEvents, IID_ITypeInfo};
    for (const IID& iid : refused) {
        void* itf = reinterpret_cast<void*>(1);
        EXPECT_EQ(m_object->QueryInterface(iid, &itf), E_NOINTERFACE);
        EXPECT_EQ(itf, nullptr);
    }
    EXPECT_EQ(m_object->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

    ComPtr<ISupportErrorInfo> support;
    ASSERT_EQ(m_object.As(IID_ISupportErrorInfo, &support), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(corvane::IID_IVELTCorvane), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
}

TEST_F(CorvaneObject, DeclaresEventsButOffersNoConnectionPoint)
{
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(m_object.As(IID_IConnectionPointContainer, &container), S_OK);
    IConnectionPoint* point = reinterpret_cast<IConnectionPoint*>(1);
    EXPECT_EQ(container->FindConnectionPoint(corvane::DIID__IVELTCorvaneEvents, &point), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(point, nullptr);
    ComPtr<IEnumConnectionPoints> points;
    ASSERT_EQ(container->EnumConnectionPoints(points.Put()), S_OK);
    IConnectionPoint* next = nullptr;
    ULONG fetched = 99;
    EXPECT_EQ(points->Next(1, &next, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    ComPtr<IEnumConnectionPoints> copy;
    ASSERT_EQ(points->Clone(copy.Put()), S_OK);
    EXPECT_EQ(copy->Next(1, &next, nullptr), S_FALSE);
}

TEST_F(CorvaneObject, CanBeAggregatedOnlyThroughItsInnerUnknown)
{
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(
        ComponentModule::Shared().GetClassObject(corvane::CLSID_VELTCorvane, IID_IClassFactory, factory.PutVoid()),
        S_OK);
    Outer outer;
    void* refused = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(&outer, corvane::IID_IVELTCorvane, &refused), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(refused, nullptr);

    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.m_inner)), S_OK);
    ASSERT_NE(outer.m_inner, nullptr);
    IVELTCorvane* itf = nullptr;
    ASSERT_EQ(outer.m_inner->QueryInterface(corvane::IID_IVELTCorvane, reinterpret_cast<void**>(&itf)), S_OK);
    // References on the inner interfaces count on the outer object ...
    EXPECT_EQ(outer.m_refs, 2u);
    // ... and asking them for IUnknown gives the outer identity.
    IUnknown* identity = nullptr;
    ASSERT_EQ(itf->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, &outer);
    identity->Release();
    LONG timeout = 0;
    EXPECT_EQ(itf->get_TimeoutInSec(&timeout), S_OK);
    EXPECT_EQ(timeout, 10);
    itf->Release();
    EXPECT_EQ(outer.m_refs, 1u);
    EXPECT_EQ(outer.m_inner->Release(), 0u);
}
