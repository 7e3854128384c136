// Measures what one transfer costs on loopback: wall time and CPU time per
// GetPage and per ReadRedirectTarget, against curl doing the same GET as a
// whole process, the same over https (a certificate made here), and how long
// a blocked GetPage takes to end after Cancel, also inside a TLS handshake.
#include "tarnwick/messages/MessageTarget.h"
#include "tarnwick/transfer/CInternetTransfer.h"
#include "testing/NginxServer.h"
#include "testing/FreeTcpPort.h"
#include "testing/TcpPeer.h"
#include "testing/TestCertificates.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <future>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Receives the status texts as the main window would, copying each.
class CopyingWindow : public tarnwick::MessageTarget
{
public:
    intptr_t SendMessage(uint32_t, uintptr_t, intptr_t lParam) override
    {
        m_last = reinterpret_cast<const char*>(lParam);
        return 0;
    }
    void PostMessage(uint32_t, uintptr_t, intptr_t) override { }

private:
    std::string m_last;
};

struct Sample
{
    double wallMs;
    double cpuMs;
};

double ProcessCpuMs()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

template<typename Call>
Sample MedianOf(int runs, Call call)
{
    std::vector<double> wall;
    std::vector<double> cpu;
    for (int i = 0; i < runs; ++i) {
        const double cpuBefore = ProcessCpuMs();
        const auto wallBefore = Clock::now();
        if (!call()) {
            std::fprintf(stderr, "call %d failed\n", i);
            std::exit(2);
        }
        wall.push_back(std::chrono::duration<double, std::milli>(Clock::now() - wallBefore).count());
        cpu.push_back(ProcessCpuMs() - cpuBefore);
    }
    return {Median(wall), Median(cpu)};
}

// curl as a whole process: wall time and the child's user + system time.
bool RunCurl(const std::string& url, double& cpuMs, const std::string& caFile = {})
{
    pid_t pid = fork();
    if (pid == 0) {
        int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, 1);
        dup2(devNull, 2);
        if (caFile.empty())
            execl("/usr/bin/curl", "curl", "-s", "--noproxy", "*", "-o", "/dev/null", url.c_str(), nullptr);
        else
            execl("/usr/bin/curl", "curl", "-s", "--noproxy", "*", "--cacert", caFile.c_str(), "-o", "/dev/null",
                  url.c_str(), nullptr);
        _exit(127);
    }
    int status = 0;
    rusage usage {};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid)
        return false;
    cpuMs = usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3 + usage.ru_stime.tv_sec * 1e3
        + usage.ru_stime.tv_usec / 1e3;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const velt::testing::TestCertificates certificates;
    const uint16_t securePort = velt::testing::FreeTcpPort();
    velt::testing::NginxServer nginx({}, "server { listen 127.0.0.1:" + std::to_string(securePort) + " ssl;\n"
                                             "  ssl_certificate " + certificates.good().certificate
                                             + "; ssl_certificate_key " + certificates.good().key
                                             + ";\n  root ./html; }\n");
    nginx.writeFile("index.htm",
                    "<html><head>\r\n<meta http-equiv=\"refresh\" content=\"0; "
                    "url=http://192.0.2.7:8080/\">\r\n</head></html>\r\n");
    const std::string url = nginx.url("/index.htm");
    const std::string secureUrl = "https://127.0.0.1:" + std::to_string(securePort) + "/index.htm";

    CopyingWindow window;
    tarnwick::CInternetTransfer transfer;
    transfer.SetMessageWindow(&window);
    transfer.SetCaFile(certificates.caFile());
    std::string text;
    for (int i = 0; i < 5; ++i)
        transfer.GetPage(text, url);

    const Sample getPage = MedianOf(runs, [&] { return transfer.GetPage(text, url); });
    const Sample redirect = MedianOf(runs, [&] { return transfer.ReadRedirectTarget(text, url); });
    std::vector<double> curlCpu;
    const Sample curl = MedianOf(runs, [&] {
        double cpu = 0;
        bool ok = RunCurl(url, cpu);
        curlCpu.push_back(cpu);
        return ok;
    });
    const double curlProcessCpu = Median(curlCpu);

    const Sample secure = MedianOf(runs, [&] { return transfer.ReadRedirectTarget(text, secureUrl); });
    std::vector<double> curlSecureCpu;
    const Sample curlSecure = MedianOf(runs, [&] {
        double cpu = 0;
        bool ok = RunCurl(secureUrl, cpu, certificates.caFile());
        curlSecureCpu.push_back(cpu);
        return ok;
    });
    const double curlSecureProcessCpu = Median(curlSecureCpu);

    // Cancel: a GetPage blocked on a server that never answers.
    std::vector<double> cancelMs;
    // The second half hangs in the TLS handshake instead of the response.
    velt::testing::TcpPeer silent(velt::testing::TcpPeer::Mode::Silent);
    const std::string silentSecure = "https://127.0.0.1:" + std::to_string(silent.port()) + "/";
    for (int i = 0; i < 40; ++i) {
        transfer.Cancel(false);
        auto result = std::async(std::launch::async, [&] {
            std::string page;
            return transfer.GetPage(page, i < 20 ? silent.url("/") : silentSecure);
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        const auto start = Clock::now();
        transfer.Cancel(true);
        result.wait();
        cancelMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }

    std::printf("%d calls each against nginx on 127.0.0.1\n\n", runs);
    std::printf("%-28s %12s %12s\n", "median per call", "wall ms", "CPU ms");
    std::printf("%-28s %12.3f %12.3f\n", "GetPage", getPage.wallMs, getPage.cpuMs);
    std::printf("%-28s %12.3f %12.3f\n", "ReadRedirectTarget", redirect.wallMs, redirect.cpuMs);
    std::printf("%-28s %12.3f %12.3f\n", "curl (whole process)", curl.wallMs, curlProcessCpu);
    std::printf("%-28s %12.3f %12.3f\n", "ReadRedirectTarget https", secure.wallMs, secure.cpuMs);
    std::printf("%-28s %12.3f %12.3f\n", "curl https (whole process)", curlSecure.wallMs, curlSecureProcessCpu);
    std::printf("\ncancel of a blocked GetPage: median %.3f ms, slowest %.3f ms (of %zu)\n", Median(cancelMs),
                *std::max_element(cancelMs.begin(), cancelMs.end()), cancelMs.size());

    const bool cpuOk = getPage.cpuMs < curlProcessCpu && redirect.cpuMs < curlProcessCpu;
    const bool secureOk = secure.cpuMs <= 2 * curlSecureProcessCpu;
    const bool wallOk = getPage.wallMs < 5.0 && redirect.wallMs < 5.0;
    const bool cancelOk = *std::max_element(cancelMs.begin(), cancelMs.end()) < 100.0;
    std::printf("\nCPU per call below curl's process CPU: %s\n", cpuOk ? "yes" : "NO");
    std::printf("wall time per call below 5 ms:         %s\n", wallOk ? "yes" : "NO");
    std::printf("https check at most twice curl's CPU:  %s\n", secureOk ? "yes" : "NO");
    std::printf("every cancel within 100 ms:            %s\n", cancelOk ? "yes" : "NO");
    return cpuOk && wallOk && secureOk && cancelOk ? 0 : 1;
}
