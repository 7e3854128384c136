#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include <string>
#include <string_view>

// The maker's host that serves the address service, the forum page and the
// update files. The build sets a default; a user points it elsewhere without
// rebuilding with the REG_SZ value "ServiceHost" ("host" or "host:port") in
// the maker's key.
namespace tarnwick::resources {

inline constexpr std::string_view kServiceHostValueName = "ServiceHost";

// The host the build was configured with.
TARNWICK_EXPORT std::string_view BuiltInServiceHost();

// The stored ServiceHost when it is there and well-formed, else the built-in host.
TARNWICK_EXPORT std::string ServiceHost();

// "host" or "host:port": a host name or dotted address of letters, digits,
// "." and "-", or a bracketed IPv6 address; the port a decimal 1..65535.
TARNWICK_EXPORT bool IsValidServiceHost(std::string_view value);

// Stores value as ServiceHost (creating the maker's key); an empty value
// removes it, so that the built-in host applies again. False for a value that
// is not well-formed or when the registry cannot be written.
TARNWICK_EXPORT bool StoreServiceHost(std::string_view value);

} // namespace tarnwick::resources
