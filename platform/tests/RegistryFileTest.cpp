// The hive files themselves: damaged files are kept and reported, other
// processes' writes are seen, and concurrent writers lose nothing.
#include "platform/registry/Registry.h"

#include "testing/TempHome.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace platform::registry;
using velt::testing::TempHome;

using namespace std::literals;

namespace {

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& content)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

std::vector<std::filesystem::path> CorruptCopies(const std::filesystem::path& hive)
{
    std::vector<std::filesystem::path> found;
    for (const auto& entry : std::filesystem::directory_iterator(hive.parent_path())) {
        if (entry.path().filename().string().rfind(hive.filename().string() + ".corrupt-", 0) == 0)
            found.push_back(entry.path());
    }
    return found;
}

// Runs body in a child process; its return value becomes the exit status.
pid_t Spawn(const std::function<int()>& body)
{
    pid_t pid = fork();
    if (pid == 0)
        _exit(body());
    return pid;
}

int ExitCode(pid_t pid)
{
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

class RegistryFileTest : public ::testing::Test
{
protected:
    std::filesystem::path userHive() const { return m_home.configHome() / "VELT/user.reg"; }
    TempHome m_home;
};

struct DamagedFile
{
    const char* name;
    std::string content;
};

class RegistryDamagedFileTest : public RegistryFileTest, public ::testing::WithParamInterface<DamagedFile>
{
};

TEST_P(RegistryDamagedFileTest, IsKeptAsideReportedAndReplacedByAnEmptyHive)
{
    const std::string& original = GetParam().content;
    WriteFile(userHive(), original);

    ::testing::internal::CaptureStderr();
    HKEY key = nullptr;
    LSTATUS status = RegOpenKey(Root::CurrentUser, "Software\\VELT\\Tarnwick", Access::Read, &key);
    std::string report = ::testing::internal::GetCapturedStderr();

    EXPECT_EQ(status, kFileNotFound);
    auto copies = CorruptCopies(userHive());
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(ReadFile(copies[0]), original);
    EXPECT_FALSE(std::filesystem::exists(userHive()));
    EXPECT_NE(report.find(userHive().string()), std::string::npos) << report;
    EXPECT_NE(report.find(copies[0].string()), std::string::npos) << report;
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 1) << report;

    // The program goes on: new settings are written to a fresh file and the
    // damaged one stays as it was.
    ASSERT_EQ(RegCreateKey(Root::CurrentUser, "Software\\VELT\\Tarnwick", &key), kSuccess);
    EXPECT_EQ(RegSetDword(key, "LocalPort", 8080), kSuccess);
    EXPECT_EQ(RegCloseKey(key), kSuccess);
    EXPECT_TRUE(std::filesystem::exists(userHive()));
    EXPECT_EQ(ReadFile(copies[0]), original);
}

const std::string kGood = "[Software\\VELT\\Tarnwick]\n\"RedirectUrl\"=\"http://domain/index.htm\"\n"
                          "\"LocalPort\"=dword:00000050\n";

INSTANTIATE_TEST_SUITE_P(Files, RegistryDamagedFileTest,
                         ::testing::Values(DamagedFile {"CutInsideString", kGood.substr(0, 50)},
                                           DamagedFile {"CutInsideNumber", kGood.substr(0, kGood.size() - 3)},
                                           DamagedFile {"CutInsideHeader", "[Software\\VE"},
                                           DamagedFile {"NulBytes", "[A]\n\"x\"=\"a\0b\"\n"s},
                                           DamagedFile {"Binary",
                                                        "\x7f"
                                                        "ELF\x02\x01\x01\x00\x00\xff\xfe\n"s},
                                           DamagedFile {"NotUtf8",
                                                        "[A]\n\"x\"=\"Gr\xfc\xdf"
                                                        "e\"\n"},
                                           DamagedFile {"UnknownType", "[A]\n\"x\"=hex:01,02\n"},
                                           DamagedFile {"BadEscape", "[A]\n\"x\"=\"\\q\"\n"},
                                           DamagedFile {"NumberTooLong", "[A]\n\"x\"=dword:123456789\n"},
                                           DamagedFile {"TextAfterString", "[A]\n\"x\"=\"a\" trailing\n"},
                                           DamagedFile {"StrayLine", "[A]\nthis is not a value\n"}),
                         [](const ::testing::TestParamInfo<DamagedFile>& info) { return info.param.name; });

TEST_F(RegistryFileTest, HandEditedFilesAreRead)
{
    WriteFile(userHive(),
              "; edited by hand\r\n\r\n[Software\\VELT\\Tarnwick]\r\n  \"UserName\" = \"Jörg\"  \r\n"
              "\"LocalPort\"=dword:50\r\n# note\n[SOFTWARE\\velt\\tarnwick]\n\"UploadPort\"=dword:15\n");
    ::testing::internal::CaptureStderr();
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKey(Root::CurrentUser, "Software\\VELT\\Tarnwick", Access::Read, &key), kSuccess);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    std::string name;
    uint32_t port = 0;
    EXPECT_EQ(RegQueryString(key, "UserName", &name), kSuccess);
    EXPECT_EQ(name, "Jörg");
    EXPECT_EQ(RegQueryDword(key, "LocalPort", &port), kSuccess);
    EXPECT_EQ(port, 0x50u);
    EXPECT_EQ(RegQueryDword(key, "UploadPort", &port), kSuccess);
    EXPECT_EQ(port, 0x15u);
    RegCloseKey(key);
    EXPECT_TRUE(CorruptCopies(userHive()).empty());
}

