// Where the type pane draws a symbol: the 2000 threshold, centring and proportions.
#include "metafile/metafile_player.h"
#include "metafile_builder.h"

#include <gtest/gtest.h>

using namespace dorvin;

TEST(MetafileFit, ThresholdIsStrictlyAbove2000)
{
    EXPECT_FALSE(symbolFitFor(2000, 2000));
    EXPECT_TRUE(symbolFitFor(2001, 2000));
    EXPECT_TRUE(symbolFitFor(2000, 2001));
    EXPECT_FALSE(symbolFitFor(1000, 1000));
    EXPECT_TRUE(symbolFitFor(5000, 3000));
}

TEST(MetafileFit, SmallPicturesKeepTheirNaturalSizeCentred)
{
    const QSize box(88, 88);
    EXPECT_EQ(pictureRect(1000, 1000, box, false), QRect(25, 25, 38, 38)); // 37.8 px
    EXPECT_EQ(pictureRect(1000, 2000, box, false), QRect(25, 6, 38, 76));
    EXPECT_EQ(pictureRect(2000, 2000, box, false), QRect(6, 6, 76, 76));
}

TEST(MetafileFit, FitFillsTheBoxKeepingProportions)
{
    const QSize box(88, 88);
    EXPECT_EQ(pictureRect(5000, 3000, box, true), QRect(0, 18, 88, 52)); // 189 x 113 px
    EXPECT_EQ(pictureRect(2001, 2000, box, true), QRect(0, 0, 88, 88));
    EXPECT_EQ(pictureRect(1000, 2001, box, true), QRect(22, 0, 44, 88));
    // Fit scales small pictures up as well.
    EXPECT_EQ(pictureRect(100, 50, box, true), QRect(0, 22, 88, 44));
}

TEST(MetafileFit, NaturalSizeLargerThanTheBoxIsShrunk)
{
    EXPECT_EQ(pictureRect(2000, 1000, QSize(88, 88), false, 192, 192), QRect(0, 22, 88, 44));
    EXPECT_EQ(pictureRect(1000, 1000, QSize(20, 40), false), QRect(0, 10, 20, 20));
}

TEST(MetafileFit, SymbolRectAppliesTheThreshold)
{
    const QSize box(88, 88);
    Metafile small = Metafile::fromBytes(test::EmfBuilder(2000, 2000).build());
    Metafile large = Metafile::fromBytes(test::EmfBuilder(2001, 2000).build());
    EXPECT_EQ(symbolRect(small, box), QRect(6, 6, 76, 76));
    EXPECT_EQ(symbolRect(large, box), QRect(0, 0, 88, 88));
    EXPECT_TRUE(symbolRect(Metafile(), box).isEmpty());
}

TEST(MetafileFit, DegenerateSizesDrawNothing)
{
    EXPECT_TRUE(pictureRect(0, 1000, QSize(88, 88), true).isEmpty());
    EXPECT_TRUE(pictureRect(1000, -5, QSize(88, 88), false).isEmpty());
    EXPECT_TRUE(pictureRect(1000, 1000, QSize(0, 88), true).isEmpty());
    // A sliver keeps at least one pixel.
    EXPECT_EQ(pictureRect(1, 1000, QSize(88, 88), false).width(), 1);
}
