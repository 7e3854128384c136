#include "tarnwick/cycle/tests/CycleTestSupport.h"
#include "tarnwick/dns/PublishedRecords.h"
#include "tarnwick/dns/tests/BindServer.h"
#include "tarnwick/dns/tests/DynDnsService.h"
#include "tarnwick/settings/CRedirectSettings.h"
#include "tarnwick/settings/ProductKey.h"

#include "platform/registry/Registry.h"
#include "platform/window/TitleSocket.h"
#include "testing/ChildProcess.h"
#include "testing/FreeTcpPort.h"
#include "testing/FtpServer.h"
#include "testing/NginxServer.h"
#include "testing/ScopedEnv.h"
#include "testing/TcpPeer.h"
#include "testing/TempDir.h"
#include "testing/TempHome.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>

using namespace tarnwick;
using velt::testing::ChildProcess;
using velt::testing::FtpServer;
using velt::testing::NginxServer;

namespace {

constexpr const char* kProductKey = "Software\\VELT\\Tarnwick";
constexpr const char* kUploaded = "Datei mit neuer Umleitung wurde erfolgreich an den Server gesendet.";
constexpr const char* kCurrent = "Webseite ist bereits aktuell und wird nicht erneut hochgeladen...";

// Polls until done() holds; false when the time ran out.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(30))
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

int Count(const std::string& text, const std::string& part)
{
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// The real program in a temporary home, against the real web space: nginx
// publishes what pyftpdlib receives.
class TarnwickProcessTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_nginx = std::make_unique<NginxServer>("location /site/ { alias " + m_ftp.home().string() + "/; }\n");
        CRedirectSettings settings;
        ASSERT_TRUE(EnsureProductKey());
        settings.LoadFromRegistry(kProductKey);
        settings.SetRedirectUrl(m_nginx->url("/site/index.htm"));
        settings.SetUploadServer("127.0.0.1");
        settings.SetUploadPort(m_ftp.port());
        settings.SetUserName(m_ftp.user());
        settings.SetPassword(m_ftp.password());
        ASSERT_TRUE(settings.SaveToRegistry(kProductKey));
    }

    void Store(const std::function<void(CRedirectSettings&)>& change)
    {
        CRedirectSettings settings;
        ASSERT_TRUE(settings.LoadFromRegistry(kProductKey));
        change(settings);
        settings.SetModified(1);
        ASSERT_TRUE(settings.SaveToRegistry(kProductKey));
    }

    std::unique_ptr<ChildProcess> Start(std::vector<std::string> args, const std::string& log = "tarnwick.log")
    {
        args.insert(args.begin(), TARNWICK_PROGRAM);
        return std::make_unique<ChildProcess>(args, m_logs.file(log));
    }

    // Runs the program to its end; the exit code, or -1 when it did not end in time.
    int Run(const std::vector<std::string>& args, const std::string& log = "run.log",
            std::chrono::seconds timeout = std::chrono::seconds(30))
    {
        auto process = Start(args, log);
        if (!WaitForExit(*process, timeout))
            return -1;
        return WIFEXITED(process->exitStatus()) ? WEXITSTATUS(process->exitStatus()) : -1;
    }

    static bool WaitForExit(ChildProcess& process, std::chrono::milliseconds timeout)
    {
        return WaitUntil([&] { return !process.running(); }, timeout);
    }

    std::string Log(const std::string& log = "tarnwick.log") const
    {
        return velt::testing::ReadTextFile(m_logs.file(log));
    }

    bool WaitForLog(const std::string& text, int count = 1, const std::string& log = "tarnwick.log")
    {
        return WaitUntil([&] { return Count(Log(log), text) >= count; });
    }

    // Every line on standard output is one time-stamped status line.
    static void ExpectStampedLines(const std::string& log)
    {
        std::istringstream lines(log);
        for (std::string line; std::getline(lines, line);)
            EXPECT_TRUE(tarnwick::test::IsStampedStatusLine(line)) << line;
    }

