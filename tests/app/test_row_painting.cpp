// Painting of the rows: stripes, the size bar's length and rectangles, the painted cells (away from the
// origin), and FillGradient on its own.

#include "app/row_painting.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <limits>

namespace {

const QColor canvas(0x12, 0x34, 0x56);  // neither a bar nor a frame colour

QImage blank(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(canvas);
    return image;
}

QColor at(const QImage& image, int x, int y) { return QColor(image.pixel(x, y)); }

const DisplayFlags allOn;

struct Pixel {
    int x, y;
    QColor colour;
};
void expectPixels(const QImage& image, std::initializer_list<Pixel> pixels)
{
    for (const Pixel& p : pixels)
        EXPECT_EQ(at(image, p.x, p.y), p.colour) << "at " << p.x << "," << p.y;
}

}  // namespace

TEST(RowBackground, StripesFollowPlacesAmongSiblings)
{
    const QColor one(Qt::yellow), two(Qt::cyan);
    EXPECT_EQ(rowBackground(0, 2, one, two), one);
    EXPECT_EQ(rowBackground(1, 0, one, two), two);
    EXPECT_FALSE(rowBackground(0, 1, one, two).has_value());
}

TEST(BarLength, SingleShareAndArithmeticFailures)
{
    EXPECT_EQ(barLength(50, 100, 181), 90);  // 90.5 to even
    EXPECT_EQ(barLength(50, 100, 183), 92);  // 91.5 to even
    EXPECT_EQ(barLength(100, 100, 181), 181);
    EXPECT_EQ(barLength(0, 100, 181), 0);
    EXPECT_EQ(barLength(5, 0, 181), 0);  // no maximum yet
    EXPECT_EQ(barLength(2048, 4096, 181), 90);
    // The share is kept in single precision: 100/12 is 8.3333330 there, and 102 of it is 8.4999996.
    EXPECT_EQ(barLength(1, 12, 102), 8);
    EXPECT_EQ(barLength(5, -1, 181), 0);
    EXPECT_EQ(barLength(1e30L, 1e-30, 181), 0);
    EXPECT_EQ(barLength(5, std::numeric_limits<double>::quiet_NaN(), 181), 0);
}

TEST(SizeBarLayout, FrameAndBarForEachSetOfFlags)
{
    const Edges cell {10, 20, 191, 38};
    const SizeBarLayout half = sizeBarLayout(cell, 50, 100, allOn);
    ASSERT_TRUE(half.frame && half.bar);
    EXPECT_EQ(*half.frame, (Edges {12, 22, 191, 36}));
    EXPECT_EQ(*half.bar, (Edges {13, 23, 99, 35}));  // x from L+3 to L+88 inclusive
    EXPECT_TRUE(half.gradient);
    const SizeBarLayout full = sizeBarLayout(Edges {100, 36, 281, 54}, 100, 100, allOn);
    ASSERT_TRUE(full.bar);
    EXPECT_EQ(full.bar->right, 280);  // ends at R - 2, next to the frame's right outline

    // A length of 3 gives no bar, 5 a bar one pixel wide.
    const Edges narrow {0, 0, 100, 18};
    EXPECT_FALSE(sizeBarLayout(narrow, 3, 100, allOn).bar);
    const SizeBarLayout five = sizeBarLayout(narrow, 5, 100, allOn);
    ASSERT_TRUE(five.bar);
    EXPECT_EQ(five.bar->right - five.bar->left, 1);

    const SizeBarLayout unmeasured = sizeBarLayout(cell, 0, 0, allOn);
    EXPECT_TRUE(unmeasured.frame);
    EXPECT_FALSE(unmeasured.bar);
    const SizeBarLayout noBars = sizeBarLayout(cell, 50, 100, DisplayFlags {true, true, false});
    EXPECT_FALSE(noBars.frame);
    EXPECT_FALSE(noBars.bar);
    const SizeBarLayout plain = sizeBarLayout(cell, 50, 100, DisplayFlags {false, true, true});
    EXPECT_TRUE(plain.frame);
    ASSERT_TRUE(plain.bar);
    EXPECT_FALSE(plain.gradient);
    const SizeBarLayout bare = sizeBarLayout(cell, 50, 100, DisplayFlags {false, false, true});
    EXPECT_FALSE(bare.frame);
    EXPECT_TRUE(bare.bar);
    EXPECT_FALSE(bare.gradient);
}

