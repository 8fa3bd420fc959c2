#include "ui/pages/TrendsChart.h"

#include "ui/ValueFormat.h"

#include <QLabel>
#include <QLocale>
#include <QVBoxLayout>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>

using namespace Trends;

namespace {

constexpr int kLineWidth = 1;
constexpr int kBandLighten = 75; // percent towards white
constexpr int kNormalLimitLighten = 45;
const QColor kAbove(255, 0, 0); // the status colours of the main-values page
const QColor kBelow(0, 0, 255);

QVector<double> Vec(const std::vector<double> &v)
{
    return QVector<double>(v.begin(), v.end());
}

void SetPoints(QCPGraph *graph, const TPoints &points)
{
    graph->setData(Vec(points.Keys), Vec(points.Values), true);
}

QString Number(double value)
{
    return std::isfinite(value) ? QLocale().toString(value, 'g', 6) : QStringLiteral("—");
}

// The value of a graph at the point nearest to key; NaN when none is near.
double NearestValue(const QCPGraph *graph, double key, double *foundKey = nullptr)
{
    if (!graph || graph->data()->isEmpty())
        return std::nan("");
    const auto data = graph->data();
    auto it = data->findBegin(key, false);
    if (it == data->constEnd())
        --it;
    auto best = it;
    if (it != data->constBegin()) {
        auto before = it - 1;
        if (std::fabs(before->key - key) < std::fabs(it->key - key))
            best = before;
    }
    if (foundKey)
        *foundKey = best->key;
    return best->value;
}

} // namespace

TTrendsChart::TTrendsChart(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    plot_ = new QCustomPlot(this);
    plot_->setObjectName(QStringLiteral("pltTrends"));
    plot_->setBackground(Qt::white);
    plot_->setAttribute(Qt::WA_OpaquePaintEvent);
    plot_->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    plot_->axisRect()->setRangeDrag(Qt::Horizontal);
    plot_->axisRect()->setRangeZoom(Qt::Horizontal);
    plot_->axisRect()->setRangeDragAxes(plot_->xAxis, nullptr);
    plot_->axisRect()->setRangeZoomAxes(plot_->xAxis, nullptr);
    plot_->setNoAntialiasingOnDrag(true);
    connect(plot_, &QCustomPlot::beforeReplot, this, [this] {
        if (std::exchange(rescalePending_, false) && !userMoved_)
            RescaleValues();
    });
    // every band under every line: a later series' band never hides an
    // earlier series or a limit line
    plot_->addLayer(QStringLiteral("bands"), plot_->layer(QStringLiteral("main")), QCustomPlot::limBelow);
    auto ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
    ticker->setDateTimeFormat(QStringLiteral("dd.MM.yyyy\nHH:mm"));
    ticker->setDateTimeSpec(Qt::UTC); // the meter's clock, kept without a zone
    plot_->xAxis->setTicker(ticker);
    plot_->yAxis2->setTickLabels(true);
    // every line named, the limit lines too: the chart reads alone, on paper as well
    plot_->legend->setVisible(true);
    plot_->legend->setBrush(QColor(255, 255, 255, 200));
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    plot_->legend->setFont(small);
    plot_->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignLeft);
    layout->addWidget(plot_, 1);
    readout_ = new QLabel(this);
    readout_->setObjectName(QStringLiteral("lblTrendReadout"));
    readout_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    readout_->setWordWrap(true);
    readout_->setMinimumHeight(readout_->fontMetrics().height() * 2);
    layout->addWidget(readout_);

    connect(plot_->xAxis, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), this, [this] {
        if (!settingRange_)
            userMoved_ = true;
    });
    connect(plot_, &QCustomPlot::mouseDoubleClick, this, [this] { ResetView(); });
    connect(plot_, &QCustomPlot::mouseMove, this, &TTrendsChart::OnMouseMove);
    SetTimeRange(from_, to_);
}

QCPAxis *TTrendsChart::AxisFor(TUnit unit)
{
    return unitAxes_[int(unit)] ? unitAxes_[int(unit)] : plot_->yAxis;
}

