#include "tarnwick/settings/CRedirectSettings.h"

#include "platform/registry/Registry.h"
#include "tarnwick/resources/RegistryPaths.h"
#include "tarnwick/settings/PasswordScrambler.h"
#include "tarnwick/settings/ProductKey.h"
#include "testing/FreeTcpPort.h"
#include "testing/TempHome.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

namespace reg = platform::registry;
using resources::kMakerKeyPath;
using resources::kProductKeyPath;

// A record whose every field differs from the defaults.
CRedirectSettings Filled()
{
    CRedirectSettings s;
    s.SetLocalStartPage("start.htm");
    s.SetLocalWebObject("/shop/");
    s.SetPhysicalWebDir("/var/www");
    s.SetLocalServerName("10.0.0.1");
    s.SetLocalUrl("http://10.0.0.1/shop/");
    s.SetUserName("M\xC3\xBCller");
    s.SetRedirectUrl("http://example.net/start.asp");
    s.SetUploadFile("vorlage.htm");
    s.SetUploadServer("ftp.example.net");
    s.SetUploadDir("/htdocs");
    s.SetAutoDialConnection("Einwahl");
    s.SetAutoDialUsername("kunde");
    s.SetLocalServiceType(1);
    s.SetLocalPort(8080);
    s.SetUploadServiceType(3);
    s.SetUploadPort(2121);
    s.SetWaitTimeInMin(30);
    s.SetAutoStart(1);
    s.SetAutoDial(1);
    s.SetClientIpByServer(1);
    s.SetPassword("gr\xC3\xBC\xC3\x9F Gott!");
    s.SetAutoDialPW("W\xC3\xA4hl");
    s.SetDnsPassword("DnsGeheim");
    s.SetDnsKey("hmac-sha256:k:c2VjcmV0");
    s.SetExtMessages(1);
    s.SetBackupFile("anders.bak");
    return s;
}

// Every field but Modified, LocalServerName, the passwords, ExtMessages and BackupFile.
auto SharedFields(const CRedirectSettings& r)
{
    return std::make_tuple(r.GetLocalStartPage(), r.GetLocalWebObject(), r.GetPhysicalWebDir(), r.GetLocalUrl(),
                           r.GetUserName(), r.GetRedirectUrl(), r.GetUploadFile(), r.GetUploadServer(),
                           r.GetUploadDir(), r.GetAutoDialConnection(), r.GetAutoDialUsername(),
                           r.GetLocalServiceType(), r.GetLocalPort(), r.GetUploadServiceType(), r.GetUploadPort(),
                           r.GetWaitTimeInMin(), r.GetAutoStart(), r.GetAutoDial(), r.GetClientIpByServer());
}

class SettingsPersistenceTest : public ::testing::Test
{
protected:
    void Put(std::string_view name, std::string_view text, uint32_t number = 0, bool asNumber = false)
    {
        reg::HKEY key = nullptr;
        ASSERT_EQ(reg::RegCreateKey(reg::Root::CurrentUser, kProductKeyPath, &key), reg::kSuccess);
        ASSERT_EQ(asNumber ? reg::RegSetDword(key, name, number) : reg::RegSetString(key, name, text), reg::kSuccess);
        reg::RegCloseKey(key);
    }
    void PutNumber(std::string_view name, uint32_t value) { Put(name, {}, value, true); }

    std::string Hive() { return velt::testing::ReadTextFile(reg::HivePath(reg::Root::CurrentUser)); }
    std::string File(const std::string& name) { return (m_home.configHome() / "VELT" / name).string(); }

    velt::testing::TempHome m_home;
};

TEST_F(SettingsPersistenceTest, WithoutProductKeyNothingIsLoadedOrSaved)
{
    CRedirectSettings s = Filled();
    EXPECT_FALSE(s.LoadFromRegistry(kProductKeyPath));
    EXPECT_EQ(s.GetUploadServer(), "ftp.example.net") << "a failed load keeps the record";
    EXPECT_FALSE(s.SaveToRegistry(kProductKeyPath)) << "the key is opened, never created";
    EXPECT_EQ(s.GetModified(), 1);
    EXPECT_EQ(Hive().find("ftp.example.net"), std::string::npos);
}

