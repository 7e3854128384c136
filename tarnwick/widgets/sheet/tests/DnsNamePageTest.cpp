// The page "DNS-Name..." on the offscreen platform: what OK takes and refuses,
// which fields each kind offers, and the check against a real BIND 9.
#include "tarnwick/widgets/sheet/CPropSheetRedirectProperties.h"

#include "tarnwick/dns/tests/BindServer.h"
#include "tarnwick/settings/SettingsFieldTable.h"
#include "tarnwick/widgets/sheet/CSettingsPage.h"
#include "tarnwick/widgets/sheet/DnsNamePageIds.h"
#include "testing/TempDir.h"
#include "testing/TempHome.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace tarnwick;
using tarnwick::testing::BindServer;

namespace {

constexpr int kPage = CPropSheetRedirectProperties::kDnsName;
constexpr const char* kPassword = "Dyn-Passwort-7319";

class DnsNamePageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_poll.setInterval(20);
        QObject::connect(&m_poll, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                m_boxes.push_back({box->windowTitle(), box->text()});
                box->button(QMessageBox::Ok)->click();
            }
        });
        m_poll.start();
    }

    void Open(int page, const CRedirectSettings& settings)
    {
        m_boxes.clear();
        m_sheet = std::make_unique<CPropSheetRedirectProperties>(
            QStringLiteral("Optionen"), nullptr, page,
            SheetEnvironment {"", m_dir.path().string() + "/", "T", "1", {}});
        m_sheet->SetSettings(settings);
        m_sheet->show();
    }

    template<typename T = QWidget>
    T* Control(int id)
    {
        return m_sheet->GetPage(kPage)->findChild<T*>(ControlObjectName(id));
    }
    void ChooseKind(int kind)
    {
        auto* list = Control<QComboBox>(kIdcDnsKind);
        list->setCurrentIndex(kind);
        Q_EMIT list->activated(kind); // as the user's choice reports it
    }
    std::string Stored(const char* name) { return FindSettingsField(name)->get(m_sheet->Settings()); }
    bool WaitForBoxes(size_t count)
    {
        return QTest::qWaitFor([&] { return m_boxes.size() >= count; }, 30000) && m_boxes.size() == count;
    }

    struct Box
    {
        QString caption;
        QString text;
    };

    velt::testing::TempHome m_home;
    velt::testing::TempDir m_dir;
    std::unique_ptr<CPropSheetRedirectProperties> m_sheet;
    QTimer m_poll;
    std::vector<Box> m_boxes;
};

struct Typed
{
    int id;
    const char* text;
};

struct PageCase
{
    const char* what;
    int kind;
    std::vector<Typed> typed;
    bool pageOn = true; // "Umleitungsseite prüfen und hochladen"
    bool pageNamed = true; // the redirect address names the page's file
    // Refused: the page the sheet stays on and how the box begins; accepted: the values in the copy.
    int refusedOn = CPropSheetRedirectProperties::kDnsName;
    const char* boxStart = nullptr;
    std::vector<std::pair<const char*, const char*>> stored = {};
    const char* storedPassword = ""; // what the record holds before
};

} // namespace