TEST_F(RegistryFileTest, AnEarlierDamagedCopyIsNeverOverwritten)
{
    for (const char* content : {"first damage", "second damage", "third damage"}) {
        WriteFile(userHive(), content);
        ::testing::internal::CaptureStderr();
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKey(Root::CurrentUser, "A", Access::Read, &key), kFileNotFound);
        ::testing::internal::GetCapturedStderr();
    }
    std::set<std::string> kept;
    for (const auto& path : CorruptCopies(userHive()))
        kept.insert(ReadFile(path));
    EXPECT_EQ(kept, (std::set<std::string> {"first damage", "second damage", "third damage"}));
}

TEST_F(RegistryFileTest, FilesArePrivateWhateverTheUmask)
{
    mode_t previous = umask(0);
    HKEY key = nullptr;
    LSTATUS status = RegCreateKey(Root::CurrentUser, "Software\\VELT", &key);
    umask(previous);
    ASSERT_EQ(status, kSuccess);
    RegCloseKey(key);
    struct stat info = {};
    ASSERT_EQ(stat(userHive().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(stat(userHive().parent_path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(RegistryFileTest, ReadsSeeWhatAnotherProcessWrote)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKey(Root::CurrentUser, "Software\\VELT\\Tarnwick", &key), kSuccess);
    ASSERT_EQ(RegSetString(key, "RedirectUrl", "http://old/index.htm"), kSuccess);
    for (int round = 0; round < 5; ++round) {
        std::string url = "http://new" + std::to_string(round) + "/index.htm";
        pid_t child = Spawn([&] {
            HKEY childKey = nullptr;
            if (RegOpenKey(Root::CurrentUser, "Software\\VELT\\Tarnwick", Access::Full, &childKey) != kSuccess)
                return 1;
            return RegSetString(childKey, "RedirectUrl", url) == kSuccess ? 0 : 2;
        });
        ASSERT_EQ(ExitCode(child), 0);
        std::string value;
        ASSERT_EQ(RegQueryString(key, "RedirectUrl", &value), kSuccess);
        EXPECT_EQ(value, url);
    }
    RegCloseKey(key);
}

// Each writer rereads the file under the lock, so keys written by one process
// between another's read and write are not lost.
TEST_F(RegistryFileTest, TwoProcessesWritingAtOnceLoseNothing)
{
    constexpr int kWrites = 200;
    auto writer = [](const std::string& prefix) {
        for (int i = 0; i < kWrites; ++i) {
            HKEY key = nullptr;
            if (RegCreateKey(Root::CurrentUser, "Software\\Test\\" + prefix + std::to_string(i), &key) != kSuccess)
                return 1;
            LSTATUS status = RegSetDword(key, "Index", static_cast<uint32_t>(i));
            RegCloseKey(key);
            if (status != kSuccess)
                return 2;
        }
        return 0;
    };
    pid_t first = Spawn([&] { return writer("A"); });
    pid_t second = Spawn([&] { return writer("B"); });
    ASSERT_EQ(ExitCode(first), 0);
    ASSERT_EQ(ExitCode(second), 0);

    HKEY test = nullptr;
    ASSERT_EQ(RegOpenKey(Root::CurrentUser, "Software\\Test", Access::Read, &test), kSuccess);
    std::set<std::string> names;
    std::string name;
    for (uint32_t i = 0; RegEnumKey(test, i, &name) == kSuccess; ++i) {
        HKEY sub = nullptr;
        uint32_t index = 9999;
        ASSERT_EQ(RegOpenKey(test, name, Access::Read, &sub), kSuccess);
        EXPECT_EQ(RegQueryDword(sub, "Index", &index), kSuccess);
        EXPECT_EQ(std::to_string(index), name.substr(1));
        RegCloseKey(sub);
        names.insert(name);
    }
    RegCloseKey(test);
    EXPECT_EQ(names.size(), 2u * kWrites);
    EXPECT_TRUE(CorruptCopies(userHive()).empty());
}

TEST_F(RegistryFileTest, ThreadsOfOneProcessShareTheHiveSafely)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKey(Root::CurrentUser, "Software\\Threads", &key), kSuccess);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([key, t] {
            for (int i = 0; i < 50; ++i) {
                std::string name = "T" + std::to_string(t) + "_" + std::to_string(i);
                RegSetDword(key, name, static_cast<uint32_t>(i));
                uint32_t value = 0;
                RegQueryDword(key, name, &value);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    std::string name;
    uint32_t count = 0;
    while (RegEnumValue(key, count, &name, nullptr) == kSuccess)
        ++count;
    EXPECT_EQ(count, 200u);
    RegCloseKey(key);
}

TEST_F(RegistryFileTest, AnUnreadableHiveIsNeverReplaced)
{
    // A folder in the file's place cannot be read, even by root.
    std::filesystem::create_directories(userHive() / "inside");
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKey(Root::CurrentUser, "Software\\Other", &key), kAccessDenied);
    EXPECT_EQ(RegOpenKey(Root::CurrentUser, "", Access::Read, &key), kSuccess);
    RegCloseKey(key);
    EXPECT_TRUE(std::filesystem::is_directory(userHive() / "inside"));
    EXPECT_TRUE(CorruptCopies(userHive()).empty());
}

} // namespace
