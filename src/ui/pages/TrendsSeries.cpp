#include "ui/pages/TrendsSeries.h"

#include "archive/ArchiveRows.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Trends {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kDaySeconds = 86400;

bool SameLimit(double a, double b)
{
    return (std::isnan(a) && std::isnan(b)) || a == b;
}

// Intervals up to the table's end (an entry ending at 00:00).
template <typename F>
void ForEachInterval(const std::array<TTimeInterval, TDataStorageManager::TimeIntervalCount> &intervals, F f)
{
    for (const TTimeInterval &i : intervals) {
        if (i.EndHour == 0 && i.EndMinute == 0)
            break;
        // an entry that is no time of day (garbled answer) never matches
        if (i.StartHour > 23 || i.StartMinute > 59 || i.EndMinute > 59)
            continue;
        f(i);
    }
}

} // namespace

Archive::TSeriesSource SourceFor(const QDateTime &from, const QDateTime &to)
{
    return from.secsTo(to) <= kCyclesUpToSeconds ? Archive::TSeriesSource::Cycles : Archive::TSeriesSource::Aggregates;
}

std::vector<bool> GapsBefore(Archive::TSeriesSource source, const std::vector<double> &times,
                             const std::vector<int> &flags)
{
    std::vector<bool> gaps(times.size(), false);
    const bool aggregates = source == Archive::TSeriesSource::Aggregates;
    const double longest = aggregates ? Archive::kIntervalSeconds : kCycleGapSeconds;
    for (size_t i = 1; i < times.size(); ++i) {
        gaps[i] = times[i] - times[i - 1] > longest;
        if (aggregates && i < flags.size() && (flags[i] & (Archive::afFewValues | Archive::afClockJump)) != 0)
            gaps[i] = true;
    }
    return gaps;
}

TPoints WithGaps(const std::vector<double> &times, const std::vector<double> &values,
                 const std::vector<bool> &gapsBefore)
{
    TPoints points;
    const size_t n = std::min(times.size(), values.size());
    points.Keys.reserve(n + n / 16);
    points.Values.reserve(n + n / 16);
    for (size_t i = 0; i < n; ++i) {
        if (i > 0 && i < gapsBefore.size() && gapsBefore[i]) {
            points.Keys.push_back((times[i - 1] + times[i]) / 2);
            points.Values.push_back(kNaN);
        }
        points.Keys.push_back(times[i]);
        points.Values.push_back(values[i]);
    }
    return points;
}

TPoints ReduceToColumns(const TPoints &points, double from, double to, int columns)
{
    if (columns <= 0 || points.Size() <= size_t(columns) || !(to > from))
        return points;
    const double width = (to - from) / columns;
    const auto column = [&](double key) { return std::floor((key - from) / width); };
    const std::vector<double> &keys = points.Keys, &values = points.Values;
    TPoints out;
    const auto keep = [&](size_t i) {
        out.Keys.push_back(keys[i]);
        out.Values.push_back(values[i]);
    };
    const size_t n = points.Size();
    size_t i = 0;
    while (i < n) {
        if (std::isnan(values[i])) {
            keep(i++);
            continue;
        }
        const double c = column(keys[i]);
        size_t low = i, high = i, j = i;
        for (; j < n && !std::isnan(values[j]) && column(keys[j]) == c; ++j) {
            if (values[j] < values[low])
                low = j;
            if (values[j] > values[high])
                high = j;
        }
        keep(std::min(low, high));
        if (low != high)
            keep(std::max(low, high));
        i = j;
    }
    return out;
}

bool InLimitPeriod(const std::array<TTimeInterval, TDataStorageManager::TimeIntervalCount> &intervals, double t)
{
    if (!std::isfinite(t))
        return false;
    constexpr qint64 msPerDay = 86400000;
    const qint64 ms = std::llround((t - std::floor(t / kDaySeconds) * kDaySeconds) * 1000);
    const qint64 moment = std::min(ms, msPerDay - 1);
    bool in = false;
    ForEachInterval(intervals, [&](const TTimeInterval &i) {
        const qint64 start = (i.StartHour * 60 + i.StartMinute) * qint64(60000);
        const qint64 end = i.EndHour > 23 ? msPerDay - 1 : (i.EndHour * 60 + i.EndMinute) * qint64(60000);
        in = in || (moment >= start && moment < end);
    });
    return in;
}

TLimitValues LimitsAt(const std::vector<Archive::TLimitsRow> &rows, const TLimitDescriptor &limits, double t)
{
    TLimitValues values{kNaN, kNaN, kNaN, kNaN};
    if (rows.empty())
        return values;
    const Archive::TLimitsRow *row = &rows.front();
    for (const Archive::TLimitsRow &r : rows)
        if (!r.MeterTime.isValid() || Archive::SeriesTime(r.MeterTime) <= t)
            row = &r;
    const int first = limits.Kind != 0 && InLimitPeriod(row->Intervals, t) ? 0 : 4;
    for (int k = 0; k < kLimitCount; ++k) {
        const int slot = limits.Index[size_t(first + k)];
        // a limit takes part only when it exists and the meter gave it a value
        if (slot >= 0 && size_t(slot) < row->Slots.size() && row->Slots[size_t(slot)] != 0.0f)
            values[size_t(k)] = double(row->Slots[size_t(slot)]);
    }
    return values;
}

