#pragma once

#include "tarnwick/dns/DnsUpdateState.h"
#include "tarnwick/logic/TarnwickExport.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick {

// The DNS settings one step works with.
struct TARNWICK_EXPORT DnsNameSettings
{
    enum Kind { Off = 0, UpdateService = 1, DnsServerUpdate = 2 };
    int kind = Off;
    std::string name;
    std::string server;
    std::string user;
    std::string password;
    std::string key;
    std::string checkServer;
    std::string caFile;

    std::string fingerprint() const;
};

// The outcome of one step: current or updated, and the status lines.
struct TARNWICK_EXPORT DnsStepResult
{
    bool current = false;
    // Not current because the update service's stop or wait holds the
    // request back: trying again sooner would not send it either.
    bool heldBack = false;
    std::vector<std::string> lines;
};

// Keeps a name's record current: asks the authoritative server what it
// publishes, and sends an update only when that differs from the address,
// obeying what the update service said before (state, kept across runs).
// At most one request per call. now: seconds since the epoch.
TARNWICK_EXPORT DnsStepResult KeepNameCurrent(const DnsNameSettings& settings, const std::string& address,
                                              DnsUpdateState& state, int64_t now);

// How long the service is left alone after a trouble answer, and how long an
// address it took is not sent again while its servers still publish the old one.
inline constexpr int64_t kDynDnsQuietSeconds = 30 * 60;

} // namespace tarnwick
