#include "tarnwick/dialup/dialog/CDialProgressDlg.h"

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

#include <cstring>
#include <thread>

using namespace tarnwick;
using velt::testing::NetworkManagerMock;

namespace {

// A provider written into the test for the ends the stand-in cannot script.
struct FakeProvider
{
    bool active = false;
    RASDIALFUNC notifier = nullptr;
    bool hungUp = false;
} g_fake;

uint32_t FakeEnumConnections(RASCONNA* connections, uint32_t* bytes, uint32_t* count)
{
    *count = g_fake.active ? 1 : 0;
    if (*bytes < *count * RAS_SIZE_CONN) {
        *bytes = *count * RAS_SIZE_CONN;
        return 603;
    }
    if (g_fake.active) {
        connections[0].hrasconn = 7;
        std::strcpy(connections[0].szEntryName, "Provider");
    }
    return 0;
}

uint32_t FakeValidate(const char*, const char*)
{
    return 183;
}

uint32_t FakeEntryProperties(const char*, const char*, RASENTRYA* entry, uint32_t* size, uint8_t*, uint32_t*)
{
    if (!entry || *size < RAS_SIZE_ENTRY) {
        *size = RAS_SIZE_ENTRY;
        return 603;
    }
    std::memset(entry, 0, sizeof *entry);
    entry->dwSize = RAS_SIZE_ENTRY;
    std::strcpy(entry->szLocalPhoneNumber, "0800 1234");
    return 0;
}

uint32_t FakeDial(void*, const char*, RASDIALPARAMSA*, uint32_t, void* notifier, HRASCONN* connection)
{
    g_fake.notifier = reinterpret_cast<RASDIALFUNC>(notifier);
    *connection = reinterpret_cast<HRASCONN>(uintptr_t(9));
    return 0;
}

uint32_t FakeStatus(HRASCONN, RASCONNSTATUSA*)
{
    return g_fake.hungUp ? 6 : 0;
}

uint32_t FakeHangUp(HRASCONN)
{
    g_fake.hungUp = true;
    return 0;
}

RasFunctionTable FakeTable()
{
    RasFunctionTable table;
    table.RasEnumConnectionsA = FakeEnumConnections;
    table.RasValidateEntryNameA = FakeValidate;
    table.RasGetEntryPropertiesA = FakeEntryProperties;
    table.RasDialA = FakeDial;
    table.RasGetConnectStatusA = FakeStatus;
    table.RasHangUpA = FakeHangUp;
    return table;
}

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

TEST(CDialProgressDlgTest, FormHasEveryControlWithItsText)
{
    const RasFunctionTable table = FakeTable();
    CDialProgressDlg dialog(nullptr, table);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Verbindung wird aufgebaut..."));
    EXPECT_EQ(Text(dialog, 1066), QStringLiteral("Status"));
    EXPECT_EQ(Text(dialog, 1073), QStringLiteral("Name der Verbindung"));
    EXPECT_EQ(Text(dialog, 1072), QString());
    EXPECT_TRUE(dialog.findChild<QLineEdit*>(QStringLiteral("idc_1072"))->isReadOnly());
    EXPECT_EQ(dialog.findChild<QPushButton*>(QStringLiteral("idc_2"))->text(), QStringLiteral("Abbrechen"));
    EXPECT_FALSE(dialog.findChild<QLabel*>(QStringLiteral("picture148"))->pixmap().isNull());
    bool label = false;
    for (auto* l : dialog.findChildren<QLabel*>())
        label = label || l->text() == QStringLiteral("Rufnummer:");
    EXPECT_TRUE(label);
}

TEST(CDialProgressDlgTest, EarlyEndsWithTheirDelays)
{
    struct Case
    {
        const char* name;
        bool withDial;
        bool active;
        int result;
        int minMs;
        int maxMs;
        const char* status; // seen while the dialog waited; null: never shown
        bool holdsConnection;
    };
    const Case cases[] = {
        {"no dial-up", false, false, kDialOk, 1000, 1800,
         "RASAPI32.DLL konnte nicht geladen werden!\nAutomatische Anwahl einer DFÜ-Verbindung ist nicht möglich.",
         false},
        {"already connected", true, true, kDialOk, 500, 1200, "Die Verbindung besteht bereits.", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_fake = FakeProvider {};
        g_fake.active = c.active;
        RasFunctionTable table = FakeTable();
        if (!c.withDial)
            table.RasDialA = nullptr;
        ModalWatcher watcher;
        CDialProgressDlg dialog(nullptr, table);
        dialog.SetRequest(DialRequest {"Provider", "", ""});
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(dialog.DoModal(), c.result);
        EXPECT_GE(timer.elapsed(), c.minMs);
        EXPECT_LT(timer.elapsed(), c.maxMs);
        EXPECT_EQ(watcher.statusSeen, QString::fromUtf8(c.status));
        EXPECT_TRUE(watcher.boxes.empty());
        EXPECT_EQ(dialog.HangUp(), c.holdsConnection);
    }
}

TEST(CDialProgressDlgTest, NotificationsAfterTheDialogIsGoneChangeNothing)
{
    g_fake = FakeProvider {};
    const RasFunctionTable table = FakeTable();
    std::shared_ptr<DialProgress> progress;
    {
        ModalWatcher watcher([](CDialProgressDlg& dialog) {
            EXPECT_EQ(Text(dialog, 1072), QStringLiteral("0800 1234"));
            EXPECT_EQ(Text(dialog, 1073), QStringLiteral("Provider"));
            QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("idc_2")), Qt::LeftButton);
        });
        CDialProgressDlg dialog(nullptr, table);
        dialog.SetRequest(DialRequest {"Provider", "", ""});
        EXPECT_EQ(dialog.DoModal(), kDialCancel);
        EXPECT_FALSE(g_fake.hungUp) << "Abbrechen leaves the dial to the caller's hang-up";
        progress = dialog.Progress();
    }
    // The provider goes on reporting, even a failure: no window, no message, no change of the result.
    for (const auto& [state, error] : {std::pair {RASCS_Connected, 0u}, std::pair {RASCS_DeviceConnected, 678u}})
        std::thread([state, error] { g_fake.notifier(WM_RASDIALEVENT, state, error); }).join();
    QTest::qWait(100);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(progress->Result(), kDialCancel);
    EXPECT_TRUE(progress->HangUp());
    EXPECT_TRUE(g_fake.hungUp);
}

