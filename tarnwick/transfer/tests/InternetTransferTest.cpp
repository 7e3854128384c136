// The transfer object against real servers: nginx, the FTP server and TCP
// peers that hang or answer garbage.
#include "RecordingWindow.h"
#include "platform/internet/InternetSession.h"
#include "tarnwick/transfer/CInternetTransfer.h"
#include "tarnwick/transfer/CTransferSession.h"
#include "testing/FreeTcpPort.h"
#include "testing/FtpServer.h"
#include "testing/NginxServer.h"
#include "testing/TcpPeer.h"

#include <future>
#include <gtest/gtest.h>
#include <thread>

using tarnwick::CInternetTransfer;
using velt::testing::FtpServer;
using velt::testing::NginxServer;
using velt::testing::PeerReply;
using velt::testing::TcpPeer;

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kCancelled = "Der Vorgang wurde abgebrochen.";
constexpr const char* kLineBreak
    = "Fehler: Server, Pfad, Benutzername oder Kennwort enth\xc3\xa4lt einen Zeilenumbruch!";

// A peer's responder that answers once the request (and a body of bodyBytes) is in.
TcpPeer::Responder AnswerAfterRequest(const std::string& reply, size_t bodyBytes = 0)
{
    return [reply, bodyBytes](const std::string& received) {
        const size_t end = received.find("\r\n\r\n");
        if (end == std::string::npos || received.size() < end + 4 + bodyBytes)
            return PeerReply {};
        return PeerReply {reply, true};
    };
}

class InternetTransfer : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_nginx
            = new NginxServer("location = /ip/short { default_type text/plain; return 200 \"1.2.3.4\\n\"; }\n"
                              "location = /ip/eight { default_type text/plain; return 200 \"10.0.0.1\\n\"; }\n"
                              "location = /ip/longest { default_type text/plain; return 200 \"255.255.255.255\\n\"; }\n"
                              "location = /ip/nodot { default_type text/plain; return 200 \"1234567890\\n\"; }\n"
                              "location = /ip/markup { default_type text/plain; return 200 '1.\"><b>X</b>\\n'; }\n"
                              "location = /ip/range { default_type text/plain; return 200 \"256.1.2.3\\n\"; }\n"
                              "location = /ip/blanks { default_type text/plain; return 200 \" 1.2.3.4 \\t\\n\"; }\n"
                              "location = /ip/more { default_type text/plain; return 200 \"1.2.3.4 x\\n\"; }\n"
                              "location = /ip/lines { default_type text/plain; return 200 \"1.2.3.4\\n5.6.7.8\\n\"; }\n"
                              "location = /ip/redirect { return 302 http://127.0.0.1/; }\n");
        s_nginx->writeFile(
            "refresh-escaped.htm",
            "<html><head><meta http-equiv=\"refresh\" content=\"0; URL=http://h/a&amp;b&quot;&lt;&gt;&#39;\">\n"
            "</head></html>\n");
        s_nginx->writeFile(
            "refresh-lower.htm",
            "<html><head><meta http-equiv=\"refresh\" content=\"0; url=http://Home.Example:8080/Seite.htm\">\n"
            "</head></html>\n");
        s_nginx->writeFile("refresh-upper.htm",
                           "<HTML><HEAD>\r\n<META HTTP-EQUIV=\"Refresh\" CONTENT=\"0; "
                           "URL=HTTP://HOME.EXAMPLE/\">\r\n</HEAD></HTML>\r\n");
        s_nginx->writeFile("refresh-nospace.htm",
                           "<html><meta http-equiv=\"refresh\" content=\"0;url=http://x/\"></html>");
        s_nginx->writeFile("refresh-first.htm", "<meta http-equiv=\"refresh\" content=\"0; url=http://x/\">");
        s_nginx->writeFile("refresh-unclosed.htm", "<html><meta http-equiv=\"refresh\" content=\"0; url=http://x/");
        s_nginx->writeFile("plain.htm", "<html>Keine Umleitung</html>\n");
        s_ftp = new FtpServer();
    }
    static void TearDownTestSuite()
    {
        delete s_nginx;
        delete s_ftp;
        s_nginx = nullptr;
        s_ftp = nullptr;
    }
    void SetUp() override
    {
        m_transfer.SetMessageWindow(&m_window);
        m_transfer.SetRedirectAddressSource([] { return std::string("http://192.0.2.7:8080/"); });
        m_transfer.SetRedirectUrlSource([] { return std::string("http://web.example/index.htm"); });
    }
    static std::string url(const std::string& path) { return s_nginx->url(path); }

    static NginxServer* s_nginx;
    static FtpServer* s_ftp;
    RecordingWindow m_window;
    CInternetTransfer m_transfer;
};
NginxServer* InternetTransfer::s_nginx = nullptr;
FtpServer* InternetTransfer::s_ftp = nullptr;

