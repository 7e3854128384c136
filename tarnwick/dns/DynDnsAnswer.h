#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include <string>
#include <string_view>

namespace tarnwick {

// What an update service's answer means for the next requests.
struct TARNWICK_EXPORT DynDnsAnswer
{
    enum class Verdict {
        Done, // good, nochg: the address is taken
        Stop, // the account or the request is wrong: nothing more until the user changes a DNS setting
        Wait, // the service has trouble, or the answer is unknown: nothing for 30 minutes
    };
    Verdict verdict = Verdict::Wait;
    std::string text; // German, for the status line
};

// Reads the HTTP status and the body's first line ("good 192.0.2.1", "badauth", ...).
TARNWICK_EXPORT DynDnsAnswer ReadDynDnsAnswer(int status, std::string_view body);

} // namespace tarnwick
