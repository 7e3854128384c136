// FTP stores through the session layer against the real FTP server.
#include "platform/internet/InternetConnection.h"
#include "platform/internet/InternetConstants.h"
#include "platform/internet/InternetSession.h"
#include "testing/FtpServer.h"
#include "testing/TcpPeer.h"

#include <gtest/gtest.h>

using namespace platform;
using velt::testing::FtpServer;

namespace {

class InternetFtp : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { s_ftp = new FtpServer("webmaster", "Pa55:wort"); }
    static void TearDownTestSuite()
    {
        delete s_ftp;
        s_ftp = nullptr;
    }

    bool Store(const std::string& path, const std::string& data, uint32_t type, InternetError& error,
               const std::string& password = s_ftp->password(), uint32_t flags = 0)
    {
        InternetSession session("VELT Tarnwick", 1);
        session.SetStatusCallback([this](uintptr_t, uint32_t code, const char*) { m_codes.push_back(code); });
        auto connection = session.GetFtpConnection("127.0.0.1", s_ftp->port(), s_ftp->user(), password, flags, error);
        return connection && connection->PutFile(path, data, type, 1, error);
    }

    static FtpServer* s_ftp;
    std::vector<uint32_t> m_codes;
};
FtpServer* InternetFtp::s_ftp = nullptr;

TEST_F(InternetFtp, StoresInActiveModeWithUserAndPasswordAndPassiveOnRequest)
{
    InternetError error;
    ASSERT_TRUE(Store("/index.htm", "<html>\r\n<body>x</body>\r\n", FTP_TRANSFER_TYPE_BINARY, error))
        << error.text << s_ftp->logs();
    EXPECT_EQ(s_ftp->readFile("index.htm"), "<html>\r\n<body>x</body>\r\n");
    const std::string log = s_ftp->logs();
    EXPECT_TRUE(log.find("<- EPRT |1|127.0.0.1|") != std::string::npos
                || log.find("<- PORT 127,0,0,1,") != std::string::npos)
        << log;
    EXPECT_EQ(log.find("<- PASV"), std::string::npos);
    EXPECT_EQ(log.find("<- EPSV"), std::string::npos);
    EXPECT_NE(log.find("<- STOR /index.htm"), std::string::npos);
    // Connect, log in, store, close: the progress is reported.
    for (uint32_t code : {10u, 11u, 20u, 21u, 30u, 31u, 50u, 51u, 100u})
        EXPECT_NE(std::find(m_codes.begin(), m_codes.end(), code), m_codes.end()) << code;

    // Passive mode only on request.
    ASSERT_TRUE(Store("passive.htm", "p", FTP_TRANSFER_TYPE_BINARY, error, s_ftp->password(), INTERNET_FLAG_PASSIVE))
        << error.text;
    EXPECT_EQ(s_ftp->readFile("passive.htm"), "p");
    EXPECT_NE(s_ftp->logs().find("<- EPSV"), std::string::npos);
}

// The page's bytes go out unchanged in either type, to where the path says.
TEST_F(InternetFtp, StoresTheFileWhereThePathSays)
{
    const std::tuple<const char*, const char*, uint32_t> cases[]
        = {{"/ascii-lf.htm", "a\nb\n", FTP_TRANSFER_TYPE_ASCII},
           {"/umlaut.htm", "Gr\xfc\xdf\r\n", FTP_TRANSFER_TYPE_ASCII},
           {"/bin.dat", "a\r\n\x01\xff", FTP_TRANSFER_TYPE_BINARY},
           {"relative.htm", "r", FTP_TRANSFER_TYPE_BINARY},
           {"/Über mit Leer%#?.htm", "u", FTP_TRANSFER_TYPE_BINARY}};
    for (const auto& [path, data, type] : cases) {
        InternetError error;
        ASSERT_TRUE(Store(path, data, type, error)) << path << ": " << error.text << s_ftp->logs();
        EXPECT_EQ(s_ftp->readFile(path[0] == '/' ? path + 1 : path), data) << path;
    }
}

TEST_F(InternetFtp, RefusalsCarryTheServersAnswer)
{
    InternetError error;
    EXPECT_FALSE(Store("/refused.htm", "x", FTP_TRANSFER_TYPE_ASCII, error, "falsch"));
    EXPECT_EQ(error.code, ERROR_INTERNET_LOGIN_FAILURE);
    EXPECT_EQ(error.text.rfind("Die Anmeldung am Server wurde abgelehnt.\r\n530 ", 0), 0u) << error.text;

    EXPECT_FALSE(Store("/no/such/folder/index.htm", "x", FTP_TRANSFER_TYPE_ASCII, error));
    EXPECT_EQ(error.code, ERROR_INTERNET_EXTENDED_ERROR);
    EXPECT_EQ(error.text.rfind("Der Server hat den Zugriff auf die Datei verweigert.\r\n550 ", 0), 0u) << error.text;
    EXPECT_EQ(s_ftp->readFile("refused.htm"), "");
}

TEST_F(InternetFtp, ControlCharactersNeverReachTheServer)
{
    velt::testing::TcpPeer peer(velt::testing::TcpPeer::Mode::Silent);
    InternetSession session("VELT Tarnwick", 1);
    InternetError error;
    EXPECT_EQ(session.GetFtpConnection("127.0.0.1", peer.port(), "user\r\nDELE x", "pw", 0, error), nullptr);
    EXPECT_EQ(error.code, ERROR_INVALID_PARAMETER);
    auto connection = session.GetFtpConnection("127.0.0.1", peer.port(), "user", "pw", 0, error);
    ASSERT_NE(connection, nullptr);
    EXPECT_FALSE(connection->PutFile("/a.htm\r\nDELE b.htm", "x", FTP_TRANSFER_TYPE_ASCII, 1, error));
    EXPECT_EQ(error.code, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(peer.connections(), 0);
}

} // namespace
