#include "report/ReportCharts.h"

#include "archive/ArchiveRows.h"

#include <QBuffer>
#include <QLocale>
#include <algorithm>
#include <cmath>
#include <limits>
#include <qcustomplot.h>

namespace Report {
namespace {

const QColor kChannelColours[] = {QColor(200, 160, 0), QColor(0, 140, 0), QColor(200, 0, 0),
                                  QColor(120, 90, 0),  QColor(0, 90, 90), QColor(140, 0, 140)};

constexpr int kTextPixels = 18;

double Limit(float value)
{
    return value != 0.0f && std::isfinite(value) ? double(value) : std::nan("");
}

} // namespace

QByteArray TrendChartPng(const TQualityReport &report, const std::vector<size_t> &results, const QString &title,
                         QSize size)
{
    QCustomPlot plot;
    plot.resize(size);
    plot.setNoAntialiasingOnDrag(true);
    // Numbers as the tables write them: a decimal comma, no group separator.
    QLocale locale(QLocale::Russian, QLocale::Russia);
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    plot.setLocale(locale);
    // The picture is printed at half its pixel width in points (1000 px on
    // 500 pt): 18 px print as 9 pt.
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(kTextPixels);
    for (QCPAxis *axis : {plot.xAxis, plot.yAxis}) {
        axis->setTickLabelFont(font);
        axis->setNumberFormat(QStringLiteral("gb"));
        axis->setTickLength(0, 6);
    }
    plot.legend->setFont(font);
    plot.plotLayout()->insertRow(0);
    QFont headingFont = font;
    headingFont.setPixelSize(kTextPixels + 2);
    headingFont.setBold(true);
    plot.plotLayout()->addElement(0, 0, new QCPTextElement(&plot, title, headingFont));

    const auto ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
    const qint64 span = report.To.toSecsSinceEpoch() - report.From.toSecsSinceEpoch();
    ticker->setDateTimeFormat(span > 2 * 86400 ? QStringLiteral("dd.MM\nHH:mm") : QStringLiteral("HH:mm\ndd.MM"));
    ticker->setDateTimeSpec(Qt::UTC);
    ticker->setTickCount(8);
    plot.xAxis->setTicker(ticker);
    plot.xAxis->setRange(double(report.From.toSecsSinceEpoch()), double(report.To.toSecsSinceEpoch()));

    // A dense series (3-s values over days) as the range and mean of each
    // of a few hundred spans: every value stays inside the band.
    const double spanSeconds = double(std::max<qint64>(span, 1));
    const int bins = std::max(50, size.width() / 2);
    bool anyValues = false;
    for (size_t k = 0; k < results.size(); ++k) {
        const TCriterionResult &result = report.Results[results[k]];
        const TSeries &series = result.Series;
        const qint64 step = result.Criterion->Basis == TBasis::Cycle ? 3 : Archive::kIntervalSeconds;
        const QColor colour = results.size() == 1 ? QColor(0, 70, 160) : kChannelColours[k % 6];
        const QString name = DisplayName(*result.Criterion);
        anyValues = anyValues || !series.Times.empty();
        if (series.Times.size() > size_t(bins) * 4) {
            QVector<double> keys(bins), low(bins), high(bins), mean(bins);
            std::vector<double> sums(size_t(bins), 0.0);
            std::vector<qint64> counts(size_t(bins), 0);
            for (int b = 0; b < bins; ++b) {
                keys[b] = double(report.From.toSecsSinceEpoch()) + (b + 0.5) * spanSeconds / bins;
                low[b] = std::numeric_limits<double>::infinity();
                high[b] = -std::numeric_limits<double>::infinity();
            }
            for (size_t i = 0; i < series.Times.size(); ++i) {
                const double at = double(series.Times[i] - report.From.toSecsSinceEpoch()) / spanSeconds * bins;
                const int b = std::clamp(int(at), 0, bins - 1);
                const double v = double(series.Values[i]);
                low[b] = std::min(low[b], v);
                high[b] = std::max(high[b], v);
                sums[size_t(b)] += v;
                ++counts[size_t(b)];
            }
            for (int b = 0; b < bins; ++b) {
                if (counts[size_t(b)] == 0) {
                    low[b] = high[b] = mean[b] = std::nan(""); // a gap stays a gap
                    continue;
                }
                mean[b] = sums[size_t(b)] / double(counts[size_t(b)]);
            }
            QColor light = colour;
            light.setAlpha(70);
            QCPGraph *lowGraph = plot.addGraph();
            lowGraph->setData(keys, low, true);
            lowGraph->setPen(QPen(light, 1));
            lowGraph->removeFromLegend();
            QCPGraph *highGraph = plot.addGraph();
            highGraph->setData(keys, high, true);
            highGraph->setPen(QPen(light, 1));
            highGraph->setBrush(light);
            highGraph->setChannelFillGraph(lowGraph);
            highGraph->setName(name + QStringLiteral(": мин.–макс."));
            QCPGraph *meanGraph = plot.addGraph();
            meanGraph->setData(keys, mean, true);
            meanGraph->setPen(QPen(colour, 1.5));
            meanGraph->setName(name + QStringLiteral(": среднее"));
            continue;
        }
        QVector<double> keys, values;
        keys.reserve(qsizetype(series.Times.size()) + 16);
        values.reserve(keys.capacity());
        for (size_t i = 0; i < series.Times.size(); ++i) {
            // A gap stays a gap on the chart.
            if (i > 0 && series.Times[i] - series.Times[i - 1] > step * 3 / 2) {
                keys << double(series.Times[i - 1] + step);
                values << std::nan("");
            }
            keys << double(series.Times[i]);
            values << double(series.Values[i]);
        }
        QCPGraph *graph = plot.addGraph();
        graph->setData(keys, values, true);
        graph->setPen(QPen(colour, 1.5));
        graph->setName(name);
    }

    // The limits in force, as steps where they change, named with the
    // quantity they limit.
    if (!results.empty()) {
        const TCriterionResult &first = report.Results[results.front()];
        const TSeries &series = first.Series;
        QVector<double> keys;
        QVector<double> lines[4];
        TLimitValues last{std::nanf(""), std::nanf(""), std::nanf(""), std::nanf("")};
        const auto add = [&](qint64 time, const TLimitValues &v) {
            keys << double(time);
            lines[0] << Limit(v.MaxUpper);
            lines[1] << Limit(v.NormalUpper);
            lines[2] << Limit(v.NormalLower);
            lines[3] << Limit(v.MaxLower);
        };
        const auto same = [](const TLimitValues &a, const TLimitValues &b) {
            return a.MaxUpper == b.MaxUpper && a.NormalUpper == b.NormalUpper && a.NormalLower == b.NormalLower &&
                   a.MaxLower == b.MaxLower;
        };
        for (size_t i = 0; i < series.Times.size(); ++i) {
            const TLimitValues v = LimitsAt(report, *first.Criterion, series.Times[i]);
            if (i == 0 || !same(v, last))
                add(series.Times[i], v);
            last = v;
        }
        if (!series.Times.empty())
            add(report.To.toSecsSinceEpoch(), last);
        const QString quantity = title.section(u',', 0, 0).section(u' ', 0, 0);
        const char *names[] = {"наибольший верхний", "нормальный верхний", "нормальный нижний", "наибольший нижний"};
        for (int l = 0; l < 4; ++l) {
            bool any = false;
            for (double v : lines[l])
                any = any || !std::isnan(v);
            if (!any)
                continue;
            QCPGraph *graph = plot.addGraph();
            graph->setData(keys, lines[l], true);
            graph->setLineStyle(QCPGraph::lsStepLeft);
            graph->setPen(QPen(l == 0 || l == 3 ? QColor(220, 0, 0) : QColor(230, 130, 0), 2, Qt::DashLine));
            graph->setName(QStringLiteral("%1: %2 предел").arg(quantity, QString::fromUtf8(names[l])));
        }
    }
    if (anyValues) {
        plot.yAxis->rescale();
        const QCPRange range = plot.yAxis->range();
        const double pad = range.size() > 0 ? range.size() * 0.05 : std::max(1e-3, std::fabs(range.center()) * 0.01);
        plot.yAxis->setRange(range.lower - pad, range.upper + pad);
    } else {
        plot.yAxis->setRange(0, 1);
    }
    // The legend under the plot, never over the data.
    plot.legend->setVisible(plot.legend->itemCount() > 1);
    if (plot.legend->visible()) {
        plot.axisRect()->insetLayout()->take(plot.legend);
        plot.plotLayout()->addElement(2, 0, plot.legend);
        plot.legend->setWrap(2); // two to a row, rearranged with the order
        plot.legend->setFillOrder(QCPLayoutGrid::foColumnsFirst, true);
        plot.legend->setBorderPen(Qt::NoPen);
        plot.legend->setRowSpacing(0);
        plot.legend->setColumnSpacing(16);
        plot.legend->setMargins(QMargins(4, 0, 4, 0));
        plot.plotLayout()->setRowStretchFactor(2, 0.001);
    }

    const QPixmap picture = plot.toPixmap(size.width(), size.height());
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return png;
}

} // namespace Report
