// Settings writes from several processes at once, and writers killed half
// way: every value set is kept, a multi-value --set lands whole or not at all,
// and nothing of a killed writer stays behind.
#include "platform/registry/Registry.h"
#include "testing/TempHome.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace tarnwick {
namespace {

namespace reg = platform::registry;

pid_t Start(const std::vector<std::string>& args)
{
    std::vector<std::string> all = {TARNWICK_PROGRAM};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    posix_spawn(&pid, TARNWICK_PROGRAM, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int Wait(pid_t pid)
{
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class SettingsTransactionTest : public ::testing::Test
{
protected:
    std::string Stored(const std::string& name)
    {
        reg::HKEY key = nullptr;
        std::string value = "<missing>";
        if (reg::RegOpenKey(reg::Root::CurrentUser, "Software\\VELT\\Tarnwick", reg::Access::Read, &key)
            == reg::kSuccess) {
            uint32_t number = 0;
            if (reg::RegQueryDword(key, name, &number) == reg::kSuccess)
                value = std::to_string(number);
            else
                reg::RegQueryString(key, name, &value);
            reg::RegCloseKey(key);
        }
        return value;
    }

    std::vector<std::filesystem::path> TemporaryCopies() const
    {
        std::vector<std::filesystem::path> found;
        for (const auto& entry : std::filesystem::directory_iterator(m_home.configHome() / "VELT")) {
            if (entry.path().filename().string().rfind("user.reg.tmp-", 0) == 0)
                found.push_back(entry.path());
        }
        return found;
    }

    velt::testing::TempHome m_home;
};

TEST_F(SettingsTransactionTest, ProcessesSettingDifferentNamesAtOnceKeepEveryValue)
{
    const std::vector<std::string> names
        = {"LocalStartPage",   "PhysicalWebDir", "UserName",     "UploadFile",    "AutoDialConnection",
           "AutoDialUsername", "LocalUrl",       "UploadServer", "WaitTimeInMin", "UploadPort"};
    ASSERT_EQ(Wait(Start({"--get", "UserName"})), 0);
    for (int round = 1; round <= 8; ++round) {
        std::vector<pid_t> writers;
        for (size_t i = 0; i < names.size(); ++i)
            writers.push_back(Start({"--set", names[i] + "=" + std::to_string(round * 10 + static_cast<int>(i))}));
        for (pid_t pid : writers)
            ASSERT_EQ(Wait(pid), 0);
        for (size_t i = 0; i < names.size(); ++i)
            EXPECT_EQ(Stored(names[i]), std::to_string(round * 10 + static_cast<int>(i))) << names[i] << " " << round;
    }
}

TEST_F(SettingsTransactionTest, AKilledMultiValueSetLandsWholeOrNotAtAllAndLeavesNothingBehind)
{
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(Wait(Start({"--set", "UserName=0", "--set", "Password=0", "--set", "LocalPort=1"})), 0);
    // Kills spread over twice the time a whole run takes on this machine now.
    const auto runUs
        = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started);
    std::mt19937 random(20261207);
    std::uniform_int_distribution<long> delayUs(0, 2 * runUs.count());
    int landed = 0;
    for (int round = 1; round <= 40; ++round) {
        const std::string value = std::to_string(round);
        const pid_t pid = Start({"--set", "UserName=" + value, "--set", "Password=" + value, "--set",
                                 "LocalPort=" + std::to_string(round + 1)});
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        kill(pid, SIGKILL);
        Wait(pid);
        const std::string user = Stored("UserName");
        const bool whole = user == value;
        landed += whole ? 1 : 0;
        EXPECT_EQ(Stored("LocalPort"), whole ? std::to_string(round + 1) : std::to_string(std::stoi(user) + 1))
            << "round " << round;
        // Bring all three to this round's values for the next one.
        if (!whole) {
            ASSERT_EQ(Wait(Start({"--set", "UserName=" + value, "--set", "Password=" + value, "--set",
                                  "LocalPort=" + std::to_string(round + 1)})),
                      0);
        }
    }
    // The next write clears what killed writers left.
    ASSERT_EQ(Wait(Start({"--set", "LocalStartPage=end"})), 0);
    EXPECT_TRUE(TemporaryCopies().empty());
    EXPECT_GT(landed, 0) << "no write finished before its kill: the timing proves nothing";
    EXPECT_LT(landed, 40) << "no kill came before a write finished: the timing proves nothing";
}

} // namespace
} // namespace tarnwick
