#include "platform/com/ClassRegistry.h"

#include "platform/com/ComStrings.h"
#include "platform/registry/Registry.h"

namespace platform::com {

using namespace platform::registry;

namespace {

// Closes a key handle when it goes.
class KeyCloser
{
public:
    explicit KeyCloser(HKEY key)
        : m_key(key)
    {
    }
    ~KeyCloser()
    {
        if (m_key)
            RegCloseKey(m_key);
    }
    KeyCloser(const KeyCloser&) = delete;
    KeyCloser& operator=(const KeyCloser&) = delete;

private:
    HKEY m_key;
};

} // namespace

std::optional<std::string> ReadNamedValue(std::string_view key, std::string_view name)
{
    HKEY handle = nullptr;
    if (RegOpenKey(Root::ClassesRoot, key, Access::Read, &handle) != kSuccess)
        return std::nullopt;
    KeyCloser closer(handle);
    std::string value;
    if (RegQueryString(handle, name, &value) != kSuccess)
        return std::nullopt;
    return value;
}

std::optional<std::string> ReadDefaultValue(std::string_view key)
{
    return ReadNamedValue(key, "");
}

bool WriteNamedValue(std::string_view key, std::string_view name, std::string_view value)
{
    HKEY handle = nullptr;
    if (RegCreateKey(Root::ClassesRoot, key, &handle) != kSuccess)
        return false;
    KeyCloser closer(handle);
    return RegSetString(handle, name, value) == kSuccess;
}

bool WriteDefaultValue(std::string_view key, std::string_view value)
{
    return WriteNamedValue(key, "", value);
}

bool CreateKey(std::string_view key)
{
    HKEY handle = nullptr;
    if (RegCreateKey(Root::ClassesRoot, key, &handle) != kSuccess)
        return false;
    RegCloseKey(handle);
    return true;
}

bool DeleteTree(std::string_view key)
{
    const LSTATUS status = RegDeleteTree(Root::ClassesRoot, key);
    return status == kSuccess || status == kFileNotFound;
}

void DeleteIfEmpty(std::string_view key)
{
    HKEY handle = nullptr;
    if (RegOpenKey(Root::ClassesRoot, key, Access::Read, &handle) != kSuccess)
        return;
    std::string name;
    uint32_t type = 0;
    bool empty = RegEnumKey(handle, 0, &name) == kNoMoreItems;
    for (uint32_t i = 0; empty && RegEnumValue(handle, i, &name, &type) == kSuccess; ++i) {
        std::string value;
        if (!name.empty() || RegQueryString(handle, name, &value) != kSuccess || !value.empty())
            empty = false;
    }
    RegCloseKey(handle);
    if (empty)
        RegDeleteKey(Root::ClassesRoot, key);
}

std::optional<std::string> InprocServerPath(REFCLSID clsid)
{
    return ReadDefaultValue("CLSID\\" + GuidToString(clsid) + "\\InprocServer32");
}

} // namespace platform::com
