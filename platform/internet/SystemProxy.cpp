#include "platform/internet/SystemProxy.h"

#include "platform/system/AsciiText.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

std::string Environment(const char* lower, const char* upper)
{
    if (const char* value = std::getenv(lower); value && *value)
        return value;
    if (upper) {
        if (const char* value = std::getenv(upper); value && *value)
            return value;
    }
    return {};
}

// An address and prefix length in one of the two families.
bool InRange(std::string_view host, std::string_view range)
{
    auto slash = range.find('/');
    std::string network(range.substr(0, slash));
    int bits = slash == std::string_view::npos ? -1 : std::atoi(std::string(range.substr(slash + 1)).c_str());
    std::string address(host);
    unsigned char a[16];
    unsigned char b[16];
    int length = 0;
    if (inet_pton(AF_INET, address.c_str(), a) == 1 && inet_pton(AF_INET, network.c_str(), b) == 1)
        length = 4;
    else if (inet_pton(AF_INET6, address.c_str(), a) == 1 && inet_pton(AF_INET6, network.c_str(), b) == 1)
        length = 16;
    else
        return false;
    if (bits < 0 || bits > length * 8)
        bits = length * 8;
    for (int i = 0; i < length && bits > 0; ++i, bits -= 8) {
        unsigned mask = bits >= 8 ? 0xFF : (0xFF << (8 - bits)) & 0xFF;
        if ((a[i] & mask) != (b[i] & mask))
            return false;
    }
    return true;
}

bool IsLoopback(std::string_view host)
{
    return EqualsAsciiNoCase(host, "localhost") || InRange(host, "127.0.0.0/8") || InRange(host, "::1/128");
}

} // namespace

bool NoProxyListMatches(std::string_view list, std::string_view host)
{
    if (!host.empty() && host.back() == '.')
        host.remove_suffix(1);
    while (!list.empty()) {
        auto comma = list.find(',');
        std::string_view entry = TrimBlanks(list.substr(0, comma));
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
        if (entry.empty())
            continue;
        if (entry == "*")
            return true;
        if (InRange(host, entry))
            return true;
        if (entry.front() == '.')
            entry.remove_prefix(1);
        if (EqualsAsciiNoCase(host, entry))
            return true;
        // A name covers its subdomains, on a label boundary only.
        if (host.size() > entry.size() && host[host.size() - entry.size() - 1] == '.'
            && EqualsAsciiNoCase(host.substr(host.size() - entry.size()), entry))
            return true;
    }
    return false;
}

std::string SystemProxyFor(std::string_view scheme, std::string_view host)
{
    if (IsLoopback(host))
        return {};
    std::string proxy;
    if (EqualsAsciiNoCase(scheme, "http"))
        proxy = Environment("http_proxy", nullptr); // the upper-case name can be set by a web server's CGI
    else if (EqualsAsciiNoCase(scheme, "https"))
        proxy = Environment("https_proxy", "HTTPS_PROXY");
    else if (EqualsAsciiNoCase(scheme, "ftp"))
        proxy = Environment("ftp_proxy", "FTP_PROXY");
    if (proxy.empty())
        proxy = Environment("all_proxy", "ALL_PROXY");
    if (proxy.empty() || NoProxyListMatches(Environment("no_proxy", "NO_PROXY"), host))
        return {};
    return proxy;
}

} // namespace platform
