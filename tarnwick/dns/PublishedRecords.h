#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include <string>
#include <vector>

namespace tarnwick {

// What a name's authoritative server publishes for it now: asked directly,
// without recursion, and only an authoritative answer counts. A caching
// resolver could show a record that is no longer published.
struct TARNWICK_EXPORT PublishedRecords
{
    bool answered = false; // an authoritative answer came (an empty one too)
    std::vector<std::string> addresses; // the record set, canonical text
    std::string server; // who answered, "host:port"
    std::string error; // German, when no authoritative answer came
};

// The name's records of type ("A" or "AAAA"). checkServer: "host[:port]" to
// ask; empty: the zone's NS servers, found through the system's resolver.
TARNWICK_EXPORT PublishedRecords LookUpPublished(const std::string& name, const std::string& type,
                                                 const std::string& checkServer);

// The zone a name belongs to, as the server's SOA answer names it (answer or
// authority section); empty with error set when the server gave none.
TARNWICK_EXPORT std::string FindZone(const std::string& name, const std::string& server, std::string& error);

} // namespace tarnwick
