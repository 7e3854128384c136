#include "platform/installer/PackageInstaller.h"
#include "platform/installer/InstallJournal.h"
#include "platform/installer/PackageEntry.h"
#include "platform/installer/PackageOwnership.h"
#include "platform/installer/Sha256.h"
#include "platform/installer/tests/PackageBuilder.h"

#include "testing/FreeTcpPort.h"
#include "testing/NginxServer.h"
#include "testing/TcpPeer.h"
#include "testing/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace platform::installer;
using namespace platform::installer::testing;
using Kind = PackageItem::Kind;
namespace fs = std::filesystem;

namespace {

// An installed tree as `cmake --install` leaves it, and packages beside it.
class PackageInstallerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        velt::testing::WriteTextFile(m_dir.file("victim.txt"), "beside the installation");
        MakeOldTree();
    }

    void MakeOldTree()
    {
        fs::remove_all(Prefix());
        fs::create_directories(Prefix() + "/bin");
        fs::create_directories(Prefix() + "/lib");
        velt::testing::WriteTextFile(Prefix() + "/bin/tarnwick", "old tarnwick");
        velt::testing::WriteTextFile(Prefix() + "/bin/kestrup", "old kestrup");
        velt::testing::WriteTextFile(Prefix() + "/lib/libveltplatform.so", "old library");
        fs::create_symlink("tarnwick", Prefix() + "/bin/tw");
        m_before = SnapshotTree(Prefix());
    }

    std::string Prefix() const { return (m_dir.path() / "prefix").string(); }
    std::string Package(const std::string& name = "TWSetup.msi") const { return m_dir.file(name); }

    InstallOptions Options() const
    {
        InstallOptions options;
        options.prefix = Prefix();
        options.ownedByPackageManager = [](const std::string&) { return false; };
        return options;
    }

    InstallResult Install(const std::string& package, InstallOptions options)
    {
        return PackageInstaller(std::move(options)).Install(package, "REINSTALL=ALL REINSTALLMODE=vomus", nullptr);
    }

    // The installed tree is as it was and nothing of the installer is left.
    void ExpectUnchanged() const { EXPECT_EQ(SnapshotTree(Prefix()), m_before); }

    static std::vector<PackageItem> NewTree(const std::string& top)
    {
        return {{top + "bin/tarnwick", Kind::File, "new tarnwick", 0755},
                {top + "bin/kestrup", Kind::File, "new kestrup", 0755},
                {top + "share/tarnwick/neu.txt", Kind::File, "neu"},
                {top + "lib/libextra.so", Kind::Symlink, "libveltplatform.so"}};
    }

    void ExpectNewTree() const
    {
        EXPECT_EQ(velt::testing::ReadTextFile(Prefix() + "/bin/tarnwick"), "new tarnwick");
        EXPECT_EQ(velt::testing::ReadTextFile(Prefix() + "/bin/kestrup"), "new kestrup");
        EXPECT_EQ(velt::testing::ReadTextFile(Prefix() + "/share/tarnwick/neu.txt"), "neu");
        EXPECT_EQ(fs::read_symlink(Prefix() + "/lib/libextra.so"), "libveltplatform.so");
        EXPECT_EQ(velt::testing::ReadTextFile(Prefix() + "/lib/libveltplatform.so"), "old library");
        EXPECT_EQ(fs::status(Prefix() + "/bin/kestrup").permissions() & fs::perms::owner_exec, fs::perms::owner_exec);
        for (const auto& entry : fs::directory_iterator(Prefix()))
            EXPECT_EQ(entry.path().filename().string().rfind(".kestrup", 0), std::string::npos) << entry.path();
    }

    // Runs an installation in a child process (for limits and users that
    // must not touch the test process); the child's result code.
    int InstallInChild(const std::string& package, const std::function<void()>& prepare)
    {
        const pid_t pid = ::fork();
        if (pid == 0) {
            prepare();
            _exit(static_cast<int>(Install(package, Options()).code & 0xFF));
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    velt::testing::TempDir m_dir;
    std::map<std::string, std::string> m_before;
};

TEST_F(PackageInstallerTest, InstallsPackagesWithAndWithoutTopFolder)
{
    // CPack's top folder, none, and one made by "tar -C dir ." with its "./" entry.
    for (const std::string top : {"tarnwick-1.4.45-Linux/", "", "./tarnwick-1.4.45-Linux/"}) {
        SCOPED_TRACE(top);
        std::vector<PackageItem> items = NewTree(top);
        if (!top.empty())
            items.insert(items.begin(), {top, Kind::Directory, "", 0755});
        if (top.rfind("./", 0) == 0)
            items.insert(items.begin(), {"./", Kind::Directory, "", 0755});
        WritePackage(Package(), items);
        const InstallResult result = Install(Package(), Options());
        EXPECT_EQ(result.code, ERROR_SUCCESS) << result.text;
        ExpectNewTree();
    }
}

TEST_F(PackageInstallerTest, ChecksumDecidesBeforeAnythingIsUnpacked)
{
    WritePackage(Package(), NewTree(""));
    InstallOptions options = Options();
    options.expectedSha256 = std::string(64, 'a');
    InstallResult result = Install(Package(), options);
    EXPECT_EQ(result.code, ERROR_INSTALL_FAILURE);
    EXPECT_EQ(result.failure, InstallFailure::ChecksumMismatch);
    ExpectUnchanged();

    options.expectedSha256 = Sha256OfFile(Package());
    result = Install(Package(), options);
    EXPECT_EQ(result.code, ERROR_SUCCESS) << result.text;
    ExpectNewTree();
}

struct Refused
{
    const char* name;
    std::vector<PackageItem> items;
    InstallFailure failure;
    // A link already in the installation (as an earlier package may have left it).
    std::pair<std::string, std::string> installedLink = {};
};

TEST_F(PackageInstallerTest, RefusedPackagesChangeNothing)
{
    const std::vector<Refused> cases = {
        {"absolute path",
         {{"bin/tarnwick", Kind::File, "x"}, {"/tmp/evil", Kind::File, "x"}},
         InstallFailure::UnsafeEntry},
        {"dot-dot",
         {{"bin/tarnwick", Kind::File, "x"}, {"bin/../../evil", Kind::File, "x"}},
         InstallFailure::UnsafeEntry},
        {"device",
         {{"bin/tarnwick", Kind::File, "x"}, {"bin/null", Kind::CharDevice, ""}},
         InstallFailure::UnsafeEntry},
        {"fifo", {{"bin/tarnwick", Kind::File, "x"}, {"bin/pipe", Kind::Fifo, ""}}, InstallFailure::UnsafeEntry},
        {"hard link",
         {{"bin/tarnwick", Kind::File, "x"}, {"bin/hard", Kind::HardLink, "bin/tarnwick"}},
         InstallFailure::UnsafeEntry},
        {"link out",
         {{"bin/tarnwick", Kind::File, "x"}, {"lib/out", Kind::Symlink, "../../.."}},
         InstallFailure::UnsafeEntry},
        {"absolute link",
         {{"bin/tarnwick", Kind::File, "x"}, {"lib/passwd", Kind::Symlink, "/etc/passwd"}},
         InstallFailure::UnsafeEntry},
        {"setuid", {{"bin/tarnwick", Kind::File, "x", 04755}}, InstallFailure::UnsafeEntry},
        {"setgid", {{"bin/tarnwick", Kind::File, "x", 02755}}, InstallFailure::UnsafeEntry},
        {"file below link",
         {{"lib/up", Kind::Symlink, "."}, {"lib/up/x", Kind::File, "x"}},
         InstallFailure::UnsafeEntry},
        {"twice", {{"bin/tarnwick", Kind::File, "x"}, {"bin/tarnwick", Kind::File, "y"}}, InstallFailure::UnsafeEntry},
        {"too large", {{"bin/tarnwick", Kind::File, std::string(5000, 'x')}}, InstallFailure::TooLarge},
        {"empty", {}, InstallFailure::BadPackage},
        {"folder over file",
         {{"bin/tarnwick", Kind::File, "x"}, {"bin/kestrup/x", Kind::File, "x"}},
         InstallFailure::BadPackage},
        {"file over folder", {{"bin", Kind::File, "x"}}, InstallFailure::BadPackage},
        // Links are judged where they stand once installed, the top folder gone.
        {"link out below top folder",
         {{"t-1.4.45-Linux/bin/tarnwick", Kind::File, "x"}, {"t-1.4.45-Linux/share/evil", Kind::Symlink, "../.."}},
         InstallFailure::UnsafeEntry},
        {"link chain",
         {{"bin/tarnwick", Kind::File, "x"},
          {"share/d", Kind::Symlink, "."},
          {"share/e", Kind::Symlink, "d/d/d/d/../../../../.."}},
         InstallFailure::UnsafeEntry},
        {"entry below an installed link",
         {{"bin/tarnwick", Kind::File, "x"}, {"share/evil/victim.txt", Kind::File, "replaced"}},
         InstallFailure::UnsafeEntry,
         {"share/evil", "../.."}},
        {"link through an installed link",
         {{"bin/tarnwick", Kind::File, "x"}, {"share/x", Kind::Symlink, "up/.."}},
         InstallFailure::UnsafeEntry,
         {"share/up", ".."}},
        {"folder over an installed link",
         {{"bin/tarnwick", Kind::File, "x"}, {"share/evil/", Kind::Directory, ""}},
         InstallFailure::UnsafeEntry,
         {"share/evil", "../.."}},
        // The program's tree must be at the root or below the one top folder.
        {"two top folders",
         {{"a/bin/tarnwick", Kind::File, "x"}, {"b/bin/kestrup", Kind::File, "x"}},
         InstallFailure::BadPackage},
        {"stray file", {{"README", Kind::File, "x"}}, InstallFailure::BadPackage},
        {"sparse entry", {{"bin/tarnwick", Kind::Sparse, std::string(3000, '\0')}}, InstallFailure::BadPackage},
        // The name reaches messages escaped, never as a terminal's control sequence.
        {"control characters", {{"bin/\x1b]2;x\x07\x1b[31m", Kind::Fifo, ""}}, InstallFailure::UnsafeEntry},
    };
    InstallOptions options = Options();
    options.limits.maxUnpackedBytes = 4096;
    for (const auto& refused : cases) {
        SCOPED_TRACE(refused.name);
        const auto& [link, target] = refused.installedLink;
        if (!link.empty()) {
            fs::create_directories(fs::path(Prefix() + "/" + link).parent_path());
            fs::create_symlink(target, Prefix() + "/" + link);
        }
        const auto before = SnapshotTree(Prefix());
        WritePackage(Package(), refused.items);
        const InstallResult result = Install(Package(), options);
        EXPECT_EQ(result.code, ERROR_INSTALL_FAILURE);
        EXPECT_EQ(result.failure, refused.failure) << result.text;
        EXPECT_FALSE(result.text.empty());
        for (const char c : result.text)
            EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20) << result.text;
        EXPECT_EQ(SnapshotTree(Prefix()), before);
        EXPECT_EQ(velt::testing::ReadTextFile(m_dir.file("victim.txt")), "beside the installation");
        MakeOldTree();
    }
}

