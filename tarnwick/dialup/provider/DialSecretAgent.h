#pragma once

#include "tarnwick/dialup/provider/LibNm.h"

#include <string>

namespace rasprovider {

// A secret agent that answers NetworkManager's secret requests for one
// profile with the password given in the dial parameters, for the life of one
// dial. It never stores anything: save and delete requests are acknowledged
// and ignored, so the password is not written into the profile.
// Made and used on the provider's thread (its main context is that thread's);
// the caller initialises it asynchronously (g_async_initable_init_async),
// which registers it with NetworkManager.
NMSecretAgentOld* NewDialSecretAgent(GDBusConnection* bus, const std::string& connectionPath,
                                     const std::string& password);

} // namespace rasprovider
