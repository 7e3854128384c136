#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

// What the DNS settings accept: names, host[:port] and TSIG keys, parsed once
// here so that the command line, the pages and the cycle agree.

// A host and port to send DNS messages or HTTP requests to.
struct TARNWICK_EXPORT DnsEndpoint
{
    std::string host; // a name, a dotted IPv4 address or an IPv6 address without brackets
    uint16_t port = 0;
};

// A TSIG key: the algorithm as ldns names it ("hmac-sha256."), the key's name
// and its secret in base64.
struct TARNWICK_EXPORT TsigKey
{
    std::string algorithm;
    std::string name;
    std::string secret;
};

// A fully qualified name: at least two labels of letters, digits and inner
// hyphens (1..63 bytes each, 253 in all), a final dot allowed, the last label
// not a number.
TARNWICK_EXPORT bool IsValidDnsName(std::string_view name);

// "host", "host:port", "[ipv6]:port" or a bare IPv6 address; nullopt for
// anything else or a port outside 1..65535.
TARNWICK_EXPORT std::optional<DnsEndpoint> ParseDnsEndpoint(std::string_view text, uint16_t defaultPort);

// An update service's address: https unless "http://" names a loopback host.
struct TARNWICK_EXPORT DynDnsServer
{
    DnsEndpoint endpoint;
    bool tls = true;
};

// "host[:port]", "https://host[:port]" (port 443 unless named) or
// "http://host[:port]" with a loopback host (port 80 unless named).
TARNWICK_EXPORT std::optional<DynDnsServer> ParseDynDnsServer(std::string_view text);

// Where a connection test reaches the DNS server of the kind (1 update
// service, 2 primary server): "http(s)://host:port/"; empty when the server
// does not parse.
TARNWICK_EXPORT std::string DnsServerTestUrl(int kind, std::string_view server);

// "hmac-sha256:keyname:base64secret" (also hmac-sha512); nullopt otherwise.
TARNWICK_EXPORT std::optional<TsigKey> ParseTsigKey(std::string_view text);

// The record type an address is published under: "A" for a dotted IPv4
// address, "AAAA" for an IPv6 address, empty for anything else.
TARNWICK_EXPORT std::string RecordTypeOf(std::string_view address);

// The address in the form the name server prints it (IPv6 per RFC 5952);
// empty when it is not an address.
TARNWICK_EXPORT std::string CanonicalAddress(std::string_view address);

// The German refusal of a DNS setting's value; nullopt when it is taken or the
// name is not one of the checked DNS settings.
TARNWICK_EXPORT std::optional<std::string> CheckDnsValue(std::string_view settingName, std::string_view value);

} // namespace tarnwick
