#pragma once

#include "tarnwick/dialup/RasRecords.h"

#include <cstdint>
#include <string>
#include <vector>

namespace rasprovider {

// What the provider tells about one profile.
struct EntryDetails
{
    std::string name;
    std::string deviceType;
    std::string deviceName;
    std::string phoneNumber;
    std::string userName;
};

// One active (or activating) profile.
struct ActiveDetails
{
    uint32_t handle = 0;
    std::string name;
    std::string deviceType;
    std::string deviceName;
};

struct StatusDetails
{
    uint32_t state = 0;
    uint32_t error = 0;
    std::string deviceType;
    std::string deviceName;
    std::string phoneNumber;
};

// The remote-access functions over NetworkManager. libnm's objects belong to
// the main context of the thread that made them, while the callers come from
// any thread: so one thread of the provider with a private main context
// owns every libnm object, each call is handed to it and waited for (a few
// seconds at most), and every notification starts there. The notifier
// itself runs on a second thread of the provider, so a notifier that blocks
// (a message box) stalls neither NetworkManager's events nor other calls.
// Results are RAS codes (RasRecords.h).
class Provider
{
public:
    static Provider& Instance();

    uint32_t EnumEntries(std::vector<std::string>& names);
    uint32_t FindEntry(const std::string& name, EntryDetails& details);
    uint32_t GetCredentials(const std::string& name, std::string& userName, std::string& password, bool& havePassword);
    uint32_t EnumConnections(std::vector<ActiveDetails>& connections);
    uint32_t Dial(const std::string& name, const std::string& password, RASDIALFUNC notifier, uint32_t& handle);
    uint32_t GetStatus(uint32_t handle, StatusDetails& status);
    uint32_t HangUp(uint32_t handle);

private:
    Provider();
    struct Impl;
    Impl* m_impl; // lives as long as the process (the library is never unloaded)
};

} // namespace rasprovider