// Over the real provider and the NetworkManager stand-in.
class DialDialogOverNetworkManager : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_modem = m_nm.addDevice("ttyUSB0", "ttyUSB0", 8);
        m_profile = m_nm.addProfile("Mobilfunk", "gsm", m_modem, {{"gsm", {{"number", "*99#"}}}});
        ASSERT_TRUE(LoadRasFunctionTable(g_rasFunctions, nullptr, RAS_PROVIDER));
    }
    void TearDown() override { UnloadRasFunctionTable(g_rasFunctions); }

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
        {"device removed", "geheim", "device", kDialCancel, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Script(c.fail);
        ModalWatcher watcher;
        CDialProgressDlg dialog(nullptr);
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

TEST_F(DialDialogOverNetworkManager, AbbrechenEndsAtOnceAndTheHangUpEndsTheConnection)
{
    Script("", true);
    ModalWatcher watcher([](CDialProgressDlg& dialog) {
        if (dialog.findChild<QLabel*>(QStringLiteral("idc_1066"))->text() == QStringLiteral("Hardware OK"))
            dialog.findChild<QPushButton*>(QStringLiteral("idc_2"))->click();
    });
    CDialProgressDlg dialog(nullptr);
    dialog.SetRequest(DialRequest {"Mobilfunk", "", ""});
    EXPECT_EQ(dialog.DoModal(), kDialCancel);
    EXPECT_EQ(m_nm.activeConnections().size(), 1u) << "the dial goes on until the hang-up";
    EXPECT_TRUE(dialog.HangUp());
    EXPECT_TRUE(m_nm.activeConnections().empty());
}

TEST_F(DialDialogOverNetworkManager, UnknownEntryIsAnErrorBeforeTheWindowShows)
{
    ModalWatcher watcher;
    CDialProgressDlg dialog(nullptr);
    dialog.SetRequest(DialRequest {"Gibt es nicht", "", ""});
    EXPECT_EQ(dialog.DoModal(), kDialCancel);
    EXPECT_FALSE(watcher.dialogShown);
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].caption, QStringLiteral("Fehler"));
    EXPECT_EQ(watcher.boxes[0].text,
              QString::fromStdString(RasErrorText(g_rasFunctions, 803))
                  .replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    EXPECT_FALSE(dialog.HangUp());
}

} // namespace
