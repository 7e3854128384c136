#include "corvanecom/host/CorvaneHost.h"

#include "corvanecom/host/ComponentRegistrar.h"
#include "corvanecom/host/Escapes.h"
#include "corvanecom/host/HostFormat.h"
#include "corvanecom/host/HostTexts.h"
#include "platform/com/BStr.h"
#include "platform/com/ComApi.h"
#include "platform/com/ComStrings.h"
#include "platform/system/SystemMessage.h"

namespace corvane::host {

using platform::com::AnsiToBstr;
using platform::com::AnsiToUtf16;
using platform::com::BstrToAnsi;

namespace {

std::string SystemText(HRESULT hr)
{
    std::string text = platform::FormatSystemMessage(static_cast<uint32_t>(hr));
    return text.empty() ? Format(kUnknownError, static_cast<uint32_t>(hr)) : text;
}

bool IsNumberType(VARTYPE type)
{
    return type == VT_I2 || type == VT_I4 || type == VT_UI4 || type == VT_INT || type == VT_UINT;
}

} // namespace

CorvaneHost::CorvaneHost(std::ostream& out, std::ostream& err)
    : m_out(out)
    , m_err(err)
{
}

CorvaneHost::~CorvaneHost()
{
    for (Call& call : m_calls) {
        for (VARIANT& arg : call.args)
            VariantClear(&arg);
    }
    // The object goes before the apartment it lives in.
    m_object.Reset();
}

void CorvaneHost::Usage(const std::string& text)
{
    m_err << text << '\n';
}

int CorvaneHost::Run(const std::vector<std::string>& args)
{
    if (args.empty()) {
        Usage(kNoCalls);
        return kExitUsage;
    }
    const std::string& first = args.front();
    if (first == "--help" || first == "-h" || first == "--version") {
        if (args.size() > 1) {
            Usage(Format(kTooManyArguments, first));
            return kExitUsage;
        }
        m_out << (first == "--version" ? CORVANE_VERSION "\n" : kHelpText);
        return kExitOk;
    }
    if (first == "--register" || first == "--unregister") {
        if (args.size() > 2) {
            Usage(Format(kTooManyArguments, first));
            return kExitUsage;
        }
        ComponentRegistrar registrar(m_out, m_err);
        const std::string module = args.size() == 2 ? args[1] : std::string();
        return first == "--register" ? registrar.Register(module) : registrar.Unregister(module);
    }
    if (first.starts_with("--")) {
        Usage(Format(kUnknownOption, first));
        return kExitUsage;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const int code = RunCalls(args);
    for (Call& call : m_calls) {
        for (VARIANT& arg : call.args)
            VariantClear(&arg);
    }
    m_calls.clear();
    m_object.Reset();
    CoUninitialize();
    return code;
}

int CorvaneHost::RunCalls(const std::vector<std::string>& args)
{
    int code = CreateObject();
    if (code != kExitOk)
        return code;
    code = Plan(args);
    if (code != kExitOk)
        return code;
    for (Call& call : m_calls) {
        VARIANT result;
        VariantInit(&result);
        EXCEPINFO excep {};
        const HRESULT hr = Execute(call, &result, &excep);
        if (FAILED(hr)) {
            PrintFailure(hr, excep);
            SysFreeString(excep.bstrSource);
            SysFreeString(excep.bstrDescription);
            SysFreeString(excep.bstrHelpFile);
            return kExitCallFailed;
        }
        PrintResult(result);
        VariantClear(&result);
    }
    return kExitOk;
}

int CorvaneHost::CreateObject()
{
    CLSID clsid {};
    const std::u16string progId = AnsiToUtf16(kProgramProgId);
    if (FAILED(CLSIDFromProgID(progId.c_str(), &clsid))) {
        Usage(kNotRegistered);
        return kExitComponent;
    }
    ComPtr<IUnknown> unknown;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IUnknown, unknown.PutVoid());
    if (SUCCEEDED(hr))
        hr = OleRun(unknown.Get());
    if (SUCCEEDED(hr))
        hr = unknown.As(IID_IDispatch, &m_object);
    if (FAILED(hr)) {
        Usage(Format(kCreateFailed, SystemText(hr)));
        return kExitComponent;
    }
    hr = m_catalog.Load(m_object.Get());
    if (FAILED(hr)) {
        Usage(Format(kTypeInfoFailed, SystemText(hr)));
        return kExitComponent;
    }
    return kExitOk;
}

int CorvaneHost::Lookup(const std::string& name, const MemberInfo** member, DISPID* dispid)
{
    std::u16string wide = AnsiToUtf16(name);
    LPOLESTR names[] = {wide.data()};
    const HRESULT hr = m_object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, dispid);
    if (FAILED(hr) && hr != DISP_E_UNKNOWNNAME) {
        Usage(Format(kTypeInfoFailed, SystemText(hr)));
        return kExitComponent;
    }
    *member = SUCCEEDED(hr) ? m_catalog.Find(*dispid) : nullptr;
    if (!*member) {
        Usage(Format(kUnknownMember, name));
        return kExitUsage;
    }
    return kExitOk;
}