TEST_F(PackageInstallerTest, LinksThatStayInsideAreInstalled)
{
    std::vector<PackageItem> items = NewTree("tarnwick-1.4.45-Linux/");
    items.push_back({"tarnwick-1.4.45-Linux/share/d", Kind::Symlink, "."});
    items.push_back({"tarnwick-1.4.45-Linux/share/e", Kind::Symlink, "d/d/../share/tarnwick/neu.txt"});
    WritePackage(Package(), items);
    const InstallResult result = Install(Package(), Options());
    ASSERT_EQ(result.code, ERROR_SUCCESS) << result.text;
    ExpectNewTree();
    EXPECT_EQ(velt::testing::ReadTextFile(Prefix() + "/share/e"), "neu");
}

TEST_F(PackageInstallerTest, ModesFollowTheUmaskAndNeverLetOthersWrite)
{
    const struct
    {
        mode_t umask;
        uint32_t packageMode;
        fs::perms installed;
    } cases[] = {
        {022, 0777, fs::perms(0755)},
        {022, 0666, fs::perms(0644)},
        {000, 0777, fs::perms(0755)},
        {077, 0755, fs::perms(0700)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.packageMode);
        WritePackage(Package(), {{"bin/tarnwick", Kind::File, "new", c.packageMode}});
        const mode_t mask = c.umask;
        EXPECT_EQ(InstallInChild(Package(), [mask] { ::umask(mask); }), 0);
        EXPECT_EQ(fs::status(Prefix() + "/bin/tarnwick").permissions(), c.installed);
    }
}