struct TargetCase
{
    const char* name;
    const char* path;
    bool found;
    const char* target;
};

class RedirectTarget : public InternetTransfer, public ::testing::WithParamInterface<TargetCase>
{
};

TEST_P(RedirectTarget, IsFoundOnlyWhereThePageLeads)
{
    const TargetCase& c = GetParam();
    std::string target;
    EXPECT_EQ(m_transfer.ReadRedirectTarget(target, url(c.path)), c.found);
    if (c.found) {
        EXPECT_EQ(target, c.target);
    }
    EXPECT_EQ(m_window.Errors(), std::vector<std::string> {});
}

INSTANTIATE_TEST_SUITE_P(
    Pages, RedirectTarget,
    ::testing::Values(TargetCase {"Status302", "/redirect/302", true, "http://target.example:8080/home/index.htm"},
                      TargetCase {"RedirectWithoutLocation", "/redirect/302-bare", false, ""},
                      TargetCase {"RefreshElement", "/refresh-lower.htm", true, "http://home.example:8080/seite.htm"},
                      TargetCase {"RefreshEscaped", "/refresh-escaped.htm", true, "http://h/a&b\"<>'"},
                      TargetCase {"RefreshInUpperCase", "/refresh-upper.htm", true, "http://home.example/"},
                      TargetCase {"NoSpaceAfterSemicolon", "/refresh-nospace.htm", false, ""},
                      TargetCase {"RefreshAtTheVeryStart", "/refresh-first.htm", false, ""},
                      TargetCase {"RefreshNotClosed", "/refresh-unclosed.htm", false, ""},
                      TargetCase {"PlainPage", "/plain.htm", false, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InternetTransfer, GetPageCollectsLinesWithCrLf)
{
    for (const char* path : {"/lines/with-newline.txt", "/lines/without-newline.txt"}) {
        std::string text = "old";
        EXPECT_TRUE(m_transfer.GetPage(text, url(path))) << path;
        EXPECT_EQ(text, "first line\r\nsecond line\r\n") << path;
    }
    EXPECT_EQ(m_window.Errors(), std::vector<std::string> {});
}

TEST_F(InternetTransfer, GetPageRefusesOtherSchemesAndBadAddressesSilently)
{
    TcpPeer peer(TcpPeer::Mode::Silent);
    const std::string port = std::to_string(peer.port());
    for (const std::string& address : {"ftp://127.0.0.1:" + port + "/index.htm", std::string("127.0.0.1/index.htm"),
                                       "http://127.0.0.1:" + port + "/a\r\nb"}) {
        std::string text;
        EXPECT_FALSE(m_transfer.GetPage(text, address)) << address;
    }
    EXPECT_EQ(m_window.All().size(), 0u);
    EXPECT_EQ(peer.connections(), 0);
}

TEST_F(InternetTransfer, GetPageReportsStatusFailuresInGerman)
{
    std::string text;
    EXPECT_FALSE(m_transfer.GetPage(text, url("/missing.htm")));
    EXPECT_FALSE(m_transfer.GetPage(text, url("/auth/index.htm")));
    EXPECT_FALSE(m_transfer.GetPage(text, "http://127.0.0.1:" + std::to_string(velt::testing::FreeTcpPort()) + "/"));
    EXPECT_EQ(m_window.Errors(),
              (std::vector<std::string> {"Server Fehler: 404. Not Found",
                                         "Fehler: 401 - Diese Webseite verlangt eine Anmeldung!",
                                         "Es konnte keine Verbindung mit dem Server hergestellt werden."}));
    EXPECT_EQ(m_transfer.LastError(), "Es konnte keine Verbindung mit dem Server hergestellt werden.");
}

// A page server that sends its headers and then a byte now and then: the
// total bound and the speed bound each end the read.
TEST_F(InternetTransfer, ATricklingServerIsCutOffByTimeAndBySpeed)
{
    using namespace std::chrono;
    const tarnwick::CTransferSession::Limits defaults = m_transfer.Limits();
    TcpPeer trickle(TcpPeer::Mode::Trickle, "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
    const tarnwick::CTransferSession::Limits cases[] = {
        {seconds(30), milliseconds(1500), 1}, // 10 bytes a second pass the speed bound
        {seconds(1), milliseconds(0), 64}, // no total bound
    };
    for (const tarnwick::CTransferSession::Limits& limits : cases) {
        m_transfer.SetLimits(limits);
        const auto start = steady_clock::now();
        std::string text;
        EXPECT_FALSE(m_transfer.GetPage(text, trickle.url("/index.htm")));
        EXPECT_LT(steady_clock::now() - start, seconds(15));
    }
    EXPECT_EQ(m_window.Errors(), (std::vector<std::string>(2, "Das Zeitlimit für den Vorgang wurde überschritten.")));
    EXPECT_EQ(defaults.total, seconds(120)) << "every transfer has a bound";
}

TEST_F(InternetTransfer, GetPageSendsTheRequestTheServicesExpect)
{
    TcpPeer peer(AnswerAfterRequest("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nok\r\n"));
    std::string text;
    ASSERT_TRUE(m_transfer.GetPage(text, peer.url("/Tarnwick/GetClientIP.asp?TextOnly=1")));
    EXPECT_EQ(text, "ok\r\n");
    const std::string wire = peer.received();
    EXPECT_EQ(wire.rfind("GET /Tarnwick/GetClientIP.asp?TextOnly=1 HTTP/1.1\r\n", 0), 0u) << wire;
    EXPECT_NE(wire.find("\r\nAccept: text/*\r\nUser-Agent: VELT Tarnwick-Client\r\n"), std::string::npos) << wire;
    EXPECT_NE(wire.find("\r\nReferer: http://192.0.2.7:8080/\r\n"), std::string::npos) << wire;
    // Nothing of libcurl's own defaults goes along.
    for (const char* absent : {"Expect:", "*/*", "User-Agent: VELT Tarnwick\r\n", "Authorization"})
        EXPECT_EQ(wire.find(absent), std::string::npos) << absent << wire;
}

TEST_F(InternetTransfer, StatusTextsOfARequestReachTheWindow)
{
    std::string text;
    ASSERT_TRUE(m_transfer.GetPage(text, url("/plain.htm")));
    const std::vector<std::string> expected {"Name wird gesucht (127.0.0.1)",
                                             "Name wurde zugeordnet (127.0.0.1)",
                                             "Verbindung zum Server wird hergestellt (127.0.0.1)",
                                             "Server-Verbindung besteht (127.0.0.1)",
                                             "Sende Anforderung",
                                             "Anforderung wurde gesendet",
                                             "Empfange Antwort",
                                             "Antwort wurde empfangen",
                                             "Trenne Verbindung",
                                             "Verbindung wurde geschlossen",
                                             "Anforderung abgeschlossen"};
    EXPECT_EQ(m_window.Statuses(), expected);
    for (const auto& message : m_window.All())
        EXPECT_EQ(message.wParam, 1u);
}

struct AddressCase
{
    const char* name;
    const char* path;
    bool accepted;
    const char* address;
};

class ClientAddress : public InternetTransfer, public ::testing::WithParamInterface<AddressCase>
{
};

TEST_P(ClientAddress, AcceptsOnlyADottedAddress)
{
    const AddressCase& c = GetParam();
    std::string address;
    EXPECT_EQ(m_transfer.ReadClientAddress(address, url(c.path)), c.accepted);
    if (c.accepted) {
        EXPECT_EQ(address, c.address);
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, ClientAddress,
                         ::testing::Values(AddressCase {"EightCharacters", "/ip/eight", true, "10.0.0.1"},
                                           AddressCase {"SevenCharacters", "/ip/short", true, "1.2.3.4"},
                                           AddressCase {"FifteenCharacters", "/ip/longest", true, "255.255.255.255"},
                                           AddressCase {"SurroundingBlanks", "/ip/blanks", true, "1.2.3.4"},
                                           AddressCase {"Markup", "/ip/markup", false, ""},
                                           AddressCase {"OutOfRange", "/ip/range", false, ""},
                                           AddressCase {"TextBehind", "/ip/more", false, ""},
                                           AddressCase {"TwoLines", "/ip/lines", false, ""},
                                           AddressCase {"NoDot", "/ip/nodot", false, ""},
                                           AddressCase {"Redirect", "/ip/redirect", false, ""},
                                           AddressCase {"Missing", "/missing.htm", false, ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(InternetTransfer, ServerAddressIsTheConnectedAddress)
{
    std::string address = "stale";
    EXPECT_TRUE(m_transfer.ReadServerAddress(address, url("/plain.htm")));
    EXPECT_EQ(address, "127.0.0.1");
    EXPECT_EQ(m_transfer.ServerIp(), "127.0.0.1");
    EXPECT_TRUE(m_transfer.ReadServerAddress(address, url("/redirect/302")));
    EXPECT_FALSE(m_transfer.ReadServerAddress(address, url("/missing.htm")));
}

TEST_F(InternetTransfer, UploadHttpAnswers)
{
    const std::string server = "127.0.0.1";
    const uint16_t port = s_nginx->port();
    EXPECT_TRUE(m_transfer.UploadHttp("<html>neu</html>\r\n", server, "/dav/index.htm", "", "", port));
    EXPECT_EQ(velt::testing::ReadTextFile((s_nginx->davRoot() / "index.htm").string()), "<html>neu</html>\r\n");
    EXPECT_TRUE(m_transfer.UploadHttp("<html>wieder</html>\r\n", server, "/dav/index.htm", "", "", port));
    EXPECT_TRUE(
        m_transfer.UploadHttp("x", server, "/dav-auth/index.htm", NginxServer::kUser, NginxServer::kPassword, port));
    EXPECT_EQ(m_window.Errors(), std::vector<std::string> {});

    EXPECT_FALSE(m_transfer.UploadHttp("x", server, "/readonly/index.htm", "", "", port));
    EXPECT_FALSE(m_transfer.UploadHttp("x", server, "/dav-auth/index.htm", NginxServer::kUser, "falsch", port));
    EXPECT_EQ(m_window.Errors(),
              (std::vector<std::string> {"Fehler 403 - HTTP-Schreibzugriff verweigert!",
                                         "Server gab Fehler-Code: 401 zur\xc3\xbc"
                                         "ck!\r\nUnauthorized"}));
}

TEST_F(InternetTransfer, UploadHttpSendsTheHeadersAndTheReferrer)
{
    TcpPeer peer(AnswerAfterRequest("HTTP/1.1 201 Created\r\nContent-Length: 0\r\n\r\n", 5));
    ASSERT_TRUE(m_transfer.UploadHttp("Seite", "127.0.0.1", "/htdocs/index.htm", "", "", peer.port()));
    const std::string wire = peer.received();
    EXPECT_EQ(wire.rfind("PUT /htdocs/index.htm HTTP/1.1\r\n", 0), 0u) << wire;
    EXPECT_NE(wire.find("\r\nReferer: http://web.example/index.htm\r\n"), std::string::npos) << wire;
    EXPECT_NE(wire.find("\r\nAccept: text/*\r\nUser-Agent: VELT Tarnwick-Client\r\n"), std::string::npos) << wire;
    EXPECT_NE(wire.find("\r\nContent-Length: 5\r\n"), std::string::npos) << wire;
    EXPECT_EQ(wire.substr(wire.size() - 5), "Seite");
}

TEST_F(InternetTransfer, UploadFtpStoresAndReportsRefusals)
{
    EXPECT_TRUE(m_transfer.UploadFtp("<html>\r\nftp\r\n</html>\r\n", "127.0.0.1", "/index.htm", s_ftp->user(),
                                     s_ftp->password(), s_ftp->port()))
        << m_transfer.LastError() << s_ftp->logs();
    EXPECT_EQ(s_ftp->readFile("index.htm"), "<html>\r\nftp\r\n</html>\r\n");
    EXPECT_NE(s_ftp->logs().find("<- TYPE A"), std::string::npos);
    EXPECT_EQ(m_window.Errors(), std::vector<std::string> {});

    EXPECT_FALSE(m_transfer.UploadFtp("x", "127.0.0.1", "/index.htm", s_ftp->user(), "falsch", s_ftp->port()));
    EXPECT_FALSE(
        m_transfer.UploadFtp("x", "127.0.0.1", "/fehlt/index.htm", s_ftp->user(), s_ftp->password(), s_ftp->port()));
    auto errors = m_window.Errors();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0].rfind("Die Anmeldung am Server wurde abgelehnt.\r\n530 ", 0), 0u) << errors[0];
    EXPECT_EQ(errors[1].rfind("Der Server hat den Zugriff auf die Datei verweigert.\r\n550 ", 0), 0u) << errors[1];
    EXPECT_EQ(s_ftp->readFile("index.htm"), "<html>\r\nftp\r\n</html>\r\n");
}

TEST_F(InternetTransfer, EmptyUploadTouchesNoNetwork)
{
    TcpPeer peer(TcpPeer::Mode::Silent);
    EXPECT_FALSE(m_transfer.UploadFtp("", "127.0.0.1", "/index.htm", "u", "p", peer.port()));
    EXPECT_FALSE(m_transfer.UploadHttp("", "127.0.0.1", "/index.htm", "u", "p", peer.port()));
    EXPECT_EQ(peer.connections(), 0);
    EXPECT_EQ(m_window.All().size(), 0u);
}

struct InjectionCase
{
    const char* name;
    std::string server, path, user, password;
};

class LineBreakInjection : public InternetTransfer, public ::testing::WithParamInterface<InjectionCase>
{
};

TEST_P(LineBreakInjection, NeverReachesTheWire)
{
    const InjectionCase& c = GetParam();
    TcpPeer peer(TcpPeer::Mode::Silent);
    const std::string server = c.server.empty() ? std::string("127.0.0.1") : c.server;
    EXPECT_FALSE(m_transfer.UploadFtp("page", server, c.path, c.user, c.password, peer.port()));
    EXPECT_FALSE(m_transfer.UploadHttp("page", server, c.path, c.user, c.password, peer.port()));
    EXPECT_EQ(m_window.Errors(), (std::vector<std::string> {kLineBreak, kLineBreak}));
    EXPECT_EQ(peer.connections(), 0);
}

INSTANTIATE_TEST_SUITE_P(Fields, LineBreakInjection,
                         ::testing::Values(InjectionCase {"Server", "127.0.0.1\r\n", "/index.htm", "user", "pw"},
                                           InjectionCase {"Path", "", "/index.htm\r\nDELE /other.htm", "user", "pw"},
                                           InjectionCase {"Password", "", "/index.htm", "user", "pw\rQUIT"},
                                           InjectionCase {"Nul", "", "/index.htm", "user", std::string("pw\0x", 4)}),
                         [](const auto& info) { return std::string(info.param.name); });

// Runs GetPage on a worker thread, cancels from this thread once the worker
// waits, and checks that it ends promptly with the cancel text.
void ExpectCancelledGetPage(CInternetTransfer& transfer, RecordingWindow& window, const std::string& address,
                            const std::function<bool()>& waiting)
{
    auto result = std::async(std::launch::async, [&] {
        std::string text;
        return transfer.GetPage(text, address);
    });
    auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!waiting() && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto cancelledAt = Clock::now();
    transfer.Cancel(true);
    ASSERT_EQ(result.wait_for(std::chrono::seconds(2)), std::future_status::ready) << "GetPage still blocked";
    EXPECT_LT(Clock::now() - cancelledAt, std::chrono::seconds(2));
    EXPECT_FALSE(result.get());
    EXPECT_EQ(window.Errors(), std::vector<std::string> {kCancelled});
}

TEST_F(InternetTransfer, CancelEndsASlowBody)
{
    ExpectCancelledGetPage(m_transfer, m_window, url("/slow/big.bin"), [this] {
        auto statuses = m_window.Statuses();
        return std::find(statuses.begin(), statuses.end(), "Antwort wurde empfangen") != statuses.end();
    });
}

TEST_F(InternetTransfer, CancelEndsAConnectionThatNeverAnswers)
{
    TcpPeer silent(TcpPeer::Mode::Silent);
    ExpectCancelledGetPage(m_transfer, m_window, silent.url("/"),
                           [&] { return silent.waitForReceived("\r\n\r\n", std::chrono::milliseconds(0)); });
}

TEST_F(InternetTransfer, AfterCancelEveryGetPageFailsSilentlyUntilCleared)
{
    TcpPeer peer(AnswerAfterRequest("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nok\n"));
    m_transfer.Cancel(true);
    std::string text;
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(m_transfer.GetPage(text, peer.url("/")));
    std::string target;
    EXPECT_FALSE(m_transfer.ReadRedirectTarget(target, url("/redirect/302")));
    EXPECT_EQ(m_window.All().size(), 0u);
    EXPECT_EQ(peer.connections(), 0);

    // Uploads do not look at the marker.
    EXPECT_TRUE(m_transfer.UploadHttp("x", "127.0.0.1", "/dav/cancelled.htm", "", "", s_nginx->port()));

    m_transfer.Cancel(false);
    EXPECT_TRUE(m_transfer.GetPage(text, peer.url("/")));
    EXPECT_EQ(text, "ok\r\n");
}

TEST_F(InternetTransfer, OneOperationAtATime)
{
    TcpPeer silent(TcpPeer::Mode::Silent);
    auto blocked = std::async(std::launch::async, [&] {
        std::string text;
        return m_transfer.GetPage(text, silent.url("/"));
    });
    ASSERT_TRUE(silent.waitForReceived("\r\n\r\n", std::chrono::seconds(10)));
    std::string text;
    EXPECT_FALSE(m_transfer.GetPage(text, url("/plain.htm")));
    EXPECT_FALSE(m_transfer.UploadHttp("x", "127.0.0.1", "/dav/busy.htm", "", "", s_nginx->port()));
    EXPECT_FALSE(m_transfer.UploadFtp("x", "127.0.0.1", "/busy.htm", s_ftp->user(), s_ftp->password(), s_ftp->port()));
    EXPECT_EQ(m_window.Errors(), std::vector<std::string> {});
    m_transfer.Cancel(true);
    EXPECT_FALSE(blocked.get());
    m_transfer.Cancel(false);
    EXPECT_TRUE(m_transfer.GetPage(text, url("/plain.htm")));
    EXPECT_FALSE(std::filesystem::exists(s_nginx->davRoot() / "busy.htm"));
}

TEST_F(InternetTransfer, UnresolvableNameIsReportedInGerman)
{
    platform::SetInternetResolveOverride([](const std::string&) -> std::optional<std::string> { return std::nullopt; });
    std::string text;
    EXPECT_FALSE(m_transfer.GetPage(text, "http://redirect.test/index.htm"));
    platform::SetInternetResolveOverride({});
    EXPECT_EQ(m_window.Errors(),
              std::vector<std::string> {"Der Servername oder die Serveradresse konnte nicht verarbeitet werden."});
    EXPECT_EQ(m_window.Statuses(), std::vector<std::string> {"Name wird gesucht (redirect.test)"});
}

TEST_F(InternetTransfer, GarbageAndOversizedAnswersFailCleanly)
{
    TcpPeer garbage(TcpPeer::Mode::SendAndClose, std::string("\x00\x01garbage\r\n\r\n", 13));
    std::string text;
    EXPECT_FALSE(m_transfer.GetPage(text, garbage.url("/")));

    s_nginx->writeFile("huge.txt", std::string(CInternetTransfer::kMaxPageBytes + 100, 'a'));
    EXPECT_FALSE(m_transfer.GetPage(text, url("/huge.txt")));
    EXPECT_LE(text.size(), CInternetTransfer::kMaxPageBytes);
    EXPECT_EQ(m_window.Errors(),
              (std::vector<std::string> {"Die Antwort des Servers ist ung\xc3\xbcltig oder wurde nicht erkannt.",
                                         "Fehler: Die Webseite ist gr\xc3\xb6\xc3\x9f"
                                         "er als 16 MB!"}));
}

} // namespace
