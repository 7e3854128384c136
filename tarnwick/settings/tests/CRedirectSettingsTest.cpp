#include "tarnwick/settings/CRedirectSettings.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

namespace tarnwick {
namespace {

TEST(CRedirectSettings, FirstStartAddressAndCopies)
{
    CRedirectSettings s;
    EXPECT_EQ(s.GetRedirectAddress(), "http:///") << "empty host, port 80, path /";
    EXPECT_EQ(s.GetLocalUrl(), "http:///");
    EXPECT_EQ(s.GetPageFileName(), "index.htm");
    EXPECT_EQ(s.GetModified(), 0) << "composing the address is no change";

    s.SetUploadServer("ftp.example.net");
    s.SetLocalPort(8080);
    CRedirectSettings copy;
    copy.CopyFrom(&s);
    EXPECT_EQ(copy.GetUploadServer(), "ftp.example.net");
    EXPECT_EQ(copy.GetLocalPort(), 8080);
    EXPECT_EQ(copy.GetModified(), 1) << "Modified is copied too";
    copy.CopyFrom(nullptr);
    EXPECT_EQ(copy.GetUploadServer(), "domain");
    EXPECT_EQ(copy.GetWaitTimeInMin(), 2);
    EXPECT_EQ(copy.GetModified(), 0);
}

// A setter applied to a record holding the defaults (after `before`, which is
// not counted): what the field holds afterwards and whether it was a change.
struct SetterCase
{
    const char* what;
    std::function<void(CRedirectSettings&)> before;
    std::function<void(CRedirectSettings&)> set;
    std::function<std::string(const CRedirectSettings&)> get;
    std::string expected;
    bool modified;
};

void PrintTo(const SetterCase& c, std::ostream* os)
{
    *os << c.what;
}

class SetterTest : public ::testing::TestWithParam<SetterCase>
{
};

TEST_P(SetterTest, StoresAndMarksOnlyRealChanges)
{
    CRedirectSettings s;
    GetParam().before(s);
    s.SetModified(0);
    GetParam().set(s);
    EXPECT_EQ(GetParam().get(s), GetParam().expected);
    EXPECT_EQ(s.GetModified(), GetParam().modified ? 1 : 0);
}

using S = CRedirectSettings;
const auto kNothing = [](S&) {};
const auto kDir = [](const S& s) { return s.GetUploadDir(); };
const auto kObject = [](const S& s) { return s.GetLocalWebObject(); };
const auto kWait = [](const S& s) { return std::to_string(s.GetWaitTimeInMin()); };

INSTANTIATE_TEST_SUITE_P(
    Rules, SetterTest,
    ::testing::Values(
        SetterCase {"UploadDir gets slash", kNothing, [](S& s) { s.SetUploadDir("pub"); }, kDir, "/pub", true},
        SetterCase {"UploadDir empty", kNothing, [](S& s) { s.SetUploadDir(""); }, kDir, "/", true},
        SetterCase {"UploadDir case kept", [](S& s) { s.SetUploadDir("/Pub"); }, [](S& s) { s.SetUploadDir("/PUB"); },
                    kDir, "/Pub", false},
        SetterCase {"LocalWebObject case-sensitive", [](S& s) { s.SetLocalWebObject("/Shop/"); },
                    [](S& s) { s.SetLocalWebObject("/shop/"); }, kObject, "/shop/", true},
        SetterCase {"LocalWebObject empty", kNothing, [](S& s) { s.SetLocalWebObject(""); }, kObject, "/", true},
        SetterCase {"RedirectUrl case kept", kNothing, [](S& s) { s.SetRedirectUrl("HTTP://DOMAIN/INDEX.HTM"); },
                    [](const S& s) { return s.GetRedirectUrl(); }, "http://domain/index.htm", false},
        SetterCase {"UploadFile umlaut case kept", [](S& s) { s.SetUploadFile("\xC3\xBC.htm"); },
                    [](S& s) { s.SetUploadFile("\xC3\x9C.HTM"); }, [](const S& s) { return s.GetUploadFile(); },
                    "\xC3\xBC.htm", false},
        SetterCase {"UserName case-sensitive", kNothing, [](S& s) { s.SetUserName("Anonymous"); },
                    [](const S& s) { return s.GetUserName(); }, "Anonymous", true},
        SetterCase {"empty password over set one", [](S& s) { s.SetAutoDialPW("x"); },
                    [](S& s) { s.SetAutoDialPW({}); }, [](const S& s) { return s.GetAutoDialPW(); }, "", true},
        SetterCase {"WaitTimeInMin 0", kNothing, [](S& s) { s.SetWaitTimeInMin(0); }, kWait, "2", false},
        SetterCase {"WaitTimeInMin 120", kNothing, [](S& s) { s.SetWaitTimeInMin(120); }, kWait, "120", true},
        SetterCase {"WaitTimeInMin 121", kNothing, [](S& s) { s.SetWaitTimeInMin(121); }, kWait, "2", false},
        SetterCase {"same port", kNothing, [](S& s) { s.SetLocalPort(80); },
                    [](const S& s) { return std::to_string(s.GetLocalPort()); }, "80", false}));

TEST(CRedirectSettings, ComposeUrl)
{
    EXPECT_EQ(S::ComposeUrl(3, "1.2.3.4", 80, "/"), "http://1.2.3.4/");
    EXPECT_EQ(S::ComposeUrl(3, "1.2.3.4", 8080, "/shop/"), "http://1.2.3.4:8080/shop/");
    EXPECT_EQ(S::ComposeUrl(3, "1.2.3.4", 21, "/"), "http://1.2.3.4:21/");
    EXPECT_EQ(S::ComposeUrl(1, "1.2.3.4", 21, "/"), "ftp://1.2.3.4/");
    EXPECT_EQ(S::ComposeUrl(1, "1.2.3.4", 80, "/"), "ftp://1.2.3.4:80/");
    EXPECT_EQ(S::ComposeUrl(2, "1.2.3.4", 80, "/"), "");
}

TEST(CRedirectSettings, PageFileName)
{
    S s;
    const std::pair<std::string, std::string> cases[] = {
        {"http://domain/a/start.ASP", "start.ASP"},
        {"http://domain/dir/", ""},
        {"http://domain/.hidden", ""},
        {"http://domain/.a.htm", ".a.htm"},
        {"ftp://domain/index.htm", ""},
        {"domain/index.htm", ""},
        {"http://domain/index.htm\r\n", ""},
        {"https://domain/s/index.htm", "index.htm"},
    };
    for (const auto& [address, name] : cases)
        EXPECT_EQ(s.GetPageFileName(address), name) << address;
    s.SetRedirectUrl("http://example.net/weiter/start.asp");
    EXPECT_EQ(s.GetPageFileName(""), "start.asp");
}

TEST(CRedirectSettings, ParseIpAddress)
{
    EXPECT_EQ(S::ParseIpAddress("192.168.0.255"), 0xC0A800FFu);
    EXPECT_EQ(S::ParseIpAddress("256.1.1.1x"), 0x00010101u) << "low 8 bits, trailing text ignored";
    EXPECT_EQ(S::ParseIpAddress("-1.0.0.1"), 0xFF000001u);
    EXPECT_EQ(S::ParseIpAddress("1.2.3"), 0u);
    EXPECT_EQ(S::ParseIpAddress("1..2.3"), 0u);
    EXPECT_EQ(S::ParseIpAddress("99999999999999999999999.0.0.1"), 0xFF000001u);
}

} // namespace
} // namespace tarnwick
