#pragma once

#include "tarnwick/dialup/RasFunctionTable.h"
#include "tarnwick/logic/TarnwickExport.h"
#include "tarnwick/transfer/CInternetTransfer.h"

namespace tarnwick {

// The services of one running program that its cycle, its dials and its
// settings pages use: the transfer object (g_transfer of the design) and the
// dial-up functions (the RasFunctionTable). The program session owns them and
// shares them with each worker, so a worker still blocked in the network at
// exit never reaches a transfer object or a provider library that is gone.
class TARNWICK_EXPORT CycleServices
{
public:
    CycleServices();
    ~CycleServices(); // the dial-up library goes
    CycleServices(const CycleServices&) = delete;
    CycleServices& operator=(const CycleServices&) = delete;

    // The dial-up functions, once, when a provider is there. The provider
    // brings NetworkManager's client library and GLib with it, so only what
    // can dial loads it: the window (its auto-dial page) and a run with
    // AutoDial on. Called on the user-interface thread before a worker reads
    // the table.
    void LoadDialUp();

    CInternetTransfer m_transfer;
    RasFunctionTable m_rasFunctions;

private:
    bool m_bDialUpLoadTried = false;
};

} // namespace tarnwick