// A kill -9 before each step of the swap (and before its commit): the
// installation holds every file's old or new version, the programs are
// there, and the next start completes the swap and leaves nothing behind.
TEST_F(PackageInstallerTest, KillAtEveryMoveIsCompletedByTheNextStart)
{
    const std::vector<PackageItem> items
        = {{"tarnwick-1.4.45-Linux/bin/tarnwick", Kind::File, "new tarnwick", 0755},
           {"tarnwick-1.4.45-Linux/bin/kestrup", Kind::File, "new kestrup", 0755},
           {"tarnwick-1.4.45-Linux/lib/libextra.so", Kind::Symlink, "libveltplatform.so"},
           {"tarnwick-1.4.45-Linux/share/a/b/c.txt", Kind::File, "nested"}};
    WritePackage(Package(), items);
    const std::map<std::string, std::vector<std::string>> allowed = {
        {"bin/tarnwick", {"old tarnwick", "new tarnwick"}},
        {"bin/kestrup", {"old kestrup", "new kestrup"}},
        {"share/a/b/c.txt", {"", "nested"}},
    };
    for (size_t killAt = 0; killAt <= items.size(); ++killAt) {
        SCOPED_TRACE(killAt);
        MakeOldTree();
        const pid_t pid = ::fork();
        if (pid == 0) {
            InstallOptions options = Options();
            options.beforeMove = [killAt](size_t move) {
                if (move == killAt)
                    ::raise(SIGKILL);
                return true;
            };
            Install(Package(), options);
            _exit(0);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        for (const auto& [file, versions] : allowed) {
            const std::string path = Prefix() + "/" + file;
            const std::string content = fs::exists(path) ? velt::testing::ReadTextFile(path) : std::string();
            EXPECT_NE(std::find(versions.begin(), versions.end(), content), versions.end()) << file;
        }

        // While a run holds the lock, a start leaves everything alone.
        const auto killed = SnapshotTree(Prefix());
        {
            const int prefixFd = ::open(Prefix().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            InstallLock alive;
            ASSERT_TRUE(alive.TryAcquire(prefixFd));
            EXPECT_EQ(RecoverInterruptedInstall(Prefix()), "");
            ::close(prefixFd);
        }
        auto unlocked = SnapshotTree(Prefix());
        unlocked.erase(".kestrup-lock");
        auto killedWithoutLock = killed;
        killedWithoutLock.erase(".kestrup-lock");
        EXPECT_EQ(unlocked, killedWithoutLock);

        EXPECT_EQ(RecoverInterruptedInstall(Prefix()), "Eine unterbrochene Installation wurde abgeschlossen.");
        for (const auto& [file, versions] : allowed)
            EXPECT_EQ(velt::testing::ReadTextFile(Prefix() + "/" + file), versions.back()) << file;
        EXPECT_EQ(fs::read_symlink(Prefix() + "/lib/libextra.so"), "libveltplatform.so");
        for (const auto& entry : fs::directory_iterator(Prefix()))
            EXPECT_EQ(entry.path().filename().string().rfind(".kestrup", 0), std::string::npos) << entry.path();
        EXPECT_EQ(RecoverInterruptedInstall(Prefix()), "");
    }
}

TEST_F(PackageInstallerTest, DamagedOrForeignFilesAreRefused)
{
    WritePackage(Package("good.tgz"), NewTree(""));
    const std::string good = velt::testing::ReadTextFile(Package("good.tgz"));
    std::string random(4096, '\0');
    for (size_t i = 0; i < random.size(); ++i)
        random[i] = static_cast<char>((i * 7919 + 13) % 251);
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"truncated gzip", good.substr(0, good.size() / 2)},
        {"zip", std::string("PK\x03\x04", 4) + std::string(200, '\0')},
        {"random bytes", random},
        {"text", "version=1.4.45\n"},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        velt::testing::WriteTextFile(Package(), bytes);
        const InstallResult result = Install(Package(), Options());
        EXPECT_EQ(result.code, ERROR_INSTALL_FAILURE);
        EXPECT_EQ(result.failure, InstallFailure::BadPackage) << result.text;
        ExpectUnchanged();
    }
}