    velt::testing::TempHome m_home;
    // No desktop: a later plain start writes its notes instead of showing them.
    velt::testing::ScopedEnv m_noX11 {"DISPLAY", std::nullopt};
    velt::testing::ScopedEnv m_noWayland {"WAYLAND_DISPLAY", std::nullopt};
    velt::testing::TempDir m_logs;
    FtpServer m_ftp;
    std::unique_ptr<NginxServer> m_nginx;
};

} // namespace

// A killed instance leaves nothing in the way of the next, which answers the
// commands of later starts.
TEST_F(TarnwickProcessTest, HeadlessTakesOverAndAnswersTheCommandsOfLaterStarts)
{
    auto killed = Start({"--headless"}, "killed.log");
    ASSERT_TRUE(WaitForLog(kUploaded, 1, "killed.log")) << Log("killed.log");
    EXPECT_NE(m_ftp.readFile("index.htm").find("URL=http://127.0.0.1/"), std::string::npos);
    ::kill(killed->pid(), SIGKILL);
    ASSERT_TRUE(WaitForExit(*killed, std::chrono::seconds(5)));

    auto headless = Start({"--headless"});
    ASSERT_TRUE(WaitForLog(kCurrent)) << Log();
    EXPECT_EQ(Run({"/execnow"}), 0);
    ASSERT_TRUE(WaitForLog(kCurrent, 2)) << Log();

    // A word at the very first character is not recognised: a plain start, which finds no window to bring
    // to the front and says how the windowless instance is reached.
    EXPECT_EQ(Run({"quit"}), 0);
    EXPECT_NE(Log("run.log").find("läuft bereits ohne Fenster (als Dienst)"), std::string::npos) << Log("run.log");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(headless->running());

    EXPECT_EQ(Run({"/QuIt"}), 0);
    ASSERT_TRUE(WaitForExit(*headless, std::chrono::seconds(5)));
    EXPECT_TRUE(WIFEXITED(headless->exitStatus()));
    EXPECT_EQ(WEXITSTATUS(headless->exitStatus()), 0);
    EXPECT_EQ(tarnwick::test::StoredLocalServerName(), "") << "quit ends at once, without saving";
    ExpectStampedLines(Log());
}

// Idle connections of another process fill the instance's places: a later
// start still gets its command through, and one that cannot says so.
TEST_F(TarnwickProcessTest, IdleConnectionsDoNotSwallowTheCommandsOfLaterStarts)
{
    auto headless = Start({"--headless"});
    ASSERT_TRUE(WaitForLog(kUploaded)) << Log();
    const std::string path = platform::TitleSocketPath("VELT Tarnwick");
    std::vector<int> idle;
    for (int i = 0; i < 40; ++i) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        idle.push_back(fd);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    EXPECT_EQ(Run({"/execnow"}, "execnow.log"), 0) << Log("execnow.log");
    EXPECT_TRUE(WaitForLog(kCurrent)) << Log();

    // A stopped instance takes nothing: the later start ends with an error.
    ::kill(headless->pid(), SIGSTOP);
    EXPECT_EQ(Run({"/execnow"}, "stopped.log"), 1);
    EXPECT_NE(Log("stopped.log").find("nicht rechtzeitig angenommen"), std::string::npos) << Log("stopped.log");
    ::kill(headless->pid(), SIGCONT);
    for (int fd : idle)
        ::close(fd);
}

namespace {

struct TerminationCase
{
    const char* name;
    int signalNumber;
    bool busy;
};

class TerminationTest : public TarnwickProcessTest, public ::testing::WithParamInterface<TerminationCase>
{
};

} // namespace

