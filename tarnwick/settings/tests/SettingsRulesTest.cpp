#include "tarnwick/settings/SettingsRules.h"
#include "tarnwick/settings/CRedirectSettings.h"
#include "tarnwick/settings/RedirectAddressNormalisation.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tarnwick;

TEST(SettingsRules, NumberFieldsReadTypedText)
{
    struct Case
    {
        const char* text;
        int number; // what the interval field hands on
        std::optional<uint16_t> localPort; // range 0..65535
        std::optional<uint16_t> uploadPort; // range 1..65535
    };
    const Case cases[] = {
        {"", 0, std::nullopt, std::nullopt},
        {"abc", 0, std::nullopt, std::nullopt},
        {"0", 0, 0, std::nullopt},
        {"90", 90, 90, 90},
        {"65535", 65535, 65535, 65535},
        // 16 bits would make 4464 of it: an overlong entry must not become another port
        {"70000", 70000, std::nullopt, std::nullopt},
        {"99999999999", 0, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        const QString text = QString::fromLatin1(c.text);
        EXPECT_EQ(FieldNumber(text), c.number) << c.text;
        EXPECT_EQ(FieldPort(text, 0), c.localPort) << c.text;
        EXPECT_EQ(FieldPort(text, 1), c.uploadPort) << c.text;
    }
}

TEST(SettingsRules, ProtocolListsMapToServiceTypesAndDefaultPorts)
{
    EXPECT_EQ(ProtocolIndexForServiceType(1), 0);
    EXPECT_EQ(ProtocolIndexForServiceType(3), 1);
    EXPECT_EQ(ProtocolIndexForServiceType(2), -1);
    ASSERT_TRUE(ProtocolForIndex(0));
    EXPECT_EQ(ProtocolForIndex(0)->serviceType, 1);
    EXPECT_EQ(ProtocolForIndex(0)->port, 21);
    ASSERT_TRUE(ProtocolForIndex(1));
    EXPECT_EQ(ProtocolForIndex(1)->serviceType, 3);
    EXPECT_EQ(ProtocolForIndex(1)->port, 80);
    EXPECT_FALSE(ProtocolForIndex(-1));
    EXPECT_FALSE(ProtocolForIndex(2));
}

TEST(SettingsRules, UpgradeStarterGetsTheTitleInQuotesAndTheVersionWithout)
{
    EXPECT_EQ(UpgradeProgram("/opt/tarnwick/bin/"), QStringLiteral("/opt/tarnwick/bin/kestrup"));
    const QStringList expected {QStringLiteral("msidlfile=/Download/TWSetup.msi"),
                                QStringLiteral("pr=\"VELT Tarnwick\""), QStringLiteral("v=1.4.44")};
    EXPECT_EQ(UpgradeArguments("VELT Tarnwick", "1.4.44"), expected);
}

TEST(SettingsRules, TemplateDialogStartsBesideTheProgramWithTheNamesSuffix)
{
    struct Case
    {
        const char* templateText;
        const char* pageName;
        const char* path;
        const char* suffix;
    };
    const Case cases[] = {
        {"", "index.htm", "/prog/bin/index.htm", "htm"},
        {"vorlage.asp", "index.htm", "/prog/bin/vorlage.asp", "asp"},
        {"/home/u/seite.php", "index.htm", "/home/u/seite.php", "php"},
        {"/home/u.d/vorlage", "", "/home/u.d/vorlage", ""}, // a dot in a folder is no suffix
        {".profil", "", "/prog/bin/.profil", ""}, // a leading dot neither
        {"", "", "/prog/bin/", ""},
    };
    for (const Case& c : cases) {
        const FileDialogStart start
            = TemplateDialogStart(QString::fromUtf8(c.templateText), QString::fromUtf8(c.pageName), "/prog/bin/");
        EXPECT_EQ(start.path, QString::fromUtf8(c.path)) << c.templateText;
        EXPECT_EQ(start.defaultSuffix, QString::fromUtf8(c.suffix)) << c.templateText;
    }

    // Installed, the templates' folder beside the program's; elsewhere the program's own.
    QTemporaryDir root;
    const std::string program = root.filePath(QStringLiteral("bin")).toStdString() + "/";
    EXPECT_EQ(TemplateFolder(program), program);
    ASSERT_TRUE(QDir().mkpath(root.filePath(QStringLiteral("share/tarnwick/vorlagen"))));
    EXPECT_EQ(TemplateFolder(program), root.filePath(QStringLiteral("share/tarnwick/vorlagen/")).toStdString());
}

TEST(SettingsRules, FileFiltersInQtsForm)
{
    EXPECT_EQ(QtFileFilter(kTemplateFilter),
              QStringLiteral("Webseiten (*.htm *.asp *.php *.pl);;ASP-Dateien (*.asp);;HTML-Dateien (*.htm*);;"
                             "PHP-Dateien (*.php*);;PERL-Dateien (*.pl);;Alle Dateien (*)"));
    EXPECT_EQ(QtFileFilter(kBackupFilter), QStringLiteral("Backup-Dateien (*.bak);;Alle Dateien (*)"));
}

TEST(SettingsRules, RedirectAddressNormalisedFromItsOwnParts)
{
    CRedirectSettings settings;
    settings.SetLocalServerName("192.168.1.5");
    settings.SetLocalServiceType(1);
    settings.SetLocalPort(2121);
    settings.SetLocalWebObject("/pub/#anker");
    settings.SetModified(0);
    NormaliseRedirectAddress(settings);
    EXPECT_EQ(settings.GetLocalServiceType(), 1);
    EXPECT_EQ(settings.GetLocalPort(), 2121);
    EXPECT_EQ(settings.GetLocalWebObject(), "/pub/"); // what the address really says
    EXPECT_EQ(settings.GetRedirectAddress(), "ftp://192.168.1.5:2121/pub/");

    // Without a local address the address cannot be split: nothing changes.
    CRedirectSettings empty;
    empty.SetLocalWebObject("/x");
    empty.SetModified(0);
    NormaliseRedirectAddress(empty);
    EXPECT_EQ(empty.GetLocalWebObject(), "/x");
    EXPECT_EQ(empty.GetModified(), 0);
}
