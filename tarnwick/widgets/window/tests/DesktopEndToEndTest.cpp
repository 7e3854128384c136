// The real program on a real X server: Xvfb with trayer as notification area,
// driven by xdotool like a user, against the real web space on loopback.
#include "platform/registry/Registry.h"
#include "tarnwick/cycle/tests/CycleTestSupport.h"
#include "tarnwick/settings/CRedirectSettings.h"
#include "tarnwick/settings/ProductKey.h"
#include "testing/ChildProcess.h"
#include "testing/FreeTcpPort.h"
#include "testing/FtpServer.h"
#include "testing/NginxServer.h"
#include "testing/ScopedEnv.h"
#include "testing/TempDir.h"
#include "testing/TempHome.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <sys/wait.h>
#include <thread>

using velt::testing::ChildProcess;

namespace {

std::string FindProgram(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        const std::filesystem::path candidate = std::filesystem::path(folder) / name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate.string();
    }
    return {};
}

// Standard output of a short command (its words are ours, not a user's).
std::string Capture(const std::string& command)
{
    std::string out;
    if (FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r")) {
        char buffer[256];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, got);
        ::pclose(pipe);
    }
    return out;
}

std::string FirstLine(const std::string& text)
{
    return text.substr(0, text.find('\n'));
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(30))
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// The display number Xvfb announces with -displayfd (a line of digits in its log), or empty.
std::string AnnouncedDisplay(const std::string& log)
{
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.find_first_not_of("0123456789") == std::string::npos)
            return line;
    }
    return {};
}

// A throw-away home whose settings point at the real web space: nginx
// publishes what pyftpdlib receives.
class DesktopEndToEndTest : public ::testing::Test
{
protected:
    void StoreSettings(int autoStart)
    {
        ASSERT_TRUE(tarnwick::EnsureProductKey());
        tarnwick::CRedirectSettings settings;
        settings.LoadFromRegistry(kProductKey);
        settings.SetRedirectUrl(nginx.url("/site/index.htm"));
        settings.SetUploadServer("127.0.0.1");
        settings.SetUploadPort(ftp.port());
        settings.SetUserName(ftp.user());
        settings.SetPassword(ftp.password());
        settings.SetUploadDir("/");
        settings.SetAutoStart(autoStart);
        settings.SetModified(1);
        ASSERT_TRUE(settings.SaveToRegistry(kProductKey));
    }

    std::string Log(const std::string& name = "tarnwick.log") const
    {
        return velt::testing::ReadTextFile(logs.file(name));
    }

    static constexpr const char* kProductKey = "Software\\VELT\\Tarnwick";
    velt::testing::TempHome home;
    velt::testing::TempDir logs;
    velt::testing::FtpServer ftp;
    velt::testing::NginxServer nginx {"location /site/ { alias " + ftp.home().string() + "/; }\n"};
};

} // namespace

