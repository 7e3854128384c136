// Encrypted transfers against real servers with certificates made by the
// test: nginx over https, the FTP server with explicit TLS, and peers that
// speak no TLS or hang in the handshake. Verification is never switched off;
// the test's own authority comes in as the user's CA file.
#include "RecordingWindow.h"
#include "tarnwick/transfer/CInternetTransfer.h"
#include "testing/FreeTcpPort.h"
#include "testing/FtpServer.h"
#include "testing/NginxServer.h"
#include "testing/TcpPeer.h"
#include "testing/TestCertificates.h"

#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using tarnwick::CInternetTransfer;
using velt::testing::FreeTcpPort;
using velt::testing::FtpServer;
using velt::testing::NginxServer;
using velt::testing::TcpPeer;
using velt::testing::TestCertificates;

namespace {

constexpr const char* kPage = "<html>Umleitung</html>\r\n";
constexpr const char* kExpired = "Das Sicherheitszertifikat des Servers ist abgelaufen.";
constexpr const char* kSelfSigned
    = "Das Sicherheitszertifikat des Servers ist selbst signiert und nicht vertrauensw\xc3\xbcrdig.";
constexpr const char* kWrongHost = "Das Sicherheitszertifikat des Servers gilt nicht f\xc3\xbcr diesen Servernamen.";
constexpr const char* kUnknownAuthority
    = "Das Sicherheitszertifikat des Servers stammt von keiner vertrauensw\xc3\xbcrdigen Zertifizierungsstelle.";
constexpr const char* kChannel = "Beim sicheren Kanal ist ein Fehler aufgetreten.";
constexpr const char* kNoTls = "Der Server bietet keine verschl\xc3\xbcsselte Verbindung (TLS) an.";

std::string Loopback(uint16_t port, const std::string& scheme, const std::string& path)
{
    return scheme + "://127.0.0.1:" + std::to_string(port) + path;
}

class TlsTransfer : public ::testing::Test
{
protected:
    // One nginx: a plain server (kHttp) and https servers with each kind of certificate.
    enum Server { kHttp, kGood, kExpiredCert, kWrongHostCert, kSelfSignedCert, kServers };

