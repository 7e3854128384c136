#include "tarnwick/settings/ProductKey.h"

#include "platform/registry/Registry.h"
#include "tarnwick/resources/RegistryPaths.h"

namespace tarnwick {

namespace reg = platform::registry;

bool EnsureProductKey()
{
    reg::HKEY key = nullptr;
    if (reg::RegOpenKey(reg::Root::CurrentUser, resources::kProductKeyPath, reg::Access::Read, &key) == reg::kSuccess) {
        reg::RegCloseKey(key);
        return true;
    }
    if (reg::RegCreateKey(reg::Root::CurrentUser, resources::kProductKeyPath, &key) != reg::kSuccess)
        return false;
    reg::RegCloseKey(key);
    return true;
}

} // namespace tarnwick
