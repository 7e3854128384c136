#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include <functional>
#include <memory>
#include <string>

namespace tarnwick {

class CycleServices;

// The settings sheet's connection test: asks the address service at url
// through the program's transfer object, on a thread of its own, so the
// window goes on while the service answers and the transfer's status texts
// reach it as a cycle's do. A cycle step that still uses the transfer object
// (a cancelled one ends soon) is waited for first, at most kBusyWait; the
// test is a new operation, so an earlier cancel does not fail it. The service
// is asked over the address family the cycle uses (4 or 6). done gets whether
// the service answered with an address, on the test's thread.
class TARNWICK_EXPORT ConnectionTest
{
public:
    static constexpr int kBusyWaitMs = 10000;

    static void Start(std::shared_ptr<CycleServices> services, std::string url, int family,
                      std::function<void(bool)> done);
};

} // namespace tarnwick