    static void SetUpTestSuite()
    {
        s_certificates = new TestCertificates();
        for (uint16_t& port : s_ports)
            port = FreeTcpPort();
        const std::string http = std::to_string(s_ports[kHttp]);
        const std::string good = std::to_string(s_ports[kGood]);
        std::string servers;
        // The plain server forces https for its pages; /loop.htm goes back and forth.
        servers += "server { listen 127.0.0.1:" + http
            + "; root @ROOT@/html;\n"
              "  location = /forced301.htm { return 301 https://127.0.0.1:"
            + good
            + "/forced301.htm; }\n"
              "  location = /forced308.htm { return 308 https://127.0.0.1:"
            + good
            + "/forced308.htm; }\n"
              "  location = /elsewhere307.htm { return 307 https://127.0.0.1:"
            + good
            + "/other.htm; }\n"
              "  location = /loop.htm { return 302 https://127.0.0.1:"
            + good
            + "/loop.htm; }\n"
              "  location = /back.htm { return 302 https://127.0.0.1:"
            + good
            + "/back.htm; }\n"
              "}\n";
        // The plain peer where a redirected upload would go in clear.
        s_plainPeer = new TcpPeer(TcpPeer::Mode::Silent);
        const TestCertificates::Pair* pairs[] = {nullptr, &s_certificates->good(), &s_certificates->expired(),
                                                 &s_certificates->wrongHost(), &s_certificates->selfSigned()};
        for (int server = kGood; server < kServers; ++server) {
            servers += "server { listen 127.0.0.1:" + std::to_string(s_ports[server])
                + " ssl;\n"
                  "  ssl_certificate "
                + pairs[server]->certificate + "; ssl_certificate_key " + pairs[server]->key
                + ";\n  root @ROOT@/html;\n"
                  "  location /dav/ { root @ROOT@; dav_methods PUT; create_full_put_path on; }\n"
                  "  location = /dav/moved.htm { return 307 "
                + s_plainPeer->url("/dav/moved.htm")
                + "; }\n"
                  "  location = /loop.htm { return 302 http://127.0.0.1:"
                + http
                + "/loop.htm; }\n"
                  "  location = /back.htm { return 301 http://127.0.0.1:"
                + http
                + "/back.htm; }\n"
                  "}\n";
        }
        // The document root is known once the server object exists: written
        // through a placeholder nginx never sees.
        s_nginx = new NginxServer({}, Rooted(servers));
        const std::string refresh
            = "<html><head><meta http-equiv=\"refresh\" content=\"0; url=http://Home.Example:8080/\"></head></html>\n";
        for (const char* page : {"forced301.htm", "forced308.htm", "secure.htm"})
            s_nginx->writeFile(page, refresh);
    }
    static void TearDownTestSuite()
    {
        delete s_nginx;
        delete s_certificates;
        delete s_plainPeer;
        s_plainPeer = nullptr;
        s_nginx = nullptr;
        s_certificates = nullptr;
    }
    // nginx's root is a fresh temporary folder; the servers' blocks need it
    // before it exists, so they name it relative to nginx's prefix instead.
    static std::string Rooted(std::string text)
    {
        for (auto at = text.find("@ROOT@"); at != std::string::npos; at = text.find("@ROOT@"))
            text.replace(at, 6, ".");
        return text;
    }
    void SetUp() override
    {
        m_transfer.SetMessageWindow(&m_window);
        m_transfer.SetCaFile(s_certificates->caFile());
    }
    static std::string Url(Server server, const std::string& path)
    {
        return Loopback(s_ports[server], server == kHttp ? "http" : "https", path);
    }

