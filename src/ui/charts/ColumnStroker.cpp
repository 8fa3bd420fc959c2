#include "ui/charts/ColumnStroker.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

bool Finite(const QPointF &point)
{
    return std::isfinite(point.x()) && std::isfinite(point.y());
}

// The segment's points at parameters from and to; its own ends where the
// part reaches them, so an uncut segment stays bit for bit as it was.
QLineF Part(const QLineF &segment, double from, double to)
{
    return QLineF(from > 0 ? segment.pointAt(from) : segment.p1(), to < 1 ? segment.pointAt(to) : segment.p2());
}

} // namespace

TColumnStroker::TColumnStroker(double width, const QRect &clip)
    : width_(std::max(1.0, width)),
      halfWidth_(width_ / 2),
      clip_(clip.normalized()),
      reach_(Widened(QRectF(clip_), width_)),
      open_(std::max(0, clip_.width()))
{}

QRectF TColumnStroker::Widened(const QRectF &rect, double width)
{
    return rect.adjusted(-width, -width, width, width);
}

bool TColumnStroker::ClipParameters(const QLineF &segment, const QRectF &rect, double &from, double &to)
{
    // Liang-Barsky: the segment p1 + t (p2 - p1) against each border
    const double x = segment.x1();
    const double y = segment.y1();
    const double dx = segment.x2() - x;
    const double dy = segment.y2() - y;
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(dx) || !std::isfinite(dy))
        return false;
    from = 0;
    to = 1;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x - rect.left(), rect.right() - x, y - rect.top(), rect.bottom() - y};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0)
                return false; // parallel to this border and outside it
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0)
            from = std::max(from, t);
        else
            to = std::min(to, t);
        if (from > to)
            return false;
    }
    return true;
}

void TColumnStroker::Add(const QLineF &whole)
{
    double from = 0;
    double to = 1;
    if (!ClipParameters(whole, reach_, from, to))
        return;
    const QLineF stroke = Part(whole, from, to);
    const double ax = stroke.x1();
    const double ay = stroke.y1();
    const double dx = stroke.x2() - ax;
    const double dy = stroke.y2() - ay;
    const double length = std::sqrt(dx * dx + dy * dy);
    // unit vector along the stroke; a point stroke is a square
    const double ux = length > 0 ? dx / length : 1;
    const double uy = length > 0 ? dy / length : 0;
    const double w = halfWidth_;

    // Columns whose centre lines cross the stroke's rectangle: its corners
    // reach w * (|ux| + |uy|) beyond the ends across the columns.
    const double reach = w * (std::abs(ux) + std::abs(uy));
    const int firstColumn =
        std::max(clip_.left(), static_cast<int>(std::floor(std::min(ax, ax + dx) - reach - 0.5)) + 1);
    const int lastColumn = std::min(clip_.right(), static_cast<int>(std::floor(std::max(ax, ax + dx) + reach - 0.5)));
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
    for (int column = firstColumn; column <= lastColumn; ++column) {
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
        // rows outside the clip are never drawn: the runs stay within it
        const double top = std::max(std::floor(ay + low - 0.5) + 1, double(clip_.top()));
        const double bottom = std::min(std::floor(ay + high - 0.5), double(clip_.bottom()));
        if (top <= bottom)
            AddToColumn(column, static_cast<int>(top), static_cast<int>(bottom));
    }
}

void TColumnStroker::AddToColumn(int column, int top, int bottom)
{
    TRun &run = open_[column - clip_.left()];
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
        Close(clip_.left() + i, open_[i]);
    return std::exchange(runs_, {});
}

bool TColumnStroker::Paint(QPainter *painter, const QColor &color, QImage &canvas)
{
    const QVector<QRect> runs = TakeRuns();
    if (runs.isEmpty())
        return true;
    // The runs lie inside the clip, so a canvas of its size holds any of
    // them; a larger one left from a larger clip is given back.
    // A clip no screen has (a chart is a few thousand pixels a side) is not
    // worth asking the allocator for: the caller draws the lines itself.
    constexpr qint64 kMaxCanvasPixels = 64LL * 1024 * 1024;
    if (static_cast<qint64>(clip_.width()) * clip_.height() > kMaxCanvasPixels) {
        canvas = QImage();
        return false;
    }
    if (canvas.size() != clip_.size() || canvas.format() != QImage::Format_ARGB32_Premultiplied)
        canvas = QImage(clip_.size(), QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull())
        return false; // out of memory: nothing to write into
    QRect bounds;
    for (const QRect &run : runs)
        bounds |= run;
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
    return true;
}

void PolylineStrokes(const QVector<QPointF> &points, double width, bool dashed, const QRectF &clip,
                     QVector<QLineF> &strokes)
{
    const QRectF reach = TColumnStroker::Widened(clip, width);
    const double drawn = 4 * width;
    const double period = 6 * width;
    double phase = 0; // how far into the pattern; below `drawn` a dash is on
    for (qsizetype i = 1; i < points.size(); ++i) {
        const QLineF segment(points[i - 1], points[i]);
        if (!Finite(segment.p1()) || !Finite(segment.p2()))
            continue; // a gap in the data stays a gap
        double from = 0;
        double to = 1;
        const bool inside = TColumnStroker::ClipParameters(segment, reach, from, to);
        if (!dashed) {
            if (inside)
                strokes.append(Part(segment, from, to));
            continue;
        }
        const double length = segment.length();
        if (!std::isfinite(length))
            continue;
        if (!inside) {
            phase = std::fmod(phase + length, period);
            continue;
        }
        // Dashes from the segment's own parameters: the part before the clip
        // only moves the pattern on.
        const double start = from * length;
        const double end = to * length;
        if (start > 0)
            phase = std::fmod(phase + start, period);
        for (double done = start; done < end;) {
            const bool on = phase < drawn;
            const double step = std::min((on ? drawn : period) - phase, end - done);
            if (on)
                strokes.append(QLineF(segment.pointAt(done / length), segment.pointAt((done + step) / length)));
            done += step;
            phase += step;
            if (phase >= period)
                phase = 0;
        }
        if (end < length)
            phase = std::fmod(phase + (length - end), period);
    }
}
