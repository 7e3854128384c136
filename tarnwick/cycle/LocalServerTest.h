#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include <string>

namespace tarnwick {

class CRedirectSettings;

// The redirect-to page's test of the local server: a TCP connection through
// the network component to the redirect address, with the component's
// one-second limit. The caller waits at most about two seconds, also when a
// host name takes longer to resolve.
struct TARNWICK_EXPORT LocalServerTestResult
{
    bool ok = false;
    std::string statusText; // for the page's server status field; empty clears it
};

// Tests the redirect address composed from the settings (LocalServerName
// must not be empty; the page checks that first).
TARNWICK_EXPORT LocalServerTestResult TestLocalServerConnection(const CRedirectSettings& settings);

} // namespace tarnwick
