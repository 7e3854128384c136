#include "tarnwick/widgets/common/HelpLauncher.h"
#include "tarnwick/widgets/common/UrlOpener.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tarnwick;

namespace {

struct HelpFixture : ::testing::Test
{
    QTemporaryDir root;
    QList<QUrl> opened;
    ScopedUrlOpener seam {[this](const QUrl& url) {
        opened.append(url);
        return true;
    }};

    QString MakeHelpFolder()
    {
        const QString dir = root.filePath(QStringLiteral("share/tarnwick/help"));
        QDir().mkpath(dir);
        QFile page(dir + QStringLiteral("/tarnwick.htm"));
        page.open(QIODevice::WriteOnly);
        page.write("<html></html>");
        return dir;
    }
};

} // namespace

TEST_F(HelpFixture, OpensTheTopicPageAsAFileAddress)
{
    const HelpLauncher help(MakeHelpFolder());
    EXPECT_TRUE(help.ShowTopic(HelpLauncher::MainTopic()));
    ASSERT_EQ(opened.size(), 1);
    EXPECT_TRUE(opened.first().isLocalFile());
    EXPECT_EQ(opened.first().toLocalFile(), help.HelpDirectory() + QStringLiteral("/tarnwick.htm"));
}

TEST_F(HelpFixture, MissingFolderPageOrAPathForATopicOpenNothingAndSaySo)
{
    const QString folder = MakeHelpFolder();
    const HelpLauncher missingFolder(root.filePath(QStringLiteral("nowhere")));
    QObject context;
    QStringList failures;
    EXPECT_FALSE(
        missingFolder.ShowTopic(HelpLauncher::MainTopic(), &context, [&](const QString& text) { failures << text; }));
    EXPECT_EQ(failures,
              QStringList(QStringLiteral("\"%1/nowhere/tarnwick.htm\" konnte nicht geöffnet werden: die "
                                         "Hilfeseite ist nicht vorhanden.")
                              .arg(root.path())));
    const HelpLauncher help(folder);
    for (const QString& topic : {QStringLiteral("OptionsUpload.htm"), QStringLiteral("../help/tarnwick.htm"),
                                 QStringLiteral(".."), QString()}) {
        SCOPED_TRACE(topic.toStdString());
        EXPECT_FALSE(help.ShowTopic(topic));
    }
    EXPECT_TRUE(opened.isEmpty());
}
