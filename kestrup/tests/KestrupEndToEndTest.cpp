#include "platform/installer/Sha256.h"
#include "platform/installer/tests/PackageBuilder.h"
#include "platform/window/RemoteWindow.h"
#include "tarnwick/resources/ServiceHost.h"

#include "testing/ChildProcess.h"
#include "testing/FreeTcpPort.h"
#include "testing/NginxServer.h"
#include "testing/ScopedEnv.h"
#include "testing/TempDir.h"
#include "testing/TempHome.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

using platform::installer::testing::PackageItem;
using platform::installer::testing::SnapshotTree;
using platform::installer::testing::WritePackage;
using velt::testing::ChildProcess;
namespace fs = std::filesystem;

namespace {

bool WaitUntil(const std::function<bool()>& done, std::chrono::seconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// The programs as a user installs them from the tar.gz, a running headless
// Tarnwick, and an update server with what the publishing script makes.
class KestrupEndToEndTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const std::string install = std::string("cmake --install \"") + KESTRUP_BUILD_DIR + "\" --prefix \"" + Prefix()
            + "\" > \"" + m_dir.file("install.log") + "\" 2>&1";
        ASSERT_EQ(std::system(install.c_str()), 0) << velt::testing::ReadTextFile(m_dir.file("install.log"));
        ASSERT_TRUE(fs::exists(Prefix() + "/bin/kestrup"));
        ASSERT_TRUE(tarnwick::resources::StoreServiceHost("127.0.0.1:" + std::to_string(m_nginx.port())));
    }

    std::string Prefix() const { return (m_dir.path() / "prefix").string(); }

    void Publish(const std::vector<PackageItem>& items, const std::string& version)
    {
        const std::string package = (m_nginx.docRoot() / "Download/TWSetup.msi").string();
        fs::create_directories(m_nginx.docRoot() / "Download");
        WritePackage(package, items);
        m_nginx.writeFile("Download/TWSetup.txt",
                          "version=" + version + "\r\ncmdline=\r\nsha256=" + platform::installer::Sha256OfFile(package)
                              + "\r\n");
    }

    std::unique_ptr<ChildProcess> StartTarnwick()
    {
        auto tarnwick = std::make_unique<ChildProcess>(
            std::vector<std::string> {Prefix() + "/bin/tarnwick", "--headless"}, m_dir.file("tarnwick.log"));
        EXPECT_TRUE(
            WaitUntil([] { return bool(platform::RemoteWindow::Find("VELT Tarnwick")); }, std::chrono::seconds(10)))
            << velt::testing::ReadTextFile(m_dir.file("tarnwick.log"));
        return tarnwick;
    }

    // Runs the installed Kestrup to its end; its exit code, -1 when it hung.
    int RunKestrup(const std::vector<std::string>& args, const std::string& log = "kestrup.log")
    {
        std::vector<std::string> argv {Prefix() + "/bin/kestrup"};
        argv.insert(argv.end(), args.begin(), args.end());
        ChildProcess kestrup(argv, m_dir.file(log));
        if (!WaitUntil([&] { return !kestrup.running(); }, std::chrono::seconds(30)))
            return -1;
        return WIFEXITED(kestrup.exitStatus()) ? WEXITSTATUS(kestrup.exitStatus()) : -1;
    }

    std::string KestrupLog() const { return velt::testing::ReadTextFile(m_dir.file("kestrup.log")); }

    // Starts Kestrup for version 1.4.44, waits until its standard error holds
    // `line` (its window then stays open) and closes it; whether it came.
    bool KestrupStaysOpenWith(const std::string& line, const std::vector<std::string>& wrapper = {})
    {
        std::vector<std::string> argv = wrapper;
        for (const std::string& arg : {Prefix() + "/bin/kestrup", std::string("msidlfile=/Download/TWSetup.msi"),
                                       std::string("pr=\"VELT Tarnwick\""), std::string("v=1.4.44")})
            argv.push_back(arg);
        ChildProcess kestrup(argv, m_dir.file("kestrup.log"));
        const bool seen
            = WaitUntil([&] { return KestrupLog().find(line) != std::string::npos; }, std::chrono::seconds(30));
        EXPECT_TRUE(kestrup.running()) << KestrupLog();
        kestrup.stop();
        return seen;
    }

    void ExpectNoRunLeftovers() const
    {
        for (const auto& entry : fs::directory_iterator(Prefix()))
            EXPECT_EQ(entry.path().filename().string().rfind(".kestrup", 0), std::string::npos) << entry.path();
    }

    velt::testing::TempHome m_home;
    velt::testing::TempDir m_dir;
    velt::testing::NginxServer m_nginx;
};

