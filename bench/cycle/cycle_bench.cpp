// Measures what the redirect cycle costs, in one run, against loopback
// servers: the cycle's own CPU and wall time inside the process (component
// mode, page already current), "tarnwick --once" as a whole process beside
// curl doing one GET of the same page (measured alternately), and the
// headless mode's wake-ups while idle and its anonymous memory after the
// first and the hundredth cycle.
// --settings-only measures just saving the settings: a full save of the
// record in the process and "tarnwick --set" as a whole process.
#include "platform/registry/Registry.h"
#include "tarnwick/cycle/CycleServices.h"
#include "tarnwick/cycle/RedirectCycle.h"
#include "tarnwick/program/ComponentRegistration.h"
#include "tarnwick/program/HeadlessView.h"
#include "tarnwick/settings/CRedirectSettings.h"
#include "tarnwick/settings/ProductKey.h"
#include "testing/FreeTcpPort.h"
#include "testing/NginxServer.h"
#include "testing/TempDir.h"
#include "testing/TempHome.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* kProductKey = "Software\\VELT\\Tarnwick";
constexpr const char* kCurrent = "Webseite ist bereits aktuell und wird nicht erneut hochgeladen...";

struct Options
{
    int cycles = 200;
    int processes = 30;
    int idleSeconds = 60;
    int headlessCycles = 100;
    bool strace = true;
    bool settingsOnly = false;
    std::string program = TARNWICK_PROGRAM;
};

struct ChildResult
{
    int exitCode = -1;
    double cpuMs = 0;
    double maxRssMb = 0;
};

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double ProcessCpuMs()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

pid_t Spawn(const std::vector<std::string>& argv, const std::string& output)
{
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out, 1);
        ::dup2(out, 2);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(out);
    return pid;
}

ChildResult RunMeasured(const std::vector<std::string>& argv, const std::string& output = "/dev/null")
{
    ChildResult result;
    const pid_t pid = Spawn(argv, output);
    int status = 0;
    rusage usage {};
    if (pid > 0 && ::wait4(pid, &status, 0, &usage) == pid) {
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.cpuMs = usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3 + usage.ru_stime.tv_sec * 1e3
            + usage.ru_stime.tv_usec / 1e3;
        result.maxRssMb = usage.ru_maxrss / 1024.0;
    }
    return result;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

int Count(const std::string& text, const std::string& part)
{
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

bool WaitForCount(const std::string& log, const std::string& text, int count, std::chrono::seconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (Count(ReadFile(log), text) < count) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// A field of /proc/<pid>/smaps_rollup in kB ("Anonymous", "Rss").
double SmapsMb(pid_t pid, const std::string& field)
{
    std::istringstream lines(ReadFile("/proc/" + std::to_string(pid) + "/smaps_rollup"));
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(field + ":", 0) == 0)
            return std::stod(line.substr(field.size() + 1)) / 1024.0;
    }
    return -1;
}

// Context switches of every thread of the process: each wake-up is one.
long long ContextSwitches(pid_t pid)
{
    long long total = 0;
    const std::string taskDir = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = ::opendir(taskDir.c_str());
    if (!dir)
        return -1;
    while (dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        std::istringstream lines(ReadFile(taskDir + "/" + entry->d_name + "/status"));
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0 || line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
                total += std::stoll(line.substr(line.find(':') + 1));
        }
    }
    ::closedir(dir);
    return total;
}

// System calls of the process (all threads) over the window, counted by strace -c -f; -1 without strace.
long long CountSystemCalls(pid_t pid, int seconds, const std::string& summary)
{
    if (::access("/usr/bin/strace", X_OK) != 0)
        return -1;
    const pid_t tracer
        = Spawn({"/usr/bin/strace", "-c", "-f", "-o", summary, "-p", std::to_string(pid)}, summary + ".log");
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    ::kill(tracer, SIGINT);
    ::waitpid(tracer, nullptr, 0);
    // The summary's last line: "100.00 <seconds> <usecs/call> <calls> <errors> total".
    std::istringstream lines(ReadFile(summary));
    long long calls = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.find("total") == std::string::npos)
            continue;
        std::istringstream fields(line);
        std::vector<std::string> parts;
        for (std::string part; fields >> part;)
            parts.push_back(part);
        if (parts.size() >= 5) // %time seconds usecs/call calls [errors] total
            calls = std::stoll(parts[3]);
    }
    return calls;
}

// A window that shows nothing, so that only the cycle is measured.
class NullView : public tarnwick::HeadlessView
{
public:
    NullView()
        : tarnwick::HeadlessView(nullptr)
    {
    }
    void AddStatusLine(std::string_view line) override { m_last = line; }

private:
    std::string m_last;
};

void StoreSettings(const std::string& redirectUrl)
{
    tarnwick::EnsureProductKey();
    tarnwick::CRedirectSettings settings;
    settings.LoadFromRegistry(kProductKey);
    settings.SetRedirectUrl(redirectUrl);
    settings.SetWaitTimeInMin(10); // no period tick inside the idle windows
    settings.SetModified(1);
    settings.SaveToRegistry(kProductKey);
}

