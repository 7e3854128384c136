// The page "Anwahl..." on the offscreen platform, over the real provider and
// the NetworkManager stand-in on a private bus.
#include "tarnwick/cycle/CycleServices.h"
#include "tarnwick/widgets/sheet/CPropPageAutoDial.h"

#include "tarnwick/dialup/RasFunctionTable.h"
#include "tarnwick/dialup/tests/support/NetworkManagerMock.h"
#include "tarnwick/widgets/sheet/CPropSheetRedirectProperties.h"
#include "testing/FreeTcpPort.h"
#include "testing/TcpPeer.h"
#include "testing/TempDir.h"
#include "testing/TempHome.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
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

constexpr int kPage = CPropSheetRedirectProperties::kAutoDial;

std::string ClosedUrl()
{
    return "http://127.0.0.1:" + std::to_string(velt::testing::FreeTcpPort()) + "/index.htm";
}

class AutoDialPageTest : public ::testing::Test
{
protected:
    std::shared_ptr<CycleServices> m_services = std::make_shared<CycleServices>();

    void SetUp() override
    {
        m_modem = m_nm.addDevice("ttyUSB0", "ttyUSB0", 8);
        m_gsm = m_nm.addProfile("Mobilfunk", "gsm", m_modem, {{"gsm", {{"number", "*99#"}}}});
        m_nm.addProfile("Arbeit-DSL", "pppoe", {}, {{"pppoe", {{"username", "dsl-nutzer"}}}});
        ASSERT_TRUE(LoadRasFunctionTable(m_services->m_rasFunctions, nullptr, RAS_PROVIDER));
        m_poll.setInterval(20);
        QObject::connect(&m_poll, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                m_boxes.push_back({box->windowTitle(), box->icon(), box->text()});
                box->button(box->button(QMessageBox::No) ? QMessageBox::No : QMessageBox::Ok)->click();
            }
        });
        m_poll.start();
    }
    void TearDown() override
    {
        m_sheet.reset();
        UnloadRasFunctionTable(m_services->m_rasFunctions);
    }

    CPropSheetRedirectProperties& Open(const CRedirectSettings& settings)
    {
        m_sheet = std::make_unique<CPropSheetRedirectProperties>(
            QStringLiteral("Optionen"), nullptr, kPage, SheetEnvironment {"", "/", "VELT Tarnwick", "1", m_services});
        m_sheet->SetSettings(settings);
        m_sheet->show();
        return *m_sheet;
    }

    static CRedirectSettings Settings(int autoDial, const std::string& entry, const std::string& url = ClosedUrl())
    {
        CRedirectSettings settings;
        settings.SetRedirectUrl(url);
        settings.SetAutoDial(autoDial);
        settings.SetAutoDialConnection(entry);
        settings.SetAutoDialUsername("kunde");
        settings.SetAutoDialPW("geheim");
        settings.SetModified(0);
        return settings;
    }

    template<typename T = QWidget>
    T* Control(int id)
    {
        return m_sheet->GetPage(kPage)->findChild<T*>(ControlObjectName(id));
    }
    QComboBox* List() { return Control<QComboBox>(1063); }
    CRedirectSettings& Copy() { return m_sheet->Settings(); }
    bool OkEnabled() { return m_sheet->OkButton()->isEnabled(); }
    void Choose(int index)
    {
        List()->setCurrentIndex(index);
        Q_EMIT List()->activated(index); // as the user's choice reports it
    }

    struct Box
    {
        QString caption;
        QMessageBox::Icon icon;
        QString text;
    };

    velt::testing::TempHome m_home;
    NetworkManagerMock m_nm;
    std::string m_modem;
    std::string m_gsm;
    std::unique_ptr<CPropSheetRedirectProperties> m_sheet;
    QTimer m_poll;
    std::vector<Box> m_boxes;
};

