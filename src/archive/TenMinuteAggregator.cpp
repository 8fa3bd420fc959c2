#include "archive/TenMinuteAggregator.h"

#include "archive/ArchiveColumns.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Archive {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

QDateTime IntervalStart(const QDateTime &meterTime)
{
    // Floor, not truncation, so that the alignment holds on either side of the epoch.
    const qint64 secs = meterTime.toSecsSinceEpoch();
    qint64 start = secs - secs % kIntervalSeconds;
    if (start > secs)
        start -= kIntervalSeconds;
    return QDateTime::fromSecsSinceEpoch(start, Qt::UTC);
}

} // namespace

void TTenMinuteAggregator::TRunning::Add(float value, bool square)
{
    if (!std::isfinite(value))
        return;
    Sum += square ? double(value) * value : double(value);
    Min = Count == 0 ? value : std::min(Min, value);
    Max = Count == 0 ? value : std::max(Max, value);
    ++Count;
}

float TTenMinuteAggregator::TRunning::Mean(bool root) const
{
    if (Count == 0)
        return kNaN;
    const double mean = Sum / Count;
    return float(root ? std::sqrt(mean) : mean);
}

TTenMinuteAggregator::TTenMinuteAggregator() = default;

void TTenMinuteAggregator::RunStarted()
{
    // An interval still open (the last run never reported its end) goes on;
    // the clock of the last run says nothing about a jump in this one.
    RunEdgePending = true;
    LastMeterTime = {};
}

std::optional<TAggregateRow> TTenMinuteAggregator::Add(const TCycleRow &cycle)
{
    if (!cycle.MeterTime.isValid())
        return std::nullopt;

    bool jumped = false;
    if (LastMeterTime.isValid()) {
        const qint64 step = LastMeterTime.secsTo(cycle.MeterTime);
        jumped = step < 0 || step > kClockJumpSeconds;
    }
    LastMeterTime = cycle.MeterTime;

    std::optional<TAggregateRow> finished;
    const QDateTime start = IntervalStart(cycle.MeterTime);
    if (OpenStart != start) {
        if (OpenStart) {
            // a jump out of an interval leaves it as doubtful as the one it lands in
            if (jumped)
                Flags |= afClockJump;
            finished = Finish();
        }
        Open(start);
    }
    if (jumped)
        Flags |= afClockJump;
    if (RunEdgePending)
        Flags |= afRunEdge;
    RunEdgePending = false;
    Accumulate(cycle);
    return finished;
}

std::optional<TAggregateRow> TTenMinuteAggregator::RunEnded()
{
    std::optional<TAggregateRow> finished;
    if (OpenStart) {
        Flags |= afRunEdge;
        finished = Finish();
    }
    RunEdgePending = false;
    LastMeterTime = {};
    return finished;
}

void TTenMinuteAggregator::Open(const QDateTime &start)
{
    OpenStart = start;
    Values.assign(Quantities().size(), {});
    Spectra.assign(size_t(SpectraValueCount()), {});
    ValuesCount = 0;
    Flags = 0;
}

void TTenMinuteAggregator::Accumulate(const TCycleRow &cycle)
{
    ++ValuesCount;
    const std::span<const TQuantity> quantities = Quantities();
    // a short row counts as missing values, never read past its end
    const size_t count = std::min(cycle.Values.size(), Values.size());
    for (size_t i = 0; i < count; ++i)
        Values[i].Add(cycle.Values[i], quantities[i].RmsMean);
    // spectra of a wrong length cannot be matched to harmonics: left out whole
    if (cycle.Spectra.size() == Spectra.size())
        for (size_t i = 0; i < Spectra.size(); ++i)
            Spectra[i].Add(cycle.Spectra[i], false);
}

TAggregateRow TTenMinuteAggregator::Finish()
{
    TAggregateRow row;
    row.Start = *OpenStart;
    row.Avg.reserve(Values.size());
    row.Min.reserve(Values.size());
    row.Max.reserve(Values.size());
    row.SpectraAvg.reserve(Spectra.size());
    row.SpectraMax.reserve(Spectra.size());
    const std::span<const TQuantity> quantities = Quantities();
    for (size_t i = 0; i < Values.size(); ++i) {
        const TRunning &value = Values[i];
        row.Avg.push_back(value.Mean(quantities[i].RmsMean));
        row.Min.push_back(value.Count ? value.Min : kNaN);
        row.Max.push_back(value.Count ? value.Max : kNaN);
    }
    for (const TRunning &value : Spectra) {
        row.SpectraAvg.push_back(value.Mean(false));
        row.SpectraMax.push_back(value.Count ? value.Max : kNaN);
    }
    row.ValuesCount = ValuesCount;
    row.Flags = Flags | (ValuesCount < kFullIntervalValues ? afFewValues : 0);
    OpenStart.reset();
    return row;
}

} // namespace Archive
