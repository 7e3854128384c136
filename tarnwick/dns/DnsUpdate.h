#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include <string>

namespace tarnwick {

// The outcome of one signed DNS UPDATE.
struct TARNWICK_EXPORT DnsUpdateResult
{
    bool updated = false;
    std::string text; // the German status line
};

// Replaces the name's record set of the address's type (A or AAAA) at the
// primary server with the address, TTL 60, in an UPDATE for the zone the
// server's SOA answer names, signed with the TSIG key ("alg:name:secret").
// The answer counts as success only with NOERROR and a valid signature.
TARNWICK_EXPORT DnsUpdateResult SendDnsUpdate(const std::string& name, const std::string& address,
                                              const std::string& server, const std::string& key);

// The German text of an answer's RCODE and TSIG error (0 when none).
TARNWICK_EXPORT std::string DnsUpdateAnswerText(int rcode, int tsigError);

} // namespace tarnwick
