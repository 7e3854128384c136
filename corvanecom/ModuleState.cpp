#include "corvanecom/ModuleState.h"

#include <atomic>
#include <dlfcn.h>
#include <filesystem>
#include <system_error>

namespace corvane {

namespace {
std::atomic<long> g_lockCount {0};
} // namespace

void LockModule()
{
    g_lockCount.fetch_add(1);
}

void UnlockModule()
{
    g_lockCount.fetch_sub(1);
}

long ModuleLockCount()
{
    return g_lockCount.load();
}

std::mutex& ModuleMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::string ModulePath()
{
    Dl_info info {};
    if (dladdr(reinterpret_cast<void*>(&ModulePath), &info) == 0 || !info.dli_fname)
        return {};
    // The loader keeps the name it was given; a relative one is made absolute
    // without resolving links, so the registered path is the one used to load.
    std::error_code error;
    const auto absolute = std::filesystem::absolute(info.dli_fname, error);
    return error ? std::string(info.dli_fname) : absolute.lexically_normal().string();
}

} // namespace corvane
