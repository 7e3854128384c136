#include "tarnwick/cycle/CycleServices.h"
#include "tarnwick/widgets/sheet/CPropSheetRedirectProperties.h"

#include "platform/profile/Profile.h"
#include "tarnwick/program/ComponentRegistration.h"
#include "tarnwick/resources/ServiceHost.h"
#include "tarnwick/resources/StringTable.h"
#include "tarnwick/transfer/CInternetTransfer.h"
#include "tarnwick/widgets/sheet/CPropPageBackupValues.h"
#include "tarnwick/widgets/sheet/CPropPageRedirectTo.h"
#include "tarnwick/widgets/sheet/FileChooser.h"
#include "tarnwick/widgets/sheet/UpDownControl.h"
#include "testing/FreeTcpPort.h"
#include "testing/NginxServer.h"
#include "testing/TcpPeer.h"
#include "testing/TempDir.h"
#include "testing/TempHome.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

using namespace tarnwick;

namespace {

const char* const kProgramDir = TARNWICK_PROGRAM_DIR "/";

// The sheet shown (not modal, so that the test drives it) over a settings
// record, in a throw-away home; message boxes are answered and recorded.
class SettingsSheetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(EnsureComponentRegistered(kProgramDir, &error)) << error;
        m_environment
            = {"http://127.0.0.1:" + std::to_string(velt::testing::FreeTcpPort()) + "/ip",
               m_programDir.path().string() + "/", "VELT Tarnwick", "1.4.44", std::make_shared<CycleServices>()};
        m_boxPoll.setInterval(20);
        QObject::connect(&m_boxPoll, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                if (m_escapeFirst && m_escaped != box) {
                    m_escaped = box; // answered at the next tick if Escape left it open
                    QTest::keyClick(box, Qt::Key_Escape);
                    return;
                }
                m_boxes << box->text();
                box->button(m_answer)->click();
            }
        });
        m_boxPoll.start();
    }

    CPropSheetRedirectProperties& Open(int page, const CRedirectSettings& settings = CRedirectSettings())
    {
        m_sheet
            = std::make_unique<CPropSheetRedirectProperties>(QStringLiteral("Optionen"), nullptr, page, m_environment);
        m_sheet->SetSettings(settings);
        m_sheet->show();
        return *m_sheet;
    }

    // The connection test answers when the service did: its box comes then.
    bool WaitForBoxes(qsizetype count)
    {
        return QTest::qWaitFor([&] { return m_boxes.size() >= count; }, 30000) && m_boxes.size() == count;
    }

    template<typename T = QWidget>
    T* Control(int page, int id)
    {
        return m_sheet->GetPage(page)->findChild<T*>(ControlObjectName(id));
    }
    QLineEdit* Field(int page, int id) { return Control<QLineEdit>(page, id); }
    bool OkEnabled() const { return m_sheet->OkButton()->isEnabled(); }
    // OK pressed: true when the sheet closed with OK.
    bool PressOk()
    {
        m_sheet->OkButton()->click();
        return !m_sheet->isVisible() && m_sheet->result() == QDialog::Accepted;
    }

    velt::testing::TempHome m_home;
    velt::testing::TempDir m_programDir;
    SheetEnvironment m_environment;
    std::unique_ptr<CPropSheetRedirectProperties> m_sheet;
    QTimer m_boxPoll;
    QMessageBox::StandardButton m_answer = QMessageBox::Ok;
    QStringList m_boxes;
    bool m_escapeFirst = false; // each box gets Escape before its answer
    QPointer<QMessageBox> m_escaped;
};

CRedirectSettings WithLocalServer(uint16_t port)
{
    CRedirectSettings settings;
    settings.SetLocalServerName("127.0.0.1");
    settings.SetLocalPort(port);
    settings.SetModified(0);
    return settings;
}

} // namespace

