#include "tarnwick/widgets/window/CInfoDlg.h"
#include "tarnwick/resources/StringTable.h"
#include "tarnwick/widgets/common/UrlOpener.h"
#include "tarnwick/widgets/window/CHyperLink.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace tarnwick;

TEST(CInfoDlg, ShowsNameVersionAndTheForumLink)
{
    CInfoDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("Info über Tarnwick"));
    QStringList texts;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        texts.append(label->text());
    EXPECT_TRUE(texts.contains(QStringLiteral("Tarnwick FREE")));
    EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("idc_1040"))->text(), QStringLiteral("1.4.44"));
    ASSERT_TRUE(dialog.findChild<QLabel*>(QStringLiteral("idc_1034")));
    EXPECT_FALSE(dialog.findChild<QLabel*>(QStringLiteral("picture136"))->pixmap().isNull());

    CHyperLink* link = dialog.findChild<CHyperLink*>(QStringLiteral("idc_1035"));
    ASSERT_TRUE(link);
    EXPECT_EQ(link, dialog.ForumLink());
    EXPECT_EQ(link->Url().toStdString(), resources::LoadString(resources::IDS_FORUM_URL));
}

TEST(CInfoDlg, LinkOpensTheForumAndOkCloses)
{
    QList<QUrl> opened;
    ScopedUrlOpener seam([&](const QUrl& url) {
        opened.append(url);
        return true;
    });
    CInfoDlg dialog;
    dialog.show();
    CHyperLink* link = dialog.ForumLink();
    QTest::mouseClick(link, Qt::LeftButton);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.first().toString().toStdString(), resources::LoadString(resources::IDS_FORUM_URL));

    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("idc_1")), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
}
