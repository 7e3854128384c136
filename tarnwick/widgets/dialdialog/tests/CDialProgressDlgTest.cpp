#include "tarnwick/widgets/dialdialog/CDialProgressDlg.h"

#include "tarnwick/dialup/RasOperations.h"
#include "tarnwick/dialup/tests/support/NetworkManagerMock.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace tarnwick;
using velt::testing::NetworkManagerMock;

namespace {

QString Text(QWidget& dialog, int id)
{
    const QString name = QStringLiteral("idc_%1").arg(id);
    if (auto* label = dialog.findChild<QLabel*>(name))
        return label->text();
    if (auto* field = dialog.findChild<QLineEdit*>(name))
        return field->text();
    return QStringLiteral("<missing>");
}

// Notes every message box (caption, icon, text) and confirms it; runs the
// callback whenever the dial dialog is the modal window.
class ModalWatcher
{
public:
    explicit ModalWatcher(std::function<void(CDialProgressDlg&)> onDialog = {})
        : m_onDialog(std::move(onDialog))
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                boxes.push_back({box->windowTitle(), box->icon(), box->text()});
                box->button(QMessageBox::Ok)->click();
            } else if (auto* dialog = qobject_cast<CDialProgressDlg*>(modal)) {
                dialogShown = true;
                statusSeen = Text(*dialog, 1066);
                if (m_onDialog)
                    m_onDialog(*dialog);
            }
        });
        m_timer.start(10);
    }

    struct Box
    {
        QString caption;
        QMessageBox::Icon icon;
        QString text;
    };
    std::vector<Box> boxes;
    bool dialogShown = false;
    QString statusSeen;

private:
    std::function<void(CDialProgressDlg&)> m_onDialog;
    QTimer m_timer;
};

// Over the real provider and the NetworkManager stand-in.
class DialDialogOverNetworkManager : public ::testing::Test
{
protected:
    RasFunctionTable m_table;

    void SetUp() override
    {
        m_modem = m_nm.addDevice("ttyUSB0", "ttyUSB0", 8);
        m_profile = m_nm.addProfile("Mobilfunk", "gsm", m_modem, {{"gsm", {{"number", "*99#"}}}});
        ASSERT_TRUE(LoadRasFunctionTable(m_table, nullptr, RAS_PROVIDER));
    }
    void TearDown() override { UnloadRasFunctionTable(m_table); }

    void Script(const std::string& fail, bool hang = false)
    {
        NetworkManagerMock::DialScript script;
        script.device = m_modem;
        // A dial that never ends stops before the password is asked for.
        script.steps = hang ? std::vector<unsigned> {40, 50} : std::vector<unsigned> {40, 60, 70};
        script.password = "geheim";
        script.fail = fail;
        script.hang = hang;
        m_nm.setDialScript(m_profile, script);
    }

    NetworkManagerMock m_nm;
    std::string m_modem;
    std::string m_profile;
};

