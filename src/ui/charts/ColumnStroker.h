#pragma once

#include <QColor>
#include <QImage>
#include <QLineF>
#include <QRect>
#include <QVector>

class QPainter;

// Turns wide solid strokes with square ends into the pixels they cover, as
// one vertical run per pixel column wherever neighbouring strokes overlap,
// and paints them. A steep 3-px curve drawn as lines costs the raster engine
// a scan conversion and a fill call per scan line of every segment; here the
// runs are written straight into an image and that image is drawn once. A
// pixel is covered when its centre lies inside a stroke, its left and top
// edges left out, as the raster engine does for aliased lines.
class TColumnStroker
{
public:
    // width: the pen's width in pixels; clip: the pixels to cover, nothing
    // outside it is kept (a stroke far off the chart costs nothing).
    TColumnStroker(double width, const QRect &clip);

    void Add(const QLineF &stroke);
    // Paints the runs so far in one colour through an image drawn at once;
    // canvas is kept by the caller between paints to spare its allocation
    // and is the clip's size. False when the canvas could not be had:
    // nothing was painted, and the caller draws the strokes itself. The
    // stroker is empty afterwards.
    bool Paint(QPainter *painter, const QColor &color, QImage &canvas);

    // The part of segment inside rect, as the segment's parameters
    // 0 <= from <= to <= 1; false when it misses rect (or is not finite).
    // Computed in double precision on the segment as given, so the part
    // keeps every point of the segment inside rect exactly.
    static bool ClipParameters(const QLineF &segment, const QRectF &rect, double &from, double &to);
    // rect widened by a pen's width: a stroke cut at its border leaves the
    // pixels inside rect as the whole stroke covers them, square end and all.
    static QRectF Widened(const QRectF &rect, double width);

private:
    // The runs so far, each a rectangle one column wide; the stroker is
    // empty afterwards.
    QVector<QRect> TakeRuns();

    struct TRun
    {
        int Top = 1;
        int Bottom = 0; // Top > Bottom: no open run
    };
    void AddToColumn(int column, int top, int bottom);
    void Close(int column, TRun &run);

    double width_;
    double halfWidth_;
    QRect clip_;
    QRectF reach_;       // the clip widened by the pen: strokes are cut to it
    QVector<TRun> open_; // the run being grown in each column
    QVector<QRect> runs_;
};

// The strokes of a polyline as a pen of `width` draws it inside clip, each
// segment cut to the clip widened by the width before anything else: a
// sample far off the chart (a spike, a deep zoom) yields a short stroke, not
// a line of a million pixels. A dashed pen (the toolkit's dash: 4 widths
// drawn, 2 left out) is cut into solid dashes along the whole segment's
// length, the part outside the clip only advancing the pattern, so every
// dash stays where the uncut line has it. A non-finite point leaves a gap.
void PolylineStrokes(const QVector<QPointF> &points, double width, bool dashed, const QRectF &clip,
                     QVector<QLineF> &strokes);
