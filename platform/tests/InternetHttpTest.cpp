// HTTP through the session layer against the real nginx and against TCP peers
// that misbehave on purpose.
#include "platform/internet/HttpRequest.h"
#include "platform/internet/InternetCheckConnection.h"
#include "platform/internet/InternetConnection.h"
#include "platform/internet/InternetConstants.h"
#include "platform/internet/InternetSession.h"
#include "testing/FreeTcpPort.h"
#include "testing/NginxServer.h"
#include "testing/ScopedEnv.h"
#include "testing/TcpPeer.h"

#include <gtest/gtest.h>

using namespace platform;
using velt::testing::NginxServer;
using velt::testing::PeerReply;
using velt::testing::TcpPeer;

namespace {

constexpr uint32_t kGetFlags = 0x84200200;
constexpr uint32_t kPutFlags = 0x84000200;
constexpr const char* kHeaders = "Accept: text/*\r\nUser-Agent: VELT Tarnwick-Client\r\n";

struct Fetched
{
    bool sent = false;
    InternetError error;
    uint32_t status = 0;
    std::string statusText;
    std::string rawHeaders;
    bool hasLocation = false;
    std::string location;
    std::vector<std::string> lines;
    InternetError readError;
    std::vector<std::pair<uint32_t, std::string>> reports;
};

struct Request
{
    std::string verb = "GET";
    std::string object = "/";
    std::string body {};
    uint32_t flags = kGetFlags;
    std::string user {};
    std::string password {};
    std::string server = "127.0.0.1";
    std::string headers = kHeaders;
};

Fetched Fetch(uint16_t port, const Request& request, InternetSession* given = nullptr)
{
    Fetched result;
    InternetSession own("VELT Tarnwick", 1, INTERNET_FLAG_DONT_CACHE);
    InternetSession& session = given ? *given : own;
    session.SetStatusCallback(
        [&result](uintptr_t, uint32_t code, const char* info) { result.reports.emplace_back(code, info); });
    auto connection = session.GetHttpConnection(request.server, port, request.user, request.password, result.error);
    if (!connection)
        return result;
    auto http = connection->OpenRequest(request.verb, request.object, "http://referrer.example/", 1, request.flags,
                                        result.error);
    if (!http)
        return result;
    result.sent = http->Send(request.headers, request.body, result.error);
    if (!result.sent)
        return result;
    result.status = http->StatusCode();
    result.statusText = http->StatusText();
    result.rawHeaders = http->RawHeaders();
    result.hasLocation = http->QueryHeader("location", result.location);
    std::string line;
    while (http->ReadLine(line, result.readError))
        result.lines.push_back(line);
    return result;
}

std::vector<uint32_t> Codes(const Fetched& fetched)
{
    std::vector<uint32_t> codes;
    for (const auto& report : fetched.reports)
        codes.push_back(report.first);
    return codes;
}

class InternetHttp : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_nginx = new NginxServer("location = /follow { return 302 /lines/with-newline.txt; }\n"
                                  "location = /loop { return 302 /loop; }\n");
        s_nginx->writeFile("binary.bin", std::string("a\0b\r\nc\xff", 7));
        std::string big;
        for (int i = 0; big.size() < 3 * 1024 * 1024; ++i)
            big += "line " + std::to_string(i) + "\n";
        s_nginx->writeFile("big.txt", big);
        s_nginx->writeFile("long-line.txt", std::string(5000, 'x') + "\nend");
    }
    static void TearDownTestSuite()
    {
        delete s_nginx;
        s_nginx = nullptr;
    }
    static uint16_t port() { return s_nginx->port(); }
    static NginxServer* s_nginx;
};
NginxServer* InternetHttp::s_nginx = nullptr;

struct GetCase
{
    const char* object;
    uint32_t status;
    const char* statusText;
    std::vector<std::string> lines;
    const char* location; // nullptr: no Location header
};

