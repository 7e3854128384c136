#include "tarnwick/cycle/RedirectCycle.h"
#include "tarnwick/cycle/CycleServices.h"

#include "platform/registry/Registry.h"
#include "tarnwick/cycle/tests/CycleTestSupport.h"
#include "tarnwick/dialup/DialSession.h"
#include "tarnwick/dns/DnsUpdate.h"
#include "tarnwick/dns/tests/BindServer.h"
#include "tarnwick/dns/tests/DynDnsService.h"
#include "tarnwick/messages/WindowMessages.h"
#include "tarnwick/program/ComponentRegistration.h"
#include "tarnwick/settings/CRedirectSettings.h"
#include "testing/FreeTcpPort.h"
#include "testing/FtpServer.h"
#include "testing/NginxServer.h"
#include "testing/TcpPeer.h"
#include "testing/TempHome.h"
#include "testing/TestCertificates.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <netinet/in.h>
#include <optional>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace tarnwick;
using tarnwick::test::PumpUntil;
using tarnwick::test::RecordingView;
using Outcome = RedirectCycle::Outcome;
using velt::testing::FtpServer;
using velt::testing::NginxServer;
using velt::testing::TcpPeer;

namespace {

constexpr const char* kLoopback = "127.0.0.1";

// A listener whose accept queue is full: a further connection attempt to it
// hangs in the handshake, as a server that does not answer would.
class FullBacklogListener
{
public:
    FullBacklogListener()
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_listen, 0);
        socklen_t length = sizeof address;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        for (int i = 0; i < 4; ++i) { // fill the queue; later ones hang
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
            m_fillers.push_back(fd);
        }
    }
    ~FullBacklogListener()
    {
        for (int fd : m_fillers)
            ::close(fd);
        ::close(m_listen);
    }
    uint16_t port() const { return m_port; }

private:
    int m_listen = -1;
    uint16_t m_port = 0;
    std::vector<int> m_fillers;
};

// The web space of the tests: the FTP server's home is published by nginx
// under /site/, so an upload is what the next check reads.
class RedirectCycleTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { tarnwick::test::EnsureQtApplication(); }

    void SetUp() override
    {
        m_ftp = std::make_unique<FtpServer>();
        m_nginx = std::make_unique<NginxServer>("location /site/ { alias " + m_ftp->home().string()
                                                + "/; }\n"
                                                  "location = /moved.htm { return 302 http://127.0.0.1/; }\n"
                                                  "location = /markup/GetClientIP.asp { default_type text/plain; "
                                                  "return 200 '1.\"><b>X</b>\\n'; }\n");
        std::string error;
        ASSERT_TRUE(EnsureComponentRegistered(tarnwick::test::BuildProgramDirectory(), &error)) << error;
        m_settings.SetRedirectUrl(m_nginx->url("/site/index.htm"));
        m_settings.SetUploadServiceType(1);
        m_settings.SetUploadServer("127.0.0.1");
        m_settings.SetUploadPort(m_ftp->port());
        m_settings.SetUserName(m_ftp->user());
        m_settings.SetPassword(m_ftp->password());
        m_settings.SetUploadDir("/");
        // Every address here is loopback: the warning has tests of its own.
        m_settings.SetWarnPrivateAddress(0);
    }

    void TearDown() override
    {
        m_cycle.reset();
        // Workers of a cut-short test end before the servers go.
        PumpUntil([] { return RedirectCycle::RunningWorkers() == 0; }, std::chrono::seconds(15));
    }

    // The context of a cycle against the test's own address service.
    RedirectCycle::Context LocalContext(std::chrono::milliseconds firstRetry = std::chrono::seconds(30))
    {
        RedirectCycle::Context context;
        context.clientIpUrl = m_nginx->url("/Tarnwick/GetClientIP.asp?TextOnly=1");
        context.programDirectory = tarnwick::test::BuildProgramDirectory();
        context.version = "1.4.44";
        context.firstRetry = firstRetry;
        return context;
    }

    RedirectCycle& Cycle()
    {
        if (!m_cycle)
            UseContext(LocalContext());
        return *m_cycle;
    }

    // A cycle with its own context; the outcomes are recorded as for Cycle().
    void UseContext(RedirectCycle::Context context)
    {
        m_cycle = std::make_unique<RedirectCycle>(m_settings, std::make_shared<CycleServices>(), m_view, m_view,
                                                  std::move(context));
        QObject::connect(m_cycle.get(), &RedirectCycle::cycleEnded, m_cycle.get(),
                         [this](Outcome outcome) { m_outcomes.push_back(outcome); });
    }

    // Runs one cycle (or the address step) to its end.
    std::optional<Outcome> Run(bool addressesOnly = false)
    {
        const size_t before = m_outcomes.size();
        if (addressesOnly)
            Cycle().StartAddresses();
        else
            Cycle().StartCycle();
        if (!PumpUntil([&] { return m_outcomes.size() > before; }))
            return std::nullopt;
        return m_outcomes.back();
    }

    void ExpectIdle()
    {
        EXPECT_FALSE(Cycle().IsBusy());
        EXPECT_EQ(m_view.addressesLabel, "&IPs ermitteln");
        EXPECT_EQ(m_view.cycleLabel, "Umleitbefehl hoch&laden");
    }

    bool Contains(const std::string& text) const { return m_view.Joined().find(text) != std::string::npos; }

    velt::testing::TempHome m_home;
    std::unique_ptr<FtpServer> m_ftp;
    std::unique_ptr<NginxServer> m_nginx;
    CRedirectSettings m_settings;
    RecordingView m_view;
    std::vector<Outcome> m_outcomes;
    std::unique_ptr<RedirectCycle> m_cycle;
};

} // namespace

