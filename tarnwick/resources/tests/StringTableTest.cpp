#include "tarnwick/resources/StringTable.h"

#include "testing/TempHome.h"

#include <gtest/gtest.h>

namespace tarnwick::resources {
namespace {

TEST(StringTable, FixedTexts)
{
    EXPECT_EQ(LoadString(IDS_ABOUTBOX),
              "Inf&o \xC3\xBC"
              "ber Tarnwick...");
    EXPECT_EQ(LoadString(IDS_TIME_FORMAT), "%Y-%m-%d %H:%M:%S");
    EXPECT_EQ(LoadString(IDS_VERSION), "1.4.44");
    EXPECT_EQ(LoadString(IDS_TITLE), "VELT Tarnwick");
    EXPECT_EQ(LoadString(12345), "");
}

TEST(StringTable, MakerAddressesFollowTheBuiltInHost)
{
    velt::testing::TempHome home;
    const std::string host = TARNWICK_SERVICE_HOST;
    EXPECT_EQ(LoadString(IDS_CLIENT_IP_URL), "http://" + host + "/Tarnwick/GetClientIP.asp?TextOnly=1");
    EXPECT_EQ(LoadString(IDS_FORUM_URL), "http://" + host + "/forum/InfosListe.asp?ForumID=230301211234");
}

// The page texts are uploaded as single-byte Windows-1252 text with their
// own line ends: a stray UTF-8 umlaut or a lost CR would change every page.
TEST(StringTable, DefaultPageBytes)
{
    const std::string page = LoadString(IDS_DEFAULT_PAGE);
    const std::string expected = "<html>\r\n<head>\r\n<title>VELT Tarnwick Umleitung</title>\r\n</head>\r\n<body>\r\n"
                                 "<H3>VELT Tarnwick leitet Sie zur richtigen Adresse um...</H3>\r\n<HR>\r\n"
                                 "<p>Wenn Ihr Browser keine Umleitung unterst\xFCtzt, klicken Sie bitte hier "
                                 "<a href=\"<velt-tarnwick-address>\">Umleitung</a></p>\n"
                                 "Falls die Umleitung fehlschl\xE4gt, versuchen Sie es bitte sp\xE4ter noch "
                                 "einmal...\r\n</body>\r\n</html>";
    EXPECT_EQ(page, expected);
    EXPECT_EQ(page.find("\xC3"), std::string::npos);
}

TEST(StringTable, RedirectTexts)
{
    EXPECT_EQ(LoadString(IDS_META_REFRESH), "<meta http-equiv=\"refresh\" content=\"0; URL=<velt-tarnwick-address>\">");
    EXPECT_EQ(LoadString(IDS_ASP_REDIRECT),
              "<%@LANGUAGE=VBScript\r\n@EnableSessionState=False%>\r\n"
              "<%Response.Redirect \"<velt-tarnwick-address>\"%>\r\n");
    EXPECT_EQ(UploadStampFormat(),
              "\r\n<meta name=\"uploaddate\" content=\"%s\">\r\n"
              "<meta name=\"uploader\" content=\"VELT Tarnwick %s\">");
}

} // namespace
} // namespace tarnwick::resources
