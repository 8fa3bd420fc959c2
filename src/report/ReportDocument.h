#pragma once

// The quality report as a document: HTML with its charts inside, an A4 PDF
// made from the same text, or JSON (docs/report.md describes its fields).
// HTML and PDF draw charts: they need a QApplication.

#include "report/QualityReport.h"

#include <QByteArray>

namespace Report {

enum class TFormat { Html, Pdf, Json };

QByteArray RenderReport(const TQualityReport &report, TFormat format);

} // namespace Report
