#pragma once

// One meter's cycles or 10-minute rows as a CSV file in the form of the
// monitor's snapshots.

#include <QDateTime>
#include <QString>

class TArchiveDatabase;

struct TArchiveExport
{
    qint64 MeterId = 0;
    QDateTime From, To; // meter time, [From, To); invalid: open
    bool Aggregates = false;
    QString CsvFile;
};

struct TExportOutcome
{
    bool Written = false;
    qint64 Rows = 0;
    qint64 Skipped = 0; // rows left out: a time or a number in them does not read
    QString Error;      // for the user, when not written
};

// The CSV's columns: the archive's own names, spectra left out.
QStringList ExportColumns(bool aggregates);

// The file appears under its name only once complete; an old file of that
// name stays as it was when anything fails. A row whose time or number does
// not read as one (an archive edited by hand) is left out and counted.
TExportOutcome ExportCsv(TArchiveDatabase &database, const TArchiveExport &what);
