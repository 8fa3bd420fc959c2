#pragma once

// The command line of raruzor-report.

#include "report/QualityReport.h"
#include "report/ReportDocument.h"

#include <QString>
#include <QStringList>

struct TReportOptions
{
    QString Archive;    // a path or a postgresql:// URL
    QString ConfigFile; // an INI file naming the archive when Archive is not given
    Report::TReportRequest Request;
    Report::TFormat Format = Report::TFormat::Html;
    Report::TDocumentFields Fields; // --site, --customer, or the INI's [Report] Site and Customer
    QString OutFile;

    static QString Usage();
    // False with `error` set (in English, like the usage) for a wrong command line.
    bool Parse(const QStringList &arguments, QString &error);
};