TEST_F(DesktopEndToEndTest, IconOpensTheWindowWhichUploadsThePage)
{
    const std::string xvfb = FindProgram("Xvfb");
    if (xvfb.empty())
        GTEST_SKIP() << "Xvfb is not installed (scripts/install-deps.sh installs it): no X server to run the window on";
    for (const char* tool : {"trayer", "xdotool", "import"})
        ASSERT_FALSE(FindProgram(tool).empty()) << tool << " is missing; scripts/install-deps.sh installs it";

    StoreSettings(0);

    // Xvfb picks a free display itself and writes its number to standard output (the log).
    ChildProcess server({xvfb, "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
                        logs.file("xvfb.log"));
    std::string display;
    ASSERT_TRUE(WaitUntil([&] { return !(display = AnnouncedDisplay(Log("xvfb.log"))).empty(); })) << Log("xvfb.log");
    velt::testing::ScopedEnv displayEnv("DISPLAY", ":" + display);
    velt::testing::ScopedEnv waylandEnv("WAYLAND_DISPLAY", std::nullopt);
    velt::testing::ScopedEnv platformEnv("QT_QPA_PLATFORM", "xcb");
    ASSERT_TRUE(WaitUntil([] { return !Capture("xdotool getmouselocation").empty(); }));

    ChildProcess trayer({FindProgram("trayer"), "--edge", "top", "--align", "right", "--widthtype", "pixel", "--width",
                         "60", "--heighttype", "pixel", "--height", "30"},
                        logs.file("trayer.log"));
    ASSERT_TRUE(WaitUntil([] { return !Capture("xdotool search --name '^panel$'").empty(); }));

    ChildProcess tarnwick({TARNWICK_PROGRAM, "/pending"}, logs.file("tarnwick.log"));
    // Started pending: the icon is the only window of the program on the screen.
    std::string icon;
    ASSERT_TRUE(WaitUntil([&] {
        icon = FirstLine(Capture("xdotool search --onlyvisible --class tarnwick"));
        return !icon.empty() && Capture("xdotool search --onlyvisible --name '^VELT Tarnwick$'").empty();
    })) << Log();

    // The tray docks the icon's window a moment after it appears: a double click that came too early is
    // repeated, as a user would.
    std::string window;
    bool shown = false;
    for (int attempt = 0; attempt < 3 && !shown; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        icon = FirstLine(Capture("xdotool search --onlyvisible --class tarnwick"));
        Capture("xdotool mousemove --window " + icon + " 8 8 click --repeat 2 --delay 80 1");
        shown = WaitUntil(
            [&] {
                window = FirstLine(Capture("xdotool search --onlyvisible --name '^VELT Tarnwick$'"));
                return !window.empty();
            },
            std::chrono::seconds(5));
    }
    ASSERT_TRUE(shown) << "a double click on the icon shows the window\n" << Log();

    // "Umleitbefehl hoch&laden" by its mnemonic.
    Capture("xdotool windowfocus --sync " + window + " key --clearmodifiers alt+l");
    ASSERT_TRUE(WaitUntil([&] { return ftp.readFile("index.htm").find("127.0.0.1") != std::string::npos; })) << Log();

    std::this_thread::sleep_for(std::chrono::milliseconds(500)); // the status line is painted
    std::filesystem::create_directories(TARNWICK_ARTIFACT_DIR);
    const std::string shot = std::string(TARNWICK_ARTIFACT_DIR) + "/tarnwick-window.png";
    std::filesystem::remove(shot);
    Capture("import -window " + window + " " + shot);
    EXPECT_GT(std::filesystem::exists(shot) ? std::filesystem::file_size(shot) : 0, 1000u) << shot;

    // The icon's menu, "B&eenden" by its mnemonic, with the window still shown: the program ends and saves.
    EXPECT_EQ(tarnwick::test::StoredLocalServerName(), "") << "nothing saved before the end";
    bool ended = false;
    // The icon's window as found while it was the only one: the main window has the same class now.
    for (int attempt = 0; attempt < 3 && !ended; ++attempt) {
        const size_t before = Capture("xdotool search --onlyvisible --class tarnwick").size();
        Capture("xdotool mousemove --window " + icon + " 8 8 click 3");
        // The menu is one more visible window of the program.
        if (!WaitUntil([&] { return Capture("xdotool search --onlyvisible --class tarnwick").size() > before; },
                       std::chrono::seconds(5)))
            continue;
        Capture("xdotool key --clearmodifiers e");
        ended = WaitUntil([&] { return !tarnwick.running(); }, std::chrono::seconds(5));
    }
    ASSERT_TRUE(ended) << "the icon menu's B&eenden ends the program\n" << Log();
    EXPECT_TRUE(WIFEXITED(tarnwick.exitStatus()));
    EXPECT_EQ(WEXITSTATUS(tarnwick.exitStatus()), 0) << Log();
    EXPECT_EQ(tarnwick::test::StoredLocalServerName(), "127.0.0.1") << "ending saves the settings";
}

// A desktop log-out on Wayland or through systemd sends only the signal: the window program stops as the headless
// mode does. Qt's offscreen platform stands in for the display; it has no notification area.
TEST_F(DesktopEndToEndTest, WindowModeEndsOnSigtermAndSavesItsSettings)
{
    StoreSettings(1); // a first cycle at once: it finds the local address
    velt::testing::ScopedEnv platformEnv("QT_QPA_PLATFORM", "offscreen");
    ChildProcess tarnwick({TARNWICK_PROGRAM}, logs.file("tarnwick.log"));
    ASSERT_TRUE(WaitUntil([&] { return ftp.readFile("index.htm").find("127.0.0.1") != std::string::npos; })) << Log();
    ASSERT_TRUE(tarnwick.running()) << Log();
    EXPECT_EQ(tarnwick::test::StoredLocalServerName(), "") << "nothing saved before the end";
    ::kill(tarnwick.pid(), SIGTERM);
    ASSERT_TRUE(WaitUntil([&] { return !tarnwick.running(); }, std::chrono::seconds(5)));
    EXPECT_TRUE(WIFEXITED(tarnwick.exitStatus()));
    EXPECT_EQ(WEXITSTATUS(tarnwick.exitStatus()), 0);
    EXPECT_EQ(tarnwick::test::StoredLocalServerName(), "127.0.0.1");
}
