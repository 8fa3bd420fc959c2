#include "ui/charts/VectorChart.h"

#include <qcustomplot.h>

#include <algorithm>
#include <cmath>

namespace {

QPen GuidePen()
{
    return QPen(QColor(96, 96, 96), 1, Qt::DotLine);
}

} // namespace

TVectorChart::TVectorChart(double range, double smallRadius, double bigRadius, QWidget *parent)
    : QWidget(parent), range_(range), smallRadius_(smallRadius), bigRadius_(bigRadius)
{
    plot_ = new QCustomPlot(this);
    plot_->setObjectName(QStringLiteral("plot"));
    plot_->setInteractions({});
    plot_->legend->setVisible(false);
    plot_->setAntialiasedElements(QCP::aeItems);
    // drawn in the paint pass that follows a data block, with the rest of the page
    plot_->setPlottingHint(QCP::phImmediateRefresh, false);
    for (QCPAxis *axis : plot_->axisRect()->axes()) {
        axis->setVisible(false);
        axis->setRange(-range_, range_);
    }
    plot_->axisRect()->setAutoMargins(QCP::msNone);

    AddCircle(smallRadius_);
    AddCircle(bigRadius_);
    // the coordinate cross
    const QPen guide = GuidePen();
    QCPItemLine *horizontal = NewLine(guide);
    horizontal->start->setCoords(-range_, 0);
    horizontal->end->setCoords(range_, 0);
    QCPItemLine *vertical = NewLine(guide);
    vertical->start->setCoords(0, -range_);
    vertical->end->setCoords(0, range_);
}

void TVectorChart::AddCircle(double radius)
{
    auto *circle = new QCPItemEllipse(plot_);
    circle->setPen(GuidePen());
    circle->setBrush(Qt::NoBrush);
    circle->topLeft->setCoords(-radius, radius);
    circle->bottomRight->setCoords(radius, -radius);
    circle->setVisible(radius > 0);
}

QCPItemLine *TVectorChart::NewLine(const QPen &pen)
{
    auto *line = new QCPItemLine(plot_);
    line->setPen(pen);
    line->start->setCoords(0, 0);
    line->end->setCoords(0, 0);
    return line;
}

int TVectorChart::AddArrowSeries(const char *name, const QString &title, TLine line)
{
    QPen pen(Qt::black, line == TLine::Solid ? kArrowPenWidth : 1, line == TLine::Solid ? Qt::SolidLine : Qt::DashLine);
    series_.push_back({QLatin1String(name), title, pen, {}});
    return static_cast<int>(series_.size()) - 1;
}

void TVectorChart::SetArrows(int series, const std::vector<TArrow> &arrows)
{
    TSeries &s = series_[series];
    // the items are kept and moved: a diagram has the same arrows every time
    while (s.Items.size() < arrows.size()) {
        QCPItemLine *item = NewLine(s.Pen);
        item->setHead(QCPLineEnding(QCPLineEnding::esSpikeArrow, kArrowHeadWidth, kArrowHeadLength));
        s.Items.push_back(item);
    }
    for (size_t i = 0; i < s.Items.size(); ++i) {
        QCPItemLine *item = s.Items[i];
        const bool used = i < arrows.size();
        item->setVisible(used);
        if (!used)
            continue;
        item->end->setCoords(arrows[i].End);
        if (item->pen().color() != arrows[i].Color) {
            QPen pen = s.Pen;
            pen.setColor(arrows[i].Color);
            item->setPen(pen);
        }
    }
    Replot();
}

std::vector<TArrow> TVectorChart::Arrows(int series) const
{
    std::vector<TArrow> arrows;
    for (const QCPItemLine *item : series_[series].Items)
        if (item->visible())
            arrows.push_back({item->end->coords(), item->pen().color()});
    return arrows;
}

void TVectorChart::Replot()
{
    if (isVisible()) {
        plot_->replot(QCustomPlot::rpQueuedReplot);
        stale_ = false;
    } else {
        stale_ = true;
    }
}

void TVectorChart::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // the largest square that fits, centred
    const int side = std::min(width(), height());
    if (side <= 0)
        return; // a chart with no room draws nothing; an empty plot could not draw at all
    plot_->setGeometry((width() - side) / 2, (height() - side) / 2, side, side);
    const int margin = static_cast<int>(std::lround(side * kMarginShare));
    plot_->axisRect()->setMargins(QMargins(margin, margin, margin, margin));
}

void TVectorChart::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (stale_) {
        stale_ = false;
        plot_->replot(QCustomPlot::rpQueuedReplot);
    }
}
