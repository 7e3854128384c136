#include "tarnwick/cycle/ConnectionTest.h"

#include "tarnwick/cycle/CycleServices.h"

#include <chrono>
#include <thread>

namespace tarnwick {

void ConnectionTest::Start(std::shared_ptr<CycleServices> services, std::string url, int family,
                           std::function<void(bool)> done)
{
    // The thread keeps the services alive; its answer goes nowhere once done's receiver is gone.
    std::thread([services = std::move(services), url = std::move(url), family, done = std::move(done)] {
        CInternetTransfer& transfer = services->m_transfer;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyWaitMs);
        while (transfer.IsBusy() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        transfer.Cancel(false);
        std::string address;
        const bool reached = transfer.ReadClientAddress(address, url, family);
        if (done)
            done(reached);
    }).detach();
}

} // namespace tarnwick