TEST_F(RedirectCycleTest, MissingPageIsUploadedAndThenFoundCurrent)
{
    ASSERT_EQ(Run(), Outcome::Uploaded) << m_view.Joined() << m_ftp->logs();
    const std::vector<std::string> texts = m_view.Texts();
    ASSERT_GE(texts.size(), 3u);
    EXPECT_EQ(texts[0], "Server Fehler: 404. Not Found"); // the transfer's own line comes first
    EXPECT_EQ(texts[1], "Webseite " + m_settings.GetRedirectUrl() + " leitet nicht um...");
    EXPECT_EQ(texts.back(), "Datei mit neuer Umleitung wurde erfolgreich an den Server gesendet.");
    EXPECT_EQ(m_view.localAddress, kLoopback);
    EXPECT_EQ(m_view.remoteAddress, kLoopback);
    EXPECT_EQ(m_settings.GetLocalServerName(), "127.0.0.1");
    EXPECT_EQ(m_view.redirectAddress, "http://127.0.0.1/");
    EXPECT_NE(m_ftp->readFile("index.htm").find("content=\"0; URL=http://127.0.0.1/\""), std::string::npos);
    // Stored in ASCII mode: only the line ends may differ.
    std::string page = Cycle().Page();
    std::string stored = m_ftp->readFile("index.htm");
    std::erase(page, '\r');
    std::erase(stored, '\r');
    EXPECT_EQ(page, stored);
    ExpectIdle();

    const auto uploaded = std::filesystem::last_write_time(m_ftp->home() / "index.htm");
    ASSERT_EQ(Run(), Outcome::AlreadyCurrent) << m_view.Joined();
    EXPECT_EQ(
        m_view.Texts(),
        (std::vector<std::string> {"Webseite " + m_settings.GetRedirectUrl() + " leitet nach http://127.0.0.1/ um...",
                                   "Webseite ist bereits aktuell und wird nicht erneut hochgeladen..."}));
    EXPECT_EQ(std::filesystem::last_write_time(m_ftp->home() / "index.htm"), uploaded);
    ExpectIdle();
}

TEST_F(RedirectCycleTest, PageThatAnswersWithARedirectToTheAddressIsCurrent)
{
    m_settings.SetRedirectUrl(m_nginx->url("/moved.htm"));
    ASSERT_EQ(Run(), Outcome::AlreadyCurrent) << m_view.Joined();
    EXPECT_EQ(m_view.lines.size(), 2u) << m_view.Joined();
    EXPECT_TRUE(Contains("leitet nach http://127.0.0.1/ um..."));
    EXPECT_FALSE(std::filesystem::exists(m_ftp->home() / "moved.htm"));

    // Extended messages add the session's texts; they do not clear the cycle's own lines.
    m_settings.SetExtMessages(1);
    ASSERT_EQ(Run(), Outcome::AlreadyCurrent);
    EXPECT_GT(m_view.lines.size(), 2u) << m_view.Joined();
    EXPECT_TRUE(Contains("Webseite ist bereits aktuell"));
}