TEST_F(AutoDialPageTest, OffDisablesEverythingAfterEachActivation)
{
    Open(Settings(0, "Mobilfunk"));
    EXPECT_EQ(Control<QLabel>(1065)->text(), QString::fromStdString(Copy().GetRedirectUrl()));
    EXPECT_EQ(Control<QLineEdit>(1006)->text(), QStringLiteral("kunde"));
    EXPECT_EQ(Control<QLineEdit>(1007)->echoMode(), QLineEdit::Password);
    EXPECT_EQ(m_sheet->GetPage(kPage)->HelpTopic(), QStringLiteral("OptionsAutodial.htm"));
    for (int id : {1065, 1061, 1063, 1006, 1007, 1062})
        EXPECT_FALSE(Control(id)->whatsThis().isEmpty()) << id;
    for (int round = 0; round < 2; ++round) {
        EXPECT_FALSE(Control<QCheckBox>(1061)->isChecked());
        for (int id : {1063, 1006, 1007, 1062})
            EXPECT_FALSE(Control(id)->isEnabled()) << id;
        m_sheet->SetActivePage(0);
        m_sheet->SetActivePage(kPage);
    }
    EXPECT_FALSE(OkEnabled());

    // Switched on: the list offers the fixed item and the profiles and keeps the stored entry.
    Control<QCheckBox>(1061)->click();
    EXPECT_EQ(Copy().GetAutoDial(), 1);
    ASSERT_EQ(List()->count(), 3);
    EXPECT_EQ(List()->itemText(0), QString::fromUtf8(CPropPageAutoDial::kStandardConnectionItem));
    EXPECT_EQ(List()->currentText(), QStringLiteral("Mobilfunk"));
    for (int id : {1063, 1006, 1007, 1062})
        EXPECT_TRUE(Control(id)->isEnabled()) << id;
    EXPECT_TRUE(OkEnabled());
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(AutoDialPageTest, StoredEntryIsFoundByItsBeginningOrCleared)
{
    struct Case
    {
        const char* name;
        const char* stored;
        bool withProvider;
        const char* selected;
        const char* kept;
    };
    const Case cases[] = {
        {"exact", "Mobilfunk", true, "Mobilfunk", "Mobilfunk"},
        {"beginning, other case", "arbeit", true, "Arbeit-DSL", "arbeit"},
        {"removed profile", "Weg", true, CPropPageAutoDial::kStandardConnectionItem, ""},
        {"no provider", "Mobilfunk", false, CPropPageAutoDial::kStandardConnectionItem, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.withProvider)
            UnloadRasFunctionTable(m_services->m_rasFunctions);
        Open(Settings(1, c.stored));
        EXPECT_EQ(List()->currentText(), QString::fromUtf8(c.selected));
        EXPECT_EQ(Copy().GetAutoDialConnection(), c.kept);
        // A cleared entry is a change the user can confirm.
        EXPECT_EQ(OkEnabled(), std::string(c.kept) != c.stored);
        EXPECT_EQ(Control(1006)->isEnabled(), List()->currentIndex() > 0);
        EXPECT_TRUE(Control(1062)->isEnabled());
    }
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(AutoDialPageTest, EnumerationErrorIsShownOncePerActivation)
{
    m_nm.stopNetworkManager();
    Open(Settings(1, "Mobilfunk"));
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].caption, QStringLiteral("Fehler"));
    EXPECT_EQ(m_boxes[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(m_boxes[0].text.startsWith(QStringLiteral("Fehler: "))) << m_boxes[0].text.toStdString();
    EXPECT_EQ(List()->count(), 1);
    EXPECT_EQ(Copy().GetAutoDialConnection(), "");
    m_sheet->SetActivePage(0);
    m_sheet->SetActivePage(kPage);
    EXPECT_EQ(m_boxes.size(), 2u);
}

TEST_F(AutoDialPageTest, ChoosingFillsOrClearsTheCredentials)
{
    Open(Settings(1, "Mobilfunk"));
    // A profile with a stored user name brings it along.
    Choose(List()->findText(QStringLiteral("Arbeit-DSL")));
    EXPECT_EQ(Copy().GetAutoDialConnection(), "Arbeit-DSL");
    EXPECT_EQ(Copy().GetAutoDialUsername(), "dsl-nutzer");
    EXPECT_EQ(Control<QLineEdit>(1006)->text(), QStringLiteral("dsl-nutzer"));
    EXPECT_TRUE(OkEnabled());

    // The fixed item clears entry, user name and password and disables both fields.
    Choose(0);
    EXPECT_EQ(Copy().GetAutoDialConnection(), "");
    EXPECT_EQ(Copy().GetAutoDialUsername(), "");
    EXPECT_EQ(Copy().GetAutoDialPW(), "");
    EXPECT_EQ(Control<QLineEdit>(1006)->text(), QString());
    EXPECT_EQ(Control<QLineEdit>(1007)->text(), QString());
    EXPECT_FALSE(Control(1006)->isEnabled());
    EXPECT_FALSE(Control(1007)->isEnabled());

    // Typing the same text changes nothing.
    Open(Settings(1, "Mobilfunk"));
    Control<QLineEdit>(1006)->setText(QStringLiteral("kunde"));
    EXPECT_FALSE(OkEnabled());
    Control<QLineEdit>(1006)->setText(QStringLiteral("kundin"));
    EXPECT_EQ(Copy().GetAutoDialUsername(), "kundin");
    EXPECT_TRUE(OkEnabled());
}

TEST_F(AutoDialPageTest, TestWithoutADialSaysHowTheServerIsReached)
{
    velt::testing::TcpPeer server(velt::testing::TcpPeer::Mode::SendAndClose,
                                  "HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n");
    struct Case
    {
        const char* name;
        std::string entry;
        bool reachable;
        const char* caption;
        QMessageBox::Icon icon;
        const char* begins;
    };
    const Case cases[] = {
        {"platform dials, reached", "", true, "Hinweis", QMessageBox::Information,
         "Die Verbindung zum angegebenen Server besteht."},
        {"platform dials, not reached", "", false, "Fehler", QMessageBox::Critical,
         "Die Verbindung zum angegebenen Server konnte nicht aufgebaut werden.\nKennzeichnen Sie"},
        {"entry, but reached already", "Mobilfunk", true, "Hinweis", QMessageBox::Critical,
         "Die Verbindung zum angegebenen Server besteht bereits.\nTrennen Sie"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_boxes.clear();
        Open(Settings(1, c.entry, c.reachable ? server.url("/index.htm") : ClosedUrl()));
        Control<QPushButton>(1062)->click();
        ASSERT_EQ(m_boxes.size(), 1u);
        EXPECT_EQ(m_boxes[0].caption, QString::fromUtf8(c.caption));
        EXPECT_EQ(m_boxes[0].icon, c.icon);
        EXPECT_TRUE(m_boxes[0].text.startsWith(QString::fromUtf8(c.begins))) << m_boxes[0].text.toStdString();
        EXPECT_TRUE(m_nm.activeConnections().empty()) << "nothing is dialled";
        EXPECT_EQ(Copy().GetAutoDial(), 1);
    }
}

TEST_F(AutoDialPageTest, FailedTestDialSwitchesAutoDialOffAndEnablesOk)
{
    NetworkManagerMock::DialScript script;
    script.device = m_modem;
    script.steps = {40, 60, 70};
    script.password = "richtig";
    m_nm.setDialScript(m_gsm, script);
    Open(Settings(1, "Mobilfunk"));
    EXPECT_FALSE(OkEnabled());
    Control<QPushButton>(1062)->click();

    ASSERT_EQ(m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes[0].caption, QStringLiteral("Fehler")); // the dial dialog's
    EXPECT_EQ(m_boxes[1].caption, QStringLiteral("Anwahl-Prüfung"));
    EXPECT_EQ(m_boxes[1].icon, QMessageBox::Warning);
    EXPECT_EQ(m_boxes[1].text,
              QStringLiteral("Wenn die Verbindung nicht hergestellt werden kann, sollte auch die "
                             "automatische Anwahl deaktiviert werden."));
    EXPECT_EQ(Copy().GetAutoDial(), 0);
    EXPECT_FALSE(Control<QCheckBox>(1061)->isChecked());
    for (int id : {1063, 1006, 1007, 1062})
        EXPECT_FALSE(Control(id)->isEnabled()) << id;
    EXPECT_TRUE(OkEnabled());
    EXPECT_TRUE(m_nm.activeConnections().empty()) << "the failed dial was hung up";
}

TEST_F(AutoDialPageTest, SuccessfulTestDialAsksAndKeepsTheConnectionOnNo)
{
    NetworkManagerMock::DialScript script;
    script.device = m_modem;
    script.steps = {40, 70};
    m_nm.setDialScript(m_gsm, script);
    Open(Settings(1, "Mobilfunk"));
    Control<QPushButton>(1062)->click();
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].caption, QStringLiteral("Anwahl-Prüfung"));
    // The server stays closed: the dial worked, the server did not answer.
    EXPECT_TRUE(m_boxes[0].text.startsWith(
        QStringLiteral("Die DFÜ-Verbindung wurde erfolgreich aufgebaut, aber die Verbindung zum Server")));
    EXPECT_EQ(m_nm.activeConnections().size(), 1u) << "No keeps the connection";
    EXPECT_EQ(Copy().GetAutoDial(), 1);
    EXPECT_FALSE(OkEnabled());
}

} // namespace
