#pragma once

#include "tarnwick/dns/DnsValueRules.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct ldns_struct_pkt;

namespace tarnwick {

// One DNS message sent to one server and its answer, through ldns: the query
// goes to each address the server's name has until one answers.
struct DnsAnswer
{
    // The parsed answer, null when none came; then error says why (German).
    std::shared_ptr<ldns_struct_pkt> packet;
    // The answer as received, for verifying its signature.
    std::vector<uint8_t> wire;
    std::string error;
};

// Sends the packet's wire form; over TCP when asked or when the UDP answer was
// truncated. An answer whose id differs from the query's is no answer.
DnsAnswer ExchangeDnsMessage(const DnsEndpoint& server, ldns_struct_pkt* query, bool tcp,
                             std::chrono::seconds timeout = std::chrono::seconds(5));

// The server as it appears in status lines ("host:port").
std::string DescribeEndpoint(const DnsEndpoint& server);

} // namespace tarnwick