TEST_F(RedirectCycleTest, HttpPutUploadsIntoTheDavFolder)
{
    m_settings.SetRedirectUrl(m_nginx->url("/dav/index.htm"));
    m_settings.SetUploadServiceType(3);
    m_settings.SetUploadPort(m_nginx->port());
    m_settings.SetUploadDir("/dav");
    ASSERT_EQ(Run(), Outcome::Uploaded) << m_view.Joined() << m_nginx->logs();
    EXPECT_NE(velt::testing::ReadTextFile((m_nginx->davRoot() / "index.htm").string()).find("127.0.0.1"),
              std::string::npos);
    ASSERT_EQ(Run(), Outcome::AlreadyCurrent) << m_view.Joined();
}

namespace {

class RefusedUploadTest : public RedirectCycleTest, public ::testing::WithParamInterface<bool>
{
};

} // namespace

TEST_P(RefusedUploadTest, FailureIsReportedAndTheUserNotified)
{
    m_view.visible = GetParam();
    m_settings.SetPassword("falsch");
    ASSERT_EQ(Run(), Outcome::UploadFailed) << m_view.Joined();
    const std::vector<std::string> texts = m_view.Texts();
    ASSERT_GE(texts.size(), 3u);
    EXPECT_EQ(texts.back(), "Datei mit neuer Umleitung konnte nicht gesendet werden!");
    EXPECT_FALSE(texts[texts.size() - 2].empty()); // the transfer's own error text comes first
    EXPECT_EQ(m_view.broughtToFront, GetParam() ? 1 : 0);
    EXPECT_EQ(m_view.blinking, !GetParam());
    EXPECT_FALSE(std::filesystem::exists(m_ftp->home() / "index.htm"));
    ExpectIdle();

    // A later cycle that finds the addresses stops the blinking.
    m_settings.SetPassword(m_ftp->password());
    ASSERT_EQ(Run(), Outcome::Uploaded) << m_view.Joined();
    EXPECT_FALSE(m_view.blinking);
}