TEST_F(PackageInstallerTest, FailedMoveRollsBackEverything)
{
    WritePackage(Package(), NewTree(""));
    for (size_t failAt : {0, 1, 3}) {
        InstallOptions options = Options();
        options.beforeMove = [failAt](size_t move) { return move != failAt; };
        const InstallResult result = Install(Package(), options);
        EXPECT_EQ(result.code, ERROR_INSTALL_FAILURE) << failAt;
        ExpectUnchanged();
    }
}

TEST_F(PackageInstallerTest, MissingPackageAndOwnedInstallation)
{
    EXPECT_EQ(Install(Package("fehlt.msi"), Options()).code, ERROR_FILE_NOT_FOUND);
    InstallOptions options = Options();
    options.ownedByPackageManager = [this](const std::string& prefix) { return prefix == fs::canonical(Prefix()); };
    const InstallResult owned = Install(Package("fehlt.msi"), options);
    EXPECT_EQ(owned.code, ERROR_ACCESS_DENIED);
    EXPECT_EQ(owned.failure, InstallFailure::OwnedByPackageManager);
    ExpectUnchanged();

    // The real package manager's answer, for one of its own files and one of ours.
    EXPECT_TRUE(IsOwnedByPackageManager("/usr/bin/dpkg"));
    EXPECT_FALSE(IsOwnedByPackageManager(Prefix() + "/bin/kestrup"));
    EXPECT_FALSE(IsPrefixOwnedByPackageManager(Prefix()));
}

