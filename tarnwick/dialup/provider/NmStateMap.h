#pragma once

// How NetworkManager's view of an activation becomes the progress codes and
// error codes of a dial.
//
// Progress (one notification per change of the code):
//
//   NetworkManager                                   connection state
//   ------------------------------------------------ -------------------------------
//   activation requested                             RASCS_OpenPort        0
//   activation accepted (active connection exists)   RASCS_PortOpened      1
//   device PREPARE (40), or no device yet (VPN)      RASCS_ConnectDevice   2
//   device CONFIG (50)                               RASCS_DeviceConnected 3
//   device NEED_AUTH (60)                            RASCS_Authenticate    5
//   device IP_CONFIG (70)                            RASCS_AuthProject     10
//   device IP_CHECK (80), SECONDARIES (90)           RASCS_Authenticated   14
//   active connection ACTIVATED (2)                  RASCS_Connected       8192
//   active connection DEACTIVATING/DEACTIVATED       RASCS_Disconnected    8193
//     after it was connected
//
// Failures (the notification keeps the last state and carries the code):
//
//   reason of the device (FAILED) or of the active connection (DEACTIVATED)   error
//   ------------------------------------------------------------------------- -----
//   no secrets, login failed, PPP/supplicant authentication, SIM/PIN wrong     691
//   connect/service-start timeout, modem busy/no carrier/no dial tone/dial     678
//     timeout, DHCP or supplicant timeout
//   device missing or removed, modem not found, no device for the profile      633
//   profile removed during the dial                                            623
//   NetworkManager left the bus during the dial                                711
//   any other reason                                                           651

#include <cstdint>
#include <optional>

namespace rasprovider {

// The progress code for a device state; empty for states that are not progress
// (unknown, unmanaged, unavailable, disconnected, activated, deactivating, failed).
std::optional<uint32_t> StateForDevice(uint32_t deviceState);

// The error code for a device's failure reason.
uint32_t ErrorForDeviceReason(uint32_t reason);

// The error code for an active connection that ended while it was activating.
uint32_t ErrorForActiveReason(uint32_t reason);

} // namespace rasprovider
