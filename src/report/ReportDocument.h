#pragma once

// The quality report as a document: HTML with its charts inside, an A4 PDF
// made from the same text, or JSON (docs/report.md describes its fields).
// HTML and PDF draw charts: they need a QApplication.

#include "report/QualityReport.h"

#include <QByteArray>
#include <QDateTime>

class QTextDocument;

namespace Report {

enum class TFormat { Html, Pdf, Json };

// What the document says beyond the archive: where and for whom it was
// measured, and when it was issued (invalid: now).
struct TDocumentFields
{
    QString Site;
    QString Customer;
    QDateTime Issued;
};

QByteArray RenderReport(const TQualityReport &report, TFormat format, const TDocumentFields &fields = {});

// The meter as the window names it: its model and factory number; an
// identifier the program does not know stays as the archive has it.
QString MeterName(const TMeterInfo &meter);

// The PDF's text laid out on its pages as it is printed: the page height is
// the document's page size; headings that would stay apart from their table
// already start a new page.
void LayOutReport(const TQualityReport &report, const TDocumentFields &fields, QTextDocument &document);

} // namespace Report
