#pragma once

// A measurement archive written straight through TArchiveDatabase with
// chosen 10-minute rows, cycles and limits, for the report's tests and
// benchmark.

#include "archive/ArchiveColumns.h"
#include "archive/ArchiveDatabase.h"
#include "archive/ArchiveRows.h"
#include "engine/CycleSink.h"

#include <cmath>

namespace SyntheticArchive {

inline const QDateTime kWeekStart(QDate(2026, 1, 5), QTime(0, 0), Qt::UTC); // a Monday

// The record's day count of a meter time.
inline double DayCount(const QDateTime &time)
{
    static const QDateTime epoch(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC);
    return double(epoch.secsTo(time)) / 86400.0;
}

inline TSettingsCopy Limits(const QDateTime &meterTime, std::vector<float> limitSlots,
                            std::initializer_list<TTimeInterval> intervals)
{
    TSettingsCopy settings;
    settings.MeterDateTime = DayCount(meterTime);
    settings.ReadAtUtc = meterTime;
    limitSlots.resize(280, 0.0f);
    settings.Slots = std::move(limitSlots);
    size_t k = 0;
    for (const TTimeInterval &interval : intervals)
        settings.Intervals[k++] = interval;
    return settings;
}

// A row whose values are all missing; the caller sets what it needs.
inline Archive::TAggregateRow EmptyRow(const QDateTime &start, int flags = 0)
{
    Archive::TAggregateRow row;
    row.Start = start;
    const size_t n = Archive::Quantities().size();
    row.Avg.assign(n, std::nanf(""));
    row.Min = row.Avg;
    row.Max = row.Avg;
    row.SpectraAvg.assign(size_t(Archive::SpectraValueCount()), 0.0f);
    row.SpectraMax = row.SpectraAvg;
    row.ValuesCount = flags & Archive::afFewValues ? 100 : 200;
    row.Flags = flags;
    return row;
}

inline void Set(Archive::TAggregateRow &row, const char *column, float value)
{
    row.Avg[size_t(Archive::QuantityIndex(QLatin1String(column)))] = value;
}

inline Archive::TCycleRow Cycle(const QDateTime &time, float frequency)
{
    Archive::TCycleRow cycle;
    cycle.MeterTime = time;
    cycle.PcTimeUtc = time;
    cycle.Values.assign(Archive::Quantities().size(), std::nanf(""));
    cycle.Values[size_t(Archive::QuantityIndex(QStringLiteral("F")))] = frequency;
    cycle.Values[size_t(Archive::QuantityIndex(QStringLiteral("dF")))] = frequency - 50.0f;
    return cycle;
}

} // namespace SyntheticArchive