// Voltages left, currents right; the other units take a main axis left free,
// else one of their own on the right.
void TTrendsChart::PlaceAxes(const std::vector<TBuiltSeries> &series)
{
    bool used[kUnitCount] = {};
    for (const TBuiltSeries &s : series)
        used[int(s.Quantity.Unit)] = true;
    std::fill(std::begin(unitAxes_), std::end(unitAxes_), nullptr);
    for (QCPAxis *axis : extraAxes_)
        if (axis)
            axis->setVisible(false);
    bool leftFree = true, rightFree = true;
    if (used[int(TUnit::Voltage)]) {
        unitAxes_[int(TUnit::Voltage)] = plot_->yAxis;
        leftFree = false;
    }
    if (used[int(TUnit::Current)]) {
        unitAxes_[int(TUnit::Current)] = plot_->yAxis2;
        rightFree = false;
    }
    for (int u = 0; u < kUnitCount; ++u) {
        if (!used[u] || unitAxes_[u])
            continue;
        if (leftFree) {
            unitAxes_[u] = plot_->yAxis;
            leftFree = false;
        } else if (rightFree) {
            unitAxes_[u] = plot_->yAxis2;
            rightFree = false;
        } else {
            if (!extraAxes_[u])
                extraAxes_[u] = plot_->axisRect()->addAxis(QCPAxis::atRight);
            extraAxes_[u]->setVisible(true);
            unitAxes_[u] = extraAxes_[u];
        }
    }
    plot_->yAxis->setLabel({});
    plot_->yAxis2->setLabel({});
    // an empty chart keeps its left axis and grid
    plot_->yAxis->setVisible(!leftFree || series.empty());
    plot_->yAxis2->setVisible(!rightFree);
    for (int u = 0; u < kUnitCount; ++u)
        if (unitAxes_[u])
            unitAxes_[u]->setLabel(UnitText(TUnit(u)));
}

void TTrendsChart::Show(std::vector<TBuiltSeries> series, bool aggregates, double from, double to)
{
    plot_->clearGraphs();
    shown_.clear();
    aggregates_ = aggregates;
    PlaceAxes(series);

    std::vector<TPoints> drawnLimits; // the same line of several channels once
    for (const TBuiltSeries &s : series) {
        QCPAxis *axis = AxisFor(s.Quantity.Unit);
        TShown shown;
        shown.Quantity = s.Quantity;
        if (aggregates) {
            const QColor band = TFormatUtilities::Lighten(s.Quantity.Color, kBandLighten);
            shown.Min = plot_->addGraph(plot_->xAxis, axis);
            shown.Max = plot_->addGraph(plot_->xAxis, axis);
            for (QCPGraph *g : {shown.Min, shown.Max}) {
                g->setPen(QPen(band));
                g->removeFromLegend();
                g->setLayer(QStringLiteral("bands"));
            }
            SetPoints(shown.Min, s.Min);
            SetPoints(shown.Max, s.Max);
            QColor fill = band;
            fill.setAlpha(160);
            shown.Max->setBrush(fill);
            shown.Max->setChannelFillGraph(shown.Min);
            // a smoothed fill costs several times the rest of the chart;
            // its edges are the band's own lines
            shown.Max->setAntialiasedFill(false);
        }
        shown.Line = plot_->addGraph(plot_->xAxis, axis);
        shown.Line->setName(s.Quantity.Caption);
        shown.Line->setPen(QPen(s.Quantity.Color, kLineWidth, s.Quantity.Style));
        SetPoints(shown.Line, s.Line);

        for (int k = 0; k < kLimitCount; ++k) {
            const TPoints &limit = s.Limits[size_t(k)];
            if (limit.Size() == 0)
                continue;
            if (std::any_of(drawnLimits.begin(), drawnLimits.end(), [&](const TPoints &p) {
                    return p.Keys == limit.Keys &&
                           std::equal(p.Values.begin(), p.Values.end(), limit.Values.begin(), limit.Values.end(),
                                      [](double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); });
                }))
                continue;
            drawnLimits.push_back(limit);
            // 0 maximum upper, 1 normal upper, 2 normal lower, 3 maximum lower
            const bool normal = k == 1 || k == 2;
            QColor color = k < 2 ? kAbove : kBelow;
            if (normal)
                color = TFormatUtilities::Lighten(color, kNormalLimitLighten);
            // a limit is one of the quantity's, whatever the channel: its symbol alone
            static const char *const kLimitNames[kLimitCount] = {"предельно допустимое ↑", "нормально допустимое ↑",
                                                                 "нормально допустимое ↓", "предельно допустимое ↓"};
            QCPGraph *g = plot_->addGraph(plot_->xAxis, axis);
            g->setName(s.Quantity.Caption.section(u' ', 0, 0) + QStringLiteral(": ") +
                       QString::fromUtf8(kLimitNames[k]));
            g->setPen(QPen(color, 1, Qt::DashLine));
            g->setLineStyle(QCPGraph::lsStepLeft);
            SetPoints(g, limit);
        }
        for (int side = 0; side < 2; ++side) {
            QCPGraph *g = plot_->addGraph(plot_->xAxis, axis);
            g->setLineStyle(QCPGraph::lsNone);
            const QColor color = side == 0 ? kAbove : kBelow;
            g->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, color, color, 4));
            g->removeFromLegend();
            SetPoints(g, s.Beyond[size_t(side)]);
            shown.Beyond[side] = g;
        }
        shown_.push_back(shown);
    }
    from_ = from;
    to_ = to;
    ResetView();
}

