#include "kestrup/KestrupArguments.h"
#include "kestrup/CKestrupApp.h"
#include "kestrup/KestrupUsage.h"

#include <gtest/gtest.h>

using namespace kestrup;

namespace {

struct ValueCase
{
    const char* text;
    const char* key;
    const char* value;
};

TEST(KestrupArgumentsTest, GetArgument)
{
    const ValueCase cases[] = {
        {"msidlfile=/Download/TWSetup.msi pr=\"VELT Tarnwick\" v=1.4.44", "pr=", "VELT Tarnwick"},
        {"msidlfile=/Download/TWSetup.msi pr=\"VELT Tarnwick\" v=1.4.44", "v=", "1.4.44"},
        {"msidlfile=/Download/TWSetup.msi pr=\"VELT Tarnwick\" v=1.4.44", "msidlfile=", "/Download/TWSetup.msi"},
        {"PR=\"Groß Klein\"", "pr=", "Groß Klein"}, // key in any case, value keeps its own
        {"pr=VELT Tarnwick", "pr=", "VELT"}, // without quotes the value ends at the first blank
        {"pr=\"VELT Tarnwick", "pr=", "\"VELT"}, // an opening quote alone stays
        {"pr=   \t x ", "pr=", "x"},
        {"pr=", "pr=", ""},
        {"", "pr=", ""},
        {"v=1", "msifile=", ""},
        {"rev=2 v=1", "v=", "2"}, // first occurrence, whatever stands before it
        {"ÄPR=ü", "pr=", "ü"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GetArgument(c.text, c.key), c.value) << c.text << " / " << c.key;
}

TEST(KestrupArgumentsTest, GetTextValue)
{
    const ValueCase cases[] = {
        {"version=1.4.45\r\ncmdline=A=1\r\n", "version=", "1.4.45"},
        {"version=1.4.45\r\ncmdline=A=1\r\n", "cmdline=", "A=1"},
        {"version=1.4.45\ncmdline=\n", "cmdline=", ""},
        {"oldversion=1.0\nversion=1.4.45\n", "version=", "1.0"}, // found inside another word
        {"version=\r\n1.4.45\r\n", "version=", "1.4.45"}, // leading white space swallows the line end
        {"version=1.4.45 \r\ncmdline=", "version=", "1.4.45 "}, // blanks before the line end stay
        {"version=1.4.45 \r\n", "version=", "1.4.45"}, // at the very end they do not
        {"VERSION=1.4.45", "version=", "1.4.45"},
        {"cmdline=x", "version=", ""},
        {"", "version=", ""},
        {"version=1", "", ""},
        {"sha256= ab12 \nx", "sha256=", "ab12 "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GetTextValue(c.text, c.key), c.value) << c.text << " / " << c.key;
}

TEST(KestrupArgumentsTest, ShellSplitArgumentsGetTheirQuotesBack)
{
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"pr=VELT Tarnwick", "v=1.4.44"}, "pr=\"VELT Tarnwick\" v=1.4.44"},
        {{"pr=\"VELT Tarnwick\"", "v=1.4.44"}, "pr=\"VELT Tarnwick\" v=1.4.44"},
        {{"msidlfile=/Download/TWSetup.msi pr=\"VELT Tarnwick\" v=1.4.44"},
         "msidlfile=/Download/TWSetup.msi pr=\"VELT Tarnwick\" v=1.4.44"},
        {{"/quitonly", "pr=VELT"}, "/quitonly pr=VELT"},
        {{"two words"}, "two words"},
        {{}, ""},
    };
    for (const auto& [args, line] : cases) {
        EXPECT_EQ(JoinArguments(args), line);
        if (std::string(line).find("VELT Tarnwick") != std::string::npos) {
            EXPECT_EQ(GetArgument(JoinArguments(args), "pr="), "VELT Tarnwick");
        }
    }
}

TEST(KestrupArgumentsTest, ApplicationFieldsAndCompletion)
{
    CKestrupApp app;
    app.Init("msidlfile=/Download/TWSetup.msi pr=\"VELT Tarnwick\" v=1.4.44", "/opt/tw/bin/", "www.velt.example");
    EXPECT_EQ(app.m_strProgram, "VELT Tarnwick");
    EXPECT_EQ(app.m_strVersion, "1.4.44");
    EXPECT_EQ(app.m_strMsiDownloadUrl, "http://www.velt.example/Download/TWSetup.msi");
    EXPECT_EQ(app.m_strMsiFile, "");
    EXPECT_FALSE(app.QuitOnly());

    app.Init("msifile=TWSetup.msi msidlfile=https://a.example/x.msi", "/opt/tw/bin/", "h");
    EXPECT_EQ(app.m_strMsiFile, "/opt/tw/bin/TWSetup.msi");
    EXPECT_EQ(app.m_strMsiDownloadUrl, "https://a.example/x.msi");
    app.Init("msifile=/tmp/TWSetup.msi", "/opt/tw/bin/", "h");
    EXPECT_EQ(app.m_strMsiFile, "/tmp/TWSetup.msi");
    app.Init("x /QuitOnly pr=\"VELT Tarnwick\"", "/", "h");
    EXPECT_TRUE(app.QuitOnly());
    EXPECT_EQ(app.m_strProgram, "VELT Tarnwick");

    EXPECT_EQ(VersionTextPath("/Download/TWSetup.msi"), "/Download/TWSetup.txt");
    EXPECT_EQ(VersionTextPath("/dl.new/setup"), "/dl.txt");
    EXPECT_EQ(VersionTextPath("/Download/setup"), "/Download/setup");
    EXPECT_EQ(VersionTextPath(".msi"), ".msi");
}

} // namespace

TEST(KestrupArgumentsTest, InfoOptionsOnlyAsTheWholeCommandLine)
{
    EXPECT_EQ(InfoOptionText({"--version"}), std::string(KESTRUP_VERSION) + "\n");
    const auto help = InfoOptionText({"--help"});
    ASSERT_TRUE(help);
    for (const char* word : {"msidlfile=", "msifile=", "pr=", "v=", "cmdline=", "/quitonly", "--version"})
        EXPECT_NE(help->find(word), std::string::npos) << word;
    // An update's command line is never taken for an option.
    const std::vector<std::vector<std::string>> updates
        = {{}, {"--version", "v=1.4.44"}, {"pr=--help"}, {"--Version"}, {"msifile=--help"}};
    for (const auto& args : updates)
        EXPECT_FALSE(InfoOptionText(args)) << (args.empty() ? "" : args.front());
}
