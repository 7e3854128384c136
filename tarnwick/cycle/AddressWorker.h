#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include "tarnwick/cycle/WorkerThreadHandle.h"
#include "tarnwick/dialup/DialSession.h"
#include "tarnwick/messages/MessageTarget.h"

#include <memory>
#include <string>

namespace tarnwick {

// What one run of the address worker needs, copied from the settings on the
// user-interface thread when the run starts (so the worker never reads the
// live record while the window changes it).
class CycleServices;

struct TARNWICK_EXPORT AddressJob
{
    std::shared_ptr<CycleServices> services; // the transfer object and the dial-up functions
    int autoDial = 0;
    DialRequest dial; // AutoDialConnection, AutoDialUsername, AutoDialPW
    int clientIpByServer = 0;
    std::string redirectUrl;
    std::string testUrl; // where the component's test connection goes; empty: redirectUrl
    std::string clientIpUrl; // the address service (string 102)
    int addressFamily = 4; // 4 or 6: the family of the published address
    std::string ipv6InterfaceId; // with 6: replaces the lower 64 bits; "" for none
    DialSessionFactory dialSessions;
    DialStatusSink dialStatus;
    std::shared_ptr<MessageTarget> window;
    std::shared_ptr<WorkerThreadHandle> thread;
};

// The address worker's thread function: dials first when it must, finds the
// local and the remote address through the address service or the network
// component, reports them with WM_ADDRESS_FOUND and ends with exactly one
// posted WM_ADDRESSES_DONE (wParam 1 when the local address was found).
TARNWICK_EXPORT void AddressWorker(AddressJob job);

// The component branch alone, on the calling thread: TestConnect to url, then
// SocketAddress and PeerAddress. Failures become one error line. True when
// the local address was found.
// With family 6 the test connection goes to the server's IPv6 address and
// the local address is the computer's stable global address on that
// connection's network (interfaceId joined to its /64 prefix when given);
// with 4 only the server's IPv4 address is used.
TARNWICK_EXPORT bool FindAddressesWithComponent(const std::string& url, MessageTarget& window, int family = 4,
                                                const std::string& interfaceId = {});

} // namespace tarnwick