void TTrendsChart::AppendBreak(double key)
{
    for (const TShown &s : shown_)
        for (QCPGraph *graph : {s.Line, s.Min, s.Max})
            if (graph)
                graph->addData(key, std::nan(""));
}

void TTrendsChart::Append(double key, const std::vector<TLivePoint> &points, double from, double to)
{
    for (size_t i = 0; i < shown_.size() && i < points.size(); ++i) {
        const TShown &s = shown_[i];
        const double value = points[i].Value;
        s.Line->addData(key, value);
        if (s.Min)
            s.Min->addData(key, value);
        if (s.Max)
            s.Max->addData(key, value);
        if (points[i].Status != 0 && std::isfinite(value))
            s.Beyond[points[i].Status <= 2 ? 0 : 1]->addData(key, value);
    }
    from_ = from;
    to_ = to;
    if (!userMoved_) {
        SetTimeRange(from_, to_);
        rescalePending_ = true; // once, before the replot of the batch
    }
    // points of several cycles handled in one pass are drawn once
    Replot(QCustomPlot::rpQueuedReplot);
}

int TTrendsChart::PixelColumns() const
{
    return std::max(plot_->axisRect()->width(), 200);
}

void TTrendsChart::SetTimeRange(double from, double to)
{
    settingRange_ = true;
    plot_->xAxis->setRange(from, std::max(to, from + 1));
    settingRange_ = false;
}

void TTrendsChart::RescaleValues()
{
    for (QCPAxis *axis : plot_->axisRect()->axes(QCPAxis::atLeft | QCPAxis::atRight)) {
        if (!axis->visible() || axis->graphs().isEmpty())
            continue;
        axis->rescale(true);
        const QCPRange range = axis->range();
        const double margin = range.size() > 0 ? range.size() * 0.05 : std::max(std::fabs(range.center()) * 0.05, 1.0);
        axis->setRange(range.lower - margin, range.upper + margin);
    }
}

void TTrendsChart::ResetView()
{
    userMoved_ = false;
    SetTimeRange(from_, to_);
    RescaleValues();
    Replot(QCustomPlot::rpRefreshHint);
}

// A hidden chart draws nothing (its buffer may have no size): it is drawn
// when shown.
void TTrendsChart::Replot(int priority)
{
    if (isVisible())
        plot_->replot(QCustomPlot::RefreshPriority(priority));
}

void TTrendsChart::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    plot_->replot();
}

QCPGraph *TTrendsChart::Line(int i) const
{
    return i >= 0 && i < int(shown_.size()) ? shown_[size_t(i)].Line : nullptr;
}

QString TTrendsChart::ReadoutAt(double key) const
{
    if (shown_.empty())
        return {};
    double at = key;
    NearestValue(shown_.front().Line, key, &at);
    QStringList parts{Archive::SeriesDateTime(at).toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"))};
    for (const TShown &s : shown_) {
        const QString unit = ValueUnit(s.Quantity);
        QString text = s.Quantity.Caption + QStringLiteral(": ") + Number(NearestValue(s.Line, at));
        if (aggregates_)
            text += QStringLiteral(" (%1…%2)").arg(Number(NearestValue(s.Min, at)), Number(NearestValue(s.Max, at)));
        if (!unit.isEmpty())
            text += u' ' + unit;
        parts << text;
    }
    return parts.join(QStringLiteral("   "));
}

void TTrendsChart::OnMouseMove(QMouseEvent *event)
{
    if (!plot_->axisRect()->rect().contains(event->pos()))
        return;
    readout_->setText(ReadoutAt(plot_->xAxis->pixelToCoord(event->pos().x())));
}

// The title in a row of its own above the chart while the picture is made.
bool TTrendsChart::SaveWithTitle(const QString &title, const std::function<bool()> &save)
{
    auto *text = new QCPTextElement(plot_, title, QFont(font().family(), 10, QFont::Bold));
    plot_->plotLayout()->insertRow(0);
    plot_->plotLayout()->addElement(0, 0, text);
    const bool saved = save();
    plot_->plotLayout()->remove(text);
    plot_->plotLayout()->simplify();
    plot_->replot();
    return saved;
}

bool TTrendsChart::SavePng(const QString &fileName, const QString &title)
{
    return SaveWithTitle(title, [&] { return plot_->savePng(fileName); });
}

bool TTrendsChart::SavePdf(const QString &fileName, const QString &title)
{
    // an A4 page across, in points
    return SaveWithTitle(title, [&] { return plot_->savePdf(fileName, 842, 595); });
}
