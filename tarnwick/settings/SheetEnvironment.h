#pragma once

#include <string>

namespace tarnwick {

// What the settings sheet takes from the application object.
struct SheetEnvironment
{
    std::string clientIpUrl; // the address service, for the connection test
    std::string programDirectory; // ends in "/"
    std::string title; // the product title, for the update starter
    std::string version;
};

} // namespace tarnwick
