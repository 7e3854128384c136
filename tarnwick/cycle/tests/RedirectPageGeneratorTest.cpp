#include "tarnwick/cycle/RedirectPageGenerator.h"

#include "tarnwick/cycle/TemplateReader.h"
#include "tarnwick/settings/CRedirectSettings.h"
#include "testing/FreeTcpPort.h"
#include "testing/ScopedEnv.h"
#include "testing/TempDir.h"

#include <gtest/gtest.h>

#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {
namespace {

using Kind = StatusLine::Kind;

// 2024-03-05 06:07:08 UTC.
constexpr std::time_t kUploadTime = 1709618828;
const std::string kStamp = "\r\n<meta name=\"uploaddate\" content=\"2024-03-05 06:07:08\">"
                           "\r\n<meta name=\"uploader\" content=\"VELT Tarnwick 1.4.44\">";
const std::string kAddress = "http://1.2.3.4:8080/shop/";
const std::string kRefresh = "\r\n<meta http-equiv=\"refresh\" content=\"0; URL=" + kAddress + "\">";
const std::string kAsp
    = "<%@LANGUAGE=VBScript\r\n@EnableSessionState=False%>\r\n<%Response.Redirect \"" + kAddress + "\"%>\r\n";
const std::string kDefaultBody = "\r\n<title>VELT Tarnwick Umleitung</title>\r\n</head>\r\n<body>\r\n"
                                 "<H3>VELT Tarnwick leitet Sie zur richtigen Adresse um...</H3>\r\n<HR>\r\n"
                                 "<p>Wenn Ihr Browser keine Umleitung unterst\xFCtzt, klicken Sie bitte hier <a href=\""
    + kAddress
    + "\">Umleitung</a></p>\n"
      "Falls die Umleitung fehlschl\xE4gt, versuchen Sie es bitte sp\xE4ter noch einmal...\r\n</body>\r\n</html>";
const StatusLine kGenerating {Kind::Information, "Umleitung wird erzeugt..."};

class RedirectPageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        tzset();
        m_settings.SetLocalServerName("1.2.3.4");
        m_settings.SetLocalPort(8080);
        m_settings.SetLocalWebObject("/shop/");
    }
    void TearDown() override { tzset(); }

    GeneratedPage Generate(std::string_view templ)
    {
        return GenerateRedirectPage(templ, m_settings, kUploadTime, "1.4.44");
    }

    velt::testing::ScopedEnv m_tz {"TZ", std::string("UTC")};
    CRedirectSettings m_settings;
};

struct PageCase
{
    std::string name;
    std::string redirectUrl;
    std::string templ;
    std::string page;
    bool reportsGenerating;
};

class PageTableTest : public RedirectPageTest, public ::testing::WithParamInterface<PageCase>
{
};

