#pragma once

#include <memory>
#include <string>

namespace tarnwick {

class CycleServices;

// What the settings sheet takes from the running program: the application
// object's texts and the session's services (the connection test's transfer
// object, the dial-up functions of the auto-dial page).
struct SheetEnvironment
{
    std::string clientIpUrl; // the address service, for the connection test
    std::string programDirectory; // ends in "/"
    std::string title; // the product title, for the update starter
    std::string version;
    std::shared_ptr<CycleServices> services;
};

} // namespace tarnwick
