#include "kestrup/CKestrupApp.h"
#include "kestrup/CKestrupDlg.h"
#include "platform/installer/tests/PackageBuilder.h"

#include "testing/FreeTcpPort.h"
#include "testing/NginxServer.h"
#include "testing/TcpPeer.h"
#include "testing/TempDir.h"
#include "testing/TempHome.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

using namespace kestrup;
using platform::installer::testing::PackageItem;
using platform::installer::testing::SnapshotTree;
using platform::installer::testing::WritePackage;
using velt::testing::NginxServer;

namespace {

// The update flow in its window, against a real update server, over an
// installed tree in a temporary folder. Modal boxes are answered by a timer
// that notes their texts.
class KestrupFlowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(Prefix() + "/bin");
        velt::testing::WriteTextFile(Prefix() + "/bin/tarnwick", "old tarnwick");
        velt::testing::WriteTextFile(Prefix() + "/bin/kestrup", "old kestrup");
        m_before = SnapshotTree(Prefix());
    }

    std::string Prefix() const { return (m_dir.path() / "prefix").string(); }

    void Publish(const std::string& versionText, const std::vector<PackageItem>& package)
    {
        m_nginx.writeFile("Download/TWSetup.txt", versionText);
        WritePackage((m_nginx.docRoot() / "Download/TWSetup.msi").string(), package);
    }

    // Runs the window until finished(window) holds after the flow; the
    // window's result.
    int Run(const std::string& commandLine, const std::function<bool(CKestrupDlg&)>& finished)
    {
        CKestrupApp app;
        app.Init(commandLine, Prefix() + "/bin/", "127.0.0.1:" + std::to_string(m_nginx.port()));
        CKestrupDlg window(app);
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, &window, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                m_boxes.push_back(box->windowTitle().toStdString() + ": " + box->text().toStdString());
                box->accept();
            } else if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                       dialog && dialog != &window) {
                m_boxes.push_back(dialog->windowTitle().toStdString());
                dialog->accept();
            } else if (finished && finished(window)) {
                window.done(QDialog::Rejected);
            }
        });
        timer.start(20);
        return window.exec();
    }

    static std::string Status(CKestrupDlg& window)
    {
        return window.findChild<QLabel*>(QStringLiteral("idc_1003"))->text().toStdString();
    }
    static std::function<bool(CKestrupDlg&)> StatusStartsWith(const std::string& start)
    {
        return [start](CKestrupDlg& window) { return Status(window).rfind(start, 0) == 0; };
    }

    velt::testing::TempHome m_home;
    velt::testing::TempDir m_dir;
    NginxServer m_nginx;
    std::map<std::string, std::string> m_before;
    std::vector<std::string> m_boxes;
};

constexpr const char* kCommandLine = "msidlfile=/Download/TWSetup.msi pr=\"VELT Tarnwick\" v=1.4.44";

TEST_F(KestrupFlowTest, SameVersionChangesNothing)
{
    Publish("version=1.4.44 \r\n", {{"bin/tarnwick", PackageItem::Kind::File, "new"}});
    EXPECT_EQ(Run(kCommandLine, {}), QDialog::Rejected);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0],
              "Hinweis: Die bereits installierte Version von VELT Tarnwick 1.4.44 ist aktuell.\nEs liegt "
              "keine neue Version vor.");
    EXPECT_EQ(SnapshotTree(Prefix()), m_before);
}