TEST_F(KestrupEndToEndTest, PackagePublishedByTheScript)
{
    const std::string publish = std::string("PUBLISH_SKIP_BUILD=1 BUILD_DIR=\"") + KESTRUP_BUILD_DIR + "\" bash \""
        + KESTRUP_SOURCE_DIR + "/scripts/publish-update.sh\" \"" + (m_nginx.docRoot() / "Download").string() + "\" > \""
        + m_dir.file("publish.log") + "\" 2>&1";
    ASSERT_EQ(std::system(publish.c_str()), 0) << velt::testing::ReadTextFile(m_dir.file("publish.log"));
    const std::string versionText = velt::testing::ReadTextFile((m_nginx.docRoot() / "Download/TWSetup.txt").string());
    EXPECT_EQ(versionText.rfind("version=1.4.44\r\ncmdline=\r\nsha256=", 0), 0u) << versionText;

    struct stat before
    {
    };
    ::stat((Prefix() + "/bin/tarnwick").c_str(), &before);
    auto tarnwick = StartTarnwick();
    EXPECT_EQ(RunKestrup({"msidlfile=/Download/TWSetup.msi", "pr=\"VELT Tarnwick\"", "v=1.4.43"}), 0) << KestrupLog();
    EXPECT_FALSE(tarnwick->running());
    struct stat after
    {
    };
    ::stat((Prefix() + "/bin/tarnwick").c_str(), &after);
    EXPECT_NE(before.st_ino, after.st_ino); // a new file, renamed into place
    EXPECT_EQ(after.st_mode & 0111, 0111u);
    for (const auto& entry : fs::directory_iterator(Prefix()))
        EXPECT_EQ(entry.path().filename().string().rfind(".kestrup", 0), std::string::npos) << entry.path();

    // The same version again: "ist aktuell", nothing changes. The box is
    // modal; the window's Cancel is what ends Kestrup then.
    const auto unchanged = SnapshotTree(Prefix());
    std::vector<std::string> argv {Prefix() + "/bin/kestrup", "msidlfile=/Download/TWSetup.msi", "pr=\"VELT Tarnwick\"",
                                   "v=1.4.44"};
    ChildProcess kestrup(argv, m_dir.file("kestrup.log"));
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_TRUE(kestrup.running()) << KestrupLog();
    kestrup.stop();
    EXPECT_EQ(SnapshotTree(Prefix()), unchanged);

    // The updated Tarnwick runs, and ends from a shell, which removes the quotes.
    tarnwick = StartTarnwick();
    EXPECT_EQ(RunKestrup({"/quitonly", "pr=VELT Tarnwick"}), 0) << KestrupLog();
    EXPECT_TRUE(WaitUntil([&] { return !tarnwick->running(); }, std::chrono::seconds(5)));

    // Without a display, as on a server, the message goes to standard error.
    velt::testing::ScopedEnv noPlatform("QT_QPA_PLATFORM", std::nullopt);
    velt::testing::ScopedEnv noDisplay("DISPLAY", std::nullopt);
    velt::testing::ScopedEnv noWayland("WAYLAND_DISPLAY", std::nullopt);
    EXPECT_EQ(RunKestrup({"/QUITONLY"}, "quitonly.log"), 1);
    EXPECT_EQ(velt::testing::ReadTextFile(m_dir.file("quitonly.log")),
              "Kestrup: Es wurde kein Name für das zu beendende Programm angegeben!\n");
}

// Packages from a hostile update server: refused before anything moves,
// nothing inside or beside the installation changes, names reach standard
// error escaped.
TEST_F(KestrupEndToEndTest, HostilePackagesChangeNothing)
{
    using Kind = PackageItem::Kind;
    const std::string top = "tarnwick-1.4.45-Linux/";
    const struct
    {
        const char* name;
        std::vector<PackageItem> items;
        const char* installedLink; // share/evil -> ../.. left by an earlier package
    } cases[] = {
        {"dot-dot",
         {{top + "bin/tarnwick", Kind::File, "x", 0755}, {top + "bin/../../../escape", Kind::File, "x"}},
         nullptr},
        {"link out once the top folder is gone",
         {{top + "bin/tarnwick", Kind::File, "x", 0755}, {top + "share/evil", Kind::Symlink, "../.."}},
         nullptr},
        {"write through an installed link",
         {{top + "bin/tarnwick", Kind::File, "x", 0755}, {top + "share/evil/victim.txt", Kind::File, "replaced"}},
         "../.."},
        {"link chain",
         {{top + "bin/tarnwick", Kind::File, "x", 0755},
          {top + "share/d", Kind::Symlink, "."},
          {top + "share/e", Kind::Symlink, "d/d/d/d/../../../../.."}},
         nullptr},
        {"two top folders",
         {{"a/bin/tarnwick", Kind::File, "x", 0755}, {"b/bin/kestrup", Kind::File, "x", 0755}},
         nullptr},
        {"sparse entry", {{top + "bin/tarnwick", Kind::Sparse, std::string(1 << 20, '\0'), 0755}}, nullptr},
        {"control characters",
         {{top + "bin/tarnwick", Kind::File, "x"}, {top + "\x1b[2J\x1b]0;x\a", Kind::Fifo, {}}},
         nullptr},
    };
    velt::testing::WriteTextFile(m_dir.file("victim.txt"), "beside the installation");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.installedLink) {
            fs::create_directories(Prefix() + "/share");
            fs::create_symlink(c.installedLink, Prefix() + "/share/evil");
        }
        Publish(c.items, "1.4.45");
        const auto before = SnapshotTree(Prefix());
        EXPECT_TRUE(KestrupStaysOpenWith("kestrup: ")) << KestrupLog();
        EXPECT_EQ(KestrupLog().find('\x1b'), std::string::npos);
        EXPECT_EQ(SnapshotTree(Prefix()), before);
        EXPECT_EQ(velt::testing::ReadTextFile(m_dir.file("victim.txt")), "beside the installation");
        EXPECT_FALSE(fs::exists(m_dir.path() / "escape"));
        fs::remove(Prefix() + "/share/evil");
    }
}

