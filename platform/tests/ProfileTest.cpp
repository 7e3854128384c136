// The initialisation-file functions on backup files as Windows and our own
// programs write them: encodings, line ends, buffer limits, numbers, and
// writing that keeps everything else.
#include "platform/profile/Profile.h"

#include "testing/FreeTcpPort.h"
#include "testing/TempHome.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace platform::profile;
using velt::testing::TempHome;

using namespace std::literals;

namespace {

using velt::testing::ReadTextFile;
using velt::testing::WriteTextFile;

std::string Read(std::string_view section, std::string_view key, const std::string& file, uint32_t size = 256,
                 std::string_view fallback = "<default>")
{
    std::vector<char> buffer(size + 1, '#');
    uint32_t count = GetPrivateProfileString(section, key, fallback, buffer.data(), size, file);
    std::string value(buffer.data());
    EXPECT_EQ(count, value.size());
    return value;
}

class ProfileTest : public ::testing::Test
{
protected:
    std::string file() const { return (m_home.home() / "values.bak").string(); }
    TempHome m_home;
};

struct ReadCase
{
    const char* name;
    std::string content;
    const char* section;
    const char* key;
    const char* expected;
};

TEST_F(ProfileTest, FindsTheValueAsWindowsWould)
{
    const ReadCase cases[]
        = {{"CrLf", "[Options]\r\nUserName=anonymous\r\nUploadDir=/\r\n", "Options", "UserName", "anonymous"},
           {"NoFinalLineEnd", "[Options]\r\nUploadDir=/htdocs", "Options", "UploadDir", "/htdocs"},
           {"CaseOfNames", "[OPTIONS]\nusername=x\n", "Options", "UserName", "x"},
           {"Blanks", "  [ Options ]  \n  UserName  =  a b  \t\n", "Options", "UserName", "a b"},
           {"Quotes", "[Options]\nUploadFile=\"C:\\Vorlage.htm\"\n", "Options", "UploadFile", "C:\\Vorlage.htm"},
           {"EqualsInValue", "[Options]\nRedirectUrl=http://h/?a=b\n", "Options", "RedirectUrl", "http://h/?a=b"},
           {"Windows1252", "[Options]\r\nUserName=J\xf6rg M\xfcller \x80\r\n", "Options", "UserName", "Jörg Müller €"},
           {"Utf8Bom", "\xEF\xBB\xBF[Options]\nUserName=Jörg\n", "Options", "UserName", "Jörg"},
           {"Utf16", "\xFF\xFE[\0O\0]\0\r\0\n\0k\0=\0\xFC\0\r\0\n\0"s, "O", "k", "ü"},
           {"FirstOfTwoKeys", "[Options]\nUserName=first\nUserName=second\n", "Options", "UserName", "first"},
           {"KeyOfOtherSection", "[Other]\nUserName=x\n[Options]\nUploadDir=/\n", "Options", "UserName", "<default>"},
           {"MissingSection", "[Other]\nUserName=x\n", "Options", "UserName", "<default>"},
           {"EmptyValue", "[Options]\nUserName=\n", "Options", "UserName", ""},
           {"Garbage", "\x00\x01[\xff\xfe\x00Options]\n\x7f"s, "Options", "UserName", "<default>"}};
    for (const ReadCase& c : cases) {
        WriteTextFile(file(), c.content);
        EXPECT_EQ(Read(c.section, c.key, file()), c.expected) << c.name;
    }
}

TEST_F(ProfileTest, MissingFileGivesTheDefault)
{
    EXPECT_EQ(Read("Options", "UserName", file()), "<default>");
    // Windows drops trailing blanks of the default.
    EXPECT_EQ(Read("Options", "UserName", file(), 256, "anonymous  "), "anonymous");
    EXPECT_EQ(GetPrivateProfileInt("Options", "LocalPort", 80, file()), 80);
    EXPECT_EQ(GetPrivateProfileString("Options", "UserName", "x", nullptr, 256, file()), 0u);
}

// A value longer than the caller's buffer is cut to size-1 bytes, never
// inside a UTF-8 sequence, and the buffer always ends with a zero.
TEST_F(ProfileTest, LongValuesAreCutToTheBuffer)
{
    std::string ascii(10000, 'a');
    std::string umlauts;
    for (int i = 0; i < 200; ++i)
        umlauts += "ä";
    WriteTextFile(file(), "[Options]\nLong=" + ascii + "\nUmlauts=" + umlauts + "\nAfter=ok\n");

    EXPECT_EQ(Read("Options", "Long", file(), 256), ascii.substr(0, 255));
    EXPECT_EQ(Read("Options", "Long", file(), 1), "");
    EXPECT_EQ(Read("Options", "Umlauts", file(), 256), umlauts.substr(0, 254));
    EXPECT_EQ(Read("Options", "Umlauts", file(), 2), "");
    EXPECT_EQ(Read("Options", "Missing", file(), 5, "defaultvalue"), "defa");
    EXPECT_EQ(Read("Options", "After", file()), "ok");
    char untouched = '#';
    EXPECT_EQ(GetPrivateProfileString("Options", "Long", "", &untouched, 0, file()), 0u);
    EXPECT_EQ(untouched, '#');
}

// A value with no leading number keeps the caller's default, so that a
// damaged file cannot set a period or port of 0.
TEST_F(ProfileTest, NumbersAreTheLeadingDecimalNumber)
{
    const std::pair<const char*, int> cases[] = {{"-7", -7},  {"  12abc", 12},    {"0", 0},
                                                 {"0x10", 0}, {"abc", 7},         {"", 7},
                                                 {"- 3", 7},  {"99999999999", 7}, {"-2147483648", -2147483647 - 1}};
    for (const auto& [text, expected] : cases) {
        WriteTextFile(file(), std::string("[Options]\r\nWaitTimeInMin=") + text + "\r\n");
        EXPECT_EQ(GetPrivateProfileInt("options", "waittimeinmin", 7, file()), expected) << text;
    }
}

TEST_F(ProfileTest, WritingChangesOneLineAndKeepsTheRest)
{
    const std::string original = "; Sicherung\r\n[General]\r\nA=1\r\n\r\n[Options]\r\nUserName=old\r\n"
                                 "LocalPort=80\r\n\r\n[Zuletzt]\r\nB=2\r\n";
    WriteTextFile(file(), original);

    ASSERT_TRUE(WritePrivateProfileString("OPTIONS", "username", "new", file()));
    std::string expected = original;
    expected.replace(expected.find("UserName=old"), 12, "UserName=new");
    EXPECT_EQ(ReadTextFile(file()), expected);

    ASSERT_TRUE(WritePrivateProfileString("Options", "UploadDir", "/htdocs", file()));
    expected.replace(expected.find("LocalPort=80\r\n") + 14, 0, "UploadDir=/htdocs\r\n");
    EXPECT_EQ(ReadTextFile(file()), expected);

    ASSERT_TRUE(WritePrivateProfileString("Neu", "C", "3", file()));
    expected += "\r\n[Neu]\r\nC=3\r\n";
    EXPECT_EQ(ReadTextFile(file()), expected);
    EXPECT_EQ(Read("Neu", "C", file()), "3");
    EXPECT_EQ(Read("Zuletzt", "B", file()), "2");
}

TEST_F(ProfileTest, AWindowsFileIsRewrittenAsUtf8)
{
    WriteTextFile(file(), "[Options]\r\nUserName=J\xf6rg\r\n");
    ASSERT_TRUE(WritePrivateProfileString("Options", "UploadServer", "straße.example", file()));
    EXPECT_EQ(ReadTextFile(file()), "[Options]\r\nUserName=Jörg\r\nUploadServer=straße.example\r\n");
}

TEST_F(ProfileTest, ABareNameLivesInTheConfigFolder)
{
    EXPECT_EQ(ResolveProfilePath("values.bak"), (m_home.configHome() / "VELT/values.bak").string());
    EXPECT_EQ(ResolveProfilePath("/srv/x.bak"), "/srv/x.bak");
    EXPECT_EQ(ResolveProfilePath("sub/x.bak"), "sub/x.bak");
    EXPECT_EQ(ResolveProfilePath(""), "");
    EXPECT_EQ(ResolveProfilePath(".."), "");

    mode_t previous = umask(0);
    bool written = WritePrivateProfileString("Options", "UserName", "anonymous", "values.bak");
    umask(previous);
    ASSERT_TRUE(written);
    std::filesystem::path path = m_home.configHome() / "VELT/values.bak";
    EXPECT_EQ(ReadTextFile(path), "[Options]\r\nUserName=anonymous\r\n");
    struct stat info = {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(Read("Options", "UserName", "values.bak"), "anonymous");
}

TEST_F(ProfileTest, RefusedWritesLeaveTheFileAlone)
{
    const std::string original = "[Options]\nUserName=old\n";
    WriteTextFile(file(), original);
    EXPECT_FALSE(WritePrivateProfileString("Options", "UserName", "a\r\n[Evil]\r\nx=1", file()));
    EXPECT_FALSE(WritePrivateProfileString("Options", "User=Name", "x", file()));
    EXPECT_FALSE(WritePrivateProfileString("Opt]ions", "UserName", "x", file()));
    EXPECT_FALSE(WritePrivateProfileString("Options", "UserName", "a\0b"sv, file()));
    EXPECT_EQ(ReadTextFile(file()), original);

    // A binary file is not rewritten as text.
    const std::string binary("\x7f"
                             "ELF\0\0\0[Options]\n",
                             17);
    WriteTextFile(file(), binary);
    EXPECT_FALSE(WritePrivateProfileString("Options", "UserName", "x", file()));
    EXPECT_EQ(ReadTextFile(file()), binary);

    EXPECT_FALSE(WritePrivateProfileString("Options", "UserName", "x", (m_home.home() / "no/such/dir/x.bak").string()));
    EXPECT_FALSE(WritePrivateProfileString("Options", "UserName", "x", m_home.home().string()));
}

TEST_F(ProfileTest, WritingThroughALinkUpdatesItsTarget)
{
    std::filesystem::path target = m_home.home() / "real.bak";
    WriteTextFile(target, "[Options]\nA=1\n");
    std::filesystem::create_symlink(target, file());
    ASSERT_TRUE(WritePrivateProfileString("Options", "B", "2", file()));
    EXPECT_TRUE(std::filesystem::is_symlink(file()));
    EXPECT_EQ(ReadTextFile(target), "[Options]\r\nA=1\r\nB=2\r\n");
}

} // namespace
