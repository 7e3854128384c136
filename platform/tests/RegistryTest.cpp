// The registry functions as callers use them (keys, Windows buffer rules,
// typed values, names without regard to case, deleting, enumerating, access
// rights) and the hive files: damaged files are kept and reported, other
// processes' writes are seen, and concurrent writers lose nothing.
#include "platform/registry/Registry.h"

#include "testing/FreeTcpPort.h"
#include "testing/TempHome.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace platform::registry;
using velt::testing::TempHome;

using namespace std::literals;

namespace {

// Closes a key when the test leaves, whatever way it leaves.
struct Key
{
    HKEY handle = nullptr;
    ~Key()
    {
        if (handle)
            RegCloseKey(handle);
    }
    HKEY* out() { return &handle; }
    operator HKEY() const { return handle; }
};

using velt::testing::ReadTextFile;
using velt::testing::WriteTextFile;

std::string QueryString(HKEY key, std::string_view name)
{
    std::string value;
    return RegQueryString(key, name, &value) == kSuccess ? value : "<missing>";
}

uint32_t QueryDword(HKEY key, std::string_view name)
{
    uint32_t value = 0xDEADBEEF;
    return RegQueryDword(key, name, &value) == kSuccess ? value : 0xDEADBEEF;
}

mode_t ModeOf(const std::filesystem::path& path)
{
    struct stat info = {};
    return stat(path.c_str(), &info) == 0 ? (info.st_mode & 0777) : 0;
}

class RegistryTest : public ::testing::Test
{
protected:
    std::filesystem::path userHive() const { return m_home.configHome() / "VELT/user.reg"; }
    TempHome m_home;
};

class RegistryHiveTest : public RegistryTest, public ::testing::WithParamInterface<Root>
{
protected:
    std::filesystem::path expectedFile() const
    {
        return GetParam() == Root::CurrentUser ? userHive() : m_home.dataHome() / "VELT/classes.reg";
    }
    Root otherRoot() const { return GetParam() == Root::CurrentUser ? Root::ClassesRoot : Root::CurrentUser; }
};

TEST_P(RegistryHiveTest, OpeningNeverCreatesAndEachRootLivesInItsOwnPrivateFile)
{
    Key key;
    EXPECT_EQ(RegOpenKey(GetParam(), "Software\\VELT\\Tarnwick", Access::Full, key.out()), kFileNotFound);
    EXPECT_EQ(key.handle, nullptr);
    Key root;
    EXPECT_EQ(RegOpenKey(GetParam(), "", Access::Read, root.out()), kSuccess);
    std::string name;
    EXPECT_EQ(RegEnumKey(root, 0, &name), kNoMoreItems);
    EXPECT_FALSE(std::filesystem::exists(expectedFile()));

    mode_t previous = umask(0); // private whatever the umask
    LSTATUS created = RegCreateKey(GetParam(), "Software\\VELT\\Tarnwick", key.out());
    umask(previous);
    ASSERT_EQ(created, kSuccess);
    ASSERT_EQ(RegSetString(key, "RedirectUrl", "http://domain/index.htm"), kSuccess);
    ASSERT_EQ(RegSetDword(key, "LocalPort", 80), kSuccess);

    EXPECT_EQ(HivePath(GetParam()), expectedFile().string());
    std::string text = ReadTextFile(expectedFile());
    EXPECT_NE(text.find("[Software\\VELT\\Tarnwick]\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"RedirectUrl\"=\"http://domain/index.htm\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"LocalPort\"=dword:00000050\n"), std::string::npos) << text;
    EXPECT_EQ(ModeOf(expectedFile()), 0600u);
    EXPECT_EQ(ModeOf(expectedFile().parent_path()), 0700u);

    Key other;
    EXPECT_EQ(RegOpenKey(otherRoot(), "Software\\VELT\\Tarnwick", Access::Read, other.out()), kFileNotFound);
}

INSTANTIATE_TEST_SUITE_P(BothRoots, RegistryHiveTest, ::testing::Values(Root::CurrentUser, Root::ClassesRoot));

struct BufferCase
{
    size_t length;
    uint32_t buffer;
    LSTATUS status;
};

// The settings record reads strings into 256 bytes: 255 characters and the
// terminating zero fit, one more does not and leaves the caller's buffer alone.
TEST_F(RegistryTest, StringsCountTheirTerminatingZero)
{
    Key key;
    ASSERT_EQ(RegCreateKey(Root::CurrentUser, "Software\\VELT\\Tarnwick", key.out()), kSuccess);
    const BufferCase cases[] = {{0, 0, kMoreData}, {255, 256, kSuccess}, {256, 256, kMoreData}, {1000, 1001, kSuccess}};
    for (const BufferCase& c : cases) {
        SCOPED_TRACE(c.length);
        std::string stored(c.length, 'x');
        ASSERT_EQ(RegSetString(key, "UploadServer", stored), kSuccess);
        std::vector<char> buffer(c.buffer + 1, '#');
        uint32_t size = c.buffer;
        uint32_t type = REG_NONE;
        EXPECT_EQ(RegQueryValue(key, "UploadServer", &type, buffer.data(), &size), c.status);
        EXPECT_EQ(type, REG_SZ);
        EXPECT_EQ(size, c.length + 1);
        if (c.status == kSuccess)
            EXPECT_EQ(std::string(buffer.data()), stored);
        else
            EXPECT_EQ(buffer[0], '#');
        uint32_t needed = 0;
        EXPECT_EQ(RegQueryValue(key, "UploadServer", nullptr, nullptr, &needed), kSuccess);
        EXPECT_EQ(needed, c.length + 1);
    }
}

TEST_F(RegistryTest, DwordsAreFourBytesAndTypesFollowTheLastWrite)
{
    Key key;
    ASSERT_EQ(RegCreateKey(Root::CurrentUser, "Software\\VELT\\Tarnwick", key.out()), kSuccess);
    ASSERT_EQ(RegSetDword(key, "WaitTimeInMin", 0xFFFFFFFFu), kSuccess);

    uint32_t number = 0, type = REG_NONE, size = 4;
    EXPECT_EQ(RegQueryValue(key, "WaitTimeInMin", &type, &number, &size), kSuccess);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(number, 0xFFFFFFFFu);
    size = 3;
    EXPECT_EQ(RegQueryValue(key, "WaitTimeInMin", &type, &number, &size), kMoreData);
    EXPECT_EQ(size, 4u);

    ASSERT_EQ(RegSetString(key, "WaitTimeInMin", "5"), kSuccess);
    EXPECT_EQ(RegQueryDword(key, "WaitTimeInMin", &number), kInvalidParameter);
    EXPECT_EQ(QueryString(key, "WaitTimeInMin"), "5");
    EXPECT_EQ(RegQueryValue(key, "Missing", &type, &number, &size), kFileNotFound);

    // The key's default value is the one without a name.
    ASSERT_EQ(RegSetString(key, "", "VELTCorvane Class"), kSuccess);
    EXPECT_EQ(QueryString(key, ""), "VELTCorvane Class");
    EXPECT_NE(ReadTextFile(userHive()).find("@=\"VELTCorvane Class\"\n"), std::string::npos);
}

TEST_F(RegistryTest, NamesMatchWithoutCaseAndKeepTheirFirstSpelling)
{
    Key created;
    ASSERT_EQ(RegCreateKey(Root::CurrentUser, "Software\\VELT\\Schlüssel", created.out()), kSuccess);
    ASSERT_EQ(RegSetString(created, "RedirectUrl", "a"), kSuccess);

    Key opened;
    ASSERT_EQ(RegOpenKey(Root::CurrentUser, "SOFTWARE\\velt\\SCHLÜSSEL", Access::Full, opened.out()), kSuccess);
    ASSERT_EQ(RegSetString(opened, "REDIRECTURL", "b"), kSuccess);
    EXPECT_EQ(QueryString(created, "redirecturl"), "b");

    std::string name;
    uint32_t type = 0;
    ASSERT_EQ(RegEnumValue(opened, 0, &name, &type), kSuccess);
    EXPECT_EQ(name, "RedirectUrl");
    EXPECT_EQ(RegEnumValue(opened, 1, &name, &type), kNoMoreItems);

    Key again;
    ASSERT_EQ(RegCreateKey(Root::CurrentUser, "software\\VELT", again.out()), kSuccess);
    ASSERT_EQ(RegEnumKey(again, 0, &name), kSuccess);
    EXPECT_EQ(name, "Schlüssel");
    Key root;
    ASSERT_EQ(RegOpenKey(Root::CurrentUser, "", Access::Read, root.out()), kSuccess);
    ASSERT_EQ(RegEnumKey(root, 0, &name), kSuccess);
    EXPECT_EQ(name, "Software");
}

TEST_F(RegistryTest, EnumerationFollowsCreationOrder)
{
    Key parent;
    ASSERT_EQ(RegCreateKey(Root::ClassesRoot, "CLSID\\{5B77F013-38DE-470E-8D3F-279211D8F31A}", parent.out()), kSuccess);
    const char* subkeys[] = {"ProgID", "VersionIndependentProgID", "Programmable", "InprocServer32", "TypeLib"};
    for (const char* sub : subkeys) {
        Key child;
        ASSERT_EQ(RegCreateKey(parent, sub, child.out()), kSuccess);
        ASSERT_EQ(RegSetString(child, "", sub), kSuccess);
    }
    std::vector<std::string> seen;
    std::string name;
    for (uint32_t i = 0; RegEnumKey(parent, i, &name) == kSuccess; ++i)
        seen.push_back(name);
    EXPECT_EQ(seen, std::vector<std::string>(std::begin(subkeys), std::end(subkeys)));
}

TEST_F(RegistryTest, DeleteKeyRefusesSubkeysWhileDeleteTreeTakesEverything)
{
    Key key;
    ASSERT_EQ(RegCreateKey(Root::ClassesRoot, "CLSID\\{X}\\InprocServer32", key.out()), kSuccess);
    ASSERT_EQ(RegSetString(key, "ThreadingModel", "Apartment"), kSuccess);

    EXPECT_EQ(RegDeleteKey(Root::ClassesRoot, "CLSID\\{X}"), kAccessDenied);
    EXPECT_EQ(RegDeleteKey(Root::ClassesRoot, "CLSID\\{Y}"), kFileNotFound);
    EXPECT_EQ(RegDeleteKey(Root::ClassesRoot, ""), kAccessDenied);
    EXPECT_EQ(RegDeleteTree(Root::ClassesRoot, ""), kAccessDenied);

    EXPECT_EQ(RegDeleteTree(Root::ClassesRoot, "clsid\\{x}"), kSuccess);
    Key gone;
    EXPECT_EQ(RegOpenKey(Root::ClassesRoot, "CLSID\\{X}", Access::Read, gone.out()), kFileNotFound);
    // A handle to a deleted key says so instead of writing into nowhere.
    EXPECT_EQ(RegSetString(key, "ThreadingModel", "Both"), kKeyDeleted);
    EXPECT_EQ(QueryString(key, "ThreadingModel"), "<missing>");

    Key clsid;
    ASSERT_EQ(RegOpenKey(Root::ClassesRoot, "CLSID", Access::Full, clsid.out()), kSuccess);
    Key leaf;
    ASSERT_EQ(RegCreateKey(clsid, "{Z}", leaf.out()), kSuccess);
    EXPECT_EQ(RegDeleteKey(clsid, "{Z}"), kSuccess);
    Key deeper;
    ASSERT_EQ(RegCreateKey(clsid, "{Z}\\Sub", deeper.out()), kSuccess);
    ASSERT_EQ(RegSetString(clsid, "Kept", "no"), kSuccess);
    // Through a handle, an empty name empties the key but keeps it.
    EXPECT_EQ(RegDeleteTree(clsid, ""), kSuccess);
    std::string name;
    EXPECT_EQ(RegEnumKey(clsid, 0, &name), kNoMoreItems);
    EXPECT_EQ(RegEnumValue(clsid, 0, &name, nullptr), kNoMoreItems);
    Key stillThere;
    EXPECT_EQ(RegOpenKey(Root::ClassesRoot, "CLSID", Access::Read, stillThere.out()), kSuccess);
}

TEST_F(RegistryTest, ReadAccessRefusesEveryWrite)
{
    {
        Key key;
        ASSERT_EQ(RegCreateKey(Root::CurrentUser, "Software\\VELT\\Tarnwick", key.out()), kSuccess);
        ASSERT_EQ(RegSetString(key, "UserName", "anonymous"), kSuccess);
        Key sub;
        ASSERT_EQ(RegCreateKey(key, "Sub", sub.out()), kSuccess);
    }
    std::string before = ReadTextFile(userHive());

    Key key;
    ASSERT_EQ(RegOpenKey(Root::CurrentUser, "Software\\VELT\\Tarnwick", Access::Read, key.out()), kSuccess);
    Key out;
    EXPECT_EQ(RegSetString(key, "UserName", "other"), kAccessDenied);
    EXPECT_EQ(RegSetDword(key, "LocalPort", 1), kAccessDenied);
    EXPECT_EQ(RegDeleteValue(key, "UserName"), kAccessDenied);
    EXPECT_EQ(RegCreateKey(key, "New", out.out()), kAccessDenied);
    EXPECT_EQ(RegDeleteKey(key, "Sub"), kAccessDenied);
    EXPECT_EQ(RegDeleteTree(key, "Sub"), kAccessDenied);
    EXPECT_EQ(ReadTextFile(userHive()), before);

    // Full access to a subkey may be asked for through a read handle.
    EXPECT_EQ(RegOpenKey(key, "Sub", Access::Full, out.out()), kSuccess);
    EXPECT_EQ(RegSetDword(out, "Allowed", 1), kSuccess);
}

TEST_F(RegistryTest, BadHandlesAndArgumentsAreRefused)
{
    Key key;
    ASSERT_EQ(RegCreateKey(Root::CurrentUser, "Software\\VELT", key.out()), kSuccess);
    HKEY closed = nullptr;
    ASSERT_EQ(RegOpenKey(Root::CurrentUser, "Software", Access::Read, &closed), kSuccess);
    ASSERT_EQ(RegCloseKey(closed), kSuccess);

    std::string name;
    uint32_t size = 0;
    EXPECT_EQ(RegCloseKey(closed), kInvalidHandle);
    EXPECT_EQ(RegQueryValue(nullptr, "x", nullptr, nullptr, &size), kInvalidHandle);
    EXPECT_EQ(RegSetString(closed, "x", "y"), kInvalidHandle);

    char buffer[4];
    EXPECT_EQ(RegQueryValue(key, "x", nullptr, buffer, nullptr), kInvalidParameter);
    EXPECT_EQ(RegSetString(key, "x", "a\0b"sv), kInvalidParameter);
    EXPECT_EQ(RegSetString(key, "x", std::string(2 * 1024 * 1024, 'a')), kInvalidParameter);
    Key bad;
    EXPECT_EQ(RegCreateKey(key, "line\nbreak", bad.out()), kInvalidParameter);
    EXPECT_EQ(RegCreateKey(key, std::string(256, 'k'), bad.out()), kInvalidParameter);
    EXPECT_EQ(RegEnumKey(key, 0, &name), kNoMoreItems);
}

TEST_F(RegistryTest, OddValuesSurviveTheFile)
{
    const std::string values[] = {
        "C:\\Programme\\\"Tarnwick\"\\",   "Zeile 1\r\nZeile 2\tTab", "Grüße aus Köln",
        "\x01\x7f\xfc\xff latin-1 bytes"s, std::string(5000, 'l'),    "",
    };
    {
        Key key;
        ASSERT_EQ(RegCreateKey(Root::CurrentUser, "Software\\VELT\\Odd]Name [x]", key.out()), kSuccess);
        for (size_t i = 0; i < std::size(values); ++i)
            ASSERT_EQ(RegSetString(key, "v\"\\" + std::to_string(i), values[i]), kSuccess);
    }
    std::string text = ReadTextFile(userHive());
    EXPECT_EQ(text.find('\r'), std::string::npos) << "line breaks inside values must be escaped";

    // Another home with a copy of the file: the values come from the file alone.
    TempHome copy;
    std::filesystem::create_directories(copy.configHome() / "VELT");
    std::filesystem::copy_file(userHive(), copy.configHome() / "VELT/user.reg");
    Key key;
    ASSERT_EQ(RegOpenKey(Root::CurrentUser, "software\\velt\\odd]name [X]", Access::Read, key.out()), kSuccess);
    for (size_t i = 0; i < std::size(values); ++i)
        EXPECT_EQ(QueryString(key, "v\"\\" + std::to_string(i)), values[i]) << i;
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

// Runs body in a child that a hang would leave to an alarm.
int ExitCodeWithin(unsigned seconds, const std::function<int()>& body)
{
    return ExitCode(Spawn([&] {
        alarm(seconds);
        return body();
    }));
}

struct DamagedFile
{
    const char* name;
    std::string content;
};

class RegistryDamagedFileTest : public RegistryTest, public ::testing::WithParamInterface<DamagedFile>
{
};

TEST_P(RegistryDamagedFileTest, IsKeptAsideReportedAndReplacedByAnEmptyHive)
{
    const std::string& original = GetParam().content;
    WriteTextFile(userHive(), original);

    ::testing::internal::CaptureStderr();
    HKEY key = nullptr;
    LSTATUS status = RegOpenKey(Root::CurrentUser, "Software\\VELT\\Tarnwick", Access::Read, &key);
    std::string report = ::testing::internal::GetCapturedStderr();

    EXPECT_EQ(status, kFileNotFound);
    auto copies = CorruptCopies(userHive());
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(ReadTextFile(copies[0]), original);
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
    EXPECT_EQ(ReadTextFile(copies[0]), original);
}

std::string DeepSection(int depth)
{
    std::string path = "a";
    for (int i = 1; i < depth; ++i)
        path += "\\a";
    return "[" + path + "]\n\"x\"=dword:1\n";
}

std::string ManyValues(int count)
{
    std::string text = "[A]\n";
    for (int i = 0; i < count; ++i)
        text += "\"v" + std::to_string(i) + "\"=dword:1\n";
    return text;
}

const std::string kGood = "[Software\\VELT\\Tarnwick]\n\"RedirectUrl\"=\"http://domain/index.htm\"\n"
                          "\"LocalPort\"=dword:00000050\n";

INSTANTIATE_TEST_SUITE_P(Files, RegistryDamagedFileTest,
                         ::testing::Values(DamagedFile {"CutInsideString", kGood.substr(0, 50)},
                                           DamagedFile {"CutInsideHeader", "[Software\\VE"},
                                           DamagedFile {"NulBytes", "[A]\n\"x\"=\"a\0b\"\n"s},
                                           DamagedFile {"NotUtf8", "[A]\n\"x\"=\"Gr\xfc\xdf\"\n"},
                                           DamagedFile {"UnknownType", "[A]\n\"x\"=hex:01,02\n"},
                                           DamagedFile {"NumberTooLong", "[A]\n\"x\"=dword:123456789\n"},
                                           DamagedFile {"StrayLine", "[A]\nthis is not a value\n"},
                                           // Once a stack overflow in reading and writing.
                                           DamagedFile {"NestedTooDeep", DeepSection(100000)},
                                           DamagedFile {"NestedOneLevelTooDeep", DeepSection(65)},
                                           DamagedFile {"LineTooLong",
                                                        "[A]\n\"x\"=\"" + std::string(5 << 20, 'x') + "\"\n"},
                                           DamagedFile {"TooManyValues", ManyValues(65537)}),
                         [](const ::testing::TestParamInfo<DamagedFile>& info) { return info.param.name; });

TEST_F(RegistryTest, HandEditedFilesAreRead)
{
    WriteTextFile(userHive(),
                  "\xEF\xBB\xBF; edited by hand, saved with a byte order mark\r\n\r\n[Software\\VELT\\Tarnwick]\r\n  "
                  "\"UserName\" = \"Jörg\"  \r\n"
                  "\"LocalPort\"=dword:50\r\n# note\n[SOFTWARE\\velt\\tarnwick]\n\"UploadPort\"=dword:15\n");
    ::testing::internal::CaptureStderr();
    Key key;
    ASSERT_EQ(RegOpenKey(Root::CurrentUser, "Software\\VELT\\Tarnwick", Access::Read, key.out()), kSuccess);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(QueryString(key, "UserName"), "Jörg");
    EXPECT_EQ(QueryDword(key, "LocalPort"), 0x50u);
    EXPECT_EQ(QueryDword(key, "UploadPort"), 0x15u);
    EXPECT_TRUE(CorruptCopies(userHive()).empty());
}

TEST_F(RegistryTest, LimitsAreReachedButNotCrossedByReaderOrWriter)
{
    // A wide key at the bound is read whole (in linear time: once minutes).
    WriteTextFile(userHive(), ManyValues(65536) + DeepSection(64));
    Key wide;
    ASSERT_EQ(RegOpenKey(Root::CurrentUser, "A", Access::Full, wide.out()), kSuccess);
    EXPECT_EQ(QueryDword(wide, "v65535"), 1u);
    std::string deepPath = DeepSection(64).substr(1, DeepSection(64).find(']') - 1);
    Key deep;
    EXPECT_EQ(RegOpenKey(Root::CurrentUser, deepPath, Access::Read, deep.out()), kSuccess);
    EXPECT_TRUE(CorruptCopies(userHive()).empty());

    // The writer refuses what the reader would move aside, and keeps the file.
    Key tooDeep;
    EXPECT_EQ(RegCreateKey(Root::CurrentUser, deepPath + "\\b", tooDeep.out()), kInvalidParameter);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(RegSetDword(wide, "oneTooMany", 1), kWriteFault);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("nicht mehr lesbar"), std::string::npos);
    EXPECT_EQ(ReadTextFile(userHive()).find("oneTooMany"), std::string::npos);
    EXPECT_EQ(QueryDword(wide, "v0"), 1u);
}

TEST_F(RegistryTest, ATransactionWritesAllOrNothingInOneRename)
{
    Key key;
    ASSERT_EQ(RegCreateKey(Root::CurrentUser, "Software\\T", key.out()), kSuccess);
    ASSERT_EQ(RegSetDword(key, "Kept", 1), kSuccess);
    // A writer killed before its rename leaves a copy that the next write removes.
    const auto stale = userHive().parent_path() / "user.reg.tmp-999999-0";
    WriteTextFile(stale, "scrambled secrets");

    const auto put = [](HiveKey& root, const char* name, uint32_t number) {
        HiveValue value;
        value.name = name;
        value.type = REG_DWORD;
        value.number = number;
        return root.find({"Software", "T"})->setValue(value);
    };
    EXPECT_EQ(RegModifyHive(Root::CurrentUser,
                            [&](HiveKey& root, bool& changed) {
                                changed = put(root, "A", 1);
                                changed = put(root, "B", 2) || changed;
                                return kInvalidParameter; // a refusal writes nothing
                            }),
              kInvalidParameter);
    EXPECT_EQ(QueryDword(key, "A"), 0xDEADBEEF);
    EXPECT_EQ(RegModifyHive(Root::CurrentUser,
                            [&](HiveKey& root, bool& changed) {
                                changed = put(root, "A", 1);
                                changed = put(root, "B", 2) || changed;
                                return kSuccess;
                            }),
              kSuccess);
    EXPECT_EQ(QueryDword(key, "A"), 1u);
    EXPECT_EQ(QueryDword(key, "B"), 2u);
    EXPECT_EQ(QueryDword(key, "Kept"), 1u);
    EXPECT_FALSE(std::filesystem::exists(stale));
}

TEST_F(RegistryTest, AFifoInPlaceOfTheHiveIsRefusedWithoutWaiting)
{
    std::filesystem::create_directories(userHive().parent_path());
    ASSERT_EQ(mkfifo(userHive().c_str(), 0600), 0);
    EXPECT_EQ(ExitCodeWithin(10,
                             [] {
                                 HKEY key = nullptr;
                                 const bool refused = RegOpenKey(Root::CurrentUser, "A", Access::Read, &key) != kSuccess
                                     && RegCreateKey(Root::CurrentUser, "A", &key) == kAccessDenied;
                                 return refused ? 0 : 1;
                             }),
              0);
    EXPECT_EQ(std::filesystem::status(userHive()).type(), std::filesystem::file_type::fifo);
}

TEST_F(RegistryTest, AHungLockHolderMakesAWriterGiveUp)
{
    Key key;
    ASSERT_EQ(RegCreateKey(Root::CurrentUser, "A", key.out()), kSuccess);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t holder = Spawn([&] {
        int fd = open((userHive().string() + ".lock").c_str(), O_RDWR);
        flock(fd, LOCK_EX);
        char byte = 1;
        (void)!write(ready[1], &byte, 1);
        pause();
        return 0;
    });
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    ::testing::internal::CaptureStderr();
    const LSTATUS status = RegSetDword(key, "x", 1);
    const std::string report = ::testing::internal::GetCapturedStderr();
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    EXPECT_EQ(status, kTimeout);
    EXPECT_NE(report.find("gesperrt"), std::string::npos) << report;
    EXPECT_EQ(RegSetDword(key, "x", 1), kSuccess);
}

TEST_F(RegistryTest, AnEarlierDamagedCopyIsNeverOverwritten)
{
    for (const char* content : {"first damage", "second damage"}) {
        WriteTextFile(userHive(), content);
        ::testing::internal::CaptureStderr();
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKey(Root::CurrentUser, "A", Access::Read, &key), kFileNotFound);
        ::testing::internal::GetCapturedStderr();
    }
    std::set<std::string> kept;
    for (const auto& path : CorruptCopies(userHive()))
        kept.insert(ReadTextFile(path));
    EXPECT_EQ(kept, (std::set<std::string> {"first damage", "second damage"}));
}

