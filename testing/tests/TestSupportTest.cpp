// Checks that the shared servers and helpers behave as the other test
// folders expect them to; plain libcurl is the client here.
#include "testing/FreeTcpPort.h"
#include "testing/FtpServer.h"
#include "testing/NginxServer.h"
#include "testing/ScopedEnv.h"
#include "testing/TcpPeer.h"
#include "testing/TempHome.h"

#include <arpa/inet.h>
#include <csignal>
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace velt::testing;

namespace {

struct Response
{
    CURLcode code = CURLE_OK;
    long status = 0;
    std::string body;
    std::string headers;
};

size_t Append(char* data, size_t size, size_t count, void* target)
{
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

Response Fetch(const std::string& url, const std::string& putBody = {}, const std::string& userPassword = {})
{
    Response response;
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Append);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &response.body);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, Append);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &response.headers);
    if (!userPassword.empty())
        curl_easy_setopt(curl, CURLOPT_USERPWD, userPassword.c_str());
    if (!putBody.empty()) {
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, "PUT");
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, putBody.c_str());
    }
    response.code = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &response.status);
    curl_easy_cleanup(curl);
    return response;
}

CURLcode FtpStore(const std::string& url, const std::string& userPassword, const std::string& content)
{
    std::string remaining = content;
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl, CURLOPT_USERPWD, userPassword.c_str());
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_FTPPORT, "-");
    curl_easy_setopt(curl, CURLOPT_READDATA, &remaining);
    curl_easy_setopt(
        curl, CURLOPT_READFUNCTION, +[](char* buffer, size_t size, size_t count, void* source) {
            auto* text = static_cast<std::string*>(source);
            size_t n = std::min(size * count, text->size());
            text->copy(buffer, n);
            text->erase(0, n);
            return n;
        });
    CURLcode code = curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    return code;
}

int ConnectTo(uint16_t port)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    return fd;
}

std::string ReadUntilClosed(int fd)
{
    std::string all;
    char buffer[256];
    ssize_t n;
    while ((n = recv(fd, buffer, sizeof buffer, 0)) > 0)
        all.append(buffer, static_cast<size_t>(n));
    return all;
}

} // namespace

class NginxServerTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { s_server = new NginxServer("location = /extra { return 200 \"extra\"; }\n"); }
    static void TearDownTestSuite()
    {
        delete s_server;
        s_server = nullptr;
    }
    static NginxServer* s_server;
};
NginxServer* NginxServerTest::s_server = nullptr;

struct GetCase
{
    const char* path;
    long status;
    const char* body; // nullptr: not checked
    const char* header; // nullptr: not checked; text the headers must contain
    bool headerAbsent = false;
};

class NginxGetTest : public NginxServerTest, public ::testing::WithParamInterface<GetCase>
{
};

TEST_P(NginxGetTest, AnswersAsDocumented)
{
    const GetCase& c = GetParam();
    Response response = Fetch(s_server->url(c.path));
    ASSERT_EQ(response.code, CURLE_OK) << s_server->logs();
    EXPECT_EQ(response.status, c.status);
    if (c.body) {
        EXPECT_EQ(response.body, c.body);
    }
    if (c.header) {
        EXPECT_EQ(response.headers.find(c.header) == std::string::npos, c.headerAbsent) << response.headers;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Locations, NginxGetTest,
    ::testing::Values(GetCase {"/lines/with-newline.txt", 200, NginxServer::kLinesWithNewline, nullptr},
                      GetCase {"/lines/without-newline.txt", 200, NginxServer::kLinesWithoutNewline, nullptr},
                      GetCase {"/redirect/302", 302, nullptr, "Location: http://Target.Example:8080/Home/Index.htm"},
                      GetCase {"/redirect/301", 301, nullptr, "Location: http://Target.Example:8080/Home/Index.htm"},
                      GetCase {"/redirect/302-bare", 302, nullptr, "Location:", true},
                      GetCase {"/redirect/301-bare", 301, nullptr, "Location:", true},
                      GetCase {"/auth/index.htm", 401, nullptr, "WWW-Authenticate: Basic"},
                      GetCase {"/missing.htm", 404, nullptr, "HTTP/1.1 404 Not Found"},
                      GetCase {"/Tarnwick/GetClientIP.asp?TextOnly=1", 200, "127.0.0.1\n", nullptr},
                      GetCase {"/extra", 200, "extra", nullptr}));

TEST_F(NginxServerTest, AuthenticatedGetSucceeds)
{
    Response response
        = Fetch(s_server->url("/auth/index.htm"), {}, std::string(NginxServer::kUser) + ":" + NginxServer::kPassword);
    EXPECT_EQ(response.status, 200);
}

TEST_F(NginxServerTest, PutCreatesThenOverwritesAndRefusesReadOnly)
{
    EXPECT_EQ(Fetch(s_server->url("/dav/sub/page.htm"), "one").status, 201);
    EXPECT_EQ(Fetch(s_server->url("/dav/sub/page.htm"), "two").status, 204);
    EXPECT_EQ(ReadTextFile((s_server->davRoot() / "sub/page.htm").string()), "two");
    EXPECT_EQ(Fetch(s_server->url("/readonly/page.htm"), "x").status, 403);
    EXPECT_EQ(Fetch(s_server->url("/dav-auth/page.htm"), "x").status, 401);
    EXPECT_EQ(
        Fetch(s_server->url("/dav-auth/page.htm"), "y", std::string(NginxServer::kUser) + ":" + NginxServer::kPassword)
            .status,
        201);
}

TEST_F(NginxServerTest, SlowBodyTrickles)
{
    CURL* curl = curl_easy_init();
    std::string body;
    const std::string url = s_server->url("/slow/big.bin");
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Append);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, 300L);
    EXPECT_EQ(curl_easy_perform(curl), CURLE_OPERATION_TIMEDOUT);
    curl_easy_cleanup(curl);
    EXPECT_LT(body.size(), NginxServer::kSlowSize / 2);
}