TEST_F(SettingsSheetTest, SevenPagesInTabOrderOpenedOnTheAskedTab)
{
    CPropSheetRedirectProperties& sheet = Open(CPropSheetRedirectProperties::kUpload);
    auto* tabs = sheet.findChild<QTabWidget*>(QStringLiteral("tabs"));
    ASSERT_EQ(tabs->count(), 7);
    const QStringList captions {QStringLiteral("Allgemein"),
                                QStringLiteral("Umleitung von..."),
                                QStringLiteral("Umleitung nach..."),
                                QStringLiteral("Hochladen..."),
                                QStringLiteral("Sicherung/Programmupdate..."),
                                QStringLiteral("Anwahl..."),
                                QStringLiteral("DNS-Name...")};
    for (int i = 0; i < tabs->count(); ++i)
        EXPECT_EQ(tabs->tabText(i), captions[i]);
    EXPECT_EQ(sheet.GetActiveIndex(), 3);
    EXPECT_TRUE(sheet.GetPage(3)->IsCreated());
    EXPECT_FALSE(sheet.GetPage(0)->IsCreated()); // a page is built when first shown
    EXPECT_EQ(sheet.findChild<QPushButton*>(QStringLiteral("idc_2"))->text(), QStringLiteral("Abbrechen"));
    EXPECT_EQ(sheet.findChild<QPushButton*>(QStringLiteral("idc_9"))->text(), QStringLiteral("Hilfe"));
    EXPECT_EQ(sheet.findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly).size(), 0);
    EXPECT_FALSE(Control(0, 1069)->whatsThis().isEmpty());

    EXPECT_EQ(Open(CPropSheetRedirectProperties::kAutoDial).GetActiveIndex(), 5);
    // An index the sheet does not offer opens the first page.
    EXPECT_EQ(Open(7).GetActiveIndex(), 0);
}

TEST_F(SettingsSheetTest, OkOnlyAfterARealChangeAndUncheckingKeepsIt)
{
    Open(CPropSheetRedirectProperties::kGeneral);
    EXPECT_FALSE(OkEnabled());
    EXPECT_FALSE(PressOk()); // Enter with OK disabled does nothing either
    auto* extended = Control<QCheckBox>(0, 1069);
    extended->click();
    EXPECT_TRUE(OkEnabled());
    extended->click();
    EXPECT_EQ(m_sheet->Settings().GetExtMessages(), 0);
    EXPECT_TRUE(OkEnabled());
    EXPECT_TRUE(PressOk());

    CRedirectSettings modified;
    modified.SetModified(1);
    Open(CPropSheetRedirectProperties::kGeneral, modified);
    EXPECT_TRUE(OkEnabled());
}

TEST_F(SettingsSheetTest, IntervalFieldTakesOnlyWhatTheSetterAccepts)
{
    Open(CPropSheetRedirectProperties::kGeneral);
    QLineEdit* interval = Field(0, 1017);
    EXPECT_EQ(interval->text(), QStringLiteral("2"));
    for (const char* ignored : {"", "0", "500"}) {
        interval->setText(QString::fromLatin1(ignored));
        EXPECT_EQ(m_sheet->Settings().GetWaitTimeInMin(), 2) << ignored;
    }
    EXPECT_FALSE(OkEnabled());
    interval->clear();
    QTest::keyClicks(interval, QStringLiteral("9x0"));
    EXPECT_EQ(interval->text(), QStringLiteral("90")); // digits only
    EXPECT_EQ(m_sheet->Settings().GetWaitTimeInMin(), 90);
    EXPECT_TRUE(OkEnabled());

    // The arrows stay within 1..60, whatever was typed.
    auto* arrows = Control<UpDownControl>(0, 1018);
    arrows->StepBy(1);
    EXPECT_EQ(interval->text(), QStringLiteral("60"));
    interval->setText(QStringLiteral("1"));
    arrows->StepBy(-1);
    EXPECT_EQ(interval->text(), QStringLiteral("1"));
}

