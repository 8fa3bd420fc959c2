#include "ui/charts/ColumnStroker.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

const QRgb kInk = qRgb(200, 30, 30);

QImage Blank()
{
    QImage image(300, 200, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    return image;
}

// The same strokes as the raster engine draws them with an aliased 3-px pen.
QImage DrawnByThePainter(const QVector<QLineF> &strokes)
{
    QImage image = Blank();
    QPainter painter(&image);
    painter.setPen(QPen(QColor(kInk), 3, Qt::SolidLine, Qt::SquareCap));
    painter.drawLines(strokes);
    return image;
}

QImage DrawnByTheStroker(const QVector<QLineF> &strokes, QRect clip = QRect(0, 0, 300, 200))
{
    QImage image = Blank();
    QImage canvas;
    QPainter painter(&image);
    painter.setClipRect(clip);
    TColumnStroker stroker(3, clip.left(), clip.right());
    for (const QLineF &stroke : strokes)
        stroker.Add(stroke);
    stroker.Paint(&painter, QColor(kInk), canvas);
    return image;
}

struct TComparison
{
    int Inked = 0;     // by the painter
    int Different = 0; // pixels inked by one and not the other
    int FarApart = 0;  // of those, with no inked pixel of the other within 1 px
};

TComparison Compare(const QImage &expected, const QImage &actual)
{
    const auto inked = [](const QImage &image, int x, int y) {
        return x >= 0 && y >= 0 && x < image.width() && y < image.height() && image.pixel(x, y) == kInk;
    };
    const auto near = [&](const QImage &image, int x, int y) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (inked(image, x + dx, y + dy))
                    return true;
        return false;
    };
    TComparison result;
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x) {
            const bool e = inked(expected, x, y);
            const bool a = inked(actual, x, y);
            result.Inked += e;
            if (e != a) {
                ++result.Different;
                result.FarApart += !near(e ? actual : expected, x, y);
            }
        }
    return result;
}

// A distorted wave as the oscillogram page draws it: 640 points over
// 300 px, steep and flat parts, and lines in every direction.
QVector<QLineF> Strokes()
{
    QVector<QLineF> strokes;
    QPointF previous;
    for (int i = 0; i < 640; ++i) {
        const double x = i * 300.0 / 640;
        const double phase = 2 * std::numbers::pi * i / 128;
        const QPointF point(x, 100 - 90 * (std::sin(phase) + 0.1 * std::sin(5 * phase)));
        if (i > 0)
            strokes.append(QLineF(previous, point));
        previous = point;
    }
    strokes += {QLineF(10, 20, 290, 20), QLineF(150, 5, 150, 195), QLineF(20, 180, 120, 80), QLineF(280, 190, 180, 120),
                QLineF(60.3, 40.7, 60.3, 40.7)};
    return strokes;
}

TEST(ColumnStrokerTest, CoversThePixelsThePainterWould)
{
    const QVector<QLineF> strokes = Strokes();
    const TComparison c = Compare(DrawnByThePainter(strokes), DrawnByTheStroker(strokes));
    ASSERT_GT(c.Inked, 5000);
    EXPECT_LT(c.Different, c.Inked / 100) << c.Different << " of " << c.Inked;
    EXPECT_EQ(c.FarApart, 0);
}

TEST(ColumnStrokerTest, KeepsToTheClipAndLeavesGapsBetweenStrokes)
{
    // a steep dash pattern: the gaps inside one column stay open
    QVector<QLineF> dashes;
    for (int y = 10; y < 190; y += 18)
        dashes.append(QLineF(100, y, 103, y + 12));
    const TComparison c = Compare(DrawnByThePainter(dashes), DrawnByTheStroker(dashes));
    EXPECT_LT(c.Different, c.Inked / 100);
    EXPECT_EQ(c.FarApart, 0);

    const QImage clipped = DrawnByTheStroker(Strokes(), QRect(50, 0, 100, 200));
    for (int y = 0; y < clipped.height(); ++y)
        for (int x : {0, 49, 150, 299})
            ASSERT_NE(clipped.pixel(x, y), kInk) << x << "," << y;
    int inkedInside = 0;
    for (int y = 0; y < clipped.height(); ++y)
        inkedInside += clipped.pixel(100, y) == kInk;
    EXPECT_GT(inkedInside, 3);
}

} // namespace