TEST_F(SettingsPersistenceTest, RegistryRoundTripWithScrambledPasswords)
{
    ASSERT_TRUE(EnsureProductKey());
    ASSERT_TRUE(EnsureProductKey());
    CRedirectSettings s = Filled();
    ASSERT_TRUE(s.SaveToRegistry(kProductKeyPath));
    EXPECT_EQ(s.GetModified(), 0);

    CRedirectSettings loaded;
    ASSERT_TRUE(loaded.LoadFromRegistry(kProductKeyPath));
    EXPECT_EQ(SharedFields(loaded), SharedFields(s));
    EXPECT_EQ(loaded.GetPassword(), s.GetPassword());
    EXPECT_EQ(loaded.GetAutoDialPW(), s.GetAutoDialPW());
    EXPECT_EQ(loaded.GetExtMessages(), 1);
    EXPECT_EQ(loaded.GetBackupFile(), "anders.bak");
    EXPECT_EQ(loaded.GetLocalServerName(), "") << "written but never read back";

    const std::string hive = Hive();
    std::string stored;
    ASSERT_TRUE(ScramblePassword(s.GetAutoDialPW(), stored, BuildScrambleKey(kDialUpPasswordSalt)));
    EXPECT_NE(hive.find("\"AutoDialPW\"=\"" + stored + "\""), std::string::npos);
    EXPECT_EQ(hive.find("Gott"), std::string::npos);
    EXPECT_EQ(hive.find("Modified"), std::string::npos);
}

TEST_F(SettingsPersistenceTest, SaveWithoutChangeWritesNothing)
{
    ASSERT_TRUE(EnsureProductKey());
    CRedirectSettings s;
    s.SetUserName("first");
    ASSERT_TRUE(s.SaveToRegistry(kProductKeyPath));
    Put("UserName", "another writer");
    const std::string before = Hive();
    EXPECT_TRUE(s.SaveToRegistry(kProductKeyPath));
    EXPECT_EQ(Hive(), before);
}

TEST_F(SettingsPersistenceTest, RegistryValuesThatDoNotFitAreNotTaken)
{
    Put("UploadServer", std::string(255, 's'));
    Put("UserName", std::string(256, 'u'));
    Put("RedirectUrl", std::string(100000, 'r'));
    PutNumber("UploadFile", 0x41424344);
    Put("LocalPort", "8080");
    PutNumber("UploadPort", 0x10050);
    PutNumber("WaitTimeInMin", 500);
    CRedirectSettings s;
    ASSERT_TRUE(s.LoadFromRegistry(kProductKeyPath));
    EXPECT_EQ(s.GetUploadServer(), std::string(255, 's'));
    EXPECT_EQ(s.GetUserName(), "anonymous");
    EXPECT_EQ(s.GetRedirectUrl(), "http://domain/index.htm");
    EXPECT_EQ(s.GetUploadFile(), "") << "a number is no text";
    EXPECT_EQ(s.GetLocalPort(), 80) << "a text is no number";
    EXPECT_EQ(s.GetUploadPort(), 0x50) << "ports keep the low 16 bits";
    EXPECT_EQ(s.GetWaitTimeInMin(), 500) << "stored numbers are taken as they are";
}

// A text that is no scrambled password leaves the field as it was ("keep");
// an empty one is the empty password.
TEST_F(SettingsPersistenceTest, StoredPasswordLoadsOrKeepsTheField)
{
    for (const auto& [text, expected] : {std::pair<std::string, std::string> {"", ""}, {"ABC", "keep"}}) {
        Put("Password", text);
        CRedirectSettings s;
        s.SetPassword("keep");
        ASSERT_TRUE(s.LoadFromRegistry(kProductKeyPath));
        EXPECT_EQ(s.GetPassword(), expected) << text;
    }
}