TEST_F(SettingsSheetTest, ConnectionTestFailureClearsTheServerBoxAndEnablesOk)
{
    CRedirectSettings settings;
    settings.SetClientIpByServer(1);
    settings.SetModified(0);
    Open(CPropSheetRedirectProperties::kGeneral, settings);
    Control<QPushButton>(0, 1071)->click();
    ASSERT_TRUE(WaitForBoxes(1));
    EXPECT_TRUE(m_boxes[0].startsWith(QStringLiteral("Der Server ist nicht erreichbar!\nDie Client-IP-Adresse")));
    EXPECT_FALSE(Control<QCheckBox>(0, 1070)->isChecked());
    EXPECT_EQ(m_sheet->Settings().GetClientIpByServer(), 0);
    EXPECT_TRUE(OkEnabled());

    velt::testing::NginxServer nginx;
    m_environment.clientIpUrl = nginx.url("/Tarnwick/GetClientIP.asp?TextOnly=1");
    Open(CPropSheetRedirectProperties::kGeneral, settings);
    Control<QPushButton>(0, 1071)->click();
    ASSERT_TRUE(WaitForBoxes(2));
    EXPECT_EQ(m_boxes[1],
              QStringLiteral("Der Server ist erreichbar.\nDie Client-IP-Adresse sollte nur vom Server "
                             "abgeholt werden, wenn die direkte Ermittlung fehlschlägt."));
    EXPECT_TRUE(Control<QCheckBox>(0, 1070)->isChecked());

    // The cycle paused for the sheet was cancelled, and a step may still be ending: neither fails the test.
    CInternetTransfer& transfer = m_environment.services->m_transfer;
    std::thread step([&] {
        std::string page;
        transfer.GetPage(page, nginx.url("/slow/big.bin"));
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return transfer.IsBusy(); }, 5000));
    QTimer::singleShot(300, [&] { transfer.Cancel(true); });
    Control<QPushButton>(0, 1071)->click();
    const bool answered = WaitForBoxes(3);
    step.join();
    ASSERT_TRUE(answered);
    EXPECT_TRUE(m_boxes[2].startsWith(QStringLiteral("Der Server ist erreichbar.")));
}

TEST_F(SettingsSheetTest, AddressWithoutPageNameKeepsTheSheetOnItsTab)
{
    for (const char* refused : {"http://www.example.org/", "http://www.example.org", "ftp://www.example.org/a.htm",
                                "http://www.example.org/verzeichnis", ""}) {
        m_boxes.clear();
        CPropSheetRedirectProperties& sheet = Open(CPropSheetRedirectProperties::kRedirectFrom);
        Field(1, 1049)->setText(QString::fromLatin1(refused));
        sheet.SetActivePage(CPropSheetRedirectProperties::kBackup);
        EXPECT_FALSE(PressOk()) << refused;
        EXPECT_EQ(sheet.GetActiveIndex(), CPropSheetRedirectProperties::kRedirectFrom) << refused;
        EXPECT_EQ(m_boxes,
                  QStringList {QStringLiteral("Es wurde kein Webseitenname mit angegeben.\nTragen Sie den "
                                              "Namen der Webseite am Ende der Internetadresse ein.")});
    }
    Open(CPropSheetRedirectProperties::kRedirectFrom);
    Field(1, 1049)->setText(QStringLiteral("http://www.example.org/start.htm"));
    EXPECT_TRUE(PressOk());
    EXPECT_EQ(m_sheet->Settings().GetRedirectUrl(), "http://www.example.org/start.htm");

    // With the page off and a DNS name kept current instead, the rule does not hold OK back.
    CRedirectSettings nameOnly;
    nameOnly.SetDnsUpdate(1);
    nameOnly.SetRedirectPage(0);
    m_boxes.clear();
    Open(CPropSheetRedirectProperties::kRedirectFrom, nameOnly);
    Field(1, 1049)->setText(QStringLiteral("http://www.example.org/"));
    EXPECT_TRUE(PressOk());
    EXPECT_TRUE(m_boxes.isEmpty()) << m_boxes.join(QStringLiteral("|")).toStdString();
}

