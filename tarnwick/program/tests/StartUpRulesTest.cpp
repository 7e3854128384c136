#include "tarnwick/program/AutostartEntry.h"
#include "tarnwick/program/StartWords.h"

#include "testing/FreeTcpPort.h"
#include "testing/TempHome.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace tarnwick;

namespace {

struct WordCase
{
    const char* line;
    bool quit;
    bool execNow;
    bool pending;
};

class StartWordsTest : public ::testing::TestWithParam<WordCase>
{
};

} // namespace

TEST_P(StartWordsTest, WordsCountOnlyAfterTheFirstCharacter)
{
    const WordCase& c = GetParam();
    const StartWords words = ParseStartWords(c.line);
    EXPECT_EQ(words.quit, c.quit) << c.line;
    EXPECT_EQ(words.execNow, c.execNow) << c.line;
    EXPECT_EQ(words.pending, c.pending) << c.line;
}

INSTANTIATE_TEST_SUITE_P(Lines, StartWordsTest,
                         ::testing::Values(WordCase {"", false, false, false}, WordCase {"-QuIt", true, false, false},
                                           WordCase {"quit", false, false, false},
                                           WordCase {"quit /quit", false, false, false}, // first occurrence decides
                                           WordCase {"/pending", false, false, true},
                                           WordCase {"/ExecNow /quit", true, true, false},
                                           WordCase {"x quitter", true, false, false},
                                           WordCase {"/exec now", false, false, false},
                                           WordCase {"\xFF\xFEquit", true, false, false}));

TEST(CommandLineTest, ArgumentsAreJoinedByBlanksWithoutTheProgramName)
{
    const char* argv[] = {"/usr/bin/tarnwick", "/pending", "two words", ""};
    EXPECT_EQ(JoinCommandLine(4, argv), "/pending two words ");
    EXPECT_EQ(JoinCommandLine(1, argv), "");
    // A word in the program's own path does not count.
    const char* own[] = {"/opt/quit/tarnwick"};
    EXPECT_FALSE(ParseStartWords(JoinCommandLine(1, own)).quit);
}

namespace {

struct ExecCase
{
    const char* dir;
    const char* file;
    const char* exec; // expected Exec value in the file
};

class AutostartEntryTest : public ::testing::TestWithParam<ExecCase>
{
protected:
    velt::testing::TempHome m_home;
};

} // namespace

TEST_P(AutostartEntryTest, EntryStartsTheProgramHiddenWithItsPathQuoted)
{
    const ExecCase& c = GetParam();
    ASSERT_FALSE(std::filesystem::exists(m_home.configHome() / "autostart"));
    ASSERT_TRUE(WriteAutostartEntry(c.dir, c.file));
    const std::string path = AutostartEntryPath();
    EXPECT_EQ(path, (m_home.configHome() / "autostart" / "TarnwickTray.desktop").string());
    const std::string content = velt::testing::ReadTextFile(path);
    EXPECT_EQ(content.rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_NE(content.find("\nType=Application\n"), std::string::npos);
    EXPECT_NE(content.find("\nIcon=tarnwick\n"), std::string::npos) << "as the menu entry";
    EXPECT_NE(content.find(std::string("\nExec=") + c.exec + "\n"), std::string::npos) << content;
    EXPECT_EQ(AutostartCommand(c.dir, c.file), "\"" + std::string(c.dir) + c.file + "\" /pending");

    // Writing again replaces the entry; deleting removes it once.
    ASSERT_TRUE(WriteAutostartEntry(c.dir, c.file));
    EXPECT_TRUE(DeleteAutostartEntry());
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(DeleteAutostartEntry());
}

INSTANTIATE_TEST_SUITE_P(
    Paths, AutostartEntryTest,
    ::testing::Values(ExecCase {"/usr/bin/", "tarnwick", R"("/usr/bin/tarnwick" /pending)"},
                      ExecCase {"/opt/a\"b$c`d/", "tarnwick", R"("/opt/a\\"b\\$c\\`d/tarnwick" /pending)"},
                      ExecCase {"/opt/back\\slash/", "tarnwick", R"("/opt/back\\\\slash/tarnwick" /pending)"},
                      ExecCase {"/opt/100%/", "tarnwick", R"("/opt/100%%/tarnwick" /pending)"},
                      ExecCase {"/opt/Grüße/", "tarnwick.bin", R"("/opt/Grüße/tarnwick.bin" /pending)"}));

TEST(AutostartEntryFailureTest, PathsThatCannotBeWrittenFailWithoutAFile)
{
    velt::testing::TempHome home;
    EXPECT_FALSE(WriteAutostartEntry("/opt/new\nline/", "tarnwick"));
    EXPECT_FALSE(std::filesystem::exists(AutostartEntryPath()));
}
