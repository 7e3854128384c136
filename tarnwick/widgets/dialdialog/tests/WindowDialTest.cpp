// The main window's dial in a cycle: the address worker asks the
// user-interface thread for the dial progress dialog and waits for it.
#include "platform/window/TitleWindow.h"
#include "tarnwick/cycle/CycleServices.h"
#include "tarnwick/cycle/RedirectCycle.h"
#include "tarnwick/cycle/tests/CycleTestSupport.h"
#include "tarnwick/dialup/RasOperations.h"
#include "tarnwick/dialup/tests/support/NetworkManagerMock.h"
#include "tarnwick/program/CRedirectApp.h"
#include "tarnwick/program/ComponentRegistration.h"
#include "tarnwick/program/ProgramSession.h"
#include "tarnwick/widgets/dialdialog/CDialProgressDlg.h"
#include "tarnwick/widgets/window/CRedirectMainDlg.h"
#include "tarnwick/widgets/window/RecordingTrayBackend.h"
#include "testing/FreeTcpPort.h"
#include "testing/TempHome.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace tarnwick;
using tarnwick::test::PumpUntil;
using velt::testing::NetworkManagerMock;

namespace {

const char* const kProgramDir = TARNWICK_PROGRAM_DIR "/";

class WindowDialTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(EnsureComponentRegistered(kProgramDir, &error)) << error;
        m_modem = m_nm.addDevice("ttyUSB0", "ttyUSB0", 8);
        m_profile = m_nm.addProfile("Mobilfunk", "gsm", m_modem, {{"gsm", {{"number", "*99#"}}}});
        m_app.InitApplication();
        m_app.m_strProgramDir = kProgramDir;
        m_app.LoadFirstInstanceState();
        CRedirectSettings& s = m_app.m_settings;
        // Nobody listens there: the check fails, and so does the address step after the dial.
        s.SetRedirectUrl("http://127.0.0.1:" + std::to_string(velt::testing::FreeTcpPort()) + "/index.htm");
        s.SetAutoDial(1);
        s.SetAutoDialConnection("Mobilfunk");
        s.SetAutoDialUsername("kunde");
    }

    void TearDown() override
    {
        m_window.reset();
        m_session.reset();
        PumpUntil([] { return RedirectCycle::RunningWorkers() == 0; }, std::chrono::milliseconds(15000));
    }

    CRedirectMainDlg& Window()
    {
        if (!m_window) {
            m_session = std::make_unique<ProgramSession>(m_app, m_title);
            m_window = std::make_unique<CRedirectMainDlg>(*m_session, new RecordingTrayBackend(true));
            RasFunctionTable& table = m_window->Session().Services()->m_rasFunctions;
            EXPECT_TRUE(LoadRasFunctionTable(table, nullptr, RAS_PROVIDER));
            m_window->Cycle().SetDialDialog(
                [this](const DialRequest& request, std::shared_ptr<DialProgress>& progress) {
                    m_dialOnUiThread = QThread::currentThread() == qApp->thread();
                    return RunDialProgressDialog(m_window.get(), m_window->Session().Services()->m_rasFunctions,
                                                 request, progress);
                });
            m_window->Start();
        }
        return *m_window;
    }

    void Script(bool hang)
    {
        NetworkManagerMock::DialScript script;
        script.device = m_modem;
        // A dial that never ends stops before the password is asked for.
        script.steps = hang ? std::vector<unsigned> {40, 50} : std::vector<unsigned> {40, 60, 70};
        script.password = "geheim";
        script.hang = hang;
        m_nm.setDialScript(m_profile, script);
    }

    // Runs the address step; onDialog runs while the dial dialog is open;
    // message boxes are confirmed and noted.
    QString RunAddresses(const std::function<void(CDialProgressDlg&)>& onDialog = {})
    {
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                m_boxes << box->text();
                box->button(QMessageBox::Ok)->click();
            } else if (auto* dialog = qobject_cast<CDialProgressDlg*>(modal)) {
                m_dialogEntry = dialog->findChild<QLabel*>(QStringLiteral("idc_1073"))->text();
                if (onDialog)
                    onDialog(*dialog);
            }
        });
        poll.start(10);
        Window().Cycle().StartAddresses();
        EXPECT_TRUE(PumpUntil([&] { return !Window().Cycle().IsBusy(); }));
        return Window().findChild<QPlainTextEdit*>(QStringLiteral("idc_1021"))->toPlainText();
    }

    velt::testing::TempHome m_home;
    NetworkManagerMock m_nm;
    std::string m_modem;
    std::string m_profile;
    CRedirectApp m_app;
    platform::TitleWindow m_title;
    std::unique_ptr<ProgramSession> m_session;
    std::unique_ptr<CRedirectMainDlg> m_window;
    bool m_dialOnUiThread = false;
    QString m_dialogEntry;
    QStringList m_boxes;
};

TEST_F(WindowDialTest, DialInTheDialogThenTheAddressStepGoesOn)
{
    struct Case
    {
        const char* name;
        const char* password;
        bool connected;
    };
    for (const Case& c : {Case {"dial succeeds", "geheim", true}, Case {"wrong password", "falsch", false}}) {
        SCOPED_TRACE(c.name);
        Script(false);
        m_app.m_settings.SetAutoDialPW(c.password);
        m_boxes.clear();
        m_dialogEntry.clear();
        const QString status = RunAddresses();
        EXPECT_TRUE(m_dialOnUiThread);
        EXPECT_EQ(m_dialogEntry, QStringLiteral("Mobilfunk"));
        const bool dialFailed = status.contains(
            QStringLiteral("Fehler! Verbindung zum Server konnte nicht automatisch aufgebaut werden."));
        // After the dial the component tries the page's server (closed here).
        const bool addressStep = status.contains(QStringLiteral("Fehler! Verbindung zum Server 127.0.0.1"));
        EXPECT_EQ(dialFailed, !c.connected) << status.toStdString();
        EXPECT_EQ(addressStep, c.connected) << status.toStdString();
        EXPECT_EQ(m_boxes.size(), c.connected ? 0 : 1);
        // A connection made stays up; a failed one was hung up by the worker.
        EXPECT_EQ(m_nm.activeConnections().size(), c.connected ? 1u : 0u);
        if (c.connected) {
            HRASCONN connection = nullptr;
            const RasFunctionTable& table = Window().Session().Services()->m_rasFunctions;
            ASSERT_TRUE(FindRasConnection(table, "Mobilfunk", connection));
            ASSERT_TRUE(HangUpRasConnection(table, connection));
        }
    }
}

TEST_F(WindowDialTest, CancellingTheCycleEndsTheDialogAndTheWorkerHangsUp)
{
    Script(true);
    m_app.m_settings.SetAutoDialPW("geheim");
    bool cancelled = false;
    const QString status = RunAddresses([&](CDialProgressDlg& dialog) {
        if (!cancelled
            && dialog.findChild<QLabel*>(QStringLiteral("idc_1066"))->text() == QStringLiteral("Hardware OK")) {
            cancelled = true;
            Window().Cycle().CancelCycle();
        }
    });
    EXPECT_TRUE(cancelled);
    EXPECT_TRUE(
        status.contains(QStringLiteral("Fehler! Verbindung zum Server konnte nicht automatisch aufgebaut werden.")))
        << status.toStdString();
    EXPECT_TRUE(m_nm.activeConnections().empty());
}

} // namespace
