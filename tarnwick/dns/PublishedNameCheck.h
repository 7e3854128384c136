#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include <functional>
#include <string>

namespace tarnwick {

// What a name resolves to now at its authoritative server, A and AAAA, told
// in German for the settings page's check. The page asks with the values it
// shows, saved or not.
struct TARNWICK_EXPORT PublishedNameReport
{
    bool answered = false; // at least one of the two record sets came authoritatively
    std::string text; // the records found, or why the server could not be asked
};

// Asks the server (checkServer "host[:port]", or the zone's NS servers when
// empty) and waits for its answers.
TARNWICK_EXPORT PublishedNameReport CheckPublishedName(const std::string& name, const std::string& checkServer);

// The same on a thread of its own, so a window goes on while the servers
// answer; done gets the report on that thread.
TARNWICK_EXPORT void StartPublishedNameCheck(std::string name, std::string checkServer,
                                             std::function<void(PublishedNameReport)> done);

} // namespace tarnwick
