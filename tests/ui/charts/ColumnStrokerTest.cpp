#include "ui/charts/ColumnStroker.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <climits>
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

QImage DrawnByTheStroker(const QVector<QLineF> &strokes, QRect clip = QRect(0, 0, 300, 200),
                         qsizetype *canvasBytes = nullptr)
{
    QImage image = Blank();
    QImage canvas;
    QPainter painter(&image);
    painter.setClipRect(clip);
    TColumnStroker stroker(3, clip);
    for (const QLineF &stroke : strokes)
        stroker.Add(stroke);
    EXPECT_TRUE(stroker.Paint(&painter, QColor(kInk), canvas));
    if (canvasBytes)
        *canvasBytes = canvas.sizeInBytes();
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

// A wave whose samples leave the chart by up to a million pixels: one spike
// on a held axis, then the wave as a 1000-fold vertical zoom shows it. Its
// near-vertical strokes cross the whole chart: samples are kept off pixel
// centres, where the painter and the stroker settle an edge falling exactly
// on a centre each their own way (a whole column here, a pixel elsewhere).
QVector<QPointF> FarOffCurve()
{
    QVector<QPointF> points;
    for (int i = 0; i < 640; ++i) {
        const double phase = 2 * std::numbers::pi * i / 128;
        const double height = i < 320 ? 90 * std::sin(phase) : 90000 * (std::sin(phase) + 0.1 * std::sin(5 * phase));
        points.append(QPointF(0.3 + i * 300.0 / 640, 100 - height));
    }
    points[100].setY(-1.25e6);
    return points;
}

TEST(ColumnStrokerTest, StrokesFarOffTheChartCostOnlyTheClipAndKeepThePainterPicture)
{
    QVector<QLineF> strokes;
    const QVector<QPointF> points = FarOffCurve();
    for (qsizetype i = 1; i < points.size(); ++i)
        strokes.append(QLineF(points[i - 1], points[i]));
    qsizetype canvasBytes = 0;
    const TComparison c = Compare(DrawnByThePainter(strokes), DrawnByTheStroker(strokes, Blank().rect(), &canvasBytes));
    ASSERT_GT(c.Inked, 3000);
    EXPECT_LT(c.Different, c.Inked / 100) << c.Different << " of " << c.Inked;
    EXPECT_EQ(c.FarApart, 0);
    EXPECT_LE(canvasBytes, 300 * 200 * 4) << "the canvas is the clip's size at most";

    // cut to a clip before they are stroked, solid and dashed lines leave
    // the same pixels inside it as uncut, the dashes in their places
    const QRect clip(40, 30, 220, 140);
    for (const bool dashed : {false, true}) {
        QVector<QLineF> whole, cut;
        PolylineStrokes(points, 3, dashed, QRectF(-1e7, -1e7, 2e7, 2e7), whole);
        PolylineStrokes(points, 3, dashed, QRectF(clip), cut);
        EXPECT_LT(cut.size(), dashed ? 400 : 200) << "only the strokes that reach the clip";
        const auto drawn = [&](const QVector<QLineF> &lines) {
            QImage image = Blank();
            QPainter painter(&image);
            painter.setClipRect(clip);
            painter.setPen(QPen(QColor(kInk), 3, Qt::SolidLine, Qt::SquareCap));
            painter.drawLines(lines);
            return image;
        };
        const TComparison d = Compare(drawn(whole), drawn(cut));
        ASSERT_GT(d.Inked, 500) << dashed;
        EXPECT_EQ(d.Different, 0) << dashed;
    }
}

TEST(ColumnStrokerTest, ACanvasThatCannotBeHadPaintsNothingAndSaysSo)
{
    // a clip no memory holds: the caller draws the lines itself
    QImage image = Blank();
    QPainter painter(&image);
    TColumnStroker stroker(3, QRect(0, 0, 60000, INT_MAX));
    stroker.Add(QLineF(10, 10, 200, 150));
    QImage canvas;
    EXPECT_FALSE(stroker.Paint(&painter, QColor(kInk), canvas));
    EXPECT_TRUE(canvas.isNull());
    painter.end();
    EXPECT_EQ(Compare(Blank(), image).Different, 0);
}

} // namespace