TEST_F(InternetHttp, GetReportsStatusHeadersAndLines)
{
    const GetCase cases[] = {{"/lines/with-newline.txt", 200, "OK", {"first line", "second line"}, nullptr},
                             {"/lines/without-newline.txt", 200, "OK", {"first line", "second line"}, nullptr},
                             {"/redirect/302", 302, "Moved Temporarily", {}, NginxServer::kRedirectLocation},
                             {"/redirect/301", 301, "Moved Permanently", {}, NginxServer::kRedirectLocation},
                             {"/redirect/302-bare", 302, "Moved Temporarily", {}, nullptr},
                             {"/auth/index.htm", 401, "Unauthorized", {}, nullptr},
                             {"/missing.htm", 404, "Not Found", {}, nullptr},
                             {"/long-line.txt", 200, "OK", {std::string(5000, 'x'), "end"}, nullptr}};
    for (const GetCase& c : cases) {
        SCOPED_TRACE(c.object);
        Fetched fetched = Fetch(port(), {.object = c.object});
        ASSERT_TRUE(fetched.sent) << fetched.error.text << s_nginx->logs();
        EXPECT_EQ(fetched.status, c.status);
        EXPECT_EQ(fetched.statusText, c.statusText);
        if (!c.lines.empty()) {
            EXPECT_EQ(fetched.lines, c.lines);
        }
        EXPECT_EQ(fetched.hasLocation, c.location != nullptr);
        EXPECT_EQ(fetched.location, c.location ? c.location : "");
        EXPECT_FALSE(fetched.readError);
        EXPECT_EQ(fetched.rawHeaders.rfind("HTTP/1.1 " + std::to_string(c.status) + " " + c.statusText + "\r\n", 0),
                  0u);
        EXPECT_EQ(fetched.rawHeaders.substr(fetched.rawHeaders.size() - 4), "\r\n\r\n");
    }
}

TEST_F(InternetHttp, ProgressReportsComeInTheOrderOfTheRequest)
{
    Fetched fetched = Fetch(port(), {.object = "/lines/with-newline.txt"});
    ASSERT_TRUE(fetched.sent);
    // Connection and request handle, name, connect, send, receive, close,
    // complete, then both handles closing.
    std::vector<uint32_t> expected {60, 60, 10, 11, 20, 21, 30, 31, 40, 41, 50, 51, 100, 70, 70};
    EXPECT_EQ(Codes(fetched), expected);
    for (const auto& [code, info] : fetched.reports) {
        if (code == 10 || code == 11 || code == 20 || code == 21) {
            EXPECT_EQ(info, "127.0.0.1") << code;
        }
    }
}

TEST_F(InternetHttp, RedirectsAreFollowedOnlyWhenAllowed)
{
    Request request {.object = "/follow", .flags = kPutFlags}; // no INTERNET_FLAG_NO_AUTO_REDIRECT
    Fetched followed = Fetch(port(), request);
    ASSERT_TRUE(followed.sent) << followed.error.text;
    EXPECT_EQ(followed.status, 200u);
    EXPECT_EQ(followed.lines, (std::vector<std::string> {"first line", "second line"}));
    auto redirect = std::find_if(followed.reports.begin(), followed.reports.end(),
                                 [](const auto& report) { return report.first == 110; });
    ASSERT_NE(redirect, followed.reports.end());
    EXPECT_NE(redirect->second.find("/lines/with-newline.txt"), std::string::npos);

    request.flags = kGetFlags;
    Fetched kept = Fetch(port(), request);
    EXPECT_EQ(kept.status, 302u);

    request.object = "/loop";
    request.flags = kPutFlags;
    Fetched looping = Fetch(port(), request);
    EXPECT_FALSE(looping.sent);
    EXPECT_EQ(looping.error.code, ERROR_HTTP_REDIRECT_FAILED);
}