TEST_P(PageTableTest, Generates)
{
    const PageCase& c = GetParam();
    m_settings.SetRedirectUrl(c.redirectUrl);
    const GeneratedPage result = Generate(c.templ);
    EXPECT_EQ(result.page, c.page);
    if (c.reportsGenerating)
        EXPECT_EQ(result.status, std::vector<StatusLine> {kGenerating});
    else
        EXPECT_TRUE(result.status.empty());
    EXPECT_EQ(m_settings.GetLocalUrl(), kAddress);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, PageTableTest,
    ::testing::Values(
        // Stamp first, then the refresh, both directly behind "<head>"; the address twice.
        PageCase {"NoTemplate", "http://domain/index.htm", "", "<html>\r\n<head>" + kStamp + kRefresh + kDefaultBody,
                  true},
        PageCase {"NoTemplateAspIgnoresCase", "http://domain/START.ASP", "",
                  kAsp + "<html>\r\n<head>" + kStamp + kRefresh + kDefaultBody, true},
        PageCase {"PlaceholderWithoutHead", "http://domain/index.htm",
                  "Weiter: <velt-tarnwick-address> und <velt-tarnwick-address>",
                  "Weiter: " + kAddress + " und " + kAddress, false},
        PageCase {"PlaceholderWithHead", "http://domain/index.htm",
                  "<html><head><title>x</title></head><a href=\"<velt-tarnwick-address>\">",
                  "<html><head>" + kStamp + "<title>x</title></head><a href=\"" + kAddress + "\">", false},
        PageCase {"UppercaseHeadOnly", "http://domain/index.htm", "<HTML><HEAD></HEAD>Hallo</HTML>",
                  "<HTML><HEAD>" + kStamp + kRefresh + "</HEAD>Hallo</HTML>", true},
        PageCase {"HeadWithAttributesIsNoHead", "http://domain/index.htm", "<head lang=\"de\">eigene Seite",
                  "<html>\r\n<head>" + kStamp + kRefresh + kDefaultBody, true},
        // Without an extension in the page name the template goes up as it is.
        PageCase {"NoExtensionKeepsTemplate", "http://domain/weiter", "<head>x", "<head>" + kStamp + "x", true},
        PageCase {"FtpRedirectUrl", "ftp://domain/index.htm", "", "", true},
        PageCase {"IpOnlyInDefaultPath", "http://domain/index.htm", "<head>IP=<velt-tarnwick-ipaddressonly>",
                  "<head>" + kStamp + kRefresh + "IP=1.2.3.4", true},
        PageCase {"IpOnlyWithPlaceholder", "http://domain/index.htm",
                  "<velt-tarnwick-ipaddressonly>|<velt-tarnwick-address>|<velt-tarnwick-ipaddressonly>",
                  "1.2.3.4|" + kAddress + "|1.2.3.4", false},
        PageCase {"BinaryTemplateBytesKept", "http://domain/weiter", std::string("\xFF\xFE\x01<\x80>\xC3", 7),
                  std::string("\xFF\xFE\x01<\x80>\xC3", 7), true}),
    [](const ::testing::TestParamInfo<PageCase>& info) { return info.param.name; });

TEST_F(RedirectPageTest, AddressHoldingThePlaceholderIsReplacedOnce)
{
    m_settings.SetLocalWebObject("/<velt-tarnwick-address>");
    const GeneratedPage result = Generate("[<velt-tarnwick-address>]");
    EXPECT_EQ(result.page, "[http://1.2.3.4:8080/<velt-tarnwick-address>]");
}

TEST_F(RedirectPageTest, MarkupInTheAddressStaysTextInTheBuiltInPage)
{
    m_settings.SetLocalWebObject("/a&b\"><b>X</b>%>");
    m_settings.SetRedirectUrl("http://domain/start.asp");
    const std::string page = Generate("").page;
    const std::string html = "http://1.2.3.4:8080/a&amp;b&quot;&gt;&lt;b&gt;X&lt;/b&gt;%&gt;";
    EXPECT_NE(page.find("URL=" + html + "\">"), std::string::npos) << page;
    EXPECT_NE(page.find("<a href=\"" + html + "\">"), std::string::npos) << page;
    EXPECT_NE(page.find("<%Response.Redirect \"http://1.2.3.4:8080/a&b\"\"><b>X</b>%\" & \">\"%>"), std::string::npos)
        << page;
    EXPECT_EQ(page.find("<b>X"), page.rfind("<b>X")) << "only inside the script's string";
    // The user's own template gets the address as written.
    EXPECT_EQ(Generate("<velt-tarnwick-address>").page, "http://1.2.3.4:8080/a&b\"><b>X</b>%>");
}

// Template files: path rules and the reading limits.
class TemplateFileTest : public RedirectPageTest
{
protected:
    std::string Write(const std::string& name, const std::string& bytes)
    {
        const std::string path = m_dir.file(name);
        velt::testing::WriteTextFile(path, bytes);
        return path;
    }

    velt::testing::TempDir m_dir;
};

