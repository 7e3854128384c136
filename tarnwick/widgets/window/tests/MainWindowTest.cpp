#include "tarnwick/widgets/window/CRedirectMainDlg.h"

#include "platform/window/TitleWindow.h"
#include "tarnwick/cycle/RedirectCycle.h"
#include "tarnwick/cycle/tests/CycleTestSupport.h"
#include "tarnwick/program/AutostartEntry.h"
#include "tarnwick/program/CRedirectApp.h"
#include "tarnwick/program/ComponentRegistration.h"
#include "tarnwick/program/ProgramSession.h"
#include "tarnwick/resources/RegistryPaths.h"
#include "tarnwick/settings/ProductKey.h"
#include "tarnwick/widgets/common/Artwork.h"
#include "tarnwick/widgets/window/CSystemTray.h"
#include "tarnwick/widgets/window/RecordingTrayBackend.h"
#include "testing/FreeTcpPort.h"
#include "testing/FtpServer.h"
#include "testing/NginxServer.h"
#include "testing/ScopedEnv.h"
#include "testing/TcpPeer.h"
#include "testing/TempDir.h"
#include "testing/TempHome.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>

using namespace tarnwick;
using tarnwick::test::PumpUntil;
using velt::testing::FtpServer;
using velt::testing::NginxServer;

namespace {

const char* const kProgramDir = TARNWICK_PROGRAM_DIR "/";

std::string HiveBytes()
{
    return velt::testing::ReadTextFile(std::string(std::getenv("XDG_CONFIG_HOME")) + "/VELT/user.reg");
}

// The main window over a recording notification area, in a throw-away home,
// against the real web space (nginx publishes what pyftpdlib receives).
class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(EnsureComponentRegistered(kProgramDir, &error)) << error;
        m_nginx = std::make_unique<NginxServer>("location /site/ { alias " + m_ftp.home().string() + "/; }\n");
        m_app.InitApplication();
        m_app.m_strProgramDir = kProgramDir;
        m_app.LoadFirstInstanceState();
        CRedirectSettings& s = m_app.m_settings;
        s.SetRedirectUrl(m_nginx->url("/site/index.htm"));
        s.SetUploadServiceType(1);
        s.SetUploadServer("127.0.0.1");
        s.SetUploadPort(m_ftp.port());
        s.SetUserName(m_ftp.user());
        s.SetPassword(m_ftp.password());
        s.SetUploadDir("/");
        m_app.SaveSettings(false);
    }

    void TearDown() override
    {
        m_window.reset();
        m_session.reset();
        PumpUntil([] { return RedirectCycle::RunningWorkers() == 0; }, std::chrono::milliseconds(15000));
    }

    CRedirectMainDlg& Window(bool notificationArea = true)
    {
        if (!m_window) {
            m_area = new RecordingTrayBackend(notificationArea);
            m_session = std::make_unique<ProgramSession>(m_app, m_title);
            m_window = std::make_unique<CRedirectMainDlg>(*m_session, m_area);
            m_ended = std::make_unique<QSignalSpy>(m_window.get(), &CRedirectMainDlg::programEnded);
        }
        return *m_window;
    }

    template<typename T = QWidget>
    T* Control(int id)
    {
        return Window().findChild<T*>(QStringLiteral("idc_%1").arg(id));
    }
    QString Label(int id) { return Control<QAbstractButton>(id)->text(); }
    QString Field(int id) { return Control<QLineEdit>(id)->text(); }

    // Answers every message box with the button and closes other modal dialogs; notes the texts seen.
    // escapeFirst: each box gets Escape first, and only one that stays open is answered.
    void AnswerBoxes(QMessageBox::StandardButton answer, bool escapeFirst = false)
    {
        auto* poll = new QTimer(&Window());
        QObject::connect(poll, &QTimer::timeout, poll, [this, answer, escapeFirst] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                if (escapeFirst && m_escaped != box) {
                    m_escaped = box;
                    QTest::keyClick(box, Qt::Key_Escape);
                    return;
                }
                m_questions.push_back(box->text());
                box->button(answer)->click();
            } else if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                m_questions.push_back(dialog->windowTitle()); // another dialog: noted by its title and closed
                dialog->reject();
            }
        });
        poll->start(20);
    }

    bool WaitIdle()
    {
        return PumpUntil([&] { return !Window().Cycle().IsBusy(); });
    }

    velt::testing::TempHome m_home;
    FtpServer m_ftp;
    std::unique_ptr<NginxServer> m_nginx;
    CRedirectApp m_app;
    platform::TitleWindow m_title; // unclaimed: no later starts reach this window
    std::unique_ptr<ProgramSession> m_session;
    RecordingTrayBackend* m_area = nullptr;
    std::unique_ptr<CRedirectMainDlg> m_window;
    std::unique_ptr<QSignalSpy> m_ended;
    QStringList m_questions;
    QPointer<QMessageBox> m_escaped;
};

} // namespace

