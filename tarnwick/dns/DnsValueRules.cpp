#include "tarnwick/dns/DnsValueRules.h"

#include "platform/system/TextCase.h"

#include <arpa/inet.h>
#include <charconv>

namespace tarnwick {

namespace {

bool IsLabelCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
}

// Labels separated by dots; minimumLabels 1 also takes a single host name.
bool IsValidHostName(std::string_view name, size_t minimumLabels)
{
    if (!name.empty() && name.back() == '.')
        name.remove_suffix(1);
    if (name.empty() || name.size() > 253)
        return false;
    size_t labels = 0;
    bool lastIsNumber = true;
    size_t start = 0;
    while (start <= name.size()) {
        const size_t end = std::min(name.find('.', start), name.size());
        const std::string_view label = name.substr(start, end - start);
        if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-')
            return false;
        lastIsNumber = true;
        for (const char c : label) {
            if (!IsLabelCharacter(c))
                return false;
            if (c < '0' || c > '9')
                lastIsNumber = false;
        }
        ++labels;
        start = end + 1;
    }
    return labels >= minimumLabels && !lastIsNumber;
}

std::optional<uint16_t> ParsePort(std::string_view text)
{
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 1 || value > 65535)
        return std::nullopt;
    return static_cast<uint16_t>(value);
}

bool IsIpv4(std::string_view text)
{
    in_addr address {};
    return inet_pton(AF_INET, std::string(text).c_str(), &address) == 1;
}

bool IsIpv6(std::string_view text)
{
    in6_addr address {};
    return inet_pton(AF_INET6, std::string(text).c_str(), &address) == 1;
}

bool IsBase64(std::string_view text)
{
    if (text.empty() || text.size() % 4 != 0)
        return false;
    size_t padding = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '=') {
            ++padding;
            continue;
        }
        const bool plain
            = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
        if (!plain || padding > 0)
            return false;
    }
    return padding <= 2 && padding < text.size();
}

} // namespace

bool IsValidDnsName(std::string_view name)
{
    return IsValidHostName(name, 2);
}

std::optional<DnsEndpoint> ParseDnsEndpoint(std::string_view text, uint16_t defaultPort)
{
    if (text.empty())
        return std::nullopt;
    if (text.front() == '[') {
        const size_t close = text.find(']');
        if (close == std::string_view::npos || !IsIpv6(text.substr(1, close - 1)))
            return std::nullopt;
        const std::string_view rest = text.substr(close + 1);
        if (rest.empty())
            return DnsEndpoint {std::string(text.substr(1, close - 1)), defaultPort};
        const std::optional<uint16_t> port = rest.front() == ':' ? ParsePort(rest.substr(1)) : std::nullopt;
        if (!port)
            return std::nullopt;
        return DnsEndpoint {std::string(text.substr(1, close - 1)), *port};
    }
    if (IsIpv6(text))
        return DnsEndpoint {std::string(text), defaultPort};
    std::string_view host = text;
    uint16_t port = defaultPort;
    if (const size_t colon = text.rfind(':'); colon != std::string_view::npos) {
        const std::optional<uint16_t> parsed = ParsePort(text.substr(colon + 1));
        if (!parsed)
            return std::nullopt;
        host = text.substr(0, colon);
        port = *parsed;
    }
    if (!IsIpv4(host) && !IsValidHostName(host, 1))
        return std::nullopt;
    return DnsEndpoint {std::string(host), port};
}

std::optional<DynDnsServer> ParseDynDnsServer(std::string_view text)
{
    DynDnsServer server;
    if (text.starts_with("https://")) {
        text.remove_prefix(8);
    } else if (text.starts_with("http://")) {
        text.remove_prefix(7);
        server.tls = false;
    }
    const std::optional<DnsEndpoint> endpoint = ParseDnsEndpoint(text, server.tls ? 443 : 80);
    if (!endpoint)
        return std::nullopt;
    server.endpoint = *endpoint;
    // Credentials go in clear text only where they never leave the computer.
    const std::string& host = server.endpoint.host;
    const bool loopback = host == "localhost" || host == "::1" || (IsIpv4(host) && host.starts_with("127."));
    if (!server.tls && !loopback)
        return std::nullopt;
    return server;
}

