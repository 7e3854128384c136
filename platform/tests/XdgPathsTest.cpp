// Where per-user files go under the base directory rules, and the program
// directory that installed data is found from.
#include "platform/system/XdgPaths.h"
#include "platform/system/ProgramDirectory.h"

#include "testing/ScopedEnv.h"
#include "testing/TempDir.h"
#include "testing/TempHome.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using velt::testing::ScopedEnv;
using velt::testing::TempDir;
using velt::testing::TempHome;

namespace {

mode_t ModeOf(const std::string& path)
{
    struct stat info = {};
    return stat(path.c_str(), &info) == 0 ? (info.st_mode & 0777) : 0;
}

struct EnvCase
{
    const char* name;
    std::optional<std::string> home;
    std::optional<std::string> config;
    std::optional<std::string> data;
    const char* expectedConfig;
    const char* expectedData;
};

// Relative values are ignored, as the rules demand: they would depend on the
// working directory of whichever program reads them.
TEST(XdgPathsTest, FollowsTheBaseDirectoryRules)
{
    const EnvCase cases[] = {{"Set", "/h", "/c", "/d", "/c", "/d"},
                             {"Unset", "/h", std::nullopt, std::nullopt, "/h/.config", "/h/.local/share"},
                             {"Empty", "/h", "", "", "/h/.config", "/h/.local/share"},
                             {"Relative", "/h", "rel/c", "./d", "/h/.config", "/h/.local/share"},
                             {"TrailingSlash", "/h/", "/c/", std::nullopt, "/c", "/h/.local/share"},
                             {"RootHome", "/", std::nullopt, std::nullopt, "/.config", "/.local/share"}};
    for (const EnvCase& c : cases) {
        ScopedEnv home("HOME", c.home);
        ScopedEnv config("XDG_CONFIG_HOME", c.config);
        ScopedEnv data("XDG_DATA_HOME", c.data);
        EXPECT_EQ(platform::ConfigHome(), c.expectedConfig) << c.name;
        EXPECT_EQ(platform::DataHome(), c.expectedData) << c.name;
        EXPECT_EQ(platform::VeltConfigDir(), std::string(c.expectedConfig) + "/VELT") << c.name;
        EXPECT_EQ(platform::VeltDataDir(), std::string(c.expectedData) + "/VELT") << c.name;
    }
}

TEST(XdgPathsTest, VeltFoldersAreCreatedPrivateOnlyWhenAsked)
{
    TempHome home;
    EXPECT_FALSE(std::filesystem::exists(platform::VeltConfigDir(false)));
    mode_t previous = umask(0);
    std::string config = platform::VeltConfigDir(true);
    std::string data = platform::VeltDataDir(true);
    umask(previous);
    EXPECT_EQ(config, (home.configHome() / "VELT").string());
    EXPECT_EQ(ModeOf(config), 0700u);
    EXPECT_EQ(ModeOf(data), 0700u);
    // The data home's parents did not exist either.
    ScopedEnv deeper("XDG_DATA_HOME", (home.home() / "a/b/c").string());
    EXPECT_EQ(ModeOf(platform::VeltDataDir(true)), 0700u);
    EXPECT_EQ(ModeOf((home.home() / "a").string()), 0700u);
}

TEST(XdgPathsTest, RuntimeFolderFallsBackToAPrivateTmpFolder)
{
    {
        ScopedEnv runtime("XDG_RUNTIME_DIR", std::string("/run/user/4711"));
        EXPECT_EQ(platform::RuntimeDir(), "/run/user/4711");
    }
    ScopedEnv runtime("XDG_RUNTIME_DIR", std::nullopt);
    std::string expected = "/tmp/velt-runtime-" + std::to_string(getuid());
    bool existed = std::filesystem::exists(expected);
    std::string dir = platform::RuntimeDir(true);
    EXPECT_EQ(dir, expected);
    EXPECT_EQ(ModeOf(dir), 0700u);
    if (!existed)
        rmdir(expected.c_str());
}

TEST(ProgramDirectoryTest, IsTheFolderOfTheRunningProgram)
{
    std::string dir = platform::ProgramDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.front(), '/');
    EXPECT_EQ(dir.back(), '/');
    EXPECT_TRUE(std::filesystem::exists(dir + "platform_tests"));
}

} // namespace