TEST_F(RegistryTest, ReadsSeeWhatAnotherProcessWrote)
{
    Key key;
    ASSERT_EQ(RegCreateKey(Root::CurrentUser, "Software\\VELT\\Tarnwick", key.out()), kSuccess);
    ASSERT_EQ(RegSetString(key, "RedirectUrl", "http://old/index.htm"), kSuccess);
    for (int round = 0; round < 3; ++round) {
        std::string url = "http://new" + std::to_string(round) + "/index.htm";
        pid_t child = Spawn([&] {
            Key childKey;
            RegOpenKey(Root::CurrentUser, "Software\\VELT\\Tarnwick", Access::Full, childKey.out());
            return RegSetString(childKey, "RedirectUrl", url) == kSuccess ? 0 : 1;
        });
        ASSERT_EQ(ExitCode(child), 0);
        EXPECT_EQ(QueryString(key, "RedirectUrl"), url);
    }
}

// Each writer rereads the file under the lock, so keys written by one process
// between another's read and write are not lost.
TEST_F(RegistryTest, TwoProcessesWritingAtOnceLoseNothing)
{
    constexpr int kWrites = 200;
    auto writer = [](const std::string& prefix) {
        for (int i = 0; i < kWrites; ++i) {
            Key key;
            if (RegCreateKey(Root::CurrentUser, "Software\\Test\\" + prefix + std::to_string(i), key.out()) != kSuccess
                || RegSetDword(key, "Index", static_cast<uint32_t>(i)) != kSuccess)
                return 1;
        }
        return 0;
    };
    pid_t first = Spawn([&] { return writer("A"); });
    pid_t second = Spawn([&] { return writer("B"); });
    ASSERT_EQ(ExitCode(first), 0);
    ASSERT_EQ(ExitCode(second), 0);

    Key test;
    ASSERT_EQ(RegOpenKey(Root::CurrentUser, "Software\\Test", Access::Read, test.out()), kSuccess);
    std::set<std::string> names;
    std::string name;
    for (uint32_t i = 0; RegEnumKey(test, i, &name) == kSuccess; ++i) {
        Key sub;
        ASSERT_EQ(RegOpenKey(test, name, Access::Read, sub.out()), kSuccess);
        EXPECT_EQ(std::to_string(QueryDword(sub, "Index")), name.substr(1));
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 2u * kWrites);
    EXPECT_TRUE(CorruptCopies(userHive()).empty());
}

TEST_F(RegistryTest, ThreadsOfOneProcessShareTheHiveSafely)
{
    Key key;
    ASSERT_EQ(RegCreateKey(Root::CurrentUser, "Software\\Threads", key.out()), kSuccess);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&key, t] {
            for (int i = 0; i < 50; ++i) {
                std::string name = "T" + std::to_string(t) + "_" + std::to_string(i);
                RegSetDword(key, name, static_cast<uint32_t>(i));
                QueryDword(key, name);
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
}

TEST_F(RegistryTest, AnUnreadableHiveIsNeverReplaced)
{
    // A folder in the file's place cannot be read, even by root.
    std::filesystem::create_directories(userHive() / "inside");
    Key key;
    Key root;
    EXPECT_EQ(RegCreateKey(Root::CurrentUser, "Software\\Other", key.out()), kAccessDenied);
    EXPECT_EQ(RegOpenKey(Root::CurrentUser, "", Access::Read, root.out()), kSuccess);
    EXPECT_TRUE(std::filesystem::is_directory(userHive() / "inside"));
    EXPECT_TRUE(CorruptCopies(userHive()).empty());
}

} // namespace