    static TestCertificates* s_certificates;
    static NginxServer* s_nginx;
    static uint16_t s_ports[kServers];
    static TcpPeer* s_plainPeer;
    RecordingWindow m_window;
    CInternetTransfer m_transfer;
};
TestCertificates* TlsTransfer::s_certificates = nullptr;
NginxServer* TlsTransfer::s_nginx = nullptr;
uint16_t TlsTransfer::s_ports[TlsTransfer::kServers] = {};
TcpPeer* TlsTransfer::s_plainPeer = nullptr;

TEST_F(TlsTransfer, ReadsAnHttpsPageWithTheUsersAuthority)
{
    std::string target;
    ASSERT_TRUE(m_transfer.ReadRedirectTarget(target, Url(kGood, "/secure.htm"))) << s_nginx->logs();
    EXPECT_EQ(target, "http://home.example:8080/");
    EXPECT_EQ(m_window.Errors(), std::vector<std::string> {});
}

TEST_F(TlsTransfer, RefusesEveryCertificateItCannotTrustWithItsOwnWords)
{
    const struct
    {
        Server server;
        bool withCaFile;
        const char* message;
    } cases[] = {
        {kExpiredCert, true, kExpired},
        {kWrongHostCert, true, kWrongHost},
        {kSelfSignedCert, true, kSelfSigned},
        {kGood, false, kUnknownAuthority}, // the system does not know the test's authority
    };
    for (const auto& c : cases) {
        RecordingWindow window;
        CInternetTransfer transfer;
        transfer.SetMessageWindow(&window);
        transfer.SetCaFile(c.withCaFile ? s_certificates->caFile() : std::string());
        std::string text;
        EXPECT_FALSE(transfer.GetPage(text, Url(c.server, "/secure.htm"))) << c.message;
        EXPECT_EQ(window.Errors(), std::vector<std::string> {c.message});
        // The upload goes nowhere either.
        const std::string name = "refused-" + std::to_string(c.server) + ".htm";
        EXPECT_FALSE(transfer.UploadHttp(kPage, "127.0.0.1", "/dav/" + name, {}, {}, s_ports[c.server], true));
        EXPECT_FALSE(std::filesystem::exists(s_nginx->davRoot() / name));
    }
    // A CA file that cannot be read is named as such, not as a bad certificate.
    m_transfer.SetCaFile(s_certificates->caFile() + ".fehlt");
    std::string text;
    EXPECT_FALSE(m_transfer.GetPage(text, Url(kGood, "/secure.htm")));
    EXPECT_EQ(m_window.Errors(),
              std::vector<std::string> {"Die Datei mit den Zertifizierungsstellen (CaFile) ist nicht lesbar."});
}

TEST_F(TlsTransfer, AForcedHttpsHostCountsWhereItsHttpsPageLeads)
{
    const struct
    {
        const char* path;
        bool found;
        const char* target;
    } cases[] = {
        {"/forced301.htm", true, "http://home.example:8080/"},
        {"/forced308.htm", true, "http://home.example:8080/"},
        // The https page sends back to http: that is where it leads; read once, no loop.
        {"/loop.htm", true, nullptr},
        {"/back.htm", true, nullptr},
    };
    for (const auto& c : cases) {
        std::string target;
        ASSERT_EQ(m_transfer.ReadRedirectTarget(target, Url(kHttp, c.path)), c.found) << c.path;
        EXPECT_EQ(target, c.target ? std::string(c.target) : Url(kHttp, c.path)) << c.path;
    }
    // An https page that sends back to http leads there (nothing special about https itself).
    std::string back;
    ASSERT_TRUE(m_transfer.ReadRedirectTarget(back, Url(kGood, "/back.htm")));
    EXPECT_EQ(back, Url(kHttp, "/back.htm"));
    EXPECT_EQ(m_window.Errors(), std::vector<std::string> {});
    // A 307 somewhere else keeps its meaning: a server error.
    std::string target;
    EXPECT_FALSE(m_transfer.ReadRedirectTarget(target, Url(kHttp, "/elsewhere307.htm")));
    ASSERT_EQ(m_window.Errors().size(), 1u);
    EXPECT_EQ(m_window.Errors()[0].rfind("Server Fehler: 307.", 0), 0u) << m_window.Errors()[0];
}

TEST_F(TlsTransfer, PutsOverHttpsAndRefusesAServerWithoutTls)
{
    ASSERT_TRUE(m_transfer.UploadHttp(kPage, "127.0.0.1", "/dav/tls.htm", {}, {}, s_ports[kGood], true))
        << (m_window.Errors().empty() ? s_nginx->logs() : m_window.Errors()[0]);
    EXPECT_TRUE(std::filesystem::exists(s_nginx->davRoot() / "tls.htm"));

    EXPECT_FALSE(m_transfer.UploadHttp(kPage, "127.0.0.1", "/dav/plain.htm", {}, {}, s_ports[kHttp], true));
    EXPECT_EQ(m_window.Errors(), std::vector<std::string> {kChannel});
    EXPECT_FALSE(std::filesystem::exists(s_nginx->davRoot() / "plain.htm"));

    // A redirect answer to the encrypted upload is a failure; nothing goes
    // in clear to where it points.
    RecordingWindow window;
    CInternetTransfer transfer;
    transfer.SetMessageWindow(&window);
    transfer.SetCaFile(s_certificates->caFile());
    EXPECT_FALSE(transfer.UploadHttp(kPage, "127.0.0.1", "/dav/moved.htm", {}, {}, s_ports[kGood], true));
    EXPECT_EQ(window.Errors(), std::vector<std::string> {"Server gab Fehler-Code: 307 zurück!\r\nTemporary Redirect"});
    EXPECT_EQ(s_plainPeer->connections(), 0);
}

TEST_F(TlsTransfer, AFifoAsCaFileFailsAtOnceAsUnreadable)
{
    const std::string fifo = (s_nginx->docRoot().parent_path() / "ca.fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    m_transfer.SetCaFile(fifo);
    auto result = std::async(std::launch::async, [&] {
        std::string text;
        return m_transfer.GetPage(text, Url(kGood, "/secure.htm"));
    });
    ASSERT_EQ(result.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_FALSE(result.get());
    EXPECT_EQ(m_window.Errors(),
              std::vector<std::string> {"Die Datei mit den Zertifizierungsstellen (CaFile) ist nicht lesbar."});
    ::unlink(fifo.c_str());
}

TEST_F(TlsTransfer, CancelEndsAHandshakeThatHangs)
{
    TcpPeer peer(TcpPeer::Mode::Silent);
    auto result = std::async(std::launch::async, [&] {
        std::string text;
        return m_transfer.GetPage(text, Loopback(peer.port(), "https", "/"));
    });
    ASSERT_TRUE(peer.waitForReceived("\x16\x03", std::chrono::seconds(5))); // the client hello is out
    const auto start = std::chrono::steady_clock::now();
    m_transfer.Cancel(true);
    ASSERT_EQ(result.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_FALSE(result.get());
}

class FtpTls : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_transfer.SetMessageWindow(&m_window);
        m_transfer.SetCaFile(m_certificates.caFile());
    }
    bool Upload(const FtpServer& server, const std::string& name, bool tls)
    {
        return m_transfer.UploadFtp(kPage, "127.0.0.1", "/" + name, server.user(), server.password(), server.port(),
                                    tls);
    }

    TestCertificates m_certificates;
    RecordingWindow m_window;
    CInternetTransfer m_transfer;
};

TEST_F(FtpTls, StoresOverExplicitTls)
{
    FtpServer server(FtpServer::Options {m_certificates.good().certificate, m_certificates.good().key});
    ASSERT_TRUE(Upload(server, "tls.htm", true))
        << (m_window.Errors().empty() ? "" : m_window.Errors()[0]) << server.logs();
    EXPECT_EQ(server.readFile("tls.htm"), kPage);
    const std::string log = server.logs();
    EXPECT_NE(log.find("AUTH TLS"), std::string::npos);
    EXPECT_NE(log.find("PROT P"), std::string::npos);
    EXPECT_EQ(log.find("PORT"), std::string::npos); // passive only
}

TEST_F(FtpTls, NeverFallsBackToClearText)
{
    {
        FtpServer plain;
        EXPECT_FALSE(Upload(plain, "a.htm", true));
        EXPECT_EQ(m_window.Errors().size(), 1u);
        EXPECT_EQ(m_window.Errors()[0].rfind(kNoTls, 0), 0u) << m_window.Errors()[0];
        EXPECT_EQ(plain.readFile("a.htm"), "");
        EXPECT_EQ(plain.logs().find("PASS"), std::string::npos); // the password never went out in clear
    }
    FtpServer selfSigned(FtpServer::Options {m_certificates.selfSigned().certificate, m_certificates.selfSigned().key});
    EXPECT_FALSE(Upload(selfSigned, "b.htm", true));
    ASSERT_EQ(m_window.Errors().size(), 2u);
    EXPECT_EQ(m_window.Errors()[1], kSelfSigned);
    EXPECT_EQ(selfSigned.readFile("b.htm"), "");
}

TEST_F(FtpTls, PlainFtpTriesPassiveOnceWhenTheServerCannotConnectBack)
{
    for (const char* active : {"refuse", "silent"}) {
        RecordingWindow window;
        m_transfer.SetMessageWindow(&window);
        FtpServer server(FtpServer::Options {{}, {}, active});
        ASSERT_TRUE(Upload(server, "page.htm", false)) << active << server.logs();
        EXPECT_EQ(server.readFile("page.htm"), kPage) << active;
        EXPECT_EQ(window.Errors(), std::vector<std::string> {}) << active;
        const auto infos = window.Texts(tarnwick::WM_INFO_TEXT);
        ASSERT_EQ(infos.size(), 1u) << active;
        EXPECT_NE(infos[0].find("im passiven Modus"), std::string::npos);
    }
}

} // namespace