std::string DnsServerTestUrl(int kind, std::string_view server)
{
    std::optional<DnsEndpoint> endpoint;
    bool tls = false;
    if (kind == 1) {
        if (const std::optional<DynDnsServer> service = ParseDynDnsServer(server)) {
            endpoint = service->endpoint;
            tls = service->tls;
        }
    } else if (kind == 2) {
        endpoint = ParseDnsEndpoint(server, 53);
    }
    if (!endpoint)
        return {};
    const std::string host = IsIpv6(endpoint->host) ? "[" + endpoint->host + "]" : endpoint->host;
    return (tls ? "https://" : "http://") + host + ":" + std::to_string(endpoint->port) + "/";
}

std::optional<TsigKey> ParseTsigKey(std::string_view text)
{
    const size_t first = text.find(':');
    const size_t second = first == std::string_view::npos ? first : text.find(':', first + 1);
    if (second == std::string_view::npos)
        return std::nullopt;
    const std::string_view algorithm = text.substr(0, first);
    const std::string_view name = text.substr(first + 1, second - first - 1);
    const std::string_view secret = text.substr(second + 1);
    TsigKey key;
    if (platform::EqualsNoCase(algorithm, "hmac-sha256"))
        key.algorithm = "hmac-sha256.";
    else if (platform::EqualsNoCase(algorithm, "hmac-sha512"))
        key.algorithm = "hmac-sha512.";
    else
        return std::nullopt;
    if (!IsValidHostName(name, 1) || !IsBase64(secret))
        return std::nullopt;
    key.name = std::string(name);
    key.secret = std::string(secret);
    return key;
}

std::string RecordTypeOf(std::string_view address)
{
    if (IsIpv4(address))
        return "A";
    if (IsIpv6(address))
        return "AAAA";
    return {};
}

std::string CanonicalAddress(std::string_view address)
{
    const std::string text(address);
    char buffer[INET6_ADDRSTRLEN] = {};
    in_addr v4 {};
    in6_addr v6 {};
    if (inet_pton(AF_INET, text.c_str(), &v4) == 1)
        return inet_ntop(AF_INET, &v4, buffer, sizeof buffer);
    if (inet_pton(AF_INET6, text.c_str(), &v6) == 1)
        return inet_ntop(AF_INET6, &v6, buffer, sizeof buffer);
    return {};
}

std::optional<std::string> CheckDnsValue(std::string_view settingName, std::string_view value)
{
    const std::string prefix = "Ungültiger Wert für " + std::string(settingName) + ": \"" + std::string(value) + "\" ";
    if (platform::EqualsNoCase(settingName, "DnsName")) {
        if (value.empty() || IsValidDnsName(value))
            return std::nullopt;
        return prefix + "ist kein vollständiger DNS-Name (etwa heim.example.org).";
    }
    if (platform::EqualsNoCase(settingName, "DnsServer") || platform::EqualsNoCase(settingName, "DnsCheckServer")) {
        const bool server = platform::EqualsNoCase(settingName, "DnsServer");
        if (value.empty() || ParseDnsEndpoint(value, 53) || (server && ParseDynDnsServer(value)))
            return std::nullopt;
        return prefix + "ist kein Host oder Host:Port (Port 1 bis 65535"
            + (server ? "; http:// nur zu dieser Maschine selbst)." : ").");
    }
    if (platform::EqualsNoCase(settingName, "DnsKey")) {
        if (value.empty() || ParseTsigKey(value))
            return std::nullopt;
        // The secret is not repeated on the screen.
        return "Ungültiger Wert für " + std::string(settingName)
            + ": Der Schlüssel hat nicht die Form hmac-sha256:Schlüsselname:Base64-Geheimnis (oder hmac-sha512).";
    }
    return std::nullopt;
}

} // namespace tarnwick
