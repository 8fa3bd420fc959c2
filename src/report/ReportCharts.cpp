#include "report/ReportCharts.h"

#include "archive/ArchiveRows.h"

#include <QBuffer>
#include <cmath>
#include <qcustomplot.h>

namespace Report {
namespace {

const QColor kChannelColours[] = {QColor(200, 160, 0), QColor(0, 140, 0), QColor(200, 0, 0),
                                  QColor(120, 90, 0),  QColor(0, 90, 90), QColor(140, 0, 140)};

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
    QFont font = plot.font();
    font.setPointSize(8);
    plot.xAxis->setTickLabelFont(font);
    plot.yAxis->setTickLabelFont(font);
    plot.legend->setFont(font);
    plot.plotLayout()->insertRow(0);
    auto *heading = new QCPTextElement(&plot, title, QFont(font.family(), 9, QFont::Bold));
    plot.plotLayout()->addElement(0, 0, heading);

    const auto ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
    ticker->setDateTimeFormat(QStringLiteral("dd.MM\nHH:mm"));
    ticker->setDateTimeSpec(Qt::UTC);
    plot.xAxis->setTicker(ticker);
    plot.xAxis->setRange(double(report.From.toSecsSinceEpoch()), double(report.To.toSecsSinceEpoch()));

    bool anyValues = false;
    for (size_t k = 0; k < results.size(); ++k) {
        const TCriterionResult &result = report.Results[results[k]];
        const TSeries &series = result.Series;
        const qint64 step = result.Criterion->Basis == TBasis::Cycle ? 3 : Archive::kIntervalSeconds;
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
        anyValues = anyValues || !keys.isEmpty();
        QCPGraph *graph = plot.addGraph();
        graph->setData(keys, values, true);
        graph->setPen(QPen(results.size() == 1 ? QColor(0, 70, 160) : kChannelColours[k % 6], 1));
        graph->setName(DisplayName(*result.Criterion));
    }

    // The limits in force, as steps where they change.
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
            graph->setPen(QPen(l == 0 || l == 3 ? QColor(220, 0, 0) : QColor(230, 130, 0), 1.5, Qt::DashLine));
            graph->setName(QStringLiteral("предел: ") + QString::fromUtf8(names[l]));
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
    plot.legend->setVisible(plot.graphCount() > 1);
    plot.legend->setRowSpacing(0);
    plot.axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignRight);

    const QPixmap picture = plot.toPixmap(size.width(), size.height());
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return png;
}

} // namespace Report