// A file size limit fails the unpacking with a message, not a silent death;
// a version text without a version ends nothing: the running Tarnwick stays.
TEST_F(KestrupEndToEndTest, FileSizeLimitAndMissingVersionLeaveEverythingRunning)
{
    Publish({{"bin/tarnwick", PackageItem::Kind::File, "x", 0755},
             {"share/big.bin", PackageItem::Kind::File, std::string(512 * 1024, 'b')}},
            "1.4.45");
    const auto before = SnapshotTree(Prefix());
    EXPECT_TRUE(
        KestrupStaysOpenWith("Nicht genügend Speicherplatz", {"/bin/sh", "-c", "ulimit -f 128; exec \"$@\"", "sh"}))
        << KestrupLog();
    EXPECT_EQ(SnapshotTree(Prefix()), before);
    ExpectNoRunLeftovers();

    m_nginx.writeFile("Download/TWSetup.txt", "<html>Bitte melden Sie sich an.</html>\r\n");
    auto tarnwick = StartTarnwick();
    EXPECT_TRUE(KestrupStaysOpenWith("Die Versionsinformation des Servers enthält keine Version")) << KestrupLog();
    EXPECT_TRUE(tarnwick->running());
    EXPECT_EQ(SnapshotTree(Prefix()), before);
}

// Kestrup killed at a few moves of the real package's swap: the programs are
// always there, and the next start of either program completes the swap and
// leaves no staging or backup folder.
TEST_F(KestrupEndToEndTest, KillDuringTheSwapIsCompletedByTheNextStart)
{
    const std::string publish = std::string("PUBLISH_SKIP_BUILD=1 BUILD_DIR=\"") + KESTRUP_BUILD_DIR + "\" bash \""
        + KESTRUP_SOURCE_DIR + "/scripts/publish-update.sh\" \"" + (m_nginx.docRoot() / "Download").string() + "\" > \""
        + m_dir.file("publish.log") + "\" 2>&1";
    ASSERT_EQ(std::system(publish.c_str()), 0) << velt::testing::ReadTextFile(m_dir.file("publish.log"));
    const std::string list = "tar -tzf \"" + (m_nginx.docRoot() / "Download/TWSetup.msi").string()
        + "\" | grep -vc '/$' > \"" + m_dir.file("files.txt") + "\"";
    ASSERT_EQ(std::system(list.c_str()), 0);
    const size_t files = std::stoul(velt::testing::ReadTextFile(m_dir.file("files.txt")));
    ASSERT_GT(files, 2u);

    const struct
    {
        size_t killAt;
        std::vector<std::string> nextStart;
    } cases[] = {
        {0, {Prefix() + "/bin/tarnwick", "--get", "UserName"}},
        {files / 2, {Prefix() + "/bin/kestrup", "/quitonly", "pr=Niemand"}},
        {files, {Prefix() + "/bin/tarnwick", "--get", "UserName"}}, // before the commit
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.killAt);
        {
            velt::testing::ScopedEnv kill("KESTRUP_TEST_KILL_AT_MOVE", std::to_string(c.killAt));
            ChildProcess kestrup({Prefix() + "/bin/kestrup", "msidlfile=/Download/TWSetup.msi", "v=1.4.43"},
                                 m_dir.file("kestrup.log"));
            ASSERT_TRUE(WaitUntil([&] { return !kestrup.running(); }, std::chrono::seconds(60)));
            ASSERT_TRUE(WIFSIGNALED(kestrup.exitStatus())) << KestrupLog();
        }
        for (const char* program : {"/bin/tarnwick", "/bin/kestrup"}) {
            struct stat info
            {
            };
            EXPECT_EQ(::stat((Prefix() + program).c_str(), &info), 0) << program;
            EXPECT_EQ(info.st_mode & 0111, 0111u) << program;
        }
        ChildProcess next(c.nextStart, m_dir.file("next.log"));
        ASSERT_TRUE(WaitUntil([&] { return !next.running(); }, std::chrono::seconds(30)));
        EXPECT_EQ(next.exitStatus(), 0) << velt::testing::ReadTextFile(m_dir.file("next.log"));
        EXPECT_NE(velt::testing::ReadTextFile(m_dir.file("next.log")).find("Installation wurde abgeschlossen"),
                  std::string::npos);
        ExpectNoRunLeftovers();
    }
    // The completed installation works.
    EXPECT_EQ(RunKestrup({"/quitonly", "pr=Niemand"}), 0) << KestrupLog();
}

} // namespace