// A service manager sends SIGTERM, a terminal SIGINT, a closed terminal or a
// reload SIGHUP: all end the program alike.
TEST_P(TerminationTest, SignalEndsCleanlyAndSaves)
{
    const bool busy = GetParam().busy;
    velt::testing::TcpPeer silent(velt::testing::TcpPeer::Mode::Silent);
    if (busy)
        Store([&](CRedirectSettings& s) { s.SetUploadPort(silent.port()); }); // the upload hangs
    auto headless = Start({"--headless"});
    if (busy)
        ASSERT_TRUE(silent.waitForConnections(1, std::chrono::seconds(30))) << Log();
    else
        ASSERT_TRUE(WaitForLog(kUploaded)) << Log();

    const auto start = std::chrono::steady_clock::now();
    ::kill(headless->pid(), GetParam().signalNumber);
    ASSERT_TRUE(WaitForExit(*headless, std::chrono::seconds(5))) << Log();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4000));
    EXPECT_TRUE(WIFEXITED(headless->exitStatus())) << headless->exitStatus();
    EXPECT_EQ(WEXITSTATUS(headless->exitStatus()), 0);
    EXPECT_EQ(tarnwick::test::StoredLocalServerName(), "127.0.0.1");
    if (busy) {
        EXPECT_TRUE(WaitForLog("Datei mit neuer Umleitung konnte nicht gesendet werden!")) << Log();
    }
}

