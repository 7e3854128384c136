#include "tarnwick/widgets/common/Artwork.h"

#include <QImage>

#include <gtest/gtest.h>

using namespace tarnwick;

namespace {

QImage Rendered(int id)
{
    return Pixmap(id, QSize(32, 32)).toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

TEST(Artwork, EveryPictureOfTheProgramRenders)
{
    for (int id : {128, 136, 141, 142, 143, 145, 146, 148}) {
        SCOPED_TRACE(id);
        EXPECT_FALSE(Pixmap(id).isNull());
        EXPECT_FALSE(Icon(id).isNull());
        // Not an empty canvas: the picture has opaque pixels in its middle area.
        const QImage image = Rendered(id);
        int opaque = 0;
        for (int y = 8; y < 24; ++y)
            for (int x = 8; x < 24; ++x)
                opaque += qAlpha(image.pixel(x, y)) > 200 ? 1 : 0;
        EXPECT_GT(opaque, 40);
    }
}

TEST(Artwork, BlinkFramesDifferFromEachOtherAndFromTheProgramIcon)
{
    EXPECT_NE(Rendered(141), Rendered(142));
    EXPECT_NE(Rendered(141), Rendered(128));
    EXPECT_NE(Rendered(142), Rendered(128));
}

TEST(Artwork, UnknownNumberGivesNothingAndKnownOnesAreStable)
{
    EXPECT_TRUE(Icon(999).isNull());
    EXPECT_TRUE(Pixmap(999).isNull());
    // The blink animation compares icons by identity.
    EXPECT_EQ(Icon(128).cacheKey(), Icon(128).cacheKey());
    EXPECT_EQ(Pixmap(136).size(), QSize(96, 144));
}