TEST_F(DnsNamePageTest, OkTakesWhatTheCommandLineTakesAndEachKindItsFields)
{
    const char* name = "heim.example.org";
    const std::vector<PageCase> cases = {
        {.what = "update service",
         .kind = 1,
         .typed = {{kIdcDnsName, name},
                   {kIdcDnsServer, "dyn.example.net"},
                   {kIdcDnsUser, "kunde"},
                   {kIdcDnsPassword, kPassword},
                   {kIdcDnsPasswordConfirm, kPassword}},
         .stored = {{"DnsUpdate", "1"},
                    {"DnsName", name},
                    {"DnsServer", "dyn.example.net"},
                    {"DnsUser", "kunde"},
                    {"DnsPassword", kPassword},
                    {"RedirectPage", "1"}}},
        {.what = "own server, page off without a page name",
         .kind = 2,
         .typed = {{kIdcDnsName, "heim.example.org."},
                   {kIdcDnsServer, "[2001:db8::53]:5353"},
                   {kIdcDnsKey, BindServer::kKey512},
                   {kIdcDnsCheckServer, "ns1.example.org"}},
         .pageOn = false,
         .pageNamed = false,
         .stored = {{"DnsUpdate", "2"},
                    {"DnsKey", BindServer::kKey512},
                    {"DnsCheckServer", "ns1.example.org"},
                    {"RedirectPage", "0"}}},
        {.what = "stored password left untouched",
         .kind = 1,
         .typed = {{kIdcDnsName, name}, {kIdcDnsServer, "dyn.example.net"}},
         .stored = {{"DnsPassword", kPassword}},
         .storedPassword = kPassword},
        {.what = "switched off",
         .kind = 0,
         .typed = {{kIdcDnsName, "alt.example.org"}},
         .stored = {{"DnsUpdate", "0"}}},
        {.what = "page on still wants its name",
         .kind = 2,
         .typed = {{kIdcDnsName, name}, {kIdcDnsServer, "ns.example.org"}, {kIdcDnsKey, BindServer::kKey256}},
         .pageNamed = false,
         .refusedOn = CPropSheetRedirectProperties::kRedirectFrom,
         .boxStart = "Es wurde kein Webseitenname mit angegeben."},
        {.what = "name not fully qualified",
         .kind = 1,
         .typed = {{kIdcDnsName, "heim"}, {kIdcDnsServer, "dyn.example.net"}},
         .boxStart = "Ungültiger Wert für DnsName: \"heim\" ist kein vollständiger"},
        {.what = "key that does not parse",
         .kind = 2,
         .typed = {{kIdcDnsName, name}, {kIdcDnsServer, "ns.example.org"}, {kIdcDnsKey, "hmac-md5:k:c2VjcmV0"}},
         .boxStart = "Ungültiger Wert für DnsKey: Der Schlüssel hat nicht"},
        {.what = "port 0",
         .kind = 2,
         .typed = {{kIdcDnsName, name}, {kIdcDnsServer, "ns.example.org:0"}},
         .boxStart = "Ungültiger Wert für DnsServer: \"ns.example.org:0\" ist kein Host"},
        {.what = "no server",
         .kind = 1,
         .typed = {{kIdcDnsName, name}},
         .boxStart = "Für den DNS-Namen fehlen Angaben."},
        {.what = "confirmation differs",
         .kind = 1,
         .typed = {{kIdcDnsName, name},
                   {kIdcDnsServer, "dyn.example.net"},
                   {kIdcDnsPassword, kPassword},
                   {kIdcDnsPasswordConfirm, "anders"}},
         .boxStart = "Das Passwort wurde nicht richtig bestätigt!"},
    };
    for (const PageCase& row : cases) {
        SCOPED_TRACE(row.what);
        CRedirectSettings settings;
        settings.SetRedirectUrl(row.pageNamed ? "http://www.example.org/index.htm" : "http://www.example.org/");
        settings.SetDnsUpdate(row.kind == 0 ? 1 : 0);
        settings.SetDnsPassword(row.storedPassword);
        settings.SetModified(0);
        Open(CPropSheetRedirectProperties::kRedirectFrom, settings);
        m_sheet->SetActivePage(kPage);
        ChooseKind(row.kind);
        for (const Typed& typed : row.typed)
            Control<QLineEdit>(typed.id)->setText(QString::fromUtf8(typed.text));
        if (!row.pageOn)
            Control<QCheckBox>(kIdcRedirectPage)->click();

        // Only the kind's fields take input.
        const std::pair<int, bool> enabled[] = {
            {kIdcDnsName, row.kind != 0},        {kIdcDnsServer, row.kind != 0},
            {kIdcDnsCheckServer, row.kind != 0}, {kIdcRedirectPage, row.kind != 0},
            {kIdcDnsCheckNow, row.kind != 0},    {kIdcDnsUser, row.kind == 1},
            {kIdcDnsPassword, row.kind == 1},    {kIdcDnsPasswordConfirm, row.kind == 1},
            {kIdcDnsKey, row.kind == 2},
        };
        for (const auto& [id, on] : enabled)
            EXPECT_EQ(Control(id)->isEnabled(), on) << id;
        EXPECT_FALSE(Control(kIdcDnsKind)->whatsThis().isEmpty());

        // Without the page its address has nothing to say.
        m_sheet->SetActivePage(CPropSheetRedirectProperties::kRedirectFrom);
        EXPECT_EQ(m_sheet->GetPage(CPropSheetRedirectProperties::kRedirectFrom)
                      ->findChild<QLineEdit*>(ControlObjectName(1049))
                      ->isEnabled(),
                  row.pageOn);
        m_sheet->SetActivePage(CPropSheetRedirectProperties::kGeneral);
        ASSERT_TRUE(m_sheet->OkButton()->isEnabled());
        m_sheet->OkButton()->click();
        if (row.boxStart) {
            EXPECT_TRUE(m_sheet->isVisible());
            EXPECT_EQ(m_sheet->GetActiveIndex(), row.refusedOn);
            ASSERT_EQ(m_boxes.size(), 1u);
            EXPECT_EQ(m_boxes[0].caption, QStringLiteral("Fehler"));
            EXPECT_TRUE(m_boxes[0].text.startsWith(QString::fromUtf8(row.boxStart))) << m_boxes[0].text.toStdString();
            continue;
        }
        EXPECT_EQ(m_sheet->result(), QDialog::Accepted);
        EXPECT_TRUE(m_boxes.empty()) << m_boxes[0].text.toStdString();
        for (const auto& [name, value] : row.stored)
            EXPECT_EQ(Stored(name), value) << name;
    }
}