int Classify(double value, const TLimitValues &limits)
{
    const auto [maxUpper, normalUpper, normalLower, maxLower] = limits;
    int result = 0;
    if (value > normalUpper) // false against NaN
        result = 2;
    if (value > maxUpper)
        result = 1;
    if (value < normalLower)
        result = 3;
    if (value < maxLower)
        result = 4;
    return result;
}

std::array<TPoints, kLimitCount> LimitSteps(const std::vector<Archive::TLimitsRow> &rows,
                                            const TLimitDescriptor &limits, double from, double to)
{
    std::array<TPoints, kLimitCount> steps;
    if (rows.empty() || !(to > from))
        return steps;
    std::vector<double> moments{from};
    for (const Archive::TLimitsRow &row : rows)
        if (row.MeterTime.isValid())
            moments.push_back(Archive::SeriesTime(row.MeterTime));
    if (limits.Kind != 0) {
        // the starts and ends of the time intervals of every row, each day
        std::vector<double> ofDay;
        for (const Archive::TLimitsRow &row : rows)
            ForEachInterval(row.Intervals, [&](const TTimeInterval &i) {
                ofDay.push_back((i.StartHour * 60 + i.StartMinute) * 60.0);
                ofDay.push_back(i.EndHour > 23 ? kDaySeconds : (i.EndHour * 60 + i.EndMinute) * 60.0);
            });
        std::sort(ofDay.begin(), ofDay.end());
        ofDay.erase(std::unique(ofDay.begin(), ofDay.end()), ofDay.end());
        for (double day = std::floor(from / kDaySeconds) * kDaySeconds; day < to; day += kDaySeconds)
            for (double s : ofDay)
                moments.push_back(day + s);
    }
    std::erase_if(moments, [&](double m) { return m < from || m >= to; });
    std::sort(moments.begin(), moments.end());
    moments.erase(std::unique(moments.begin(), moments.end()), moments.end());

    TLimitValues last{};
    for (size_t m = 0; m < moments.size(); ++m) {
        const TLimitValues now = LimitsAt(rows, limits, moments[m]);
        for (size_t k = 0; k < kLimitCount; ++k)
            if (m == 0 || !SameLimit(now[k], last[k])) {
                steps[k].Keys.push_back(moments[m]);
                steps[k].Values.push_back(now[k]);
            }
        last = now;
    }
    for (size_t k = 0; k < kLimitCount; ++k) {
        steps[k].Keys.push_back(to);
        steps[k].Values.push_back(last[k]);
        if (std::all_of(steps[k].Values.begin(), steps[k].Values.end(), [](double v) { return std::isnan(v); }))
            steps[k] = {};
    }
    return steps;
}

std::array<TPoints, 2> Offending(const std::vector<Archive::TLimitsRow> &rows, const TLimitDescriptor &limits,
                                 const std::vector<double> &times, const std::vector<double> &values)
{
    std::array<TPoints, 2> beyond;
    if (rows.empty())
        return beyond;
    for (size_t i = 0; i < std::min(times.size(), values.size()); ++i) {
        if (!std::isfinite(values[i]))
            continue;
        const int status = Classify(values[i], LimitsAt(rows, limits, times[i]));
        if (status == 0)
            continue;
        TPoints &to = beyond[status <= 2 ? 0 : 1];
        to.Keys.push_back(times[i]);
        to.Values.push_back(values[i]);
    }
    return beyond;
}

TBuiltSeries Build(const Archive::TSeriesResult &result, const TQuantity &quantity, double from, double to, int columns)
{
    TBuiltSeries built;
    built.Quantity = quantity;
    const auto found = std::find_if(result.Columns.begin(), result.Columns.end(),
                                    [&](const Archive::TSeriesColumn &c) { return c.Quantity == quantity.Name; });
    if (found == result.Columns.end())
        return built;
    const std::vector<bool> gaps = GapsBefore(result.Source, result.Times, result.Flags);
    built.Line = ReduceToColumns(WithGaps(result.Times, found->Avg, gaps), from, to, columns);
    if (result.Source == Archive::TSeriesSource::Aggregates) {
        // a spectrum's order has no minimum kept: its band spans mean to maximum
        const bool noMinimum =
            std::all_of(found->Min.begin(), found->Min.end(), [](double v) { return std::isnan(v); });
        built.Min =
            ReduceToColumns(WithGaps(result.Times, noMinimum ? found->Avg : found->Min, gaps), from, to, columns);
        built.Max = ReduceToColumns(WithGaps(result.Times, found->Max, gaps), from, to, columns);
    }
    if (quantity.HasLimits) {
        built.Limits = LimitSteps(result.Limits, quantity.Limits, from, to);
        built.Beyond = Offending(result.Limits, quantity.Limits, result.Times, found->Avg);
    }
    return built;
}

} // namespace Trends
