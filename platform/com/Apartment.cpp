#include "platform/com/Apartment.h"

#include <atomic>

namespace platform::com {

namespace {

// Threads that entered the multithreaded apartment.
std::atomic<int> g_mtaThreads {0};

struct ThreadApartment
{
    int count = 0;
    bool multithreaded = false;
    // A thread that ends without its last CoUninitialize still leaves the MTA.
    ~ThreadApartment()
    {
        if (count > 0 && multithreaded)
            --g_mtaThreads;
    }
};

thread_local ThreadApartment t_apartment;

} // namespace

HRESULT EnterApartment(DWORD coInit)
{
    const bool multithreaded = (coInit & COINIT_APARTMENTTHREADED) == 0;
    ThreadApartment& apartment = t_apartment;
    if (apartment.count > 0) {
        if (apartment.multithreaded != multithreaded)
            return RPC_E_CHANGED_MODE;
        ++apartment.count;
        return S_FALSE;
    }
    apartment.count = 1;
    apartment.multithreaded = multithreaded;
    if (multithreaded)
        ++g_mtaThreads;
    return S_OK;
}

void LeaveApartment()
{
    ThreadApartment& apartment = t_apartment;
    if (apartment.count == 0)
        return;
    if (--apartment.count == 0 && apartment.multithreaded)
        --g_mtaThreads;
}

bool InApartment()
{
    return t_apartment.count > 0 || g_mtaThreads.load() > 0;
}

} // namespace platform::com