TEST_F(PackageInstallerTest, PrefixWithoutWritePermission)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    WritePackage(Package(), NewTree(""));
    // Another user who may read the installation but not change it.
    fs::permissions(m_dir.path(), fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
    fs::permissions(Package(), fs::perms::others_read, fs::perm_options::add);
    const int code = InstallInChild(Package(), [] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            _exit(99);
    });
    EXPECT_EQ(code, static_cast<int>(ERROR_ACCESS_DENIED));
    ExpectUnchanged();
}

TEST_F(PackageInstallerTest, DiskFullWhileUnpacking)
{
    WritePackage(Package(),
                 {{"bin/tarnwick", Kind::File, "new tarnwick", 0755},
                  {"share/tarnwick/big.bin", Kind::File, std::string(256 * 1024, 'b')}});
    // A file size limit makes the write fail as a full disk does.
    const int code = InstallInChild(Package(), [] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit {64 * 1024, 64 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    EXPECT_EQ(code, static_cast<int>(ERROR_INSTALL_FAILURE & 0xFF));
    ExpectUnchanged();
}

TEST_F(PackageInstallerTest, DownloadsFromAddress)
{
    velt::testing::NginxServer nginx;
    WritePackage((nginx.docRoot() / "TWSetup.msi").string(), NewTree(""));
    EXPECT_EQ(Install(nginx.url("/Download/fehlt.msi"), Options()).code, ERROR_FILE_NOT_FOUND);
    InstallOptions small = Options();
    small.maxPackageBytes = 100;
    EXPECT_EQ(Install(nginx.url("/TWSetup.msi"), small).failure, InstallFailure::TooLarge);
    ExpectUnchanged();

    const InstallResult result = Install(nginx.url("/TWSetup.msi"), Options());
    EXPECT_EQ(result.code, ERROR_SUCCESS) << result.text;
    ExpectNewTree();
}

TEST_F(PackageInstallerTest, SilentServerIsCancelledOrTimesOut)
{
    velt::testing::TcpPeer silent(velt::testing::TcpPeer::Mode::Silent);
    PackageInstaller installer(Options());
    std::thread canceller([&] {
        silent.waitForConnections(1, std::chrono::seconds(10));
        installer.Cancel();
    });
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(installer.Install(silent.url("/TWSetup.msi"), {}, nullptr).code, ERROR_INSTALL_USEREXIT);
    canceller.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));

    InstallOptions options = Options();
    options.idleTimeout = std::chrono::milliseconds(1000);
    EXPECT_EQ(Install(silent.url("/TWSetup.msi"), options).failure, InstallFailure::Download);
    ExpectUnchanged();

    // A server that sends a byte now and then is ended by the whole download's bound.
    velt::testing::TcpPeer trickle(velt::testing::TcpPeer::Mode::Trickle,
                                   "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
    options.idleTimeout = std::chrono::milliseconds(30000);
    options.totalTimeout = std::chrono::milliseconds(1500);
    options.lowSpeedBytesPerSecond = 1;
    const auto trickled = std::chrono::steady_clock::now();
    EXPECT_EQ(Install(trickle.url("/TWSetup.msi"), options).failure, InstallFailure::Download);
    EXPECT_LT(std::chrono::steady_clock::now() - trickled, std::chrono::seconds(15));
    ExpectUnchanged();
}

TEST(PackageEntryTest, SingleInstallFolderIsNotATopFolder)
{
    EXPECT_EQ(CommonTopFolder({{"t"}, {"t", "bin", "x"}}), "t");
    EXPECT_EQ(CommonTopFolder({{"bin", "tarnwick"}, {"bin", "kestrup"}}), std::nullopt);
}

} // namespace
