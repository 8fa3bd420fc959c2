#include "ui/charts/ColumnStroker.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

TColumnStroker::TColumnStroker(double width, int firstColumn, int lastColumn)
    : halfWidth_(std::max(1.0, width) / 2), firstColumn_(firstColumn), open_(std::max(0, lastColumn - firstColumn + 1))
{}

void TColumnStroker::Add(const QLineF &stroke)
{
    const double ax = stroke.x1();
    const double ay = stroke.y1();
    const double dx = stroke.x2() - ax;
    const double dy = stroke.y2() - ay;
    const double length = std::sqrt(dx * dx + dy * dy);
    if (!std::isfinite(length))
        return;
    // unit vector along the stroke; a point stroke is a square
    const double ux = length > 0 ? dx / length : 1;
    const double uy = length > 0 ? dy / length : 0;
    const double w = halfWidth_;

    // Columns whose centre lines cross the stroke's rectangle: its corners
    // reach w * (|ux| + |uy|) beyond the ends across the columns.
    const double reach = w * (std::abs(ux) + std::abs(uy));
    const int from = std::max(firstColumn_, static_cast<int>(std::floor(std::min(ax, ax + dx) - reach - 0.5)) + 1);
    const int to = std::min(firstColumn_ + static_cast<int>(open_.size()) - 1,
                            static_cast<int>(std::floor(std::max(ax, ax + dx) + reach - 0.5)));
    // On the centre line x = ax + offset, a point ay + t lies inside the
    // rectangle when it is within w of the stroke's line (the band across)
    // and between the square ends (the band along). A band parallel to the
    // columns holds every column within reach whole.
    const bool bandAcross = std::abs(ux) > 1e-12;
    const bool bandAlong = std::abs(uy) > 1e-12;
    const double acrossSlope = bandAcross ? uy / ux : 0;
    const double acrossHalf = bandAcross ? w / std::abs(ux) : 0;
    const double alongSlope = bandAlong ? -ux / uy : 0;
    const double alongFrom = bandAlong ? -w / uy : 0;
    const double alongTo = bandAlong ? (length + w) / uy : 0;
    for (int column = from; column <= to; ++column) {
        const double offset = column + 0.5 - ax;
        double low = -HUGE_VAL;
        double high = HUGE_VAL;
        if (bandAcross) {
            low = offset * acrossSlope - acrossHalf;
            high = offset * acrossSlope + acrossHalf;
        }
        if (bandAlong) {
            const double t1 = offset * alongSlope + alongFrom;
            const double t2 = offset * alongSlope + alongTo;
            low = std::max(low, std::min(t1, t2));
            high = std::min(high, std::max(t1, t2));
        }
        const double top = std::floor(ay + low - 0.5) + 1;
        const double bottom = std::floor(ay + high - 0.5);
        if (top <= bottom)
            AddToColumn(column, static_cast<int>(std::max(top, -1e6)), static_cast<int>(std::min(bottom, 1e6)));
    }
}

void TColumnStroker::AddToColumn(int column, int top, int bottom)
{
    TRun &run = open_[column - firstColumn_];
    if (run.Top <= run.Bottom && top <= run.Bottom + 1 && bottom >= run.Top - 1) {
        run.Top = std::min(run.Top, top);
        run.Bottom = std::max(run.Bottom, bottom);
        return;
    }
    Close(column, run);
    run = {top, bottom};
}

void TColumnStroker::Close(int column, TRun &run)
{
    if (run.Top <= run.Bottom)
        runs_.append(QRect(column, run.Top, 1, run.Bottom - run.Top + 1));
    run = {};
}

QVector<QRect> TColumnStroker::TakeRuns()
{
    for (int i = 0; i < open_.size(); ++i)
        Close(firstColumn_ + i, open_[i]);
    return std::exchange(runs_, {});
}

void TColumnStroker::Paint(QPainter *painter, const QColor &color, QImage &canvas)
{
    const QVector<QRect> runs = TakeRuns();
    if (runs.isEmpty())
        return;
    QRect bounds;
    for (const QRect &run : runs)
        bounds |= run;
    if (canvas.width() < bounds.width() || canvas.height() < bounds.height() ||
        canvas.format() != QImage::Format_ARGB32_Premultiplied)
        canvas = QImage(bounds.size().expandedTo(canvas.size()), QImage::Format_ARGB32_Premultiplied);
    // Cleared row by row and written column by column: clearing only the runs
    // again would touch a cache line per pixel, while the rows are contiguous.
    for (int row = 0; row < bounds.height(); ++row)
        std::fill_n(reinterpret_cast<QRgb *>(canvas.scanLine(row)), bounds.width(), QRgb(0));
    const QRgb pixel = qPremultiply(color.rgba());
    const qsizetype stride = canvas.bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb));
    QRgb *const origin = reinterpret_cast<QRgb *>(canvas.bits());
    for (const QRect &run : runs) {
        QRgb *at = origin + (run.top() - bounds.top()) * stride + (run.left() - bounds.left());
        for (int row = run.top(); row <= run.bottom(); ++row, at += stride)
            *at = pixel;
    }
    painter->drawImage(bounds.topLeft(), canvas, QRect(QPoint(0, 0), bounds.size()));
}