INSTANTIATE_TEST_SUITE_P(Window, RefusedUploadTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Visible" : "Hidden"; });

TEST_F(RedirectCycleTest, AddressServiceGivesTheLocalAddressOrFails)
{
    m_settings.SetClientIpByServer(1);
    velt::testing::WriteTextFile((m_ftp->home() / "index.htm").string(), "<html></html>\n");
    // An answer that is no address is a failure like a missing service: it
    // would be published in the page.
    RedirectCycle::Context markup;
    markup.clientIpUrl = m_nginx->url("/markup/GetClientIP.asp?TextOnly=1");
    UseContext(std::move(markup));
    ASSERT_EQ(Run(), Outcome::AddressesFailed) << m_view.Joined();
    EXPECT_EQ(m_view.Texts(),
              (std::vector<std::string> {"Client-IP-Adresse wird vom Server abgeholt.",
                                         "IP-Adressen konnten nicht ermittelt werden."}));
    EXPECT_EQ(m_ftp->readFile("index.htm"), "<html></html>\n");

    RedirectCycle::Context failing;
    failing.clientIpUrl = m_nginx->url("/missing/GetClientIP.asp?TextOnly=1");
    UseContext(std::move(failing));
    ASSERT_EQ(Run(), Outcome::AddressesFailed) << m_view.Joined();
    EXPECT_EQ(m_view.Texts(),
              (std::vector<std::string> {"Client-IP-Adresse wird vom Server abgeholt.", "Server Fehler: 404. Not Found",
                                         "IP-Adressen konnten nicht ermittelt werden."}));
    // The remote field was filled, then both were cleared with the failure.
    EXPECT_EQ(m_view.remoteAddress, "");
    EXPECT_EQ(m_view.localAddress, "");
    EXPECT_TRUE(m_settings.GetLocalServerName().empty());
    ExpectIdle();

    m_cycle.reset(); // the default context asks the working service
    ASSERT_EQ(Run(true), Outcome::AddressesFound) << m_view.Joined();
    EXPECT_EQ(m_view.Texts(), std::vector<std::string> {"Client-IP-Adresse wird vom Server abgeholt."});
    EXPECT_EQ(m_settings.GetLocalServerName(), "127.0.0.1");
    EXPECT_EQ(m_view.localAddress, kLoopback);
    EXPECT_EQ(m_view.remoteAddress, kLoopback);
    EXPECT_EQ(m_view.redirectAddress, "http://127.0.0.1/");
    EXPECT_EQ(m_ftp->readFile("index.htm"), "<html></html>\n"); // addresses only: nothing written
    ExpectIdle();
}

TEST_F(RedirectCycleTest, ComponentErrorTextPrecedesTheFailure)
{
    const uint16_t closed = velt::testing::FreeTcpPort();
    m_settings.SetRedirectUrl("http://127.0.0.1:" + std::to_string(closed) + "/index.htm");
    m_view.visible = true;
    ASSERT_EQ(Run(), Outcome::AddressesFailed) << m_view.Joined();
    const std::vector<std::string> texts = m_view.Texts();
    ASSERT_EQ(texts.size(), 2u) << m_view.Joined();
    EXPECT_EQ(texts[0].rfind("Fehler! Verbindung zum Server 127.0.0.1 auf Port " + std::to_string(closed)
                                 + " konnte nicht hergestellt werden!\r\n",
                             0),
              0u)
        << texts[0];
    EXPECT_GT(texts[0].size(), 80u); // the system's text for the refusal follows
    EXPECT_EQ(texts[1], "IP-Adressen konnten nicht ermittelt werden.");
    EXPECT_EQ(m_view.localAddress, "");
    EXPECT_EQ(m_view.remoteAddress, "");
    EXPECT_EQ(m_view.broughtToFront, 1);
}

namespace {

enum class Step { AddressComponent, AddressService, Check, Upload };
const char* const kStepNames[] = {"AddressComponent", "AddressService", "Check", "Upload"};

class CancelTest : public RedirectCycleTest, public ::testing::WithParamInterface<Step>
{
};

} // namespace

TEST_P(CancelTest, EachStepEndsThroughItsOwnMessage)
{
    TcpPeer silent(TcpPeer::Mode::Silent);
    FullBacklogListener hanging;
    int connectionsBefore = 0;
    switch (GetParam()) {
    case Step::AddressComponent:
        m_settings.SetRedirectUrl("http://127.0.0.1:" + std::to_string(hanging.port()) + "/index.htm");
        break;
    case Step::AddressService: {
        m_settings.SetClientIpByServer(1);
        RedirectCycle::Context context;
        context.clientIpUrl = silent.url("/Tarnwick/GetClientIP.asp?TextOnly=1");
        UseContext(std::move(context));
        break;
    }
    case Step::Check:
        m_settings.SetRedirectUrl(silent.url("/index.htm"));
        connectionsBefore = 1; // the address step's test connection
        break;
    case Step::Upload:
        m_settings.SetUploadPort(silent.port());
        break;
    }
    Cycle().StartCycle();
    if (GetParam() == Step::AddressComponent) {
        tarnwick::test::PumpFor(std::chrono::milliseconds(300));
    } else {
        ASSERT_TRUE(PumpUntil([&] { return silent.connections() > connectionsBefore; })) << m_view.Joined();
        tarnwick::test::PumpFor(std::chrono::milliseconds(100));
    }
    ASSERT_TRUE(Cycle().IsBusy());
    EXPECT_EQ(m_view.cycleLabel, "A&bbrechen");

    // execnow while busy changes nothing.
    Cycle().WindowProc(WM_EXECUTE_NOW, 0, 0);
    tarnwick::test::PumpFor(std::chrono::milliseconds(100));
    ASSERT_TRUE(Cycle().IsBusy());
    ASSERT_TRUE(m_outcomes.empty());

    const auto start = std::chrono::steady_clock::now();
    Cycle().StartCycle(); // the button reads "Abbrechen": a click cancels
    ASSERT_TRUE(PumpUntil([&] { return !m_outcomes.empty(); }, std::chrono::seconds(5))) << m_view.Joined();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4)); // not the 10 s time limit
    ExpectIdle();
    const std::pair<Outcome, std::string> endings[]
        = {{Outcome::AddressesFailed, "IP-Adressen konnten nicht ermittelt werden."},
           {Outcome::AddressesFailed, "IP-Adressen konnten nicht ermittelt werden."},
           {Outcome::Cancelled, "Webseite " + m_settings.GetRedirectUrl() + " leitet nicht um..."},
           {Outcome::UploadFailed, "Datei mit neuer Umleitung konnte nicht gesendet werden!"}};
    EXPECT_EQ(m_outcomes.back(), endings[static_cast<int>(GetParam())].first);
    EXPECT_EQ(m_view.Texts().back(), endings[static_cast<int>(GetParam())].second);
    // Nothing runs on after the cancel.
    tarnwick::test::PumpFor(std::chrono::milliseconds(300));
    EXPECT_EQ(m_outcomes.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(m_ftp->home() / "index.htm"));
}