INSTANTIATE_TEST_SUITE_P(Step, TerminationTest,
                         ::testing::Values(TerminationCase {"SigintWhileIdle", SIGINT, false},
                                           TerminationCase {"SigtermWhileUploading", SIGTERM, true},
                                           TerminationCase {"SighupWhileIdle", SIGHUP, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TarnwickProcessTest, OnceTellsByItsExitCodeWhetherThePageIsCurrent)
{
    EXPECT_EQ(Run({"--once"}, "first.log"), 0) << Log("first.log");
    EXPECT_EQ(Count(Log("first.log"), kUploaded), 1) << Log("first.log");
    EXPECT_EQ(Run({"--once"}, "second.log"), 0) << Log("second.log");
    EXPECT_EQ(Count(Log("second.log"), kCurrent), 1) << Log("second.log");
    EXPECT_EQ(tarnwick::test::StoredLocalServerName(), "127.0.0.1");
    // Found by the component on loopback: said once per run, and the run goes on
    // (the address service's answer is never questioned).
    const char* unreachable = "Hinweis: 127.0.0.1 ist eine Loopback-Adresse und aus dem Internet nicht erreichbar.";
    EXPECT_EQ(Count(Log("first.log"), unreachable), 1) << Log("first.log");
    EXPECT_EQ(Count(Log("second.log"), unreachable), 1) << Log("second.log");

    const uint16_t closed = velt::testing::FreeTcpPort();
    Store([&](CRedirectSettings& s) { s.SetRedirectUrl("http://127.0.0.1:" + std::to_string(closed) + "/index.htm"); });
    EXPECT_EQ(Run({"--once"}, "closed.log"), 1) << Log("closed.log");
    EXPECT_EQ(Count(Log("closed.log"), "IP-Adressen konnten nicht ermittelt werden."), 1) << Log("closed.log");
    ExpectStampedLines(Log("closed.log")); // the component's two-line text stays one status line
}

// The options never load the display stack: window code lives in a module that only window mode opens.
TEST_F(TarnwickProcessTest, OnceMapsNoDisplayOrDialUpLibraries)
{
    velt::testing::TcpPeer silent(velt::testing::TcpPeer::Mode::Silent);
    Store([&](CRedirectSettings& s) { s.SetUploadPort(silent.port()); }); // the run waits in the upload
    auto once = Start({"--once"});
    ASSERT_TRUE(silent.waitForConnections(1, std::chrono::seconds(30))) << Log();
    const std::string maps = velt::testing::ReadTextFile("/proc/" + std::to_string(once->pid()) + "/maps");
    ::kill(once->pid(), SIGTERM);
    ASSERT_NE(maps.find("libQt6Core"), std::string::npos) << "not the program's map";
    // Neither the display stack nor, with AutoDial off, the dial-up provider and its NetworkManager client.
    for (const char* library : {"libQt6Gui", "libQt6Widgets", "libtarnwick_gui", "libX11", "libxcb", "libwayland",
                                "libfontconfig", "libfreetype", "libEGL", "libGL", "librasapi32", "libnm"})
        EXPECT_EQ(maps.find(library), std::string::npos) << library;
    EXPECT_TRUE(WaitForExit(*once, std::chrono::seconds(5)));
}

// A page server that sends its headers and then a byte now and then once kept
// --once (and so every later cron run) going without end.
TEST_F(TarnwickProcessTest, OnceEndsAgainstATricklingPageServer)
{
    velt::testing::TcpPeer trickle(velt::testing::TcpPeer::Mode::Trickle,
                                   "HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n");
    Store([&](CRedirectSettings& s) { s.SetRedirectUrl(trickle.url("/index.htm")); });
    // The bounds themselves (120 s in all, 64 B/s over 60 s) are the transfer tests' business;
    // here the program applies shortened ones.
    velt::testing::ScopedEnv bounds("TARNWICK_TEST_TRANSFER_LIMITS", "3000,2000");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_NE(Run({"--once"}, "once.log", std::chrono::seconds(60)), -1) << Log("once.log");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_NE(Log("once.log").find("Das Zeitlimit für den Vorgang wurde überschritten."), std::string::npos)
        << Log("once.log");
}

// A FIFO named as CaFile once blocked the cycle in open() for ever.
TEST_F(TarnwickProcessTest, AFifoAsCaFileEndsOnceAsUnreadable)
{
    const std::string fifo = m_logs.file("ca.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    velt::testing::TcpPeer silent(velt::testing::TcpPeer::Mode::Silent);
    Store([&](CRedirectSettings& s) {
        s.SetRedirectUrl("https://127.0.0.1:" + std::to_string(silent.port()) + "/index.htm");
        s.SetUploadServiceType(3); // PUT over https to the same host
        s.SetUploadTls(1);
        s.SetUploadPort(silent.port());
        s.SetCaFile(fifo);
    });
    EXPECT_EQ(Run({"--once"}, "once.log", std::chrono::seconds(60)), 1) << Log("once.log");
    EXPECT_EQ(Count(Log("once.log"), "(CaFile) ist nicht lesbar."), 2) << Log("once.log");
}

// The name kept current alone: the component's test connection goes to the
// zone's server (the page's server is not there), the first run updates the
// record, the second finds it current and sends nothing; no page goes up.
TEST_F(TarnwickProcessTest, OnceKeepsADnsNameCurrentAtTheZonesServerWithoutThePage)
{
    const tarnwick::testing::BindServer bind;
    if (!bind.available())
        GTEST_SKIP() << bind.skipReason();
    const uint16_t closed = velt::testing::FreeTcpPort();
    Store([&](CRedirectSettings& s) {
        s.SetRedirectUrl("http://127.0.0.1:" + std::to_string(closed) + "/index.htm");
        s.SetRedirectPage(0);
        s.SetDnsUpdate(2);
        s.SetDnsName("home.example.test");
        s.SetDnsServer(bind.endpoint());
        s.SetDnsKey(tarnwick::testing::BindServer::kKey256);
        s.SetDnsCheckServer(bind.endpoint());
    });
    EXPECT_EQ(Run({"--once"}, "first.log"), 0) << Log("first.log");
    EXPECT_EQ(Count(Log("first.log"), "DNS-Name home.example.test zeigt jetzt auf 127.0.0.1"), 1) << Log("first.log");
    EXPECT_EQ(LookUpPublished("home.example.test", "A", bind.endpoint()).addresses,
              std::vector<std::string> {"127.0.0.1"});
    const long serial = bind.serial("example.test");
    EXPECT_EQ(Run({"--once"}, "second.log"), 0) << Log("second.log");
    EXPECT_EQ(Count(Log("second.log"), "zeigt bereits auf 127.0.0.1 und wird nicht geändert."), 1) << Log("second.log");
    EXPECT_EQ(bind.serial("example.test"), serial);
    EXPECT_TRUE(std::filesystem::is_empty(m_ftp.home()));
    ExpectStampedLines(Log("second.log"));
}

// Beside the page: the service's refusal fails the run and holds every later
// run back without a request, until a DNS setting changes.
TEST_F(TarnwickProcessTest, OnceObeysTheUpdateServicesRefusalAcrossRuns)
{
    const tarnwick::testing::BindServer bind;
    if (!bind.available())
        GTEST_SKIP() << bind.skipReason();
    tarnwick::testing::DynDnsService service(bind);
    Store([&](CRedirectSettings& s) {
        s.SetDnsUpdate(1);
        s.SetDnsName("home.example.test");
        s.SetDnsServer(service.server());
        s.SetDnsUser(service.kUser);
        s.SetDnsPassword("falsch");
        s.SetDnsCheckServer(bind.endpoint());
    });
    EXPECT_EQ(Run({"--once"}, "first.log"), 1) << Log("first.log");
    EXPECT_EQ(service.requests(), 1);
    EXPECT_EQ(Count(Log("first.log"), "(badauth)"), 1) << Log("first.log");
    EXPECT_EQ(Count(Log("first.log"), kUploaded), 1) << Log("first.log");
    EXPECT_EQ(Run({"--once"}, "second.log"), 1) << Log("second.log");
    EXPECT_EQ(service.requests(), 1);
    EXPECT_EQ(Count(Log("second.log"), "bis eine DNS-Einstellung geändert wird"), 1) << Log("second.log");

    Store([&](CRedirectSettings& s) { s.SetDnsPassword(service.kPassword); });
    EXPECT_EQ(Run({"--once"}, "third.log"), 0) << Log("third.log");
    EXPECT_EQ(service.requests(), 2);
    EXPECT_EQ(Count(Log("third.log"), "zeigt jetzt auf 127.0.0.1"), 1) << Log("third.log");
    EXPECT_EQ(Count(Log("third.log"), kCurrent), 1) << Log("third.log");
}

TEST_F(TarnwickProcessTest, OneInstanceOnlyAlsoWhenStartedAtOnce)
{
    auto first = Start({"--headless"}, "a.log");
    auto second = Start({"--headless"}, "b.log");
    WaitUntil([&] { return !first->running() || !second->running(); }, std::chrono::seconds(10));
    ChildProcess& ended = first->running() ? *second : *first;
    ChildProcess& runs = first->running() ? *first : *second;
    ASSERT_FALSE(ended.running());
    EXPECT_TRUE(runs.running());
    EXPECT_EQ(WEXITSTATUS(ended.exitStatus()), 2);

    // --once beside a running instance says so and runs nothing.
    EXPECT_EQ(Run({"--once"}, "once.log"), 2);
    EXPECT_NE(Log("once.log").find("läuft bereits"), std::string::npos) << Log("once.log");
    EXPECT_EQ(Count(Log("once.log"), " - "), 0);
}

TEST_F(TarnwickProcessTest, WrongStartCommandLinesAreRefused)
{
    for (const std::vector<std::string>& args :
         {std::vector<std::string> {"--headless", "--once"}, std::vector<std::string> {"--once", "/quit"},
          std::vector<std::string> {"--headless", "x"}}) {
        EXPECT_EQ(Run(args, "wrong.log"), 2) << args[0] << " " << args[1];
    }
    EXPECT_EQ(Count(Log("wrong.log"), " - "), 0) << Log("wrong.log"); // no cycle ran
}