TEST_F(InternetHttp, PutCreatesOverwritesAuthenticatesAndIsRefused)
{
    Request request {
        .verb = "PUT", .object = "/dav/site/index.htm", .body = "<html>eins</html>\r\n", .flags = kPutFlags};
    EXPECT_EQ(Fetch(port(), request).status, 201u);
    request.body = "<html>zwei</html>\r\n";
    EXPECT_EQ(Fetch(port(), request).status, 204u);
    EXPECT_EQ(velt::testing::ReadTextFile((s_nginx->davRoot() / "site/index.htm").string()), request.body);

    request.object = "/readonly/index.htm";
    Fetched refused = Fetch(port(), request);
    EXPECT_EQ(refused.status, 403u);
    EXPECT_EQ(refused.statusText, "Forbidden");

    // Authentication is answered with the connection's credentials.
    request = {.verb = "PUT",
               .object = "/dav-auth/auth.htm",
               .body = "geheim",
               .flags = kPutFlags,
               .user = NginxServer::kUser,
               .password = NginxServer::kPassword};
    EXPECT_EQ(Fetch(port(), request).status, 201u);
    EXPECT_EQ(velt::testing::ReadTextFile((s_nginx->davRoot() / "auth.htm").string()), "geheim");
    request.password = "falsch";
    EXPECT_EQ(Fetch(port(), request).status, 401u);
}

TEST_F(InternetHttp, BodyInPiecesKeepsEveryByte)
{
    for (const char* object : {"/binary.bin", "/big.txt"}) {
        InternetSession session("VELT Tarnwick", 1);
        InternetError error;
        auto connection = session.GetHttpConnection("127.0.0.1", port(), "", "", error);
        auto request = connection->OpenRequest("GET", object, "", 1, kGetFlags, error);
        ASSERT_TRUE(request->Send("", "", error)) << error.text;
        std::string body;
        char piece[256];
        std::size_t got = 0;
        while (request->Read(piece, sizeof piece, got, error) && got > 0)
            body.append(piece, got);
        EXPECT_FALSE(error) << error.text;
        EXPECT_EQ(body, velt::testing::ReadTextFile((s_nginx->docRoot() / (object + 1)).string())) << object;
    }
}

TEST_F(InternetHttp, AddHeadersKeepsPresentOnesWhenAskedTo)
{
    TcpPeer peer([](const std::string& received) {
        if (received.find("\r\n\r\n") == std::string::npos)
            return PeerReply {};
        return PeerReply {"HTTP/1.1 204 No Content\r\n\r\n", true};
    });
    InternetSession session("agent", 1);
    InternetError error;
    auto connection = session.GetHttpConnection("127.0.0.1", peer.port(), "", "", error);
    auto request = connection->OpenRequest("GET", "/", "", 1, kGetFlags, error);
    ASSERT_TRUE(request->AddHeaders("Accept: text/plain\r\n"));
    ASSERT_TRUE(request->AddHeaders("Accept: image/*\r\nX-Extra: 1\r\n", HTTP_ADDREQ_FLAG_ADD_IF_NEW));
    EXPECT_FALSE(request->AddHeaders("X-Bad: a\rInjected: b\r\n"));
    EXPECT_FALSE(request->AddHeaders("no colon here\r\n"));
    ASSERT_TRUE(request->Send("", "", error)) << error.text;
    EXPECT_EQ(request->StatusCode(), 204u);
    const std::string wire = peer.received();
    EXPECT_NE(wire.find("Accept: text/plain\r\n"), std::string::npos);
    EXPECT_NE(wire.find("X-Extra: 1\r\n"), std::string::npos);
    EXPECT_EQ(wire.find("image/*"), std::string::npos);
    EXPECT_EQ(wire.find("Injected"), std::string::npos);
}