INSTANTIATE_TEST_SUITE_P(Steps, CancelTest,
                         ::testing::Values(Step::AddressComponent, Step::AddressService, Step::Check, Step::Upload),
                         [](const auto& info) { return std::string(kStepNames[static_cast<int>(info.param)]); });

TEST_F(RedirectCycleTest, PeriodTickWhileBusyCancelsInsteadOfStartingAnother)
{
    TcpPeer silent(TcpPeer::Mode::Silent);
    m_settings.SetRedirectUrl(silent.url("/index.htm"));
    m_settings.SetWaitTimeInMin(1);
    Cycle().StartPeriodic();
    EXPECT_TRUE(Cycle().IsPeriodic());
    EXPECT_EQ(Cycle().PeriodMilliseconds(), 60000);
    EXPECT_EQ(m_view.periodicLabel, "&Stopp");
    EXPECT_FALSE(m_view.intervalEnabled);
    ASSERT_TRUE(PumpUntil([&] { return silent.connections() > 1; })); // the check step hangs

    Cycle().OnPeriodTimer();
    ASSERT_TRUE(PumpUntil([&] { return !m_outcomes.empty(); }, std::chrono::seconds(5)));
    EXPECT_EQ(m_outcomes.back(), Outcome::Cancelled);
    ExpectIdle();
    EXPECT_TRUE(Cycle().IsPeriodic());

    // The next tick starts a new cycle; stopping cancels it and frees the field.
    Cycle().OnPeriodTimer();
    EXPECT_TRUE(Cycle().IsBusy());
    Cycle().StopPeriodic();
    EXPECT_FALSE(Cycle().IsPeriodic());
    EXPECT_EQ(m_view.periodicLabel, "&Start");
    EXPECT_TRUE(m_view.intervalEnabled);
    ASSERT_TRUE(PumpUntil([&] { return m_outcomes.size() == 2; }, std::chrono::seconds(5)));
    ExpectIdle();
}

TEST_F(RedirectCycleTest, SessionTextsFollowTheLiveExtendedMessagesSetting)
{
    // The texts come from a transferring thread outside any cycle (the settings' connection test does that),
    // before the first cycle and after a change between cycles.
    const auto sendFromWorker = [&](const char* text) {
        std::atomic<bool> sent {false};
        std::thread worker([&] {
            Cycle().MessageWindow().SendMessage(WM_STATUS_TEXT, 1, reinterpret_cast<intptr_t>(text));
            sent = true;
        });
        EXPECT_TRUE(PumpUntil([&] { return sent.load(); }, std::chrono::seconds(5)));
        worker.join();
    };
    Cycle();
    for (const auto& [ext, shown] : std::vector<std::pair<int, bool>> {{1, true}, {0, false}, {1, true}}) {
        m_view.lines.clear();
        m_settings.SetExtMessages(ext);
        Cycle().SettingsChanged(); // as the settings sheet's OK does
        sendFromWorker("Verbindung wird hergestellt");
        EXPECT_EQ(m_view.lines.size(), shown ? 1u : 0u) << "ExtMessages " << ext;
    }
}

TEST_F(RedirectCycleTest, StoredPeriodsOutsideTheRangeStayUsable)
{
    // A period read from the registry is taken as stored; the timer still gets a usable one.
    namespace reg = platform::registry;
    for (const auto& [stored, expected] :
         std::vector<std::pair<uint32_t, int>> {{0, 60000}, {0xFFFFFFFF, 60000}, {2, 120000}, {100000, INT_MAX}}) {
        reg::HKEY key = nullptr;
        ASSERT_EQ(reg::RegCreateKey(reg::Root::CurrentUser, "Software\\VELT\\Tarnwick", &key), reg::kSuccess);
        ASSERT_EQ(reg::RegSetDword(key, "WaitTimeInMin", stored), reg::kSuccess);
        reg::RegCloseKey(key);
        CRedirectSettings settings;
        ASSERT_TRUE(settings.LoadFromRegistry("Software\\VELT\\Tarnwick"));
        RecordingView view;
        RedirectCycle cycle(settings, std::make_shared<CycleServices>(), view, view, RedirectCycle::Context {});
        EXPECT_EQ(cycle.PeriodMilliseconds(), expected) << stored;
    }
}

