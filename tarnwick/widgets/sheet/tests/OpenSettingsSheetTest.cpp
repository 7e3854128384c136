#include "platform/profile/Profile.h"
#include "platform/window/TitleWindow.h"
#include "tarnwick/cycle/RedirectCycle.h"
#include "tarnwick/program/CRedirectApp.h"
#include "tarnwick/program/ComponentRegistration.h"
#include "tarnwick/program/ProgramSession.h"
#include "tarnwick/widgets/sheet/CPropSheetRedirectProperties.h"
#include "tarnwick/widgets/sheet/PropertySheetOpener.h"
#include "tarnwick/widgets/window/CRedirectMainDlg.h"
#include "tarnwick/widgets/window/CSystemTray.h"
#include "tarnwick/widgets/window/MainWindowIds.h"
#include "tarnwick/widgets/window/RecordingTrayBackend.h"
#include "testing/FreeTcpPort.h"
#include "testing/TempHome.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace tarnwick;

namespace {

const char* const kProgramDir = TARNWICK_PROGRAM_DIR "/";

// Acts once on the settings sheet as soon as the main window shows it.
void OnSheet(QObject* owner, std::function<void(CPropSheetRedirectProperties&)> action)
{
    auto* poll = new QTimer(owner);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, action] {
        if (auto* sheet = qobject_cast<CPropSheetRedirectProperties*>(QApplication::activeModalWidget())) {
            poll->stop();
            action(*sheet);
            poll->deleteLater();
        }
    });
    poll->start(20);
}

} // namespace

TEST(OpenSettingsSheet, OkTakesTheCopySavesWithBackupAndRestartsPeriodicRedirecting)
{
    velt::testing::TempHome home;
    std::string error;
    ASSERT_TRUE(EnsureComponentRegistered(kProgramDir, &error)) << error;
    CRedirectApp app;
    app.InitApplication();
    app.m_strProgramDir = kProgramDir;
    app.LoadFirstInstanceState();
    // The cycle that periodic redirecting starts stays on loopback and fails at once.
    app.m_settings.SetRedirectUrl("http://127.0.0.1:" + std::to_string(velt::testing::FreeTcpPort()) + "/index.htm");
    app.m_settings.SetLocalServerName("127.0.0.1");
    app.SaveSettings(false);

    platform::TitleWindow title;
    {
        ProgramSession session(app, title);
        CRedirectMainDlg window(session, new RecordingTrayBackend(true));
        PropertySheetOpener opener(app, window.Session().Services());
        window.SetSettingsSheetOpener(&opener);
        window.Cycle().StartPeriodic();

        bool pausedWhileOpen = false;
        int openedOn = -1;
        OnSheet(&window, [&](CPropSheetRedirectProperties& sheet) {
            pausedWhileOpen = !window.Cycle().IsPeriodic();
            openedOn = sheet.GetActiveIndex();
            EXPECT_EQ(sheet.windowTitle(), QStringLiteral("Optionen"));
            sheet.SetActivePage(CPropSheetRedirectProperties::kGeneral);
            sheet.findChild<QLineEdit*>(QStringLiteral("idc_1017"))->setText(QStringLiteral("5"));
            sheet.OkButton()->click();
        });
        window.OnCommand(main_window::kIdcSettings);
        EXPECT_TRUE(pausedWhileOpen);
        EXPECT_EQ(openedOn, CPropSheetRedirectProperties::kRedirectFrom);
        EXPECT_EQ(app.m_settings.GetWaitTimeInMin(), 5);
        EXPECT_TRUE(window.Cycle().IsPeriodic());
        EXPECT_EQ(window.Cycle().PeriodMilliseconds(), 5 * 60000);
        EXPECT_EQ(window.findChild<QLineEdit*>(QStringLiteral("idc_1017"))->text(), QStringLiteral("5"));

        CRedirectSettings stored;
        ASSERT_TRUE(stored.LoadFromRegistry("Software\\VELT\\Tarnwick"));
        EXPECT_EQ(stored.GetWaitTimeInMin(), 5);
        CRedirectSettings backup;
        ASSERT_TRUE(backup.LoadFromBackupFile(platform::profile::ResolveProfilePath("values.bak")));
        EXPECT_EQ(backup.GetWaitTimeInMin(), 5);

        // Abbrechen drops the edits; periodic redirecting goes on.
        OnSheet(&window, [](CPropSheetRedirectProperties& sheet) {
            EXPECT_EQ(sheet.GetActiveIndex(), CPropSheetRedirectProperties::kUpload);
            sheet.findChild<QLineEdit*>(QStringLiteral("idc_1052"))->setText(QStringLiteral("anders.example"));
            sheet.findChild<QPushButton*>(QStringLiteral("idc_2"))->click();
        });
        window.OnCommand(main_window::kIdcBrowseTemplate);
        EXPECT_EQ(app.m_settings.GetUploadServer(), "domain");
        EXPECT_TRUE(window.Cycle().IsPeriodic());
        window.Cycle().StopPeriodic();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !window.Cycle().IsBusy(); }, 15000));
    }
    EXPECT_TRUE(QTest::qWaitFor([] { return RedirectCycle::RunningWorkers() == 0; }, 15000));
}
