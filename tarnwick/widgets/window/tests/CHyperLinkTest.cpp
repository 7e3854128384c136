#include "tarnwick/widgets/window/CHyperLink.h"
#include "tarnwick/widgets/common/UrlOpener.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace tarnwick;

namespace {

// The browser's part: remembers what it was asked to open and answers as told.
struct Browser
{
    bool accepts = true;
    QList<QUrl> opened;
    UrlOpenerFunction Opener()
    {
        return [this](const QUrl& url) {
            opened.append(url);
            return accepts;
        };
    }
};

} // namespace

TEST(CHyperLink, LooksLikeALink)
{
    CHyperLink link;
    link.setText(QStringLiteral("zum Forum"));
    EXPECT_TRUE(link.font().underline());
    EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(link.palette().color(QPalette::WindowText), QColor(0, 0, 255));
    // A dialog that sets its own font keeps the underline.
    link.setFont(QFont(QStringLiteral("Sans"), 14));
    EXPECT_TRUE(link.font().underline());
}

TEST(CHyperLink, WithoutAddressAClickOpensTheOwnText)
{
    Browser browser;
    ScopedUrlOpener seam(browser.Opener());
    CHyperLink link;
    link.setText(QStringLiteral("http://127.0.0.1:8080/forum"));
    link.resize(200, 20);
    QTest::mouseClick(&link, Qt::LeftButton);
    ASSERT_EQ(browser.opened.size(), 1);
    EXPECT_EQ(browser.opened.first(), QUrl(QStringLiteral("http://127.0.0.1:8080/forum")));
    EXPECT_TRUE(link.IsVisited());
}

TEST(CHyperLink, FailureKeepsTheColourAndSuccessTurnsItVisitedForGood)
{
    Browser browser;
    browser.accepts = false;
    ScopedUrlOpener seam(browser.Opener());
    CHyperLink link;
    link.setText(QStringLiteral("zum Forum"));
    link.SetUrl(QStringLiteral("http://127.0.0.1/forum"));
    QSignalSpy failed(&link, &CHyperLink::openFailed);

    EXPECT_FALSE(link.Open());
    ASSERT_EQ(failed.size(), 1);
    EXPECT_EQ(failed[0][0].toString(),
              QStringLiteral("\"http://127.0.0.1/forum\" konnte nicht geöffnet werden: der "
                             "Browser hat die Adresse nicht angenommen."));
    EXPECT_FALSE(link.IsVisited());
    EXPECT_EQ(link.palette().color(QPalette::WindowText), QColor(0, 0, 255));

    browser.accepts = true;
    EXPECT_TRUE(link.Open());
    EXPECT_EQ(link.palette().color(QPalette::WindowText), QColor(128, 0, 128));

    browser.accepts = false;
    EXPECT_FALSE(link.Open());
    EXPECT_TRUE(link.IsVisited());
    EXPECT_EQ(link.TextColour(), QColor(128, 0, 128));
    EXPECT_EQ(browser.opened.size(), 3);
}

TEST(CHyperLink, EmptyLabelWithoutAddressOpensNothingAndSaysSo)
{
    Browser browser;
    ScopedUrlOpener seam(browser.Opener());
    CHyperLink link;
    QSignalSpy failed(&link, &CHyperLink::openFailed);
    EXPECT_FALSE(link.Open());
    EXPECT_TRUE(browser.opened.isEmpty());
    EXPECT_EQ(failed.size(), 1);
}