// "Jetzt prüfen" asks with what the page shows, before OK, and the sheet goes on meanwhile.
TEST_F(DnsNamePageTest, CheckNowShowsWhatTheAuthoritativeServerPublishes)
{
    BindServer bind;
    if (!bind.available())
        GTEST_SKIP() << bind.skipReason();
    CRedirectSettings settings;
    settings.SetDnsUpdate(2);
    settings.SetModified(0);
    Open(kPage, settings);
    const struct
    {
        const char* name;
        const char* caption;
        std::vector<const char*> contains;
    } checks[] = {
        {"home.example.test", "DNS-Name", {"home.example.test", "IPv4 (A): 192.0.2.1", "IPv6 (AAAA): 2001:db8::1"}},
        {"home.elsewhere.test", "Fehler", {"Der DNS-Name home.elsewhere.test konnte nicht geprüft werden"}},
    };
    for (const auto& check : checks) {
        SCOPED_TRACE(check.name);
        m_boxes.clear();
        Control<QLineEdit>(kIdcDnsName)->setText(QString::fromUtf8(check.name));
        Control<QLineEdit>(kIdcDnsCheckServer)->setText(QString::fromStdString(bind.endpoint()));
        Control<QPushButton>(kIdcDnsCheckNow)->click();
        ASSERT_TRUE(WaitForBoxes(1));
        EXPECT_EQ(m_boxes[0].caption, QString::fromUtf8(check.caption));
        for (const char* part : check.contains)
            EXPECT_TRUE(m_boxes[0].text.contains(QString::fromUtf8(part))) << m_boxes[0].text.toStdString();
        EXPECT_TRUE(Control(kIdcDnsCheckNow)->isEnabled());
    }
    EXPECT_EQ(m_sheet->Settings().GetDnsName(), "home.elsewhere.test"); // the copy, not the store
}