namespace {

// The dial's outcome as the dial-up layer would give it (that layer's dialog comes later).
class ScriptedDialSession : public DialSession
{
public:
    ScriptedDialSession(int result, int& runs, int& hangUps)
        : m_result(result)
        , m_runs(runs)
        , m_hangUps(hangUps)
    {
    }
    int Run(const DialRequest& request) override
    {
        EXPECT_EQ(request.entryName, "Provider");
        EXPECT_EQ(request.password, "Wählen");
        ++m_runs;
        return m_result;
    }
    bool HangUp() override { return ++m_hangUps > 0; }

private:
    int m_result;
    int& m_runs;
    int& m_hangUps;
};

struct DialCase
{
    const char* name;
    bool reachable; // the connection check finds the page's server
    const char* entry; // AutoDialConnection
    int dialResult; // 0: the default session (no dial-up provider)
    int runs; // dials expected
    int hangUps;
    const char* firstLine; // the start of the first status line
};

class AutoDialTest : public RedirectCycleTest, public ::testing::WithParamInterface<DialCase>
{
};

} // namespace

TEST_P(AutoDialTest, DialsOnlyWhenTheServerCannotBeReachedAndAnEntryIsNamed)
{
    const DialCase& c = GetParam();
    const uint16_t closed = velt::testing::FreeTcpPort();
    m_settings.SetAutoDial(1);
    m_settings.SetAutoDialConnection(c.entry);
    m_settings.SetAutoDialPW("Wählen");
    if (!c.reachable)
        m_settings.SetRedirectUrl("http://127.0.0.1:" + std::to_string(closed) + "/index.htm");
    int runs = 0;
    int hangUps = 0;
    std::vector<std::string> dialTexts;
    RedirectCycle::Context context;
    if (c.dialResult != 0) {
        context.dialSessions = [&](const DialStatusSink&) -> std::unique_ptr<DialSession> {
            return std::make_unique<ScriptedDialSession>(c.dialResult, runs, hangUps);
        };
    }
    context.dialStatus = [&](const std::string& text) { dialTexts.push_back(text); };
    UseContext(std::move(context));

    ASSERT_TRUE(Run(true).has_value());
    EXPECT_EQ(runs, c.runs);
    EXPECT_EQ(hangUps, c.hangUps);
    if (*c.firstLine) {
        ASSERT_FALSE(m_view.Texts().empty());
        EXPECT_EQ(m_view.Texts().front().rfind(c.firstLine, 0), 0u) << m_view.Joined();
    } else {
        EXPECT_TRUE(m_view.Texts().empty()) << m_view.Joined(); // addresses found, nothing to say
    }
    if (c.dialResult == 0 && std::string(c.entry) == "Provider") {
        ASSERT_EQ(dialTexts.size(), 1u); // the dialog's text without a provider
        EXPECT_EQ(dialTexts[0].rfind("RASAPI32.DLL konnte nicht geladen werden!", 0), 0u);
    }
    ExpectIdle();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AutoDialTest,
    ::testing::Values(DialCase {"Reachable", true, "Provider", kDialCancel, 0, 0, ""},
                      DialCase {"NoEntry", false, "", kDialCancel, 0, 0, "Fehler! Verbindung zum Server 127.0.0.1"},
                      DialCase {"DialRefused", false, "Provider", kDialCancel, 1, 1,
                                "Fehler! Verbindung zum Server konnte nicht automatisch aufgebaut werden."},
                      DialCase {"DialUp", false, "Provider", kDialOk, 1, 0, "Fehler! Verbindung zum Server 127.0.0.1"},
                      DialCase {"NoProvider", false, "Provider", 0, 0, 0, "Fehler! Verbindung zum Server 127.0.0.1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RedirectCycleTest, FailedPeriodicCycleIsRetriedSoonerUntilItSucceeds)
{
    UseContext(LocalContext(std::chrono::milliseconds(200)));
    m_settings.SetPassword("falsch"); // every upload fails
    Cycle().StartPeriodic();
    ASSERT_TRUE(PumpUntil([&] { return m_outcomes.size() == 1; }));
    EXPECT_EQ(m_outcomes.back(), Outcome::UploadFailed);
    EXPECT_TRUE(Cycle().IsRetrying());
    EXPECT_EQ(Cycle().Retries().Failures(), 1);
    EXPECT_TRUE(Contains("N\xc3\xa4"
                         "chster Versuch um "))
        << m_view.Joined();

    // The retry comes by itself and fails again: the wait doubles.
    ASSERT_TRUE(PumpUntil([&] { return m_outcomes.size() == 2; }, std::chrono::seconds(10)));
    EXPECT_EQ(Cycle().Retries().Failures(), 2);
    m_settings.SetPassword(m_ftp->password());
    ASSERT_TRUE(PumpUntil([&] { return m_outcomes.size() == 3; }, std::chrono::seconds(10)));
    EXPECT_EQ(m_outcomes.back(), Outcome::Uploaded);
    EXPECT_FALSE(Cycle().IsRetrying());
    EXPECT_EQ(Cycle().Retries().Failures(), 0);
    EXPECT_TRUE(Cycle().IsPeriodic());

    // "&Stopp" ends a pending retry; so does a switched-off setting.
    m_settings.SetPassword("falsch");
    std::filesystem::remove(m_ftp->home() / "index.htm");
    Cycle().StartCycle();
    ASSERT_TRUE(PumpUntil([&] { return m_outcomes.size() == 4; }));
    EXPECT_TRUE(Cycle().IsRetrying());
    Cycle().StopPeriodic();
    EXPECT_FALSE(Cycle().IsRetrying());
    m_settings.SetRetryAfterFailure(0);
    Cycle().StartPeriodic();
    ASSERT_TRUE(PumpUntil([&] { return m_outcomes.size() == 5; }));
    EXPECT_FALSE(Cycle().IsRetrying());
    Cycle().StopPeriodic();
}

// The name alone: a refused signed update fails the cycle and is tried again
// sooner; the update service's stop holds it back without retries or requests.
TEST_F(RedirectCycleTest, FailedNameIsRetriedSoonerUnlessTheServiceHoldsItBack)
{
    const tarnwick::testing::BindServer bind;
    if (!bind.available())
        GTEST_SKIP() << bind.skipReason();
    tarnwick::testing::DynDnsService service(bind);
    RedirectCycle::Context context;
    context.programDirectory = tarnwick::test::BuildProgramDirectory();
    context.firstRetry = std::chrono::milliseconds(200);
    UseContext(std::move(context));
    m_settings.SetRedirectPage(0);
    m_settings.SetDnsUpdate(2);
    m_settings.SetDnsName("home.example.test");
    m_settings.SetDnsServer(bind.endpoint());
    m_settings.SetDnsKey("hmac-sha256:tarnwick-key:d3JvbmcgZ2VoZWltbmlz");
    m_settings.SetDnsCheckServer(bind.endpoint());
    Cycle().StartPeriodic();
    ASSERT_TRUE(PumpUntil([&] { return m_outcomes.size() == 1; }));
    EXPECT_EQ(m_outcomes.back(), Outcome::NameFailed) << m_view.Joined();
    EXPECT_TRUE(Cycle().IsRetrying());
    EXPECT_TRUE(m_view.blinking);
    m_settings.SetDnsKey(tarnwick::testing::BindServer::kKey256);
    ASSERT_TRUE(PumpUntil([&] { return m_outcomes.size() == 2; }, std::chrono::seconds(10)));
    EXPECT_EQ(m_outcomes.back(), Outcome::NameCurrent) << m_view.Joined();
    EXPECT_FALSE(Cycle().IsRetrying());
    EXPECT_FALSE(Contains("Webseite")) << m_view.Joined();

    m_settings.SetDnsUpdate(1);
    m_settings.SetDnsServer(service.server());
    m_settings.SetDnsUser(service.kUser);
    m_settings.SetDnsPassword("falsch");
    // Changed behind the program's back, so that the service is asked.
    ASSERT_TRUE(SendDnsUpdate("home.example.test", "192.0.2.5", bind.endpoint(), tarnwick::testing::BindServer::kKey512)
                    .updated);
    for (size_t run = 3; run <= 4; ++run) {
        Cycle().StartCycle();
        ASSERT_TRUE(PumpUntil([&] { return m_outcomes.size() == run; }));
        EXPECT_EQ(m_outcomes.back(), Outcome::NameHeldBack) << m_view.Joined();
        EXPECT_FALSE(Cycle().IsRetrying());
        EXPECT_TRUE(Contains("bis eine DNS-Einstellung geändert wird")) << m_view.Joined();
    }
    EXPECT_EQ(service.requests(), 1);
    Cycle().StopPeriodic();
}

TEST_F(RedirectCycleTest, AddressChangeRunsACycleOnlyWhileRedirectingPeriodically)
{
    Cycle().OnAddressChange();
    EXPECT_FALSE(Cycle().IsBusy()) << "not periodic";

    Cycle().StartPeriodic();
    ASSERT_TRUE(PumpUntil([&] { return m_outcomes.size() == 1; }));
    Cycle().OnAddressChange();
    EXPECT_TRUE(Cycle().IsBusy());
    EXPECT_TRUE(Contains("Die Netzwerkadressen des Computers haben sich ge\xc3\xa4ndert")) << m_view.Joined();
    // A change during a cycle runs one more afterwards, not a cancel.
    Cycle().OnAddressChange();
    Cycle().OnAddressChange();
    ASSERT_TRUE(PumpUntil([&] { return m_outcomes.size() == 3; }));
    EXPECT_EQ(m_outcomes[1], Outcome::AlreadyCurrent);
    EXPECT_EQ(m_outcomes[2], Outcome::AlreadyCurrent);
    tarnwick::test::PumpFor(std::chrono::milliseconds(300));
    EXPECT_EQ(m_outcomes.size(), 3u);

    m_settings.SetRedirectOnAddressChange(0);
    Cycle().OnAddressChange();
    EXPECT_FALSE(Cycle().IsBusy());
    Cycle().StopPeriodic();
}

TEST_F(RedirectCycleTest, CancelEndsTheRetriesAndTheRegularPeriodGoesOn)
{
    UseContext(LocalContext(std::chrono::seconds(5)));
    m_settings.SetPassword("falsch");
    Cycle().StartPeriodic();
    ASSERT_TRUE(PumpUntil([&] { return m_outcomes.size() == 1; }));
    ASSERT_TRUE(Cycle().IsRetrying());

    // The next try hangs in the check; the user cancels it.
    TcpPeer silent(TcpPeer::Mode::Silent);
    m_settings.SetRedirectUrl(silent.url("/index.htm"));
    Cycle().StartCycle();
    ASSERT_TRUE(PumpUntil([&] { return silent.connections() > 1; }));
    Cycle().CancelCycle();
    ASSERT_TRUE(PumpUntil([&] { return m_outcomes.size() == 2; }, std::chrono::seconds(5)));
    EXPECT_FALSE(Cycle().IsRetrying());
    EXPECT_EQ(Cycle().Retries().Failures(), 0);
    EXPECT_TRUE(Cycle().IsPeriodic());
    Cycle().StopPeriodic();
}

// A host that forces https and takes uploads only over FTP with TLS: the
// first cycle uploads encrypted, the second finds the page current through
// the https page instead of uploading again.
TEST_F(RedirectCycleTest, ForcedHttpsHostWithFtpOverTlsStaysCurrent)
{
    const velt::testing::TestCertificates certificates;
    FtpServer ftps(FtpServer::Options {certificates.good().certificate, certificates.good().key});
    const uint16_t securePort = velt::testing::FreeTcpPort();
    const std::string secure = "https://127.0.0.1:" + std::to_string(securePort);
    NginxServer web("location = /site/index.htm { return 301 " + secure + "/site/index.htm; }\n",
                    "server { listen 127.0.0.1:" + std::to_string(securePort) + " ssl; ssl_certificate "
                        + certificates.good().certificate + "; ssl_certificate_key " + certificates.good().key
                        + "; location /site/ { alias " + ftps.home().string() + "/; } }\n");
    m_settings.SetRedirectUrl(web.url("/site/index.htm"));
    m_settings.SetUploadPort(ftps.port());
    m_settings.SetUploadTls(1);
    m_settings.SetCaFile(certificates.caFile());

    ASSERT_EQ(Run(), Outcome::Uploaded) << m_view.Joined() << ftps.logs();
    EXPECT_NE(ftps.logs().find("AUTH TLS"), std::string::npos);
    EXPECT_EQ(Run(), Outcome::AlreadyCurrent) << m_view.Joined();
    EXPECT_TRUE(Contains("leitet nach " + m_settings.GetRedirectAddress() + " um")) << m_view.Joined();
}
