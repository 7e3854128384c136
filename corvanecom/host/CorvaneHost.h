#pragma once

#include "corvanecom/host/MemberCatalog.h"
#include "platform/com/ComPtr.h"

#include <ostream>
#include <string>
#include <vector>

namespace corvane::host {

// The corvane program: reads its command line, creates VELT.Corvane and
// calls the named members late-bound, one after another on the same object.
class CorvaneHost
{
public:
    CorvaneHost(std::ostream& out, std::ostream& err);
    ~CorvaneHost();

    // Returns the process exit code (see HostTexts.h).
    int Run(const std::vector<std::string>& args);

private:
    // One call taken from the command line, checked before anything runs.
    struct Call
    {
        std::string name;
        DISPID dispid = DISPID_UNKNOWN;
        WORD flags = DISPATCH_METHOD;
        std::vector<VARIANT> args; // in parameter order
    };

    int RunCalls(const std::vector<std::string>& args);
    int CreateObject();
    int Plan(const std::vector<std::string>& args);
    int Argument(const std::string& member, const std::string& param, VARTYPE type, const std::string& text,
                 VARIANT* value);
    int Lookup(const std::string& name, const MemberInfo** member, DISPID* dispid);
    HRESULT Execute(Call& call, VARIANT* result, EXCEPINFO* excep);
    void PrintResult(const VARIANT& result);
    void PrintFailure(HRESULT hr, const EXCEPINFO& excep);
    void Usage(const std::string& text);

    std::ostream& m_out;
    std::ostream& m_err;
    ComPtr<IDispatch> m_object;
    MemberCatalog m_catalog;
    std::vector<Call> m_calls;
};

} // namespace corvane::host
