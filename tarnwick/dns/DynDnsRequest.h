#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include <string>

namespace tarnwick {

// What an update service said to one request.
struct TARNWICK_EXPORT DynDnsReply
{
    int status = -1; // HTTP status; -1 when no answer came
    std::string body; // the first line of the answer's body
    std::string error; // German, when no answer came
};

// One GET /nic/update?hostname=NAME&myip=ADDRESS with Basic authentication,
// over https ("host[:port]" or "https://host[:port]"; "http://" only to a
// loopback address), through the platform's internet session.
TARNWICK_EXPORT DynDnsReply SendDynDnsRequest(const std::string& server, const std::string& name,
                                              const std::string& address, const std::string& user,
                                              const std::string& password, const std::string& caFile);

// The user agent the requests carry: the program and its version.
TARNWICK_EXPORT std::string DynDnsUserAgent();

} // namespace tarnwick