TEST_F(SettingsPersistenceTest, BackupRoundTripLeavesOutPasswordsAndFindsBareName)
{
    const CRedirectSettings source = Filled();
    ASSERT_TRUE(source.SaveToBackupFile("values.bak"));
    const std::string text = velt::testing::ReadTextFile(File("values.bak"));
    EXPECT_NE(text.find("LocalServerName=10.0.0.1"), std::string::npos);
    // Windows line ends and the fixed order of the keys: the file moves between systems.
    std::vector<std::string> keys;
    for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        keys.push_back(text.substr(start, text.find_first_of("=\r", start) - start));
    const std::vector<std::string> expected = {"[Options]",
                                               "LocalStartPage",
                                               "LocalWebObject",
                                               "PhysicalWebDir",
                                               "LocalServerName",
                                               "LocalUrl",
                                               "UserName",
                                               "RedirectUrl",
                                               "UploadFile",
                                               "UploadServer",
                                               "UploadDir",
                                               "AutoDialConnection",
                                               "AutoDialUsername",
                                               "LocalServiceType",
                                               "LocalPort",
                                               "UploadServiceType",
                                               "UploadPort",
                                               "WaitTimeInMin",
                                               "AutoStart",
                                               "AutoDial",
                                               "ClientIpByServer",
                                               "UploadTls",
                                               "CaFile",
                                               "WarnPrivateAddress",
                                               "RetryAfterFailure",
                                               "RedirectOnAddressChange",
                                               "AddressFamily",
                                               "Ipv6InterfaceId",
                                               "DnsUpdate",
                                               "DnsName",
                                               "DnsServer",
                                               "DnsUser",
                                               "DnsCheckServer",
                                               "RedirectPage"};
    EXPECT_EQ(keys, expected);
    EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1) << "no bare line feeds";
    for (const char* absent : {"Gott", "W\xC3\xA4hl", "ExtMessages", "anders.bak", "DnsGeheim", "c2VjcmV0"})
        EXPECT_EQ(text.find(absent), std::string::npos) << absent;

    CRedirectSettings loaded;
    loaded.SetModified(1);
    ASSERT_TRUE(loaded.LoadFromBackupFile("values.bak"));
    EXPECT_EQ(SharedFields(loaded), SharedFields(source));
    EXPECT_EQ(loaded.GetLocalServerName(), "");
    EXPECT_EQ(loaded.GetModified(), 0);
    EXPECT_FALSE(loaded.LoadFromBackupFile(""));
    EXPECT_FALSE(loaded.SaveToBackupFile(""));
}

// A file written on Windows: CRLF, Windows-1252, keys in other case, missing
// keys, a line far longer than the buffer, numbers that are not numbers.
TEST_F(SettingsPersistenceTest, WindowsBackupFileWithMissingAndBrokenKeys)
{
    velt::testing::WriteTextFile(File("win.bak"),
                                 "[options]\r\nREDIRECTURL=http://example.net/index.htm\r\n"
                                 "UserName=J\xFCrgen\r\nUploadFile="
                                     + std::string(255, 'f') + "\r\nLocalWebObject=" + std::string(5000, 'w')
                                     + "\r\nLocalPort=abc\r\nWaitTimeInMin=zehn\r\n"
                                       "UploadServiceType=3\r\n");
    CRedirectSettings s = Filled();
    ASSERT_TRUE(s.LoadFromBackupFile(File("win.bak")));
    EXPECT_EQ(s.GetRedirectUrl(), "http://example.net/index.htm");
    EXPECT_EQ(s.GetUserName(), "J\xC3\xBCrgen");
    EXPECT_EQ(s.GetUploadFile(), std::string(255, 'f'));
    EXPECT_EQ(s.GetLocalWebObject(), "/shop/") << "a text too long to store is left out, not cut";
    EXPECT_EQ(s.GetUploadServer(), "") << "a missing text key empties the field";
    EXPECT_EQ(s.GetUploadPort(), 2121) << "a missing number keeps the field";
    EXPECT_EQ(s.GetLocalPort(), 8080) << "so does a number that is none";
    EXPECT_EQ(s.GetWaitTimeInMin(), 30);
    EXPECT_EQ(s.GetUploadServiceType(), 3);
}

TEST_F(SettingsPersistenceTest, NoBackupFileChangesNothing)
{
    velt::testing::WriteTextFile(File("binary.bak"),
                                 std::string("\x7F"
                                             "ELF\x02\x01\x00\xFF\xFE[Options",
                                             18));
    velt::testing::WriteTextFile(File("foreign.ini"), "[Other]\nRedirectUrl=http://x/\n[Options]\nColour=blue\n");
    CRedirectSettings s = Filled();
    for (const std::string& name :
         {File("missing.bak"), m_home.configHome().string(), File("binary.bak"), File("foreign.ini")})
        EXPECT_FALSE(s.LoadFromBackupFile(name)) << name;
    EXPECT_EQ(SharedFields(s), SharedFields(Filled()));
    EXPECT_FALSE(s.SaveToBackupFile("/proc/version/below.bak"));
}

} // namespace
} // namespace tarnwick
