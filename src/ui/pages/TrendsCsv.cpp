#include "ui/pages/TrendsCsv.h"

#include "archive/ArchiveRows.h"
#include "common/Exceptions.h"
#include "common/ShortestFloat.h"
#include "files/CsvSnapshot.h"

#include <algorithm>
#include <cmath>

namespace Trends {

bool WriteCsv(const QString &fileName, const Archive::TSeriesResult &data, const std::vector<TQuantity> &quantities,
              double from, double to, QString *error)
{
    const bool aggregates = data.Source == Archive::TSeriesSource::Aggregates;
    std::vector<const Archive::TSeriesColumn *> columns;
    QString line = aggregates ? QStringLiteral("Начало интервала;Флаги;") : QStringLiteral("Время счетчика;");
    for (const TQuantity &quantity : quantities) {
        const auto found = std::find_if(data.Columns.begin(), data.Columns.end(),
                                        [&](const Archive::TSeriesColumn &c) { return c.Quantity == quantity.Name; });
        if (found == data.Columns.end())
            continue;
        columns.push_back(&*found);
        const QString name = ExportName(quantity);
        line += aggregates ? QStringLiteral("%1 ср.;%1 мин.;%1 макс.;").arg(name) : name + u';';
    }
    QString reason;
    if (!TGenerateNameUtilities::PrepareFolder(fileName, {}, &reason)) {
        if (error)
            *error = reason;
        return false;
    }
    TCsvFile file(fileName);
    if (!file.Open()) {
        if (error)
            *error = file.ErrorString();
        return false;
    }
    const QChar decimal = TCsvFile::SystemDecimalSeparator();
    const auto cell = [&](const std::vector<double> &values, size_t i) {
        return i < values.size() && std::isfinite(values[i]) ? ShortestFloatText(float(values[i]), decimal) : QString();
    };
    try {
        // a line at a time: the file writes unbuffered
        file.WriteValue(line);
        file.NewLine();
        for (size_t i = 0; i < data.Times.size(); ++i) {
            if (data.Times[i] < from || data.Times[i] >= to)
                continue;
            line = Archive::TimeText(Archive::SeriesDateTime(data.Times[i])) + u';';
            if (aggregates)
                line += QString::number(i < data.Flags.size() ? data.Flags[i] : 0) + u';';
            for (const Archive::TSeriesColumn *column : columns) {
                line += cell(column->Avg, i) + u';';
                if (aggregates)
                    line += cell(column->Min, i) + u';' + cell(column->Max, i) + u';';
            }
            file.WriteValue(line);
            file.NewLine();
        }
    } catch (const EInOutError &) {
        if (error)
            *error = file.ErrorString();
        file.Close();
        return false;
    }
    if (!file.Commit()) {
        if (error)
            *error = file.ErrorString();
        return false;
    }
    return true;
}

} // namespace Trends