TEST(NginxServerLifetime, StopsByPidAndFreesThePort)
{
    pid_t pid;
    uint16_t port;
    {
        NginxServer server;
        pid = server.pid();
        port = server.port();
        ASSERT_GT(pid, 0);
        EXPECT_EQ(kill(pid, 0), 0);
    }
    EXPECT_NE(kill(pid, 0), 0);
    EXPECT_FALSE(WaitForTcpPort(port, 0));
}

TEST(FtpServerTest, ActiveStoreWithPasswordAndRefusals)
{
    FtpServer server;
    const std::string login = server.user() + ":" + server.password();
    EXPECT_EQ(FtpStore(server.url("/page.htm"), login, "<html>\r\n"), CURLE_OK) << server.logs();
    EXPECT_EQ(server.readFile("page.htm"), "<html>\r\n");
    EXPECT_EQ(FtpStore(server.url("/page.htm"), server.user() + ":wrong", "x"), CURLE_LOGIN_DENIED);
    EXPECT_NE(FtpStore(server.url("/no/such/dir/page.htm"), login, "x"), CURLE_OK);
    EXPECT_EQ(server.readFile("page.htm"), "<html>\r\n");
}

TEST(TcpPeerTest, ModesBehaveAsNamed)
{
    {
        TcpPeer peer(TcpPeer::Mode::SendAndClose, "hello");
        int fd = ConnectTo(peer.port());
        EXPECT_EQ(ReadUntilClosed(fd), "hello");
        close(fd);
    }
    {
        TcpPeer peer(TcpPeer::Mode::CloseAtOnce);
        int fd = ConnectTo(peer.port());
        EXPECT_EQ(ReadUntilClosed(fd), "");
        close(fd);
    }
    {
        TcpPeer peer(TcpPeer::Mode::Silent);
        int fd = ConnectTo(peer.port());
        ASSERT_EQ(send(fd, "ping", 4, 0), 4);
        EXPECT_TRUE(peer.waitForReceived("ping", std::chrono::seconds(5)));
        timeval shortWait {0, 100000};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &shortWait, sizeof shortWait);
        char c;
        EXPECT_LT(recv(fd, &c, 1, 0), 0); // nothing arrives, the peer stays open
        close(fd);
    }
}

TEST(TcpPeerTest, ResponderAnswersEachRequest)
{
    TcpPeer peer([](const std::string& received) {
        if (received.find('\n') == std::string::npos)
            return PeerReply {};
        return PeerReply {"echo " + received, received == "bye\n"};
    });
    int fd = ConnectTo(peer.port());
    ASSERT_EQ(send(fd, "he", 2, 0), 2);
    ASSERT_TRUE(peer.waitForReceived("he", std::chrono::seconds(5)));
    ASSERT_EQ(send(fd, "llo\n", 4, 0), 4);
    ASSERT_TRUE(peer.waitForReceived("hello\n", std::chrono::seconds(5)));
    ASSERT_EQ(send(fd, "bye\n", 4, 0), 4);
    EXPECT_EQ(ReadUntilClosed(fd), "echo hello\necho bye\n");
    close(fd);
    EXPECT_EQ(peer.connections(), 1);
}

TEST(EnvironmentTest, TempHomeAndScopedEnvRestore)
{
    const char* before = std::getenv("HOME");
    std::string saved = before ? before : "";
    {
        TempHome home;
        EXPECT_EQ(std::getenv("XDG_CONFIG_HOME"), home.configHome().string());
        struct stat info
        {
        };
        ASSERT_EQ(stat(home.runtimeDir().c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);
        ScopedEnv unset("HOME", std::nullopt);
        EXPECT_EQ(std::getenv("HOME"), nullptr);
    }
    EXPECT_EQ(std::string(std::getenv("HOME") ? std::getenv("HOME") : ""), saved);
}