TEST_F(TemplateFileTest, BareNameFromProgramDirectoryMissingFileSilent)
{
    EXPECT_EQ(TemplatePath("", "/opt/bin/"), "");
    EXPECT_EQ(TemplatePath("../share/vorlage.htm", "/opt/bin/"), "../share/vorlage.htm");
    EXPECT_EQ(TemplatePath("C:\\Vorlagen\\a.htm", "/opt/bin/"), "/opt/bin/C:\\Vorlagen\\a.htm");

    Write("vorlage.htm", "<head>Meine Seite <velt-tarnwick-address>");
    m_settings.SetUploadFile("vorlage.htm");
    GeneratedPage result = GenerateRedirectPage(m_settings, m_dir.path().string() + "/", kUploadTime, "1.4.44");
    EXPECT_EQ(result.page, "<head>" + kStamp + "Meine Seite " + kAddress);
    EXPECT_TRUE(result.status.empty());

    result = GenerateRedirectPage(m_settings, "/nowhere/", kUploadTime, "1.4.44");
    EXPECT_EQ(result.page, "<html>\r\n<head>" + kStamp + kRefresh + kDefaultBody);
    EXPECT_EQ(result.status, std::vector<StatusLine> {kGenerating});
}

TEST_F(TemplateFileTest, LimitIs20000Bytes)
{
    for (const auto& [size, cut] : {std::pair<size_t, bool> {0, false}, {20000, false}, {20001, true}}) {
        std::string bytes = "<head>";
        bytes.resize(size, 'x');
        const TemplateText text = ReadTemplate(Write("gross.htm", bytes));
        EXPECT_EQ(text.text, bytes.substr(0, 20000)) << size;
        EXPECT_EQ(text.status.size(), cut ? 1u : 0u) << size;
    }
}

TEST_F(TemplateFileTest, LongTemplateWithZeroByteIsCutAndStillGenerates)
{
    EXPECT_EQ(ReadTemplate(Write("null.htm", std::string("<head>vorher\0nachher", 20))).text, "<head>vorher");

    std::string bytes(30000, 'y');
    bytes[10] = '\0';
    m_settings.SetUploadFile(Write("lang.htm", bytes));
    const GeneratedPage result = GenerateRedirectPage(m_settings, "/", kUploadTime, "1.4.44");
    EXPECT_EQ(result.status,
              (std::vector<StatusLine> {{Kind::Error, "Datei ist größer als 20 KB und wird verkürzt übertragen!"},
                                        kGenerating}));
    EXPECT_EQ(result.page, "<html>\r\n<head>" + kStamp + kRefresh + kDefaultBody);
}

// A directory opens but cannot be read: reported with the reason. An endless
// file counts as too long, a pipe without writer is empty, and a file that
// cannot be opened is left out silently.
TEST_F(TemplateFileTest, UnreadableAndSpecialFiles)
{
    const TemplateText directory = ReadTemplate(m_dir.path().string());
    EXPECT_EQ(directory.text, "");
    ASSERT_EQ(directory.status.size(), 1u);
    EXPECT_EQ(directory.status[0].kind, Kind::Error);
    EXPECT_NE(directory.status[0].text.find(m_dir.path().string()), std::string::npos) << directory.status[0].text;
    EXPECT_NE(directory.status[0].text.find("Verzeichnis"), std::string::npos);

    const TemplateText zeros = ReadTemplate("/dev/zero");
    EXPECT_EQ(zeros.text, "");
    EXPECT_EQ(zeros.status.size(), 1u);
    const std::string fifo = m_dir.file("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(ReadTemplate(fifo).text, "");
    if (geteuid() != 0) {
        const std::string locked = Write("geschuetzt.htm", "<head>geheim");
        ASSERT_EQ(chmod(locked.c_str(), 0), 0);
        EXPECT_TRUE(ReadTemplate(locked).status.empty()) << "failing to open is silent";
    }
}

} // namespace
} // namespace tarnwick