int CorvaneHost::Argument(const std::string& member, const std::string& param, VARTYPE type, const std::string& text,
                          VARIANT* value)
{
    VariantInit(value);
    if (type == VT_BSTR) {
        std::string decoded;
        if (!DecodeEscapes(text, &decoded)) {
            Usage(Format(kBadEscape, text, member));
            return kExitUsage;
        }
        value->vt = VT_BSTR;
        value->bstrVal = AnsiToBstr(decoded);
        return kExitOk;
    }
    if (IsNumberType(type) || type == VT_BOOL) {
        // Checked here so that a wrong number stops the run before any call is made.
        VARIANT source;
        VariantInit(&source);
        source.vt = VT_BSTR;
        source.bstrVal = AnsiToBstr(text);
        const bool plain = !text.empty() && text.find_first_of(".eE") == std::string::npos;
        const HRESULT hr = VariantChangeType(value, &source, 0, type);
        VariantClear(&source);
        if (FAILED(hr) || (IsNumberType(type) && !plain)) {
            VariantClear(value);
            Usage(Format(kNotANumber, text, member));
            return kExitUsage;
        }
        return kExitOk;
    }
    Usage(Format(kUnsupportedType, param, member));
    return kExitUsage;
}

int CorvaneHost::Plan(const std::vector<std::string>& args)
{
    for (size_t i = 0; i < args.size();) {
        const std::string& token = args[i++];
        const size_t equals = token.find('=');
        Call call;
        call.name = token.substr(0, equals);
        const MemberInfo* member = nullptr;
        if (const int code = Lookup(call.name, &member, &call.dispid); code != kExitOk)
            return code;
        if (equals != std::string::npos) {
            if (!member->hasPut) {
                Usage(Format(kNotSettable, call.name));
                return kExitUsage;
            }
            call.flags = DISPATCH_PROPERTYPUT;
            call.args.emplace_back();
            if (const int code
                = Argument(call.name, call.name, member->putType, token.substr(equals + 1), &call.args.back());
                code != kExitOk)
                return code;
            m_calls.push_back(std::move(call));
            continue;
        }
        if (!member->isMethod && !member->hasGet) {
            Usage(Format(kNotCallable, call.name));
            return kExitUsage;
        }
        call.flags = member->isMethod ? DISPATCH_METHOD : DISPATCH_PROPERTYGET;
        for (size_t p = 0; p < member->paramTypes.size(); ++p) {
            const std::string& param = member->paramNames[p];
            if (i >= args.size()) {
                Usage(Format(kMissingArgument, param, call.name));
                return kExitUsage;
            }
            call.args.emplace_back();
            if (const int code = Argument(call.name, param, member->paramTypes[p], args[i++], &call.args.back());
                code != kExitOk)
                return code;
        }
        m_calls.push_back(std::move(call));
    }
    return kExitOk;
}

HRESULT CorvaneHost::Execute(Call& call, VARIANT* result, EXCEPINFO* excep)
{
    // IDispatch takes the arguments last to first.
    std::vector<VARIANT> reversed(call.args.rbegin(), call.args.rend());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params {reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (call.flags == DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    UINT argErr = 0;
    SetErrorInfo(0, nullptr);
    return m_object->Invoke(call.dispid, IID_NULL, LOCALE_USER_DEFAULT, call.flags, &params, result, excep, &argErr);
}

void CorvaneHost::PrintResult(const VARIANT& result)
{
    if (result.vt == VT_EMPTY)
        return;
    if (result.vt == VT_BSTR) {
        m_out << BstrToAnsi(result.bstrVal) << '\n';
        return;
    }
    VARIANT text;
    VariantInit(&text);
    if (SUCCEEDED(VariantChangeType(&text, &result, 0, VT_BSTR)))
        m_out << BstrToAnsi(text.bstrVal) << '\n';
    VariantClear(&text);
}

void CorvaneHost::PrintFailure(HRESULT hr, const EXCEPINFO& excep)
{
    std::string description;
    HRESULT code = hr;
    if (hr == DISP_E_EXCEPTION) {
        description = BstrToAnsi(excep.bstrDescription);
        if (excep.scode)
            code = excep.scode;
    }
    if (description.empty()) {
        ComPtr<IErrorInfo> info;
        if (GetErrorInfo(0, info.Put()) == S_OK && info) {
            BStr text;
            info->GetDescription(text.Put());
            description = text.ToAnsi();
        }
    }
    if (description.empty())
        description = SystemText(code);
    m_err << description << '\n';
}

} // namespace corvane::host