TEST_F(SettingsSheetTest, ProtocolChoiceSetsThePortAndTheAddressShowsIt)
{
    CRedirectSettings unknown = WithLocalServer(8080);
    unknown.SetLocalServiceType(2);
    Open(CPropSheetRedirectProperties::kRedirectTo, unknown);
    EXPECT_EQ(Control<QComboBox>(2, 1033)->currentIndex(), -1);
    EXPECT_EQ(Field(2, 1030)->text(), QString()); // no address for an unknown protocol

    Open(CPropSheetRedirectProperties::kRedirectTo, WithLocalServer(8080));
    EXPECT_EQ(Field(2, 1030)->text(), QStringLiteral("http://127.0.0.1:8080/"));
    auto* protocol = Control<QComboBox>(2, 1033);
    protocol->setCurrentIndex(0);
    Q_EMIT protocol->activated(0);
    EXPECT_EQ(Field(2, 1028)->text(), QStringLiteral("21"));
    EXPECT_EQ(m_sheet->Settings().GetLocalServiceType(), 1);
    EXPECT_EQ(Field(2, 1030)->text(), QStringLiteral("ftp://127.0.0.1/"));
    protocol->setCurrentIndex(1);
    Q_EMIT protocol->activated(1);
    EXPECT_EQ(m_sheet->Settings().GetLocalPort(), 80);
    EXPECT_EQ(Field(2, 1030)->text(), QStringLiteral("http://127.0.0.1/"));

    // Typed ports outside the field's range or half-typed ones keep the last good port.
    Field(2, 1028)->setText(QStringLiteral("70000"));
    EXPECT_EQ(m_sheet->Settings().GetLocalPort(), 80);
    Field(2, 1028)->clear();
    EXPECT_EQ(m_sheet->Settings().GetLocalPort(), 80);
}

// The family beside the protocol; the identifier only with IPv6, and only a
// valid one is taken (OK refuses the rest and keeps the page).
TEST_F(SettingsSheetTest, Ipv6ChoiceAndInterfaceIdentifier)
{
    velt::testing::TcpPeer server(velt::testing::TcpPeer::Mode::Silent);
    CRedirectSettings settings = WithLocalServer(server.port());
    settings.SetLocalServerName("2001:DB8:0:0:0:0:0:10");
    settings.SetModified(0);
    Open(CPropSheetRedirectProperties::kRedirectTo, settings);
    EXPECT_EQ(Field(2, 1030)->text(), QStringLiteral("http://[2001:db8::10]:%1/").arg(server.port()));
    auto* family = Control<QComboBox>(2, 1076);
    EXPECT_EQ(family->currentIndex(), 0);
    EXPECT_FALSE(Field(2, 1077)->isEnabled());
    family->setCurrentIndex(1);
    Q_EMIT family->activated(1);
    EXPECT_EQ(m_sheet->Settings().GetAddressFamily(), 6);
    EXPECT_TRUE(Field(2, 1077)->isEnabled());
    EXPECT_TRUE(OkEnabled());

    Field(2, 1077)->setText(QStringLiteral("::99"));
    Field(2, 1077)->setText(QStringLiteral("1::99"));
    EXPECT_EQ(m_sheet->Settings().GetIpv6InterfaceId(), "::99");
    m_sheet->SetActivePage(0);
    EXPECT_FALSE(PressOk());
    EXPECT_EQ(m_sheet->GetActiveIndex(), 2);
    ASSERT_EQ(m_boxes.size(), 1);
    EXPECT_TRUE(m_boxes[0].contains(QStringLiteral("keine IPv6-Schnittstellenkennung"))) << m_boxes[0].toStdString();
    EXPECT_EQ(Field(2, 1077)->text(), QStringLiteral("::99")); // shown again as stored

    family->setCurrentIndex(0);
    Q_EMIT family->activated(0);
    EXPECT_EQ(m_sheet->Settings().GetAddressFamily(), 4);
    EXPECT_FALSE(Field(2, 1077)->isEnabled());
}

