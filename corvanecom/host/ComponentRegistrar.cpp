#include "corvanecom/host/ComponentRegistrar.h"

#include "corvanecom/host/HostFormat.h"
#include "corvanecom/host/HostTexts.h"
#include "platform/com/ClassRegistry.h"
#include "platform/com/ComApi.h"
#include "platform/com/ComStrings.h"
#include "platform/system/ProgramDirectory.h"
#include "platform/system/SystemMessage.h"

#include <cstdlib>
#include <dlfcn.h>
#include <sys/stat.h>
#include <vector>

namespace corvane::host {

namespace {

bool IsFile(const std::string& path)
{
    struct stat info
    {
    };
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string RegisteredModule()
{
    CLSID clsid {};
    const std::u16string progId = platform::com::AnsiToUtf16(kProgramProgId);
    if (FAILED(CLSIDFromProgID(progId.c_str(), &clsid)))
        return {};
    return platform::com::InprocServerPath(clsid).value_or(std::string());
}

} // namespace

ComponentRegistrar::ComponentRegistrar(std::ostream& out, std::ostream& err)
    : m_out(out)
    , m_err(err)
{
}

int ComponentRegistrar::Register(const std::string& modulePath)
{
    return Run(modulePath.empty() ? FindModule(false) : modulePath, true);
}

int ComponentRegistrar::Unregister(const std::string& modulePath)
{
    return Run(modulePath.empty() ? FindModule(true) : modulePath, false);
}

std::string ComponentRegistrar::FindModule(bool registeredFirst) const
{
    const std::string programDir = platform::ProgramDirectory();
    std::vector<std::string> candidates
        = {programDir + kModuleFileName, programDir + "../" TARNWICK_PRIVATE_LIBDIR "/" + kModuleFileName};
    const std::string registered = RegisteredModule();
    candidates.insert(registeredFirst ? candidates.begin() : candidates.end(), registered);
    for (const std::string& candidate : candidates) {
        if (IsFile(candidate))
            return candidate;
    }
    return programDir + kModuleFileName;
}

int ComponentRegistrar::Run(const std::string& modulePath, bool reg)
{
    const char* entry = reg ? "DllRegisterServer" : "DllUnregisterServer";
    if (!IsFile(modulePath)) {
        m_err << Format(kModuleNotFound, modulePath) << '\n';
        return kExitComponent;
    }
    // The module registers the path it was loaded from: make that the full
    // one (a bare name would also send dlopen searching the library path).
    char* resolved = ::realpath(modulePath.c_str(), nullptr);
    const std::string file = resolved ? resolved : modulePath;
    std::free(resolved);
    void* module = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char* error = ::dlerror();
        m_err << Format(kModuleNotLoaded, modulePath, error ? error : "") << '\n';
        return kExitComponent;
    }
    auto* function = reinterpret_cast<HRESULT (*)()>(::dlsym(module, entry));
    if (!function) {
        m_err << Format(kNoEntryPoint, modulePath, entry) << '\n';
        ::dlclose(module);
        return kExitComponent;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const HRESULT hr = function();
    CoUninitialize();
    ::dlclose(module);
    if (FAILED(hr)) {
        std::string text = platform::FormatSystemMessage(static_cast<uint32_t>(hr));
        if (text.empty())
            text = Format(kUnknownError, static_cast<uint32_t>(hr));
        m_err << Format(kRegisterFailed, entry, text) << '\n';
        return kExitComponent;
    }
    m_out << Format(reg ? kRegistered : kUnregistered, file) << '\n';
    return kExitOk;
}

} // namespace corvane::host
