#pragma once

#include <string>
#include <string_view>

namespace platform {

// The proxy the system configures for a URL, from the environment as Linux
// programs read it: <scheme>_proxy (http_proxy only in lower case), then
// all_proxy, unless no_proxy names the host ("*", a name with its subdomains,
// an address or an address range "10.0.0.0/8"). Loopback and localhost are
// always reached directly. Empty: connect directly.
std::string SystemProxyFor(std::string_view scheme, std::string_view host);

// Whether a no_proxy list names the host.
bool NoProxyListMatches(std::string_view list, std::string_view host);

} // namespace platform