TEST_F(SettingsSheetTest, TickedServerCheckTestsAfterChangesAndActivations)
{
    velt::testing::TcpPeer server(velt::testing::TcpPeer::Mode::Silent);
    CPropSheetRedirectProperties& sheet = Open(CPropSheetRedirectProperties::kRedirectTo, WithLocalServer(1));
    auto* page = static_cast<CPropPageRedirectTo*>(sheet.GetPage(2));
    Field(2, 1028)->setText(QString::number(server.port()));
    EXPECT_EQ(page->TestsRun(), 0); // not asked to
    Control<QCheckBox>(2, 1038)->click();
    EXPECT_EQ(page->TestsRun(), 1);
    EXPECT_EQ(Control<QPlainTextEdit>(2, 1037)->toPlainText(),
              QStringLiteral("Server 127.0.0.1 auf Port %1 ist betriebsbereit.").arg(server.port()));

    // The programmatic port change tests, and the choice tests once more.
    Q_EMIT Control<QComboBox>(2, 1033)->activated(1);
    EXPECT_EQ(page->TestsRun(), 3);
    EXPECT_TRUE(Control<QPlainTextEdit>(2, 1037)->toPlainText().startsWith(
        QStringLiteral("Server 127.0.0.1 auf Port 80 ist nicht erreichbar!\n")));
    sheet.SetActivePage(0);
    sheet.SetActivePage(2);
    EXPECT_EQ(page->TestsRun(), 4);
}

TEST_F(SettingsSheetTest, UnreachableServerAtOkAsksAndYesKeepsTheSheetOpen)
{
    Open(CPropSheetRedirectProperties::kRedirectTo);
    EXPECT_FALSE(Control(2, 1038)->isEnabled()); // no local address discovered yet
    Field(2, 1031)->setText(QStringLiteral("web"));
    EXPECT_EQ(m_sheet->Settings().GetLocalWebObject(), "/web");
    m_answer = QMessageBox::Yes;
    m_escapeFirst = true; // Escape is no answer: only Yes or No closes the question
    EXPECT_FALSE(PressOk());
    EXPECT_EQ(Control<QPlainTextEdit>(2, 1037)->toPlainText(),
              QStringLiteral("Die Verbindung zum Server muss bestehen, um den Test durchzuführen."));
    m_sheet->SetActivePage(0);
    EXPECT_FALSE(PressOk());
    EXPECT_EQ(m_sheet->GetActiveIndex(), 2);
    ASSERT_EQ(m_boxes.size(), 2);
    EXPECT_EQ(m_boxes[1],
              QStringLiteral("Der lokale Server ist nicht erreichbar.\nWollen Sie ein anderes Protokoll "
                             "oder einen anderen Port einstellen?"));
    m_answer = QMessageBox::No;
    EXPECT_TRUE(PressOk());
}

TEST_F(SettingsSheetTest, PasswordConfirmationAcrossLeavingAndReturning)
{
    CRedirectSettings settings;
    settings.SetPassword("Geheim");
    settings.SetModified(0);
    Open(CPropSheetRedirectProperties::kUpload, settings);
    Field(3, 1052)->setText(QStringLiteral("ftp.example.org"));
    EXPECT_TRUE(PressOk()); // an untouched password passes

    Open(CPropSheetRedirectProperties::kUpload, settings);
    Field(3, 1007)->setText(QStringLiteral("geheim"));
    m_sheet->SetActivePage(4);
    EXPECT_FALSE(PressOk());
    EXPECT_EQ(m_sheet->GetActiveIndex(), 3);
    EXPECT_EQ(m_boxes,
              QStringList {QStringLiteral("Das Passwort wurde nicht richtig bestätigt!\nGeben Sie es "
                                          "erneut ein.")});
    // Coming back refills the confirmation with what the password field stored.
    EXPECT_EQ(Field(3, 1051)->text(), QStringLiteral("geheim"));
    EXPECT_TRUE(PressOk());
    EXPECT_EQ(m_sheet->Settings().GetPassword(), "geheim");

    // Leaving the confirmation field checks at once.
    m_boxes.clear();
    Open(CPropSheetRedirectProperties::kUpload, settings);
    m_sheet->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_sheet.get()));
    Field(3, 1007)->setText(QStringLiteral("anders"));
    Field(3, 1051)->setFocus(Qt::TabFocusReason);
    Field(3, 1006)->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(m_boxes.size(), 1);
}

