#include "tarnwick/resources/ServiceHost.h"

#include "platform/registry/Registry.h"
#include "tarnwick/resources/RegistryPaths.h"

#include <charconv>
#include <cstring>

#ifndef TARNWICK_SERVICE_HOST
#error "TARNWICK_SERVICE_HOST must be set by the build"
#endif

namespace tarnwick::resources {

namespace reg = platform::registry;

namespace {

bool IsHostNameCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
}

bool IsValidHostName(std::string_view host)
{
    if (host.empty() || host.size() > 253 || host.front() == '.' || host.front() == '-' || host.back() == '-')
        return false;
    for (size_t i = 0; i < host.size(); ++i) {
        if (!IsHostNameCharacter(host[i]))
            return false;
        if (host[i] == '.' && i + 1 < host.size() && host[i + 1] == '.')
            return false;
    }
    return true;
}

bool IsValidIpv6Literal(std::string_view inner)
{
    if (inner.size() < 2 || inner.size() > 45)
        return false;
    for (const char c : inner) {
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex && c != ':' && c != '.')
            return false;
    }
    return inner.find(':') != std::string_view::npos;
}

bool IsValidPort(std::string_view text)
{
    if (text.empty() || text.size() > 5)
        return false;
    unsigned port = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    return error == std::errc() && end == text.data() + text.size() && port >= 1 && port <= 65535;
}

} // namespace

std::string_view BuiltInServiceHost()
{
    return TARNWICK_SERVICE_HOST;
}

bool IsValidServiceHost(std::string_view value)
{
    std::string_view host = value;
    std::string_view port;
    if (!value.empty() && value.front() == '[') {
        const size_t close = value.find(']');
        if (close == std::string_view::npos || !IsValidIpv6Literal(value.substr(1, close - 1)))
            return false;
        const std::string_view rest = value.substr(close + 1);
        if (rest.empty())
            return true;
        if (rest.front() != ':')
            return false;
        return IsValidPort(rest.substr(1));
    }
    const size_t colon = value.find(':');
    if (colon != std::string_view::npos) {
        host = value.substr(0, colon);
        port = value.substr(colon + 1);
        if (!IsValidPort(port))
            return false;
    }
    return IsValidHostName(host);
}

std::string ServiceHost()
{
    reg::HKEY key = nullptr;
    if (reg::RegOpenKey(reg::Root::CurrentUser, kMakerKeyPath, reg::Access::Read, &key) != reg::kSuccess)
        return std::string(BuiltInServiceHost());
    // Only a REG_SZ counts; a host name fits the buffer with room to spare.
    char buffer[512] = {};
    uint32_t type = reg::REG_NONE;
    uint32_t size = sizeof buffer;
    const bool found
        = reg::RegQueryValue(key, kServiceHostValueName, &type, buffer, &size) == reg::kSuccess && type == reg::REG_SZ;
    reg::RegCloseKey(key);
    const std::string stored(buffer, strnlen(buffer, sizeof buffer));
    if (found && IsValidServiceHost(stored))
        return stored;
    return std::string(BuiltInServiceHost());
}

bool StoreServiceHost(std::string_view value)
{
    if (!value.empty() && !IsValidServiceHost(value))
        return false;
    reg::HKEY key = nullptr;
    if (reg::RegCreateKey(reg::Root::CurrentUser, kMakerKeyPath, &key) != reg::kSuccess)
        return false;
    reg::LSTATUS status;
    if (value.empty()) {
        status = reg::RegDeleteValue(key, kServiceHostValueName);
        if (status == reg::kFileNotFound)
            status = reg::kSuccess;
    } else {
        status = reg::RegSetString(key, kServiceHostValueName, value);
    }
    reg::RegCloseKey(key);
    return status == reg::kSuccess;
}

} // namespace tarnwick::resources