TEST(PaintSizeBar, GradientBarOverTheFrameOfACellAwayFromTheOrigin)
{
    QImage image = blank(300, 60);
    {
        QPainter painter(&image);
        const QPen pen(Qt::red);
        painter.setPen(pen);
        paintSizeBar(painter, QRect(10, 18, 181, 18), 50, 100, allOn);  // L 10, T 18, R 191, B 36
        EXPECT_EQ(painter.pen(), pen);
    }
    expectPixels(image, {
        // Frame outline at x = L + 2 and R - 1, y = T + 2 and B - 3; fill inside; nothing outside.
        {12, 20, kFrameOutline}, {190, 25, kFrameOutline}, {150, 20, kFrameOutline}, {150, 33, kFrameOutline},
        {150, 25, kFrameFill}, {11, 25, canvas}, {191, 25, canvas}, {150, 19, canvas}, {150, 34, canvas},
        // White at T + 3 to #4658F9 at B - 3 (over the frame's bottom outline), x from L + 3 to L + 88.
        {13, 21, kGradientTop}, {98, 21, kGradientTop}, {13, 33, kGradientBottom}, {98, 33, kGradientBottom},
        {99, 21, kFrameFill}, {99, 33, kFrameOutline},
    });
}

TEST(PaintSizeBar, PlainBarFilledInsideTheFrame)
{
    QImage image = blank(300, 60);
    {
        QPainter painter(&image);
        paintSizeBar(painter, QRect(10, 18, 181, 18), 50, 100, DisplayFlags {false, true, true});
    }
    for (int y = 21; y <= 32; ++y)
        for (int x : {13, 55, 98})
            EXPECT_EQ(at(image, x, y), kPlainBar) << x << "," << y;
    expectPixels(image, {{55, 33, kFrameOutline}, {99, 25, kFrameFill}, {12, 25, kFrameOutline}});

    // Without bars the cell is left to the toolkit.
    const QImage before = blank(300, 60);
    image = before;
    {
        QPainter painter(&image);
        paintSizeBar(painter, QRect(10, 18, 181, 18), 50, 100, DisplayFlags {true, true, false});
    }
    EXPECT_EQ(image, before);
}

TEST(FillGradient, LineByLineFromStartToEndInclusive)
{
    QImage image = blank(20, 20);
    QPainter painter(&image);
    const QPen pen(QColor(Qt::red), 3, Qt::DashLine);
    painter.setPen(pen);
    // (2, 1, 6, 11): ten steps over eleven lines, x from 2 to 5.
    FillGradient(painter, QColor(0, 0, 0), QColor(255, 100, 10), Edges {2, 1, 6, 11});
    EXPECT_EQ(painter.pen(), pen);
    painter.end();
    expectPixels(image, {
        {2, 1, QColor(0, 0, 0)}, {5, 11, QColor(255, 100, 10)},
        // Halves round to even: 25.5 -> 26, 76.5 -> 76, 127.5 -> 128.
        {3, 2, QColor(26, 10, 1)}, {3, 4, QColor(76, 30, 3)}, {4, 6, QColor(128, 50, 5)},
        // Right edge exclusive, nothing above or below.
        {6, 5, canvas}, {1, 5, canvas}, {3, 0, canvas}, {3, 12, canvas},
    });
}

TEST(FillGradient, FlatInvertedAndSystemColours)
{
    QImage image = blank(10, 10);
    {
        QPainter painter(&image);
        // A zero-height rectangle gets one line in the start colour.
        FillGradient(painter, QColor(1, 2, 3), QColor(200, 200, 200), Edges {0, 4, 10, 4});
        // Colours given in another model are painted as their RGB value.
        FillGradient(painter, QColor::fromHsv(0, 255, 255), QColor::fromCmyk(255, 255, 0, 0), Edges {0, 7, 10, 9});
    }
    expectPixels(image, {{5, 3, canvas}, {5, 4, QColor(1, 2, 3)}, {5, 5, canvas},
                         {5, 7, QColor(255, 0, 0)}, {5, 9, QColor(0, 0, 255)}});

    const QImage before = blank(10, 10);
    image = before;
    {
        QPainter painter(&image);
        FillGradient(painter, QColor(1, 2, 3), QColor(200, 200, 200), Edges {0, 5, 10, 4});
    }
    EXPECT_EQ(image, before);
}
