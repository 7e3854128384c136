// Closing a session from another thread ends whatever its blocked call waits
// for, promptly, with the cancel error.
#include "platform/internet/HttpRequest.h"
#include "platform/internet/InternetConnection.h"
#include "platform/internet/InternetConstants.h"
#include "platform/internet/InternetSession.h"
#include "testing/NginxServer.h"
#include "testing/TcpPeer.h"

#include <gtest/gtest.h>
#include <thread>

using namespace platform;
using velt::testing::TcpPeer;

namespace {

using Clock = std::chrono::steady_clock;

// Well above the 100 ms the layer aims at, far below any time-out that could
// end the call instead (60 s).
constexpr auto kPrompt = std::chrono::seconds(2);

// Runs the call, closes the session from another thread once `started` says
// the call is waiting, and measures how long the call took after the close.
void ExpectCancelled(const std::function<bool(InternetSession&, InternetError&)>& call,
                     const std::function<bool()>& started)
{
    InternetSession session("VELT Tarnwick", 1);
    InternetError error;
    std::atomic<bool> done {false};
    Clock::time_point closedAt;
    std::thread closer([&] {
        auto deadline = Clock::now() + std::chrono::seconds(10);
        while (!started() && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        closedAt = Clock::now();
        session.Close();
    });
    bool result = call(session, error);
    auto endedAt = Clock::now();
    closer.join();
    EXPECT_FALSE(result);
    EXPECT_EQ(error.code, ERROR_INTERNET_OPERATION_CANCELLED) << error.text;
    EXPECT_EQ(error.text, "Der Vorgang wurde abgebrochen.");
    EXPECT_LT(endedAt - closedAt, kPrompt);

    // The session stays closed.
    EXPECT_EQ(session.GetHttpConnection("127.0.0.1", 80, "", "", error), nullptr);
    EXPECT_EQ(error.code, ERROR_INTERNET_OPERATION_CANCELLED);
}

bool SendGet(InternetSession& session, uint16_t port, InternetError& error, const std::string& server = "127.0.0.1")
{
    auto connection = session.GetHttpConnection(server, port, "", "", error);
    auto request = connection->OpenRequest("GET", "/", "", 1, 0x84200200, error);
    return request->Send("", "", error);
}

TEST(InternetCancel, WhileTheServerNeverAnswers)
{
    TcpPeer silent(TcpPeer::Mode::Silent);
    ExpectCancelled([&](InternetSession& s, InternetError& e) { return SendGet(s, silent.port(), e); },
                    [&] { return silent.waitForReceived("\r\n\r\n", std::chrono::milliseconds(0)); });
}

TEST(InternetCancel, WhileASlowBodyTrickles)
{
    velt::testing::NginxServer nginx;
    std::atomic<bool> reading {false};
    ExpectCancelled(
        [&](InternetSession& s, InternetError& e) {
            auto connection = s.GetHttpConnection("127.0.0.1", nginx.port(), "", "", e);
            auto request = connection->OpenRequest("GET", "/slow/big.bin", "", 1, 0x84200200, e);
            if (!request->Send("", "", e))
                return false;
            char piece[512];
            std::size_t got = 0;
            while (request->Read(piece, sizeof piece, got, e) && got > 0)
                reading = true;
            return !e;
        },
        [&] { return reading.load(); });
}

TEST(InternetCancel, WhileAnFtpServerNeverGreets)
{
    TcpPeer silent(TcpPeer::Mode::Silent);
    ExpectCancelled(
        [&](InternetSession& s, InternetError& e) {
            auto connection = s.GetFtpConnection("127.0.0.1", silent.port(), "user", "pw", 0, e);
            return connection->PutFile("/a.htm", "x", FTP_TRANSFER_TYPE_ASCII, 1, e);
        },
        [&] { return silent.connections() > 0; });
}

TEST(InternetCancel, WhileTheNameIsBeingResolved)
{
    std::atomic<bool> asked {false};
    SetInternetResolveOverride([&asked](const std::string&) -> std::optional<std::string> {
        asked = true;
        std::this_thread::sleep_for(std::chrono::seconds(3));
        return std::nullopt;
    });
    ExpectCancelled([&](InternetSession& s, InternetError& e) { return SendGet(s, 80, e, "slow.test"); },
                    [&] { return asked.load(); });
    SetInternetResolveOverride({});
}

} // namespace