TEST_F(SettingsSheetTest, UploadProtocolAndTemplateDialog)
{
    CRedirectSettings settings;
    settings.SetUploadServiceType(2);
    settings.SetModified(0);
    Open(CPropSheetRedirectProperties::kUpload, settings);
    auto* protocol = Control<QComboBox>(3, 1056);
    EXPECT_EQ(protocol->currentIndex(), -1);
    Q_EMIT protocol->activated(1);
    EXPECT_EQ(Field(3, 1053)->text(), QStringLiteral("80"));
    EXPECT_EQ(m_sheet->Settings().GetUploadPort(), 80);
    EXPECT_EQ(m_sheet->Settings().GetUploadServiceType(), 3);
    Q_EMIT protocol->activated(0);
    EXPECT_EQ(m_sheet->Settings().GetUploadPort(), 21);
    Field(3, 1053)->setText(QStringLiteral("0")); // below the field's range
    EXPECT_EQ(m_sheet->Settings().GetUploadPort(), 21);

    std::vector<FileDialogRequest> requests;
    std::optional<QString> answer;
    ScopedFileChooser chooser([&](QWidget*, const FileDialogRequest& request) {
        requests.push_back(request);
        return answer;
    });
    Control<QPushButton>(3, 1044)->click();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].initialPath,
              QString::fromStdString(m_environment.programDirectory) + QStringLiteral("index.htm"));
    EXPECT_EQ(requests[0].defaultSuffix, QStringLiteral("htm"));
    EXPECT_EQ(requests[0].kind, FileDialogRequest::Kind::OpenExisting);
    EXPECT_TRUE(requests[0].filter.startsWith(QStringLiteral("Webseiten (")));
    EXPECT_EQ(m_sheet->Settings().GetUploadFile(), ""); // cancelled: nothing changes
    answer = QStringLiteral("/srv/vorlagen/seite.htm");
    Control<QPushButton>(3, 1044)->click();
    EXPECT_EQ(m_sheet->Settings().GetUploadFile(), "/srv/vorlagen/seite.htm");
}

TEST_F(SettingsSheetTest, ReadingABackupEnablesOkEvenForEqualValues)
{
    CRedirectSettings settings;
    const std::string saved = (m_programDir.path() / "gleich.bak").string();
    ASSERT_TRUE(settings.SaveToBackupFile(saved));
    const std::string windows = (m_programDir.path() / "windows.bak").string();
    std::ofstream(windows, std::ios::binary) << "[Options]\r\nUploadServer=M\xfcller.example\r\nRedirectUrl="
                                                "http://m\xfcller.example/index.htm\r\nUploadPort=2121\r\n";
    std::optional<QString> answer;
    std::vector<FileDialogRequest> requests;
    ScopedFileChooser chooser([&](QWidget*, const FileDialogRequest& request) {
        requests.push_back(request);
        return answer;
    });
    Open(CPropSheetRedirectProperties::kBackup, settings);
    auto* read = Control<QPushButton>(4, 1059);
    read->click(); // cancelled
    EXPECT_FALSE(OkEnabled());
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].initialPath, QString::fromStdString(platform::profile::ResolveProfilePath("values.bak")));
    EXPECT_EQ(requests[0].defaultSuffix, QStringLiteral("bak"));

    answer = QString::fromStdString(saved);
    read->click();
    EXPECT_TRUE(OkEnabled());
    EXPECT_EQ(m_sheet->Settings().GetBackupFile(), "values.bak"); // the file read does not become the backup file

    answer = QString::fromStdString(windows);
    read->click();
    EXPECT_EQ(m_sheet->Settings().GetUploadServer(), "Müller.example");
    EXPECT_EQ(m_sheet->Settings().GetUploadPort(), 2121);
    EXPECT_TRUE(m_boxes.isEmpty());

    // A folder is no backup file: the values stay, and the user is told.
    answer = QString::fromStdString(m_programDir.path().string());
    read->click();
    EXPECT_EQ(m_sheet->Settings().GetUploadServer(), "Müller.example");
    ASSERT_EQ(m_boxes.size(), 1);
    EXPECT_TRUE(m_boxes[0].contains(QStringLiteral("konnte nicht als Sicherungsdatei gelesen werden")));

    answer = QString::fromStdString((m_programDir.path() / "neu.bak").string());
    Control<QPushButton>(4, 1044)->click();
    EXPECT_EQ(requests.back().kind, FileDialogRequest::Kind::Save);
    EXPECT_EQ(Field(4, 1046)->text(), *answer);
    EXPECT_EQ(m_sheet->Settings().GetBackupFile(), answer->toStdString());
}