TEST_F(KestrupFlowTest, RefusedPackagesLeaveTheWindowOpenWithTheReason)
{
    struct Case
    {
        const char* name;
        std::string versionText;
        std::vector<PackageItem> package;
        const char* status;
        std::string commandLine = kCommandLine;
    };
    constexpr const char* kNoVersion
        = "Die Versionsinformation des Servers enthält keine Version; es wird nichts installiert.";
    const std::vector<Case> cases = {
        {"hostile",
         "version=1.4.45\n",
         {{"bin/tarnwick", PackageItem::Kind::File, "new"}, {"bin/x", PackageItem::Kind::Symlink, "../../.."}},
         "Während der Installation ist Fehler Nr. 1603 aufgetreten.\nBitte laden Sie die neue Version von 127.0.0.1:"},
        {"checksum",
         "version=1.4.45\nsha256=" + std::string(64, '0') + "\n",
         {{"bin/tarnwick", PackageItem::Kind::File, "new"}},
         "Die Prüfsumme der Setupdatei stimmt nicht mit der Versionsinformation überein."},
        {"no version text", "", {}, "Server gab Fehler-Code: 404 zurück!"},
        // A login page answered with 200 names no version: nothing is installed.
        {"no version value",
         "<html>Anmeldung</html>\n",
         {{"bin/tarnwick", PackageItem::Kind::File, "new"}},
         kNoVersion},
        {"empty version with empty v=",
         "version=\r\n",
         {{"bin/tarnwick", PackageItem::Kind::File, "new"}},
         kNoVersion,
         "msidlfile=/Download/TWSetup.msi pr=\"VELT Tarnwick\" v="},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.package.empty()) {
            std::filesystem::remove(m_nginx.docRoot() / "Download/TWSetup.txt");
        } else {
            Publish(c.versionText, c.package);
        }
        // pr= names no running program: nothing to end, no box.
        EXPECT_EQ(Run(c.commandLine, StatusStartsWith(c.status)), QDialog::Rejected);
        EXPECT_TRUE(m_boxes.empty());
        EXPECT_EQ(SnapshotTree(Prefix()), m_before);
    }
}

TEST_F(KestrupFlowTest, UserCancelsDownloadAndInstallation)
{
    // A version download that never gets an answer: Cancel ends it and the window.
    velt::testing::TcpPeer silent(velt::testing::TcpPeer::Mode::Silent);
    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(Run("msidlfile=" + silent.url("/Download/TWSetup.msi") + " v=1",
                  [&](CKestrupDlg& window) {
                      if (silent.connections() > 0)
                          window.reject();
                      return false;
                  }),
              QDialog::Rejected);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));

    // A package that arrives only in part: "Abbrechen" of the progress window.
    velt::testing::TcpPeer server([](const std::string& received) -> velt::testing::PeerReply {
        if (received.find("TWSetup.txt") != std::string::npos)
            return {"HTTP/1.1 200 OK\r\nContent-Length: 15\r\nConnection: close\r\n\r\nversion=1.4.45\n", true};
        if (received.find("TWSetup.msi") != std::string::npos)
            return {"HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + std::string(1000, 'x'), false};
        return {};
    });
    started = std::chrono::steady_clock::now();
    EXPECT_EQ(Run("msidlfile=" + server.url("/Download/TWSetup.msi") + " v=1.4.44",
                  [&](CKestrupDlg& window) {
                      if (auto* progress = window.findChild<QDialog*>(QStringLiteral("CInstallProgressDlg"));
                          progress && server.received().find("TWSetup.msi") != std::string::npos) {
                          progress->findChild<QPushButton*>(QStringLiteral("idc_2"))->click();
                      }
                      return false;
                  }),
              QDialog::Rejected);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    EXPECT_EQ(SnapshotTree(Prefix()), m_before);
}

TEST_F(KestrupFlowTest, WindowControlsAboutBoxAndBusy)
{
    m_nginx.writeFile("Download/TWSetup.txt", "version=1.4.44\n");
    CKestrupApp app;
    app.Init(kCommandLine, Prefix() + "/bin/", "127.0.0.1:1");
    CKestrupDlg window(app);
    auto* about = window.findChild<QAction*>(QStringLiteral("idc_16"));
    ASSERT_TRUE(about);
    EXPECT_EQ(about->text(), QStringLiteral("Inf&o über Kestrup..."));

    // While the installer runs, OK and Cancel change nothing.
    window.show();
    window.m_bBusy = 1;
    window.reject();
    window.accept();
    EXPECT_TRUE(window.isVisible());
    window.m_bBusy = 0;

    std::vector<std::string> seen;
    QTimer::singleShot(50, &window, [&] {
        auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(box);
        seen.push_back(box->windowTitle().toStdString());
        for (auto* label : box->findChildren<QLabel*>())
            seen.push_back(label->text().toStdString());
        box->accept();
    });
    about->trigger();
    EXPECT_EQ(seen, (std::vector<std::string> {"Info über Kestrup", "", "Kestrup Version 1.0"}));
    window.done(QDialog::Rejected);
}

} // namespace
