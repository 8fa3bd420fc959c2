#include "ui/charts/SpectrumChart.h"

#include "ui/ValueFormat.h"

#include <QCursor>
#include <QHelpEvent>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>

#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kLastKey = 50;
// A labelled tick every ten orders and one small tick between. Few labels
// also keep the chart's label cache (16 texts an axis) from being thrown
// away on every replot.
constexpr double kKeyTickStep = 10;

class TOneSubTickTicker : public QCPAxisTickerFixed
{
protected:
    int getSubTickCount(double) override { return 1; }
};

} // namespace

TSpectrumChart::TSpectrumChart(const TLook &look, QWidget *parent) : QWidget(parent), look_(look)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    plot_ = new QCustomPlot(this);
    plot_->setObjectName(QStringLiteral("plot"));
    layout->addWidget(plot_);

    plot_->setInteractions({});
    plot_->legend->setVisible(false);
    plot_->setNotAntialiasedElements(QCP::aeAll);
    // A replot after a data block is painted together with the tables and
    // frames that changed, in one pass; the plot covers all it paints, so
    // nothing behind it is painted first.
    plot_->setPlottingHint(QCP::phImmediateRefresh, false);
    plot_->setAttribute(Qt::WA_OpaquePaintEvent);

    auto ticker = QSharedPointer<TOneSubTickTicker>::create();
    ticker->setTickStep(kKeyTickStep);
    ticker->setScaleStrategy(QCPAxisTickerFixed::ssNone);
    plot_->xAxis->setTicker(ticker);
    plot_->xAxis->setRange(0, kLastKey);
    plot_->xAxis->setLabel(look_.CategoryTitle);
    plot_->yAxis->setLabel(look_.ValueTitle);
    plot_->yAxis->setRange(look_.Symmetric ? -look_.DesignMaximum : 0, look_.DesignMaximum);

    group_ = new QCPBarsGroup(plot_);
    group_->setSpacingType(QCPBarsGroup::stAbsolute);
    group_->setSpacing(0);

    hintTimer_ = new QTimer(this);
    hintTimer_->setInterval(kHintReshowMs);
    connect(hintTimer_, &QTimer::timeout, this, &TSpectrumChart::ReshowHint);
    plot_->installEventFilter(this);
}

QCPBars *TSpectrumChart::AddSeries(const char *name, const QString &title, const QColor &color)
{
    auto *bars = new QCPBars(plot_->xAxis, plot_->yAxis);
    bars->setObjectName(QLatin1String(name));
    bars->setName(title);
    bars->removeFromLegend();
    bars->setAntialiased(false);
    bars->setWidthType(QCPBars::wtPlotCoords);
    bars->setWidth(1.0);
    SetColor(bars, color);
    QVector<double> keys(kBarCount), values(kBarCount, 0.0);
    for (int i = 0; i < kBarCount; ++i)
        keys[i] = look_.FirstKey + i;
    bars->setData(keys, values, true);
    bars->setVisible(false);
    series_.append(bars);
    return bars;
}

void TSpectrumChart::ShowOnly(const QList<QCPBars *> &shown)
{
    group_->clear();
    for (QCPBars *bars : series_)
        bars->setVisible(shown.contains(bars));
    // "100 %": the shown bars of one category fill it together
    const double width = shown.isEmpty() ? 1.0 : 1.0 / shown.size();
    for (QCPBars *bars : shown) {
        bars->setWidth(width);
        group_->append(bars);
    }
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void TSpectrumChart::SetColor(QCPBars *series, const QColor &color)
{
    series->setBrush(color);
    series->setPen(Qt::NoPen);
}

QColor TSpectrumChart::Color(const QCPBars *series)
{
    return series->brush().color();
}

QString TSpectrumChart::ValueTitle() const
{
    return plot_->yAxis->label();
}

void TSpectrumChart::SetValueTitle(const QString &title)
{
    plot_->yAxis->setLabel(title);
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

double TSpectrumChart::ValueMaximum() const
{
    return plot_->yAxis->range().upper;
}

double TSpectrumChart::ValueMinimum() const
{
    return plot_->yAxis->range().lower;
}

void TSpectrumChart::SetValueMaximum(double maximum)
{
    plot_->yAxis->setRange(look_.Symmetric ? -maximum : plot_->yAxis->range().lower, maximum);
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

int TSpectrumChart::AutoMaximum() const
{
    // Kept in double until the end: a bar beyond the int range (or an
    // infinite one) must not wrap round into a negative maximum, and a NaN
    // or infinite bar has no height to scale to.
    constexpr double kLargest = std::numeric_limits<int>::max() - 1;
    double a = 0;
    for (const QCPBars *bars : series_) {
        if (!bars->visible())
            continue;
        for (auto it = bars->data()->constBegin(); it != bars->data()->constEnd(); ++it) {
            const double y = std::fabs(it->value);
            if (std::isfinite(y) && y > a)
                a = std::nearbyint(y); // the default rounding: halves to even
        }
    }
    return static_cast<int>(std::min(a, kLargest)) + 1;
}

std::optional<TSpectrumChart::THint> TSpectrumChart::HintAt(const QPoint &pos) const
{
    for (const QCPBars *bars : series_) {
        if (!bars->visible())
            continue;
        QVariant details;
        if (bars->selectTest(pos, false, &details) < 0)
            continue;
        const QCPDataSelection hit = details.value<QCPDataSelection>();
        if (hit.isEmpty())
            continue;
        const auto bar = bars->data()->at(hit.dataRange().begin());
        const QString text = bars->name() + QLatin1Char('\n') + look_.HintKeyCaption +
                             QString::number(qRound(bar->key)) + QLatin1Char('\n') + QStringLiteral("Значение: ") +
                             TFormatUtilities::FormatNumber(bar->value, 2) + look_.HintValueSuffix;
        return THint{text, Color(bars)};
    }
    return std::nullopt;
}

bool TSpectrumChart::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == plot_) {
        switch (event->type()) {
        case QEvent::ToolTip:
            if (!ShowHint(static_cast<QHelpEvent *>(event)->pos())) {
                QToolTip::hideText();
                event->ignore();
            }
            return true;
        case QEvent::Show:
            // bars change while the page is hidden without a replot
            plot_->replot(QCustomPlot::rpQueuedRefresh);
            break;
        default: break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool TSpectrumChart::ShowHint(const QPoint &pos)
{
    const std::optional<THint> hint = HintAt(pos);
    if (!hint)
        return false;
    if (hint->Color != hintColor_) {
        // the tip label takes its look from the style sheet of the widget it explains
        hintColor_ = hint->Color;
        plot_->setStyleSheet(QStringLiteral("QToolTip { background-color: %1; color: black; border: 1px solid black; }")
                                 .arg(hintColor_.name()));
    }
    QToolTip::showText(plot_->mapToGlobal(pos), hint->Text, plot_);
    hintTimer_->start();
    return true;
}

void TSpectrumChart::ReshowHint()
{
    // Renewed while the mouse rests on a bar; gone once it has left the
    // bars for the hide time-out.
    const QPoint pos = plot_->mapFromGlobal(QCursor::pos());
    if (plot_->isVisible() && plot_->rect().contains(pos) && ShowHint(pos)) {
        offBar_.invalidate();
        return;
    }
    if (!offBar_.isValid())
        offBar_.start();
    if (offBar_.elapsed() >= kHintHideMs) {
        offBar_.invalidate();
        hintTimer_->stop();
        QToolTip::hideText();
    }
}
