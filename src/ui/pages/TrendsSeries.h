#pragma once

// Turning what the archive gave into what the trends chart draws, with no
// widget involved: which table an interval is read from, gaps as breaks in
// the line, a long series cut down to what the chart's pixel columns can
// show, and the limit lines with the points beyond them.

#include "archive/ArchiveSeries.h"
#include "ui/pages/TrendsQuantities.h"

#include <array>
#include <vector>

namespace Trends {

// Up to this span the 3-s cycles are shown; longer, the 10-minute rows.
inline constexpr qint64 kCyclesUpToSeconds = 6 * 3600;
// Consecutive cycles further apart than this are not joined.
inline constexpr double kCycleGapSeconds = 10;

Archive::TSeriesSource SourceFor(const QDateTime &from, const QDateTime &to);

struct TPoints
{
    std::vector<double> Keys, Values;
    size_t Size() const { return Keys.size(); }
};

// Whether a break goes before each row: cycles more than kCycleGapSeconds
// apart; 10-minute rows not following each other, or flagged incomplete
// (afFewValues) or with a clock jump (afClockJump).
std::vector<bool> GapsBefore(Archive::TSeriesSource source, const std::vector<double> &times,
                             const std::vector<int> &flags);
// The values as points, a NaN point wherever a break goes (QCustomPlot
// draws no line across a NaN).
TPoints WithGaps(const std::vector<double> &times, const std::vector<double> &values,
                 const std::vector<bool> &gapsBefore);

// Points over [from, to) as at most two per pixel column (its lowest and its
// highest, in time order): the same picture as all of them. NaN points stay
// between the columns' points. Untouched when they are no more than columns.
TPoints ReduceToColumns(const TPoints &points, double from, double to, int columns);

// --- limits ---
// The four limits of a descriptor's set: maximum upper, normal upper,
// normal lower, maximum lower; NaN where absent or not given (0).
using TLimitValues = std::array<double, 4>;
inline constexpr int kLimitCount = 4;

// Whether meter time t (seconds since 1970, the clock as UTC) lies in one of
// the time intervals: the record's rule.
bool InLimitPeriod(const std::array<TTimeInterval, TDataStorageManager::TimeIntervalCount> &intervals, double t);
// The limits at meter time t: of the last limits row read at or before t
// (the first row before it), the set of the limit period when kind 1.
TLimitValues LimitsAt(const std::vector<Archive::TLimitsRow> &rows, const TLimitDescriptor &limits, double t);
// 0 within, 1 above the maximum, 2 above the normal upper, 3 below the
// normal lower, 4 below the maximum lower: as the record classifies.
int Classify(double value, const TLimitValues &limits);
// Each limit as a step line over [from, to]: a point wherever it changes
// (NaN while absent) and one at `to`.
std::array<TPoints, kLimitCount> LimitSteps(const std::vector<Archive::TLimitsRow> &rows,
                                            const TLimitDescriptor &limits, double from, double to);

// The points beyond the limits: [0] above (status 1, 2), [1] below (3, 4).
std::array<TPoints, 2> Offending(const std::vector<Archive::TLimitsRow> &rows, const TLimitDescriptor &limits,
                                 const std::vector<double> &times, const std::vector<double> &values);

// --- one shown series, ready for the chart ---
struct TBuiltSeries
{
    TQuantity Quantity;
    TPoints Line;     // the values (aggregates: their averages)
    TPoints Min, Max; // aggregates: the band; empty for cycles
    std::array<TPoints, kLimitCount> Limits;
    std::array<TPoints, 2> Beyond;
};

// The column of `result` named quantity.Name, reduced to `columns` over
// [from, to); the limits when it has them.
TBuiltSeries Build(const Archive::TSeriesResult &result, const TQuantity &quantity, double from, double to,
                   int columns);

} // namespace Trends
