// SendHttpRequest against the real nginx of the test support, and peers that misbehave.
#include "corvanecom/tests/CorvaneTest.h"

#include "platform/com/BStr.h"
#include "testing/FreeTcpPort.h"
#include "testing/NginxServer.h"
#include "testing/TcpPeer.h"

using velt::testing::NginxServer;

namespace {

class CorvaneHttp : public CorvaneTest
{
protected:
    static void SetUpTestSuite() { s_nginx = new NginxServer(); }
    static void TearDownTestSuite()
    {
        delete s_nginx;
        s_nginx = nullptr;
    }

    HRESULT Get(const std::string& url, std::string& body)
    {
        BSTR text = nullptr;
        const HRESULT hr = m_object->SendHttpRequest(BStr::FromAnsi(url).Get(), &text);
        if (SUCCEEDED(hr))
            body = TakeText(text);
        return hr;
    }
    std::string Address() const { return "127.0.0.1:" + std::to_string(s_nginx->port()); }

    static NginxServer* s_nginx;
};

NginxServer* CorvaneHttp::s_nginx = nullptr;

struct BodyCase
{
    const char* name;
    const char* prefix; // put before host:port
    const char* path;
    const char* expected;
};

class CorvaneHttpBody : public CorvaneHttp, public ::testing::WithParamInterface<BodyCase>
{
};

} // namespace

TEST_P(CorvaneHttpBody, EveryLineOfA200BodyEndsInCrLf)
{
    const BodyCase& c = GetParam();
    s_nginx->writeFile("empty.txt", "");
    std::string body;
    ASSERT_EQ(Get(c.prefix + Address() + c.path, body), S_OK) << TakeThreadError().description;
    EXPECT_EQ(body, c.expected);
    EXPECT_EQ(Text(&IVELTCorvane::get_ServerAddress), "127.0.0.1");
    EXPECT_EQ(Text(&IVELTCorvane::get_ResponseHeaders).rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(Bodies, CorvaneHttpBody,
                         ::testing::Values(BodyCase {"WithFinalLineBreak", "http://", "/lines/with-newline.txt",
                                                     "first line\r\nsecond line\r\n"},
                                           BodyCase {"WithoutFinalLineBreak", "http://", "/lines/without-newline.txt",
                                                     "first line\r\nsecond line\r\n"},
                                           BodyCase {"SchemeAddedWhenMissing", "", "/lines/with-newline.txt",
                                                     "first line\r\nsecond line\r\n"},
                                           BodyCase {"EmptyBody", "http://", "/empty.txt", ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CorvaneHttp, ARedirectIsNotFollowedAndLeavesItsHeaders)
{
    std::string body;
    EXPECT_EQ(Get("http://" + Address() + "/redirect/302", body), E_FAIL);
    EXPECT_EQ(TakeThreadError().description, "Der Server gab Fehler-Code: 302 zurück!\r\nMoved Temporarily");
    const std::string headers = Text(&IVELTCorvane::get_ResponseHeaders);
    EXPECT_NE(headers.find(std::string("Location: ") + NginxServer::kRedirectLocation + "\r\n"), std::string::npos)
        << headers;
    EXPECT_EQ(Text(&IVELTCorvane::get_ServerAddress), "127.0.0.1");
}

TEST_F(CorvaneHttp, EachRequestStartsWithEmptyHeadersAndAnUnusableUrlKeepsTheServerAddress)
{
    std::string body;
    ASSERT_EQ(Get("http://" + Address() + "/lines/with-newline.txt", body), S_OK);
    ASSERT_FALSE(Text(&IVELTCorvane::get_ResponseHeaders).empty());
    EXPECT_EQ(Get("127.0.0.1:99999/file", body), E_FAIL);
    EXPECT_EQ(TakeThreadError().description, "Url: http://127.0.0.1:99999/file konnte nicht aufgelößt werden!");
    EXPECT_EQ(Text(&IVELTCorvane::get_ResponseHeaders), "");
    EXPECT_EQ(Text(&IVELTCorvane::get_ServerAddress), "127.0.0.1");
    // A null out pointer still empties the headers first.
    ASSERT_EQ(Get("http://" + Address() + "/lines/with-newline.txt", body), S_OK);
    EXPECT_EQ(m_object->SendHttpRequest(BStr::FromAnsi("http://x/").Get(), nullptr), E_POINTER);
    EXPECT_EQ(Text(&IVELTCorvane::get_ResponseHeaders), "");
}

TEST_F(CorvaneHttp, ARefusedConnectionOrAServerAnsweringGarbageFailsWithAnErrorObject)
{
    velt::testing::TcpPeer garbage(velt::testing::TcpPeer::Mode::SendAndClose,
                                   std::string("\x00\xff garbage\r\n\r\n", 14));
    for (const std::string& url :
         {"http://127.0.0.1:" + std::to_string(velt::testing::FreeTcpPort()) + "/", garbage.url("/")}) {
        std::string body;
        EXPECT_EQ(Get(url, body), E_FAIL) << url;
        EXPECT_FALSE(TakeThreadError().description.empty()) << url;
        EXPECT_EQ(Text(&IVELTCorvane::get_ResponseHeaders), "") << url;
    }
}

TEST_F(CorvaneHttp, AnOversizedOrTricklingAnswerEndsWithAnError)
{
    // Once read whole into memory, and waited for without end.
    std::string big;
    const std::string line = std::string(1023, 'a') + "\n";
    for (int i = 0; i < 17 * 1024; ++i)
        big += line;
    s_nginx->writeFile("big.txt", big);
    std::string body;
    EXPECT_EQ(Get(Address() + "/big.txt", body), E_FAIL);
    EXPECT_EQ(TakeThreadError().description, "Fehler! Die Antwort des Servers ist größer als 16 MB.");

    velt::testing::TcpPeer trickle(velt::testing::TcpPeer::Mode::Trickle,
                                   "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
    ASSERT_EQ(m_object->put_TimeoutInSec(1), S_OK);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Get(trickle.url("/"), body), E_FAIL);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
    EXPECT_EQ(TakeThreadError().description, "Das Zeitlimit für den Vorgang wurde überschritten.");
}
