#pragma once

// The report's trend charts: a quantity's values over the interval with the
// limits in force drawn as lines, rendered off screen as PNG (needs a
// QApplication: QCustomPlot is a widget).

#include "report/QualityReport.h"

#include <QByteArray>
#include <QSize>

namespace Report {

// The results drawn, all against the limits of the first one.
QByteArray TrendChartPng(const TQualityReport &report, const std::vector<size_t> &results, const QString &title,
                         QSize size);

} // namespace Report