struct InProcess
{
    double cpuMs = 0;
    double wallMs = 0;
    int notCurrent = 0;
};

InProcess MeasureInProcess(int cycles)
{
    tarnwick::CRedirectSettings settings;
    settings.LoadFromRegistry(kProductKey);
    NullView view;
    QEventLoop loop;
    tarnwick::RedirectCycle::Outcome last {};
    tarnwick::RedirectCycle::Context context;
    tarnwick::RedirectCycle cycle(settings, std::make_shared<tarnwick::CycleServices>(), view, view,
                                  std::move(context));
    QObject::connect(&cycle, &tarnwick::RedirectCycle::cycleEnded, &loop,
                     [&](tarnwick::RedirectCycle::Outcome outcome) {
                         last = outcome;
                         loop.quit();
                     });
    std::vector<double> cpu;
    std::vector<double> wall;
    InProcess result;
    for (int i = 0; i < cycles + 20; ++i) {
        const auto start = Clock::now();
        const double cpuStart = ProcessCpuMs();
        cycle.StartCycle();
        loop.exec();
        const double cpuEnd = ProcessCpuMs();
        const auto end = Clock::now();
        result.notCurrent += last != tarnwick::RedirectCycle::Outcome::AlreadyCurrent;
        if (i < 20)
            continue; // warm-up
        cpu.push_back(cpuEnd - cpuStart);
        wall.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    result.cpuMs = Median(cpu);
    result.wallMs = Median(wall);
    return result;
}

double WallMs(Clock::time_point since)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

// A full save (every field written, as at exit or after the settings sheet)
// and "tarnwick --set" of one value: median wall time and CPU of each.
void MeasureSettingsSaving(const std::string& program, int saves, int processes)
{
    tarnwick::EnsureProductKey();
    std::vector<double> saveWall;
    std::vector<double> saveCpu;
    for (int i = 0; i < saves + 5; ++i) {
        tarnwick::CRedirectSettings settings;
        settings.LoadFromRegistry(kProductKey);
        settings.SetUserName("benutzer" + std::to_string(i));
        const double cpu = ProcessCpuMs();
        const auto start = Clock::now();
        settings.SaveToRegistry(kProductKey);
        if (i < 5)
            continue;
        saveWall.push_back(WallMs(start));
        saveCpu.push_back(ProcessCpuMs() - cpu);
    }
    std::vector<double> setWall;
    std::vector<double> setCpu;
    int setFailures = 0;
    for (int i = 0; i < processes + 2; ++i) {
        const auto start = Clock::now();
        const ChildResult set = RunMeasured({program, "--set", "UserName=cmd" + std::to_string(i)});
        if (i < 2)
            continue;
        setFailures += set.exitCode != 0;
        setWall.push_back(WallMs(start));
        setCpu.push_back(set.cpuMs);
    }
    std::printf("\n%-44s %12s %12s\n", "settings saving (median)", "wall", "CPU");
    std::printf("%-44s %9.3f ms %9.3f ms\n", "full save of the record, in the process", Median(saveWall),
                Median(saveCpu));
    std::printf("%-44s %9.3f ms %9.3f ms\n", "tarnwick --set UserName=..., whole process", Median(setWall),
                Median(setCpu));
    std::printf("Checks: %d of %d --set runs failed\n", setFailures, processes);
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto next = [&] { return i + 1 < argc ? std::atoi(argv[++i]) : 0; };
        if (arg == "--cycles")
            options.cycles = std::max(1, next());
        else if (arg == "--processes")
            options.processes = std::max(1, next());
        else if (arg == "--idle-seconds")
            options.idleSeconds = std::max(1, next());
        else if (arg == "--headless-cycles")
            options.headlessCycles = std::max(2, next());
        else if (arg == "--no-strace")
            options.strace = false;
        else if (arg == "--settings-only")
            options.settingsOnly = true;
        else if (arg == "--program" && i + 1 < argc)
            options.program = argv[++i];
        else {
            std::fprintf(stderr,
                         "usage: cycle_bench [--cycles N] [--processes N] [--idle-seconds S] "
                         "[--headless-cycles N] [--no-strace] [--settings-only] [--program PATH]\n");
            return 2;
        }
    }

    velt::testing::TempHome home;
    if (options.settingsOnly) {
        MeasureSettingsSaving(options.program, options.cycles, options.processes);
        return 0;
    }
    velt::testing::TempDir work;
    velt::testing::NginxServer nginx;
    // The published page already leads to the redirect address the cycle composes.
    nginx.writeFile("index.htm",
                    "<html><head><meta http-equiv=\"refresh\" content=\"0; URL=http://127.0.0.1/\"></head></html>\n");
    const std::string pageUrl = nginx.url("/index.htm");
    StoreSettings(pageUrl);
    const std::string& program = options.program;
    std::string error;
    if (!tarnwick::EnsureComponentRegistered(program.substr(0, program.rfind('/') + 1), &error)) {
        std::fprintf(stderr, "component not registered: %s\n", error.c_str());
        return 1;
    }

    std::printf("Measuring %d cycles inside the process ...\n", options.cycles);
    std::fflush(stdout);
    InProcess inProcess;
    {
        QCoreApplication application(argc, argv);
        inProcess = MeasureInProcess(options.cycles);
    }

    std::printf("Measuring %d runs of \"tarnwick --once\" and of curl, alternately ...\n", options.processes);
    std::fflush(stdout);
    std::vector<double> onceCpu;
    std::vector<double> curlCpu;
    double onceRss = 0;
    int onceFailures = 0;
    for (int i = 0; i < options.processes + 2; ++i) {
        const ChildResult once = RunMeasured({program, "--once"});
        const ChildResult curl = RunMeasured({"/usr/bin/curl", "-s", "-o", "/dev/null", pageUrl});
        if (i < 2)
            continue; // warm-up
        onceFailures += once.exitCode != 0;
        onceCpu.push_back(once.cpuMs);
        curlCpu.push_back(curl.cpuMs);
        onceRss = std::max(onceRss, once.maxRssMb);
    }

    std::printf("Measuring the headless mode: idle windows of %d s, then %d cycles ...\n", options.idleSeconds,
                options.headlessCycles);
    std::fflush(stdout);
    const std::string log = work.file("headless.log");
    const pid_t headless = Spawn({program, "--headless"}, log);
    double anonFirst = -1;
    double anonLast = -1;
    double rssLast = -1;
    long long switches = -1;
    long long systemCalls = -1;
    if (WaitForCount(log, kCurrent, 1, std::chrono::seconds(30))) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500)); // the worker has ended
        anonFirst = SmapsMb(headless, "Anonymous");
        const long long before = ContextSwitches(headless);
        std::this_thread::sleep_for(std::chrono::seconds(options.idleSeconds));
        switches = ContextSwitches(headless) - before;
        if (options.strace)
            systemCalls = CountSystemCalls(headless, options.idleSeconds, work.file("strace.txt"));
        for (int i = 2; i <= options.headlessCycles; ++i) {
            RunMeasured({program, "/execnow"});
            if (!WaitForCount(log, kCurrent, i, std::chrono::seconds(30)))
                break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        anonLast = SmapsMb(headless, "Anonymous");
        rssLast = SmapsMb(headless, "Rss");
    }
    ::kill(headless, SIGTERM);
    int status = 0;
    ::waitpid(headless, &status, 0);
    const int cyclesSeen = Count(ReadFile(log), kCurrent);

    const double onceMs = Median(onceCpu);
    const double curlMs = Median(curlCpu);
    const double perMinute = 60.0 / options.idleSeconds;
    std::printf("\n%-44s %12s %14s\n", "figure (loopback)", "tarnwick", "goal");
    std::printf("%-44s %9.3f ms %14s\n", "cycle CPU inside the process, median", inProcess.cpuMs, "<= 0.5 ms");
    std::printf("%-44s %9.3f ms %14s\n", "cycle wall time, median", inProcess.wallMs, "< 10 ms");
    std::printf("%-44s %9.2f ms %14s\n", "one-shot process CPU (--once), median", onceMs, "<= 2x curl");
    std::printf("%-44s %9.2f ms %14s\n", "  curl GET of the same page, measured alongside", curlMs, "-");
    std::printf("%-44s %9.2f x  %14s\n", "  ratio --once / curl", curlMs > 0 ? onceMs / curlMs : 0.0, "<= 2");
    std::printf("%-44s %9.1f MB %14s\n", "one-shot peak RSS", onceRss, "-");
    std::printf("%-44s %12.0f %14s\n", "headless idle wake-ups per 60 s (ctxt sw.)",
                switches < 0 ? -1.0 : static_cast<double>(switches) * perMinute, "0");
    std::printf("%-44s %12.0f %14s\n", "headless idle system calls per 60 s (strace)",
                systemCalls < 0 ? -1.0 : static_cast<double>(systemCalls) * perMinute, "0");
    std::printf("%-44s %9.2f MB %14s\n", "headless anonymous memory after 1 cycle", anonFirst, "-");
    std::printf("%-44s %9.2f MB %14s\n", "headless anonymous memory after all cycles", anonLast, "<= 4 MB");
    std::printf("%-44s %9.2f MB %14s\n", "  growth from the first cycle", anonLast - anonFirst, "<= 0.5 MB");
    std::printf("%-44s %9.1f MB %14s\n", "headless RSS after all cycles", rssLast, "-");
    std::printf("\nReference: a bare QCoreApplication with libcurl has 16.7 MB RSS (1.8 MB anonymous).\n");
    std::printf("Checks: %d of %d in-process cycles not current, %d of %d --once runs failed, "
                "%d headless cycles, headless exit %d\n",
                inProcess.notCurrent, options.cycles + 20, onceFailures, options.processes, cyclesSeen,
                WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    const bool ok = inProcess.notCurrent == 0 && onceFailures == 0 && cyclesSeen >= options.headlessCycles;
    return ok ? 0 : 1;
}
