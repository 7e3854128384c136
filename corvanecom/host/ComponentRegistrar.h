#pragma once

#include <ostream>
#include <string>

namespace corvane::host {

// Registers or unregisters the component module, standing in for regsvr32:
// loads the module and calls its DllRegisterServer or DllUnregisterServer.
class ComponentRegistrar
{
public:
    ComponentRegistrar(std::ostream& out, std::ostream& err);

    // modulePath empty: the module beside the program, in the installation's
    // private library folder (lib/tarnwick), or the
    // registered one (looked at first when unregistering). Returns the exit code.
    int Register(const std::string& modulePath);
    int Unregister(const std::string& modulePath);

private:
    int Run(const std::string& modulePath, bool reg);
    std::string FindModule(bool registeredFirst) const;

    std::ostream& m_out;
    std::ostream& m_err;
};

} // namespace corvane::host
