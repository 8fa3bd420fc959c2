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
    // width: the pen's width in pixels; columns: the pixel columns to cover
    // (the clip's width), nothing outside them is kept.
    TColumnStroker(double width, int firstColumn, int lastColumn);

    void Add(const QLineF &stroke);
    // Paints the runs so far in one colour through an image drawn at once;
    // canvas is kept by the caller between paints to spare its allocation.
    // The stroker is empty afterwards.
    void Paint(QPainter *painter, const QColor &color, QImage &canvas);

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

    double halfWidth_;
    int firstColumn_;
    QVector<TRun> open_; // the run being grown in each column
    QVector<QRect> runs_;
};
