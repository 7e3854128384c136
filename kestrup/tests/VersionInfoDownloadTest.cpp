#include "kestrup/VersionInfoDownload.h"
#include "kestrup/CKestrupApp.h"
#include "tarnwick/messages/MessageTarget.h"
#include "tarnwick/messages/WindowMessages.h"
#include "tarnwick/transfer/InternetStatusTextTable.h"

#include "testing/FreeTcpPort.h"
#include "testing/NginxServer.h"
#include "testing/TcpPeer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <thread>

using namespace kestrup;
using velt::testing::NginxServer;
using velt::testing::TcpPeer;

namespace {

// Collects the status lines the download shows.
class StatusRecorder : public tarnwick::MessageTarget
{
public:
    intptr_t SendMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override
    {
        std::lock_guard lock(m_mutex);
        if (message == tarnwick::WM_STATUS_TEXT && wParam == 1)
            m_lines.emplace_back(reinterpret_cast<const char*>(lParam));
        return 0;
    }
    void PostMessage(uint32_t, uintptr_t, intptr_t) override { }
    std::vector<std::string> Lines()
    {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

class VersionInfoDownloadTest : public ::testing::Test
{
protected:
    bool Download(const std::string& url, std::string& out)
    {
        CKestrupApp app;
        app.Init("pr=\"VELT Tarnwick\" v=1.4.44", "/opt/tw/bin/", "www.velt.example");
        app.m_strMsiDownloadUrl = url;
        VersionInfoDownload download(&m_status);
        download.SetTimeouts(std::chrono::seconds(5), std::chrono::seconds(1));
        return download.DownloadVersionInfo(app, out);
    }

    StatusRecorder m_status;
};

TEST_F(VersionInfoDownloadTest, AnswersOfTheUpdateServer)
{
    NginxServer nginx("location = /moved/TWSetup.txt { return 302 /Download/TWSetup.txt; }\n");
    nginx.writeFile("Download/TWSetup.txt", "version=1.4.45\r\ncmdline=\r\n");
    nginx.writeFile("Download/setup", "version=2\n");
    nginx.writeFile("dl.txt", "version=3\n");
    nginx.writeFile("empty/TWSetup.txt", "");
    // A wrong address that names a large file: read no further than the limit.
    {
        const std::string big = (nginx.docRoot() / "big/TWSetup.txt").string();
        velt::testing::WriteTextFile(big, "");
        std::filesystem::resize_file(big, 100ull * 1024 * 1024);
    }
    struct Case
    {
        const char* path;
        bool ok;
        const char* out;
    };
    const Case cases[] = {
        {"/Download/TWSetup.msi", true, "version=1.4.45\r\ncmdline=\r\n"},
        {"/Download/setup", true, "version=2\n"}, // no dot: the path itself
        {"/dl.new/setup", true, "version=3\n"}, // the last dot is in a folder name
        {"/empty/TWSetup.msi", true, ""},
        {"/moved/TWSetup.msi", false, "Server gab Fehler-Code: 302 zurück!"},
        {"/missing/TWSetup.msi", false, "Server gab Fehler-Code: 404 zurück!"},
        {"/big/TWSetup.msi", false, "Die Versionsinformation ist größer als 64 KB und wird nicht verwendet."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        std::string out;
        EXPECT_EQ(Download(nginx.url(c.path), out), c.ok);
        EXPECT_EQ(out, c.out);
        if (!c.ok) {
            EXPECT_EQ(m_status.Lines().back(), c.out);
        }
    }
    // The steps were shown with the shared table's texts.
    const auto lines = m_status.Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Sende Anforderung"), lines.end());
}

TEST_F(VersionInfoDownloadTest, RequestOnTheWire)
{
    TcpPeer peer(TcpPeer::Mode::SendAndClose, "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nversion=1\n");
    std::string out;
    EXPECT_TRUE(Download(peer.url("/Download/TWSetup.msi"), out));
    EXPECT_EQ(out, "version=1\n");
    const std::string request = peer.received();
    EXPECT_EQ(request.rfind("GET /Download/TWSetup.txt HTTP/1.1\r\n", 0), 0u) << request;
    EXPECT_NE(request.find("\r\nAccept: text/*\r\n"), std::string::npos) << request;
    // The session's agent name was there first: the fixed header text adds only what is new.
    EXPECT_NE(request.find("\r\nUser-Agent: VELT Tarnwick 1.4.44\r\n"), std::string::npos) << request;
    EXPECT_EQ(request.find("User-Agent", request.find("User-Agent") + 1), std::string::npos) << request;
    EXPECT_EQ(request.find("OnlineUpdate-Client"), std::string::npos) << request;
}

TEST_F(VersionInfoDownloadTest, BadAddressSilentServerAndCancel)
{
    std::string out;
    EXPECT_FALSE(Download("", out));
    EXPECT_EQ(out, "Fehler in der MSI-Dateiangabe: ");

    TcpPeer silent(TcpPeer::Mode::Silent);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(Download(silent.url("/Download/TWSetup.msi"), out));
    EXPECT_FALSE(out.empty());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));

    CKestrupApp app;
    app.Init("msidlfile=" + silent.url("/TWSetup.msi"), "/", "h");
    VersionInfoDownload download(&m_status);
    std::thread canceller([&] {
        silent.waitForConnections(2, std::chrono::seconds(10));
        download.Cancel();
    });
    const auto cancelStarted = std::chrono::steady_clock::now();
    EXPECT_FALSE(download.DownloadVersionInfo(app, out));
    canceller.join();
    EXPECT_LT(std::chrono::steady_clock::now() - cancelStarted, std::chrono::seconds(5));
    EXPECT_EQ(m_status.Lines().back(), out);
}

} // namespace
