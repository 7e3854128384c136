#include "tarnwick/program/ComponentRegistration.h"

#include "corvanecom/CorvaneIds.h"
#include "platform/com/ComApi.h"
#include "platform/com/ComStrings.h"
#include "platform/registry/Registry.h"

#include <climits>
#include <cstdlib>
#include <dlfcn.h>
#include <unistd.h>

namespace tarnwick {

namespace reg = platform::registry;

namespace {

constexpr const char* kModuleName = "libcorvanecom.so";

bool FileExists(const std::string& path)
{
    return !path.empty() && ::access(path.c_str(), R_OK) == 0;
}

} // namespace

bool IsComponentRegistered()
{
    const std::string key = "CLSID\\" + platform::com::GuidToString(corvane::CLSID_VELTCorvane) + "\\InprocServer32";
    reg::HKEY handle = nullptr;
    if (reg::RegOpenKey(reg::Root::ClassesRoot, key, reg::Access::Read, &handle) != reg::kSuccess)
        return false;
    std::string path;
    const bool found = reg::RegQueryString(handle, "", &path) == reg::kSuccess;
    reg::RegCloseKey(handle);
    return found && FileExists(path);
}

std::vector<std::string> ComponentModuleCandidates(const std::string& programDirectory)
{
    std::vector<std::string> candidates;
    if (programDirectory.empty())
        return candidates;
    // Beside the program, the installation's private library folder, the build tree.
    for (const char* folder : {"", "../" TARNWICK_PRIVATE_LIBDIR "/", "../corvanecom/"})
        candidates.push_back(programDirectory + folder + kModuleName);
    return candidates;
}

bool RegisterComponentModule(const std::string& modulePath, std::string* error)
{
    void* module = ::dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        if (error) {
            const char* text = ::dlerror();
            *error = text ? text : modulePath;
        }
        return false;
    }
    auto registerServer = reinterpret_cast<LPFNREGISTERSERVER>(::dlsym(module, "DllRegisterServer"));
    const HRESULT hr = registerServer ? registerServer() : E_FAIL;
    ::dlclose(module);
    if (FAILED(hr) && error)
        *error = registerServer ? "DllRegisterServer failed" : "no DllRegisterServer in " + modulePath;
    return SUCCEEDED(hr);
}

bool EnsureComponentRegistered(const std::string& programDirectory, std::string* error)
{
    if (IsComponentRegistered())
        return true;
    for (const std::string& candidate : ComponentModuleCandidates(programDirectory)) {
        // The module registers the path it was loaded from: give it a clean one.
        char resolved[PATH_MAX];
        if (FileExists(candidate) && ::realpath(candidate.c_str(), resolved))
            return RegisterComponentModule(resolved, error);
    }
    if (error)
        *error = std::string(kModuleName) + " not found";
    return false;
}

} // namespace tarnwick
