// Measures what the component adds to a connection test and whether objects leak:
//  1. TestConnect on loopback against a bare connect()+close() in the same
//     process: the median overhead per call must stay below 200 microseconds.
//  2. 10,000 create/call/release cycles: resident memory must stay within 1 MB.
// Usage: corvane_bench [module path]. Exit code 0 when both targets are met.
#include "corvanecom/CorvaneIds.h"
#include "corvanecom/IVELTCorvane.h"
#include "platform/com/BStr.h"
#include "platform/com/ComApi.h"
#include "platform/com/ComPtr.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <dlfcn.h>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

constexpr int kConnectRounds = 2000;
constexpr int kWarmUpRounds = 200;
constexpr int kLeakCycles = 10000;
constexpr double kMaxOverheadUs = 200.0;
constexpr long kMaxGrowthKb = 1024;

// Accepts and closes connections on 127.0.0.1 until stopped.
class LoopbackListener
{
public:
    LoopbackListener()
    {
        m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_fd < 0 || bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
            || listen(m_fd, 1024) != 0 || getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            std::perror("listen");
            std::exit(2);
        }
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { Run(); });
    }
    ~LoopbackListener()
    {
        m_stop = true;
        m_thread.join();
        close(m_fd);
    }
    uint16_t Port() const { return m_port; }

private:
    void Run()
    {
        while (!m_stop) {
            pollfd pfd {m_fd, POLLIN, 0};
            if (poll(&pfd, 1, 50) == 1) {
                const int client = accept(m_fd, nullptr, nullptr);
                if (client >= 0)
                    close(client);
            }
        }
    }

    int m_fd = -1;
    uint16_t m_port = 0;
    std::atomic<bool> m_stop {false};
    std::thread m_thread;
};

double MedianUs(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

double BareConnectUs(uint16_t port)
{
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const auto start = Clock::now();
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        std::perror("connect");
        std::exit(2);
    }
    close(fd);
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

long ResidentKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

struct Module
{
    using GetClassObjectFn = HRESULT (*)(REFCLSID, REFIID, void**);
    void* handle = nullptr;
    GetClassObjectFn getClassObject = nullptr;

    ComPtr<IVELTCorvane> Create() const
    {
        ComPtr<IClassFactory> factory;
        ComPtr<IVELTCorvane> object;
        if (FAILED(getClassObject(corvane::CLSID_VELTCorvane, IID_IClassFactory, factory.PutVoid()))
            || FAILED(factory->CreateInstance(nullptr, corvane::IID_IVELTCorvane, object.PutVoid()))) {
            std::fprintf(stderr, "cannot create the object\n");
            std::exit(2);
        }
        return object;
    }
};

// One cycle as a script makes it: create, a successful call, a failing call
// with its error object, a text property, release.
void CreateCallRelease(const Module& module, BSTR url)
{
    ComPtr<IVELTCorvane> object = module.Create();
    object->put_TimeoutInSec(1);
    LONG ok = 0;
    object->TestConnect(url, &ok);
    object->put_TimeoutInSec(99);
    IErrorInfo* error = nullptr;
    if (GetErrorInfo(0, &error) == S_OK && error)
        error->Release();
    BSTR address = nullptr;
    if (SUCCEEDED(object->get_SocketAddress(&address)))
        SysFreeString(address);
}

} // namespace

int main(int argc, char** argv)
{
    const char* path = argc > 1 ? argv[1] : CORVANECOM_MODULE_PATH;
    Module module;
    module.handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!module.handle) {
        std::fprintf(stderr, "cannot load %s: %s\n", path, dlerror());
        return 2;
    }
    module.getClassObject = reinterpret_cast<Module::GetClassObjectFn>(dlsym(module.handle, "DllGetClassObject"));
    if (!module.getClassObject)
        return 2;

    LoopbackListener listener;
    const BStr url = BStr::FromAnsi("http://127.0.0.1:" + std::to_string(listener.Port()) + "/");
    ComPtr<IVELTCorvane> object = module.Create();

    // Interleaved, so that both see the same state of the machine.
    std::vector<double> bare;
    std::vector<double> component;
    for (int i = 0; i < kWarmUpRounds + kConnectRounds; ++i) {
        const double bareUs = BareConnectUs(listener.Port());
        LONG ok = 0;
        const auto start = Clock::now();
        if (object->TestConnect(url.Get(), &ok) != S_OK || ok != 1) {
            std::fprintf(stderr, "TestConnect failed in round %d\n", i);
            return 1;
        }
        const double componentUs = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
        if (i >= kWarmUpRounds) {
            bare.push_back(bareUs);
            component.push_back(componentUs);
        }
    }
    object.Reset();
    const double bareMedian = MedianUs(bare);
    const double componentMedian = MedianUs(component);
    const double overhead = componentMedian - bareMedian;
    std::printf("TestConnect on loopback, %d calls: median %.1f us; bare connect()+close(): median %.1f us; "
                "overhead %.1f us (target < %.0f us)\n",
                kConnectRounds, componentMedian, bareMedian, overhead, kMaxOverheadUs);

    for (int i = 0; i < 1000; ++i)
        CreateCallRelease(module, url.Get());
    const long before = ResidentKb();
    for (int i = 0; i < kLeakCycles; ++i)
        CreateCallRelease(module, url.Get());
    const long after = ResidentKb();
    std::printf("%d create/call/release cycles: resident memory %ld kB -> %ld kB, growth %ld kB (target <= %ld kB)\n",
                kLeakCycles, before, after, after - before, kMaxGrowthKb);

    const bool fast = overhead < kMaxOverheadUs;
    const bool flat = after - before <= kMaxGrowthKb;
    std::printf("%s\n", fast && flat ? "benchmark targets met" : "BENCHMARK TARGETS MISSED");
    return fast && flat ? 0 : 1;
}
