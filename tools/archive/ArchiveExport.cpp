#include "ArchiveExport.h"

#include "archive/ArchiveColumns.h"
#include "archive/ArchiveDatabase.h"
#include "archive/ArchiveRows.h"
#include "common/Cp1251.h"
#include "common/ShortestFloat.h"
#include "files/CsvSnapshot.h"

#include <QDir>
#include <QSaveFile>
#include <QSqlError>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

using namespace Archive;

namespace {

enum class TCellKind { Text, Integer, Real };

struct TColumn
{
    QString Name;
    TCellKind Kind;
};

std::vector<TColumn> Columns(bool aggregates)
{
    std::vector<TColumn> columns;
    if (aggregates) {
        columns = {{QStringLiteral("interval_start"), TCellKind::Text},
                   {QStringLiteral("values_count"), TCellKind::Integer},
                   {QStringLiteral("flags"), TCellKind::Integer}};
        for (const TQuantity &quantity : Quantities())
            for (const char *suffix : {"_avg", "_min", "_max"})
                columns.push_back({quantity.Name + QLatin1String(suffix), TCellKind::Real});
    } else {
        columns = {{QStringLiteral("meter_time"), TCellKind::Text}, {QStringLiteral("pc_time_utc"), TCellKind::Text}};
        for (const TQuantity &quantity : Quantities())
            columns.push_back({quantity.Name, TCellKind::Real});
    }
    return columns;
}

// The snapshot's cells: the meter's float32 numbers in their shortest exact
// form ("-0.04") with the system's decimal mark, times in the archive's form, an empty cell for a value the
// meter did not give. Each cell is written anew from the number or time read
// back, never the archive's text as it is: an edited archive could otherwise
// put a formula into the spreadsheet that opens the file. Nothing when the
// value is not of the column's kind.
std::optional<QString> Cell(const QVariant &value, TCellKind kind, QChar decimalSeparator)
{
    if (value.isNull())
        return QString();
    bool ok = false;
    switch (kind) {
    case TCellKind::Integer:
        if (const qlonglong number = value.toLongLong(&ok); ok)
            return QString::number(number);
        break;
    case TCellKind::Real:
        if (const double number = value.toDouble(&ok); ok)
            return std::isfinite(number) && std::fabs(number) <= std::numeric_limits<float>::max()
                       ? ShortestFloatText(float(number), decimalSeparator)
                       : TCsvFile::FormatFloat(number, decimalSeparator); // not a float32 the meter gave
        break;
    case TCellKind::Text:
        if (const QDateTime time = TimeFromText(value.toString()); time.isValid())
            return TimeText(time);
        break;
    }
    return std::nullopt;
}

} // namespace

QStringList ExportColumns(bool aggregates)
{
    QStringList names;
    for (const TColumn &column : Columns(aggregates))
        names << column.Name;
    return names;
}

TExportOutcome ExportCsv(TArchiveDatabase &database, const TArchiveExport &what)
{
    TExportOutcome outcome;
    const bool postgres = database.Target().Kind() == TArchiveTarget::TKind::PostgreSQL;
    const QVariant meter(what.MeterId);
    QSqlQuery known = database.Select(QStringLiteral("SELECT COUNT(*) FROM meters WHERE id = ?"), std::span(&meter, 1));
    if (!known.next()) {
        outcome.Error = database.Error();
        return outcome;
    }
    if (known.value(0).toLongLong() == 0) {
        outcome.Error = QStringLiteral("в архиве нет счетчика %1").arg(what.MeterId);
        return outcome;
    }
    known.finish();

    const std::vector<TColumn> columns = Columns(what.Aggregates);
    const QString &timeColumn = columns.front().Name;
    QStringList selected;
    for (const TColumn &column : columns)
        selected << (column.Kind == TCellKind::Text && postgres
                         ? QStringLiteral("to_char(%1, 'YYYY-MM-DD HH24:MI:SS')").arg(column.Name)
                         : column.Name);
    QString statement =
        QStringLiteral("SELECT %1 FROM %2 WHERE meter_id = ?")
            .arg(selected.join(u','), what.Aggregates ? QStringLiteral("aggregates_10min") : QStringLiteral("cycles"));
    std::vector<QVariant> values{meter};
    if (what.From.isValid()) {
        statement += QStringLiteral(" AND %1 >= ?").arg(timeColumn);
        values.emplace_back(TimeText(what.From));
    }
    if (what.To.isValid()) {
        statement += QStringLiteral(" AND %1 < ?").arg(timeColumn);
        values.emplace_back(TimeText(what.To));
    }
    statement += QStringLiteral(" ORDER BY %1").arg(timeColumn);
    QSqlQuery rows = database.Select(statement, values);
    if (!rows.isActive()) {
        outcome.Error = database.Error();
        return outcome;
    }

    QString reason;
    if (!TGenerateNameUtilities::PrepareFolder(what.CsvFile, {}, &reason)) {
        outcome.Error = reason;
        return outcome;
    }
    QSaveFile file(what.CsvFile);
    if (!file.open(QIODevice::WriteOnly)) {
        outcome.Error = file.errorString();
        return outcome;
    }
    const QChar decimalSeparator = TCsvFile::SystemDecimalSeparator();
    const auto writeLine = [&file](const QString &line) {
        const QByteArray bytes = Cp1251::Encode(line);
        return file.write(bytes) == bytes.size();
    };
    QString line;
    for (const TColumn &column : columns)
        line += column.Name + u';';
    bool ok = writeLine(line + QStringLiteral("\r\n"));
    while (ok && rows.next()) {
        line.clear();
        bool readable = true;
        for (size_t i = 0; i < columns.size() && readable; ++i) {
            const std::optional<QString> cell = Cell(rows.value(int(i)), columns[i].Kind, decimalSeparator);
            readable = cell.has_value();
            line += cell.value_or(QString()) + u';';
        }
        if (!readable) {
            ++outcome.Skipped;
            continue;
        }
        ok = writeLine(line + QStringLiteral("\r\n"));
        ++outcome.Rows;
    }
    if (ok && rows.lastError().isValid()) {
        outcome.Error = QStringLiteral("не удалось прочитать архив: ") + rows.lastError().text();
        file.cancelWriting();
        file.commit();
        return outcome;
    }
    if (!ok) {
        outcome.Error = file.errorString();
        file.cancelWriting(); // the temporary file goes, the old one stays
        file.commit();
        return outcome;
    }
    outcome.Written = file.commit();
    if (!outcome.Written)
        outcome.Error = file.errorString();
    return outcome;
}
