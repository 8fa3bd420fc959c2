#pragma once

// One phasor diagram: a square chart around the origin with two dotted
// reference circles and a dotted cross, on which series of arrows start at
// the origin. Axes are hidden and the ranges fixed, so a circle stays a
// circle and an arrow's length compares with the circles at any size;
// arrows longer than the range are cut at its edge.

#include <QColor>
#include <QPen>
#include <QPointF>
#include <QString>
#include <QWidget>

#include <vector>

class QCPItemLine;
class QCustomPlot;

struct TArrow
{
    QPointF End; // the arrow starts at the origin
    QColor Color;
};

class TVectorChart : public QWidget
{
    Q_OBJECT

public:
    // range: both axes run from -range to range; circle radii of 0 leave
    // that circle out.
    TVectorChart(double range, double smallRadius, double bigRadius, QWidget *parent = nullptr);

    enum class TLine { Solid, Dashed };

    // A series of arrows drawn with this line; returns its index.
    int AddArrowSeries(const char *name, const QString &title, TLine line);
    // Replaces the arrows of a series; the chart is drawn again on the next
    // turn of the event loop, or when it is shown.
    void SetArrows(int series, const std::vector<TArrow> &arrows);
    std::vector<TArrow> Arrows(int series) const;
    int SeriesCount() const { return static_cast<int>(series_.size()); }
    QString SeriesName(int series) const { return series_[series].Name; }
    QString SeriesTitle(int series) const { return series_[series].Title; }
    QPen SeriesPen(int series) const { return series_[series].Pen; }

    double Range() const { return range_; }
    double SmallRadius() const { return smallRadius_; }
    double BigRadius() const { return bigRadius_; }

    QCustomPlot *Plot() const { return plot_; }

    static constexpr int kArrowPenWidth = 2;
    static constexpr double kArrowHeadWidth = 10; // 5 pixels either side of the line
    static constexpr double kArrowHeadLength = 9;
    // Margins around the drawing, a share of its side.
    static constexpr double kMarginShare = 0.01;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    struct TSeries
    {
        QString Name;
        QString Title;
        QPen Pen;
        std::vector<QCPItemLine *> Items;
    };

    void AddCircle(double radius);
    QCPItemLine *NewLine(const QPen &pen);
    void Replot();

    double range_;
    double smallRadius_;
    double bigRadius_;
    QCustomPlot *plot_ = nullptr;
    std::vector<TSeries> series_;
    bool stale_ = false; // arrows changed while hidden
};