TEST_F(MainWindowTest, FormShowsTheSettingsInControlsNamedByTheirIds)
{
    CRedirectMainDlg& window = Window();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("VELT Tarnwick"));
    EXPECT_EQ(Field(1003), QString::fromStdString(m_app.m_settings.GetRedirectUrl()));
    EXPECT_EQ(Field(1002), QStringLiteral("index.htm"));
    EXPECT_EQ(Field(1052), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(Field(1053), QString::number(m_ftp.port()));
    EXPECT_EQ(Field(1054), QStringLiteral("/"));
    for (int id : {1003, 1002, 1043, 1057, 1052, 1053, 1054, 1022, 1017})
        EXPECT_TRUE(Control<QLineEdit>(id)->isReadOnly()) << id;
    // Read-only fields look it, and their text can still be selected.
    for (int id : {1000, 1001, 1022}) {
        auto* field = Control<QLineEdit>(id);
        EXPECT_TRUE(field->isEnabled()) << id;
        EXPECT_EQ(field->palette().color(QPalette::Base), field->palette().color(QPalette::Window)) << id;
    }
    auto* status = Control<QPlainTextEdit>(1021);
    EXPECT_TRUE(status->isReadOnly());
    EXPECT_EQ(status->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_EQ(status->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_TRUE(Control<QPushButton>(1008)->isDefault());
    for (int id : {1000, 1001, 1003, 1039, 1002, 1050, 1043, 1044, 1026, 1057,  1052,  1053,
                   1054, 1017, 1019, 1020, 1021, 1022, 1032, 1008, 1014, 57670, 57665, 57664})
        EXPECT_FALSE(Control(id)->whatsThis().isEmpty()) << id;

    for (const auto& [type, shown] :
         std::vector<std::pair<int, const char*>> {{1, "ftp://"}, {3, "http://"}, {2, "ungültig!"}}) {
        m_app.m_settings.SetUploadServiceType(type);
        window.FillControls();
        EXPECT_EQ(Field(1057), QString::fromUtf8(shown));
    }
}

TEST_F(MainWindowTest, ProgramIconAndWindowMenuEntryOpenTheInformationDialog)
{
    Window().Start();
    AnswerBoxes(QMessageBox::Ok);
    QTest::mouseClick(Control(57664), Qt::LeftButton);
    Window().OnCommand(CRedirectMainDlg::kCmdAbout);
    EXPECT_EQ(m_questions, QStringList({QStringLiteral("Info über Tarnwick"), QStringLiteral("Info über Tarnwick")}));
}

TEST_F(MainWindowTest, LabelsAndFieldsFollowTheCycle)
{
    Window().Start();
    QTest::mouseClick(Control<QPushButton>(1014), Qt::LeftButton);
    EXPECT_EQ(Label(1008), QStringLiteral("A&bbrechen"));
    EXPECT_EQ(Label(1014), QStringLiteral("A&bbrechen"));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Label(1008), QStringLiteral("&IPs ermitteln"));
    EXPECT_EQ(Label(1014), QStringLiteral("Umleitbefehl hoch&laden"));
    EXPECT_EQ(Field(1000), QStringLiteral("127.0.0.1"));
    const QString status = Control<QPlainTextEdit>(1021)->toPlainText();
    EXPECT_TRUE(status.endsWith(QStringLiteral("Datei mit neuer Umleitung wurde erfolgreich an den Server gesendet.")))
        << status.toStdString();
    EXPECT_TRUE(status.contains(QStringLiteral("leitet nicht um...\n"))) << status.toStdString();
    EXPECT_FALSE(status.contains(QStringLiteral("\n\n"))) << status.toStdString();
    EXPECT_EQ(Field(1022), QStringLiteral("http://127.0.0.1/"));
    EXPECT_NE(m_ftp.readFile("index.htm").find("127.0.0.1"), std::string::npos);

    // Addresses only: 1014 keeps its label.
    QTest::mouseClick(Control<QPushButton>(1008), Qt::LeftButton);
    EXPECT_EQ(Label(1008), QStringLiteral("A&bbrechen"));
    EXPECT_EQ(Label(1014), QStringLiteral("Umleitbefehl hoch&laden"));
    ASSERT_TRUE(WaitIdle());

    QTest::mouseClick(Control<QPushButton>(1019), Qt::LeftButton);
    EXPECT_EQ(Label(1019), QStringLiteral("&Stopp"));
    EXPECT_FALSE(Control(1017)->isEnabled());
    QTest::mouseClick(Control<QPushButton>(1019), Qt::LeftButton);
    EXPECT_EQ(Label(1019), QStringLiteral("&Start"));
    EXPECT_TRUE(Control(1017)->isEnabled());

    // The longest IPv6 address fits its field, and its tooltip names it.
    const QString longest = QStringLiteral("2001:db8:1234:5678:9abc:def0:1234:5678");
    Window().SetLocalAddress(longest.toStdString());
    auto* local = Control<QLineEdit>(1000);
    EXPECT_EQ(local->text(), longest);
    EXPECT_EQ(local->toolTip(), longest);
    EXPECT_GE(local->minimumWidth(), local->fontMetrics().horizontalAdvance(longest));
}

TEST_F(MainWindowTest, PendingStartHidesWithoutTheQuestion)
{
    for (const int autoStart : {0, 1}) {
        SCOPED_TRACE(autoStart);
        m_window.reset();
        m_app.m_settings.SetAutoStart(autoStart);
        m_app.m_bPending = true;
        Window().Start();
        AnswerBoxes(QMessageBox::No);
        ASSERT_TRUE(PumpUntil([&] { return !Window().isVisible(); }));
        EXPECT_TRUE(m_questions.isEmpty());
        EXPECT_EQ(Window().Cycle().IsPeriodic(), autoStart == 1);
        EXPECT_FALSE(m_app.m_bPending);
        EXPECT_TRUE(m_ended->isEmpty());
    }
}

TEST_F(MainWindowTest, HidingAsksUntilPeriodicRedirectingRuns)
{
    Window().Start();
    AnswerBoxes(QMessageBox::No, true); // Escape leaves the question open
    QTest::mouseClick(Control<QPushButton>(57665), Qt::LeftButton);
    ASSERT_EQ(m_questions.size(), 1);
    EXPECT_TRUE(m_questions[0].startsWith(QStringLiteral("Soll Tarnwick die Umleitung periodisch überprüfen")));
    EXPECT_FALSE(Window().isVisible());
    EXPECT_FALSE(Window().Cycle().IsPeriodic());

    m_area->Perform(TrayGesture::DoubleClick); // the default command shows the window
    ASSERT_TRUE(Window().isVisible());
    QTest::keyClick(&Window(), Qt::Key_Escape); // Escape is the hide button too
    EXPECT_EQ(m_questions.size(), 2);
    EXPECT_FALSE(Window().isVisible());
    EXPECT_TRUE(m_ended->isEmpty());
}

TEST_F(MainWindowTest, RemovedIconMakesTheButtonEndAndAutostartBringsItBack)
{
    Window().Start();
    Window().Tray().MenuAction(CSystemTray::kCmdRemoveIcon)->trigger();
    EXPECT_FALSE(m_area->IsShown());
    EXPECT_EQ(Label(57665), QStringLiteral("B&eenden"));
    EXPECT_FALSE(Control<QCheckBox>(1020)->isChecked());

    QTest::mouseClick(Control<QCheckBox>(1020), Qt::LeftButton);
    EXPECT_TRUE(m_area->IsShown());
    EXPECT_EQ(Label(57665), QStringLiteral("V&erstecken"));
    EXPECT_EQ(m_app.m_settings.GetAutoStart(), 1);
    EXPECT_NE(velt::testing::ReadTextFile(AutostartEntryPath()).find("/pending"), std::string::npos);

    Window().Tray().MenuAction(CSystemTray::kCmdRemoveIcon)->trigger();
    EXPECT_FALSE(std::filesystem::exists(AutostartEntryPath()));
    m_app.m_settings.SetLocalServerName("10.1.2.3"); // an unsaved change
    QTest::keyClick(&Window(), Qt::Key_Escape);
    ASSERT_EQ(m_ended->size(), 1);
    EXPECT_NE(HiveBytes().find("10.1.2.3"), std::string::npos) << "ending saves";
}

TEST_F(MainWindowTest, EndingWhileAStepIsBusyShowsTheWindowAndSavesNothing)
{
    velt::testing::TcpPeer silent(velt::testing::TcpPeer::Mode::Silent);
    m_app.m_settings.SetRedirectUrl(silent.url("/index.htm")); // the check step waits for an answer
    m_app.m_bPending = true;
    Window().Start();
    ASSERT_TRUE(PumpUntil([&] { return !Window().isVisible(); }));
    QTest::mouseClick(Control<QPushButton>(1014), Qt::LeftButton);
    ASSERT_TRUE(silent.waitForConnections(1, std::chrono::seconds(20)));
    ASSERT_TRUE(Window().Cycle().IsBusy());
    const std::string before = HiveBytes();
    m_app.m_settings.SetLocalServerName("10.1.2.3");

    Window().Tray().MenuAction(CSystemTray::kCmdEnd)->trigger();
    EXPECT_TRUE(Window().isVisible());
    EXPECT_TRUE(m_ended->isEmpty());
    EXPECT_EQ(HiveBytes(), before);
    ASSERT_TRUE(WaitIdle());
}

TEST_F(MainWindowTest, FailedCycleInAHiddenWindowBlinksUntilTheWindowOpens)
{
    m_app.m_settings.SetRedirectUrl("http://127.0.0.1:" + std::to_string(velt::testing::FreeTcpPort()) + "/");
    m_app.m_bPending = true;
    Window().Start();
    ASSERT_TRUE(PumpUntil([&] { return !Window().isVisible(); }));
    QTest::mouseClick(Control<QPushButton>(1008), Qt::LeftButton);
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(Control<QPlainTextEdit>(1021)->toPlainText().contains(
        QStringLiteral("IP-Adressen konnten nicht ermittelt werden.")));
    EXPECT_TRUE(Window().Tray().IsBlinking());
    ASSERT_TRUE(PumpUntil([&] { return m_area->ShownIcon().cacheKey() == Icon(142).cacheKey(); },
                          std::chrono::milliseconds(2000)));

    m_area->Perform(TrayGesture::DoubleClick);
    EXPECT_TRUE(Window().isVisible());
    EXPECT_FALSE(Window().Tray().IsBlinking());
    EXPECT_EQ(m_area->ShownIcon().cacheKey(), Icon(128).cacheKey());
}

TEST_F(MainWindowTest, WithoutNotificationAreaAPendingStartKeepsRunning)
{
    m_app.m_bPending = true;
    Window(false).Start();
    AnswerBoxes(QMessageBox::Ok);
    ASSERT_TRUE(PumpUntil([&] { return m_questions.size() == 1; }));
    EXPECT_EQ(m_questions[0], QStringLiteral("Fehler beim Erstellen des Systemsymbols in der Taskleiste!"));
    ASSERT_TRUE(PumpUntil([&] { return Window().isMinimized(); }));
    EXPECT_TRUE(m_ended->isEmpty());
    EXPECT_EQ(Label(57665), QStringLiteral("B&eenden"));

    m_area->SetAvailable(true); // the panel starts after the program
    EXPECT_TRUE(m_area->IsShown());
    EXPECT_EQ(Label(57665), QStringLiteral("V&erstecken"));
}

TEST_F(MainWindowTest, IconRemovedBeforeTheNotificationAreaAppearsStaysAway)
{
    Window(false).Start();
    AnswerBoxes(QMessageBox::Ok);
    ASSERT_TRUE(PumpUntil([&] { return m_questions.size() == 1; }));
    Window().Tray().MenuAction(CSystemTray::kCmdRemoveIcon)->trigger();
    m_area->SetAvailable(true);
    EXPECT_FALSE(m_area->IsShown());
    EXPECT_EQ(Label(57665), QStringLiteral("B&eenden"));
    QTest::mouseClick(Control<QCheckBox>(1020), Qt::LeftButton);
    EXPECT_TRUE(m_area->IsShown());
    EXPECT_EQ(Label(57665), QStringLiteral("V&erstecken"));
}

TEST_F(MainWindowTest, TrayEndEndsAndSavesWhileTheWindowIsShown)
{
    Window().Start();
    ASSERT_TRUE(Window().isVisible());
    AnswerBoxes(QMessageBox::No);
    m_app.m_settings.SetLocalServerName("10.1.2.3"); // an unsaved change
    QAction* end = Window().Tray().MenuAction(CSystemTray::kCmdEnd);
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(end->text(), QStringLiteral("B&eenden"));
    end->trigger();
    ASSERT_EQ(m_ended->size(), 1);
    EXPECT_TRUE(m_questions.isEmpty()) << "no hide question";
    EXPECT_NE(HiveBytes().find("10.1.2.3"), std::string::npos) << "ending saves";
}

// Return presses the push button that has the focus; the default button only while none has it.
TEST_F(MainWindowTest, ReturnPressesTheFocusedButton)
{
    Window().Start();
    QApplication::setActiveWindow(&Window());
    Control(1014)->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(Label(1014), QStringLiteral("A&bbrechen")) << "the whole cycle, not only the addresses";
    ASSERT_TRUE(WaitIdle());

    Control(1003)->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(Label(1008), QStringLiteral("A&bbrechen"));
    EXPECT_EQ(Label(1014), QStringLiteral("Umleitbefehl hoch&laden")) << "the default button: addresses only";
    ASSERT_TRUE(WaitIdle());
}

// tarnwick --set while the window runs: the next run takes the stored value, and the window shows it.
TEST_F(MainWindowTest, ControlsShowValuesStoredMeanwhileFromTheNextRun)
{
    Window().Start();
    const std::string other = m_nginx->url("/site/other.htm");
    CRedirectSettings stored;
    ASSERT_TRUE(stored.LoadFromRegistry(resources::kProductKeyPath));
    stored.SetRedirectUrl(other);
    stored.SetUploadDir("/neu");
    ASSERT_TRUE(stored.SaveToRegistry(resources::kProductKeyPath));
    EXPECT_NE(Field(1003), QString::fromStdString(other));

    QTest::mouseClick(Control<QPushButton>(1008), Qt::LeftButton);
    EXPECT_EQ(Field(1003), QString::fromStdString(other));
    EXPECT_EQ(Field(1002), QStringLiteral("other.htm"));
    EXPECT_EQ(Field(1054), QStringLiteral("/neu"));
    ASSERT_TRUE(WaitIdle());
}

// A browser that cannot start is said in the status list, not only with a beep nobody hears.
TEST_F(MainWindowTest, LauncherMissingOrFailingShowsWhyInTheStatusList)
{
    velt::testing::TempDir bin;
    velt::testing::WriteTextFile((bin.path() / "xdg-open").string(), "#!/bin/sh\nexit 3\n");
    std::filesystem::permissions(bin.path() / "xdg-open", std::filesystem::perms::owner_all);
    velt::testing::TempDir empty;
    const struct
    {
        std::string path;
        const char* reason;
    } cases[] = {
        {empty.path().string(), "das Programm xdg-open wurde nicht gefunden oder kann nicht ausgeführt werden."},
        {bin.path().string(), "kein Browser gefunden (xdg-open endete mit Fehlercode 3)."},
    };
    Window().Start();
    const QString expected = QStringLiteral("\"%1\" konnte nicht geöffnet werden: ")
                                 .arg(QString::fromStdString(m_app.m_settings.GetRedirectUrl()));
    auto* status = Control<QPlainTextEdit>(1021);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        velt::testing::ScopedEnv path("PATH", c.path);
        status->clear();
        QTest::mouseClick(Control<QPushButton>(1039), Qt::LeftButton);
        ASSERT_TRUE(PumpUntil([&] { return !status->toPlainText().isEmpty(); }, std::chrono::milliseconds(10000)));
        EXPECT_TRUE(status->toPlainText().endsWith(expected + QString::fromUtf8(c.reason)))
            << status->toPlainText().toStdString();
    }
}
