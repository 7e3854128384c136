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

TEST_F(KestrupEndToEndTest, HostilePackageChangesNothing)
{
    Publish({{"tarnwick-1.4.45-Linux/bin/tarnwick", PackageItem::Kind::File, "x", 0755},
             {"tarnwick-1.4.45-Linux/bin/../../../escape", PackageItem::Kind::File, "x"}},
            "1.4.45");
    const auto before = SnapshotTree(Prefix());
    auto tarnwick = StartTarnwick();
    // The window stays open with the reason; the test closes Kestrup itself.
    std::vector<std::string> argv {Prefix() + "/bin/kestrup", "msidlfile=/Download/TWSetup.msi", "pr=\"VELT Tarnwick\"",
                                   "v=1.4.44"};
    ChildProcess kestrup(argv, m_dir.file("kestrup.log"));
    EXPECT_TRUE(WaitUntil([&] { return KestrupLog().find("kestrup: Das Paket") != std::string::npos; },
                          std::chrono::seconds(30)))
        << KestrupLog();
    EXPECT_TRUE(kestrup.running());
    kestrup.stop();
    EXPECT_EQ(SnapshotTree(Prefix()), before);
    EXPECT_FALSE(fs::exists(m_dir.path() / "escape"));
}

} // namespace
