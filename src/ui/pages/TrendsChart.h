#pragma once

// The trends page's chart: the shown series over meter time, voltages on
// the left axis, currents on the right and every other unit on an axis of
// its own; in the 10-minute view a min-max band in a lighter shade around
// each average; the limit lines dashed and the points beyond them in the
// status colours. The wheel zooms the time axis only, a drag pans it, a
// double click returns to the chosen interval. A line below tells the time
// and the values under the mouse.

#include "ui/pages/TrendsSeries.h"

#include <QWidget>
#include <functional>
#include <vector>

class QCPAxis;
class QCPGraph;
class QCustomPlot;
class QLabel;
class QMouseEvent;

class TTrendsChart : public QWidget
{
    Q_OBJECT

public:
    explicit TTrendsChart(QWidget *parent = nullptr);

    // Replaces what is shown, over the chosen interval [from, to] (seconds);
    // the view returns to the interval. One replot.
    void Show(std::vector<Trends::TBuiltSeries> series, bool aggregates, double from, double to);

    // A live point of one series: its value and its status against the limits.
    struct TLivePoint
    {
        double Value = 0;
        int Status = 0;
    };
    // A break in every series at `key`: no line joins the points either side.
    void AppendBreak(double key);
    // One point more on each series (in the order shown), the interval moved
    // on to [from, to]: the view follows unless the user zoomed or panned.
    // One replot.
    void Append(double key, const std::vector<TLivePoint> &points, double from, double to);

    // The time axis's width in pixels: how many columns a series is cut to.
    int PixelColumns() const;
    bool UserMoved() const { return userMoved_; }
    // Back to the chosen interval, as the double click does.
    void ResetView();
    QString ReadoutAt(double key) const;

    // The picture with a title (its lines: the meter; the interval) and the legend;
    // the PDF on an A4 page across.
    bool SavePng(const QString &fileName, const QString &title);
    bool SavePdf(const QString &fileName, const QString &title);

    QCustomPlot *Plot() const { return plot_; }
    // The line of series i (tests, the read-out).
    QCPGraph *Line(int i) const;
    int SeriesCount() const { return int(shown_.size()); }

private:
    struct TShown
    {
        Trends::TQuantity Quantity;
        QCPGraph *Line = nullptr;
        QCPGraph *Min = nullptr;
        QCPGraph *Max = nullptr;
        QCPGraph *Beyond[2] = {nullptr, nullptr};
    };

    QCPAxis *AxisFor(Trends::TUnit unit);
    void PlaceAxes(const std::vector<Trends::TBuiltSeries> &series);
    void SetTimeRange(double from, double to);
    void RescaleValues();
    void OnMouseMove(QMouseEvent *event);
    void Replot(int priority);
    bool SaveWithTitle(const QString &title, const std::function<bool()> &save);
    void showEvent(QShowEvent *event) override;

    QCustomPlot *plot_;
    QLabel *readout_;
    std::vector<TShown> shown_;
    QCPAxis *unitAxes_[Trends::kUnitCount] = {};
    QCPAxis *extraAxes_[Trends::kUnitCount] = {};
    bool aggregates_ = false;
    double from_ = 0, to_ = 1;
    bool userMoved_ = false;
    bool settingRange_ = false;
    bool rescalePending_ = false; // live points came since the last replot
};
