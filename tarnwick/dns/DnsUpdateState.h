#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include <cstdint>
#include <string>

namespace tarnwick {

// What the update service said lately, kept in the settings store beside the
// settings (not among them, not in backup files) so that a restart or the
// next --once obeys it too. It belongs to the DNS settings it was earned
// with: a change of any of them makes it void.
struct TARNWICK_EXPORT DnsUpdateState
{
    std::string settings; // fingerprint of the DNS settings
    std::string stopReason; // non-empty: no requests until a DNS setting changes
    int64_t waitUntil = 0; // seconds since the epoch: no request before
    std::string sentAddress; // the address the service last took ...
    int64_t sentAt = 0; // ... and when

    bool operator==(const DnsUpdateState&) const = default;

    // The stored state; empty when none is stored.
    static DnsUpdateState Load();
    // False when the store could not be written.
    bool save() const;
};

// The fingerprint of the DNS settings' values (a hash, not the values).
TARNWICK_EXPORT std::string DnsSettingsFingerprint(int kind, const std::string& name, const std::string& server,
                                                   const std::string& user, const std::string& password,
                                                   const std::string& key, const std::string& checkServer);

} // namespace tarnwick