TEST_F(DialDialogOverNetworkManager, DialEndsByItsNotifications)
{
    struct Case
    {
        const char* name;
        const char* password;
        const char* fail;
        int result;
        const char* error; // the message box's text, null: none
    };
    const Case cases[] = {
        {"connected", "geheim", "", kDialOk, nullptr},
        {"wrong password", "falsch", "", kDialCancel, "Zugriff verweigert: Benutzername oder Kennwort ist ungültig."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Script(c.fail);
        ModalWatcher watcher;
        CDialProgressDlg dialog(nullptr, m_table);
        dialog.SetRequest(DialRequest {"Mobilfunk", "kunde", c.password});
        EXPECT_EQ(dialog.DoModal(), c.result);
        EXPECT_TRUE(watcher.dialogShown);
        EXPECT_EQ(Text(dialog, 1073), QStringLiteral("Mobilfunk"));
        EXPECT_EQ(Text(dialog, 1072), QStringLiteral("*99#"));
        if (c.result == kDialOk) {
            EXPECT_EQ(Text(dialog, 1066), QStringLiteral("Verbunden"));
            EXPECT_TRUE(watcher.boxes.empty());
            EXPECT_EQ(m_nm.activeConnections().size(), 1u) << "the dialog does not hang up";
        } else {
            ASSERT_EQ(watcher.boxes.size(), 1u);
            EXPECT_EQ(watcher.boxes[0].caption, QStringLiteral("Fehler"));
            EXPECT_EQ(watcher.boxes[0].icon, QMessageBox::Critical);
            if (c.error) {
                EXPECT_TRUE(watcher.boxes[0].text.contains(QString::fromUtf8(c.error)))
                    << watcher.boxes[0].text.toStdString();
            }
        }
        dialog.HangUp();
        EXPECT_TRUE(m_nm.activeConnections().empty());
    }
}

TEST_F(DialDialogOverNetworkManager, EarlyEndsWithTheirDelays)
{
    struct Case
    {
        const char* name;
        bool withProvider;
        bool active;
        int minMs;
        int maxMs;
        const char* status; // shown while the dialog waits
    };
    const Case cases[] = {
        {"no dial-up", false, false, 1000, 1800,
         "RASAPI32.DLL konnte nicht geladen werden!\nAutomatische Anwahl einer DFÜ-Verbindung ist nicht möglich."},
        {"already connected", true, true, 500, 1200, "Die Verbindung besteht bereits."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.active) {
            // Brought up by another program, without a password.
            NetworkManagerMock::DialScript script;
            script.device = m_modem;
            script.steps = {40, 70};
            m_nm.setDialScript(m_profile, script);
            m_nm.activate(m_profile);
            ASSERT_TRUE(QTest::qWaitFor([&] { return m_nm.activeConnections().size() == 1u; }, 5000));
        }
        const RasFunctionTable none;
        // "Abbrechen" during the pause ends it at once, and still with OK: nothing was dialled.
        for (const bool pressCancel : {false, true}) {
            SCOPED_TRACE(pressCancel);
            ModalWatcher watcher([pressCancel](CDialProgressDlg& dialog) {
                if (pressCancel)
                    dialog.findChild<QPushButton*>(QStringLiteral("idc_2"))->click();
            });
            CDialProgressDlg dialog(nullptr, c.withProvider ? m_table : none);
            dialog.SetRequest(DialRequest {"mobilfunk", "", ""}); // names compare without case
            QElapsedTimer timer;
            timer.start();
            EXPECT_EQ(dialog.DoModal(), kDialOk);
            if (!pressCancel) {
                EXPECT_GE(timer.elapsed(), c.minMs);
            }
            EXPECT_LT(timer.elapsed(), c.maxMs);
            EXPECT_EQ(watcher.statusSeen, QString::fromUtf8(c.status));
            EXPECT_TRUE(watcher.boxes.empty());
            // A connection someone else made is never hung up.
            EXPECT_FALSE(dialog.HangUp());
            EXPECT_EQ(m_nm.activeConnections().size(), c.active ? 1u : 0u);
        }
    }
}

TEST_F(DialDialogOverNetworkManager, AbbrechenEndsAtOnceAndLaterNotificationsChangeNothing)
{
    Script("");
    std::shared_ptr<DialProgress> progress;
    int second = -1;
    {
        ModalWatcher watcher([&](CDialProgressDlg& dialog) {
            if (second != -1)
                return;
            // Only one dial at a time: a second one while this runs ends at once.
            CDialProgressDlg other(nullptr, m_table);
            other.SetRequest(DialRequest {"Mobilfunk", "", ""});
            second = other.DoModal();
            dialog.findChild<QPushButton*>(QStringLiteral("idc_2"))->click();
        });
        CDialProgressDlg dialog(nullptr, m_table);
        dialog.SetRequest(DialRequest {"Mobilfunk", "kunde", "geheim"});
        EXPECT_EQ(dialog.DoModal(), kDialCancel);
        progress = dialog.Progress();
    }
    EXPECT_EQ(second, kDialCancel);
    // The dial goes on to connected without a window: no message, the result stays.
    QTest::qWait(800);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(progress->Result(), kDialCancel);
    EXPECT_EQ(m_nm.activeConnections().size(), 1u) << "the dial goes on until the hang-up";
    EXPECT_TRUE(progress->HangUp());
    EXPECT_TRUE(m_nm.activeConnections().empty());
}

} // namespace
