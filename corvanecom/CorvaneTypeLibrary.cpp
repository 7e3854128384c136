// The type library CORVANECOMLib, embedded in the module: late-bound callers
// find members, parameters and slots here once it is registered.
#include "corvanecom/CorvaneIds.h"
#include "platform/com/ComInterfaces.h"
#include "platform/com/TypeLibFormat.h"

using namespace corvane;

namespace {

constexpr USHORT kIn = PARAMFLAG_FIN;
constexpr USHORT kRetVal = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;
constexpr VARTYPE kBstrOut = VT_BSTR | VT_BYREF;
constexpr VARTYPE kLongOut = VT_I4 | VT_BYREF;

const VeltTlbParam kTestConnect[] = {{"bstrUrl", VT_BSTR, kIn}, {"bOk", kLongOut, kRetVal}};
const VeltTlbParam kBstrValue[] = {{"pVal", kBstrOut, kRetVal}};
const VeltTlbParam kLongValue[] = {{"pVal", kLongOut, kRetVal}};
const VeltTlbParam kPutLong[] = {{nullptr, VT_I4, kIn}};
const VeltTlbParam kConnect[]
    = {{"bstrHostAddress", VT_BSTR, kIn}, {"lHostPort", VT_I4, kIn}, {"bOk", kLongOut, kRetVal}};
const VeltTlbParam kSendCmdAndReceive[] = {{"bstrCmd", VT_BSTR, kIn}, {"bstrResponse", kBstrOut, kRetVal}};
const VeltTlbParam kReceive[] = {{"lMaxMsgSizeInKB", VT_I4, kIn}, {"bstrResponse", kBstrOut, kRetVal}};
const VeltTlbParam kSend[] = {{"bstrCmd", VT_BSTR, kIn}, {"bOk", kLongOut, kRetVal}};
const VeltTlbParam kSendHttpRequest[] = {{"bstrRequestUrl", VT_BSTR, kIn}, {"bstrResponse", kBstrOut, kRetVal}};

const VeltTlbFunc kFuncs[] = {
    {"TestConnect", 1, INVOKE_FUNC, 7, 2, kTestConnect, "Methode TestConnect"},
    {"SocketAddress", 2, INVOKE_PROPERTYGET, 8, 1, kBstrValue, "Eigenschaft SocketAddress"},
    {"PeerAddress", 3, INVOKE_PROPERTYGET, 9, 1, kBstrValue, "Eigenschaft PeerAddress"},
    {"CancelBlockingCall", 4, INVOKE_FUNC, 10, 0, nullptr, "Methode CancelBlockingCall"},
    {"LastErrorMsg", 5, INVOKE_PROPERTYGET, 11, 1, kBstrValue, "Eigenschaft LastErrorMsg"},
    {"TimeoutInSec", 6, INVOKE_PROPERTYGET, 12, 1, kLongValue, "Eigenschaft TimeoutInSec"},
    {"TimeoutInSec", 6, INVOKE_PROPERTYPUT, 13, 1, kPutLong, "Eigenschaft TimeoutInSec"},
    {"Connect", 7, INVOKE_FUNC, 14, 3, kConnect, "Methode Connect"},
    {"Disconnect", 8, INVOKE_FUNC, 15, 0, nullptr, "Methode Disconnect"},
    {"SocketPort", 9, INVOKE_PROPERTYGET, 16, 1, kLongValue, "Eigenschaft SocketPort"},
    {"PeerPort", 10, INVOKE_PROPERTYGET, 17, 1, kLongValue, "Eigenschaft PeerPort"},
    {"SendCmdAndReceive", 11, INVOKE_FUNC, 18, 2, kSendCmdAndReceive, "Methode SendCmdAndReceive"},
    {"Receive", 12, INVOKE_FUNC, 19, 2, kReceive, "Methode Receive"},
    {"Send", 13, INVOKE_FUNC, 20, 2, kSend, "Methode Send"},
    {"DataToReceiveAvailable", 14, INVOKE_PROPERTYGET, 21, 1, kLongValue, "Eigenschaft DataToReceiveAvailable"},
    {"SendHttpRequest", 15, INVOKE_FUNC, 22, 2, kSendHttpRequest, "Methode SendHttpRequest"},
    {"ServerAddress", 16, INVOKE_PROPERTYGET, 23, 1, kBstrValue, "Eigenschaft ServerAddress"},
    {"ResponseHeaders", 17, INVOKE_PROPERTYGET, 24, 1, kBstrValue, "Eigenschaft ResponseHeaders"},
};

const VeltTlbImpl kDispatchBase[] = {{IID_IDispatch, 0}};
const VeltTlbImpl kClassInterfaces[] = {
    {IID_IVELTCorvane, IMPLTYPEFLAG_FDEFAULT},
    {DIID__IVELTCorvaneEvents, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE},
};

const VeltTlbType kTypes[] = {
    {TKIND_INTERFACE, IID_IVELTCorvane, "IVELTCorvane", "IVELTCorvane-Schnittstelle",
     TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE, 25, sizeof kFuncs / sizeof kFuncs[0], kFuncs, 1,
     kDispatchBase},
    {TKIND_DISPATCH, DIID__IVELTCorvaneEvents, "_IVELTCorvaneEvents", "_IVELTCorvaneEreignisschnittstelle",
     TYPEFLAG_FDISPATCHABLE, 7, 0, nullptr, 1, kDispatchBase},
    {TKIND_COCLASS, CLSID_VELTCorvane, "VELTCorvane", kClassName, TYPEFLAG_FCANCREATE, 0, 0, nullptr, 2,
     kClassInterfaces},
};

} // namespace

extern "C" __attribute__((visibility("default"))) const VeltTypeLibrary VeltTypeLibrary1 = {
    kVeltTypeLibraryMagic,
    kVeltTypeLibraryFormat,
    LIBID_CORVANECOMLib,
    kTypeLibMajor,
    kTypeLibMinor,
    0,
    SYS_WIN64,
    0,
    "CORVANECOMLib",
    "CorvaneCom 1.0 Typbibliothek",
    sizeof kTypes / sizeof kTypes[0],
    kTypes,
};