TEST(InternetHttpFailures, ControlCharactersNeverReachTheWire)
{
    TcpPeer peer(TcpPeer::Mode::Silent);
    const std::pair<const char*, Request> unsafe[] = {{"object", {.object = "/a\r\nX-Injected: 1"}},
                                                      {"user", {.user = "user\nPASS x"}},
                                                      {"password", {.user = "u", .password = std::string("pw\0x", 4)}},
                                                      {"server", {.server = "127.0.0.1\r\n"}},
                                                      {"verb", {.verb = "GET / HTTP/1.0\r\n"}},
                                                      {"header", {.headers = "X-A: 1\rX-B: 2\r\n"}}};
    for (const auto& [name, request] : unsafe) {
        Fetched fetched = Fetch(peer.port(), request);
        EXPECT_FALSE(fetched.sent) << name;
        EXPECT_EQ(fetched.error.code, ERROR_INVALID_PARAMETER) << name;
        EXPECT_EQ(fetched.error.text, "Falscher Parameter.") << name;
    }
    EXPECT_EQ(peer.connections(), 0);
}

TEST(InternetHttpFailures, GarbageAndAnEarlyEndFailWithTheirOwnText)
{
    TcpPeer garbage(TcpPeer::Mode::SendAndClose, "garbage\x01\xff\r\n\r\n");
    Fetched invalid = Fetch(garbage.port(), {});
    EXPECT_FALSE(invalid.sent);
    EXPECT_EQ(invalid.error.code, ERROR_HTTP_INVALID_SERVER_RESPONSE) << invalid.error.text;
    EXPECT_EQ(invalid.error.text, InternetErrorText(ERROR_HTTP_INVALID_SERVER_RESPONSE));

    TcpPeer early(TcpPeer::Mode::SendAndClose, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nfirst\nsecond");
    Fetched cut = Fetch(early.port(), {});
    ASSERT_TRUE(cut.sent) << cut.error.text;
    EXPECT_EQ(cut.lines, (std::vector<std::string> {"first", "second"}));
    EXPECT_EQ(cut.readError.code, ERROR_INTERNET_CONNECTION_ABORTED) << cut.readError.text;
    EXPECT_EQ(cut.readError.text, InternetErrorText(ERROR_INTERNET_CONNECTION_ABORTED));
}

TEST(InternetHttpFailures, PeerClosingWithoutAnAnswer)
{
    TcpPeer listens([](const std::string& received) {
        return PeerReply {{}, received.find("\r\n\r\n") != std::string::npos};
    });
    Fetched unanswered = Fetch(listens.port(), {});
    EXPECT_EQ(unanswered.error.code, ERROR_INTERNET_CONNECTION_ABORTED);
    EXPECT_EQ(unanswered.error.text, "Die Verbindung mit dem Server wurde unerwartet beendet.");

    // Closed before the request came: either the end or the reset arrives first.
    TcpPeer closes(TcpPeer::Mode::CloseAtOnce);
    Fetched closed = Fetch(closes.port(), {});
    EXPECT_FALSE(closed.sent);
    EXPECT_TRUE(closed.error.code == ERROR_INTERNET_CONNECTION_ABORTED
                || closed.error.code == ERROR_INTERNET_CONNECTION_RESET)
        << closed.error.text;
}

TEST(InternetHttpFailures, RefusedConnectionAndSilentServer)
{
    Fetched refused = Fetch(velt::testing::FreeTcpPort(), {});
    EXPECT_EQ(refused.error.code, ERROR_INTERNET_CANNOT_CONNECT);
    EXPECT_EQ(refused.error.text, "Es konnte keine Verbindung mit dem Server hergestellt werden.");

    TcpPeer silent(TcpPeer::Mode::Silent);
    InternetSession session("agent", 1);
    session.SetTimeouts(std::chrono::seconds(1), std::chrono::seconds(1));
    Fetched timedOut = Fetch(silent.port(), {}, &session);
    EXPECT_EQ(timedOut.error.code, ERROR_INTERNET_TIMEOUT);
    EXPECT_EQ(timedOut.error.text, "Das Zeitlimit für den Vorgang wurde überschritten.");
}

// Name resolution goes through the override: no name server is asked.
class InternetResolve : public InternetHttp
{
protected:
    void TearDown() override { SetInternetResolveOverride({}); }
};

TEST_F(InternetResolve, NamesResolveThroughTheOverride)
{
    SetInternetResolveOverride([](const std::string& host) -> std::optional<std::string> {
        if (host == "redirect.test")
            return "127.0.0.1";
        return std::nullopt;
    });
    Request request {.object = "/lines/with-newline.txt", .server = "redirect.test"};
    Fetched fetched = Fetch(port(), request);
    ASSERT_TRUE(fetched.sent) << fetched.error.text;
    EXPECT_EQ(fetched.status, 200u);
    ASSERT_GE(fetched.reports.size(), 4u);
    EXPECT_EQ(fetched.reports[2], (std::pair<uint32_t, std::string> {10, "redirect.test"}));
    EXPECT_EQ(fetched.reports[3], (std::pair<uint32_t, std::string> {11, "127.0.0.1"}));

    request.server = "unknown.test";
    Fetched unknown = Fetch(port(), request);
    EXPECT_FALSE(unknown.sent);
    EXPECT_EQ(unknown.error.code, ERROR_INTERNET_NAME_NOT_RESOLVED);
    EXPECT_EQ(unknown.error.text, "Der Servername oder die Serveradresse konnte nicht verarbeitet werden.");
}

TEST_F(InternetResolve, ProxyFromTheEnvironmentIsUsed)
{
    SetInternetResolveOverride([](const std::string&) -> std::optional<std::string> { return std::nullopt; });
    TcpPeer proxy([](const std::string& received) {
        if (received.find("\r\n\r\n") == std::string::npos)
            return PeerReply {};
        return PeerReply {"HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nby proxy\n", true};
    });
    velt::testing::ScopedEnv httpProxy("http_proxy", "http://127.0.0.1:" + std::to_string(proxy.port()));
    velt::testing::ScopedEnv noProxy("no_proxy", std::nullopt);
    velt::testing::ScopedEnv noProxyUpper("NO_PROXY", std::nullopt);

    // The proxy resolves the name; this computer does not.
    Request request {.object = "/lines/with-newline.txt", .server = "far.test"};
    Fetched proxied = Fetch(80, request);
    ASSERT_TRUE(proxied.sent) << proxied.error.text;
    EXPECT_EQ(proxied.lines, std::vector<std::string> {"by proxy"});
    EXPECT_EQ(proxy.received().rfind("GET http://far.test/lines/with-newline.txt HTTP/1.1\r\n", 0), 0u)
        << proxy.received();
}

TEST_F(InternetHttp, ConnectionCheckOpensARealConnection)
{
    InternetError error;
    TcpPeer peer(TcpPeer::Mode::Silent);
    EXPECT_TRUE(InternetCheckConnection(peer.url("/page.htm"), FLAG_ICC_FORCE_CONNECTION, error)) << error.text;
    EXPECT_TRUE(peer.waitForConnections(1, std::chrono::seconds(5)));
    EXPECT_EQ(peer.received(), "");
    EXPECT_TRUE(InternetCheckConnection("ftp://127.0.0.1:" + std::to_string(port()) + "/", 0, error));

    EXPECT_FALSE(InternetCheckConnection("http://127.0.0.1:" + std::to_string(velt::testing::FreeTcpPort()) + "/",
                                         FLAG_ICC_FORCE_CONNECTION, error));
    EXPECT_EQ(error.code, ERROR_INTERNET_CANNOT_CONNECT);
    for (const char* bad : {"", "no url at all", "http://127.0.0.1:99999/", "http://127.0.0.1/\r\nx"}) {
        EXPECT_FALSE(InternetCheckConnection(bad, 0, error)) << bad;
        EXPECT_EQ(error.code, ERROR_INTERNET_INVALID_URL) << bad;
    }
}

} // namespace