TEST_F(SettingsSheetTest, UpgradeStarterMissingThenStartedClosesAsCancel)
{
    CPropSheetRedirectProperties& sheet = Open(CPropSheetRedirectProperties::kBackup);
    auto* page = static_cast<CPropPageBackupValues*>(sheet.GetPage(4));
    EXPECT_FALSE(Control(4, 1048)->isEnabled());
    page->StartUpgrade();
    EXPECT_EQ(m_boxes,
              QStringList {QStringLiteral("Fehler beim Starten des VELT Online-Update-Starters "
                                          "(Kestrup.exe)!")});
    EXPECT_TRUE(sheet.isVisible());

    // A stand-in that writes down how it was started.
    const std::filesystem::path program = m_programDir.path() / "kestrup";
    const std::filesystem::path record = m_programDir.path() / "started.txt";
    std::ofstream(program) << "#!/bin/sh\n{ printf '%s\\n' \"$@\"; pwd; } > started.tmp && mv started.tmp "
                              "started.txt\n";
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    Field(4, 1046)->setText(QStringLiteral("anders.bak"));
    ASSERT_TRUE(OkEnabled());
    page->StartUpgrade();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !sheet.isVisible(); }, 5000));
    EXPECT_EQ(sheet.result(), QDialog::Rejected);
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(record); }, 5000));
    std::ifstream in(record);
    const std::string started((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(started,
              "msidlfile=/Download/TWSetup.msi\npr=\"VELT Tarnwick\"\nv=1.4.44\n" + m_programDir.path().string()
                  + "\n");
}

TEST_F(SettingsSheetTest, TlsBesideTheProtocolMovesOnlyHttpsUsualPort)
{
    CRedirectSettings settings;
    settings.SetUploadTls(1);
    settings.SetModified(0);
    Open(CPropSheetRedirectProperties::kUpload, settings);
    auto* tls = Control<QCheckBox>(3, 1074);
    ASSERT_NE(tls, nullptr);
    EXPECT_TRUE(tls->isChecked()); // filled from the record, without touching the port
    EXPECT_EQ(Field(3, 1053)->text(), QStringLiteral("21"));
    EXPECT_FALSE(tls->whatsThis().isEmpty());
    EXPECT_FALSE(OkEnabled());

    auto* protocol = Control<QComboBox>(3, 1056);
    Q_EMIT protocol->activated(1); // http with TLS: https's port
    EXPECT_EQ(m_sheet->Settings().GetUploadPort(), 443);
    tls->click();
    EXPECT_EQ(m_sheet->Settings().GetUploadTls(), 0);
    EXPECT_EQ(Field(3, 1053)->text(), QStringLiteral("80"));
    Field(3, 1053)->setText(QStringLiteral("8080")); // the user's own port stays
    tls->click();
    EXPECT_EQ(m_sheet->Settings().GetUploadPort(), 8080);
    Q_EMIT protocol->activated(0); // FTP over TLS keeps 21
    EXPECT_EQ(m_sheet->Settings().GetUploadPort(), 21);
    EXPECT_EQ(m_sheet->Settings().GetUploadTls(), 1);
    EXPECT_TRUE(OkEnabled());
    EXPECT_TRUE(PressOk());
}

// The address service's host: typed on the general page, stored with OK only, never in the backup file.
TEST_F(SettingsSheetTest, ServiceHostFieldStoresWithOkOnly)
{
    const auto stored = [] { return resources::ServiceHost(); };
    const std::string builtIn(resources::BuiltInServiceHost());
    Open(CPropSheetRedirectProperties::kGeneral);
    QLineEdit* host = Field(0, 1075);
    ASSERT_NE(host, nullptr);
    EXPECT_FALSE(host->whatsThis().isEmpty());
    EXPECT_EQ(host->text(), QString());
    EXPECT_EQ(host->placeholderText(), QString::fromStdString(builtIn));

    QTest::keyClicks(host, QStringLiteral("dienst.example:8080"));
    EXPECT_TRUE(OkEnabled());
    m_sheet->reject();
    EXPECT_EQ(stored(), builtIn) << "Cancel discards it";

    // A host that --set would refuse keeps the sheet open on its page.
    Open(CPropSheetRedirectProperties::kGeneral);
    QTest::keyClicks(Field(0, 1075), QStringLiteral("kein host/"));
    m_sheet->SetActivePage(CPropSheetRedirectProperties::kUpload);
    EXPECT_FALSE(PressOk());
    EXPECT_EQ(m_sheet->GetActiveIndex(), 0);
    ASSERT_EQ(m_boxes.size(), 1);
    EXPECT_TRUE(m_boxes[0].startsWith(QStringLiteral("Ungültiger VELT-Server: \"kein host/\".")))
        << m_boxes[0].toStdString();
    Field(0, 1075)->clear();
    QTest::keyClicks(Field(0, 1075), QStringLiteral(" dienst.example:8080 "));
    EXPECT_TRUE(PressOk());
    EXPECT_EQ(stored(), "dienst.example:8080");
    EXPECT_EQ(resources::LoadString(resources::IDS_CLIENT_IP_URL),
              "http://dienst.example:8080/Tarnwick/GetClientIP.asp?TextOnly=1");
    const std::string backup = m_programDir.file("values.bak");
    ASSERT_TRUE(m_sheet->Settings().SaveToBackupFile(backup));
    EXPECT_EQ(velt::testing::ReadTextFile(backup).find("dienst.example"), std::string::npos);

    // Shown again; emptied, the built-in host applies.
    Open(CPropSheetRedirectProperties::kGeneral);
    EXPECT_EQ(Field(0, 1075)->text(), QStringLiteral("dienst.example:8080"));
    QTest::keyClick(Field(0, 1075), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(Field(0, 1075), Qt::Key_Delete);
    EXPECT_TRUE(PressOk());
    EXPECT_EQ(stored(), builtIn);
}

// The connection test asks the host typed in the field, before OK.
TEST_F(SettingsSheetTest, ConnectionTestAsksTheTypedHost)
{
    velt::testing::NginxServer nginx;
    Open(CPropSheetRedirectProperties::kGeneral);
    const QString hostAndPort = QUrl(QString::fromStdString(nginx.url("/"))).authority();
    QTest::keyClicks(Field(0, 1075), hostAndPort);
    Control<QPushButton>(0, 1071)->click();
    ASSERT_TRUE(WaitForBoxes(1));
    EXPECT_TRUE(m_boxes[0].startsWith(QStringLiteral("Der Server ist erreichbar."))) << m_boxes[0].toStdString();
}

// Return presses the focused push button; OK only while no push button has the focus.
TEST_F(SettingsSheetTest, ReturnPressesTheFocusedButton)
{
    Open(CPropSheetRedirectProperties::kGeneral);
    Control<QCheckBox>(0, 1069)->click(); // OK available
    // The key goes where the focus would send it.
    QTest::keyClick(Control(0, 1071), Qt::Key_Return);
    ASSERT_TRUE(WaitForBoxes(1)) << "the connection test ran";
    EXPECT_TRUE(m_sheet->isVisible()) << "OK was not pressed";
    QTest::keyClick(Field(0, 1017), Qt::Key_Return);
    EXPECT_FALSE(m_sheet->isVisible());
    EXPECT_EQ(m_sheet->result(), QDialog::Accepted);
}
