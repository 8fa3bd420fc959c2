#pragma once

// The quality report of one meter over an interval of its clock: every
// criterion of Criteria() judged the way the window colours the value, with
// the limits the meter had set at the value's time. Read from the archive
// only; the documents (ReportDocument.h) are made from this.

#include "engine/LimitClassification.h"
#include "engine/MeasurementRecord.h"
#include "report/ReportCriteria.h"

#include <QDateTime>
#include <QString>
#include <array>
#include <optional>
#include <vector>

class TArchiveDatabase;

namespace Report {

struct TReportSettings
{
    double Percentile = 95;       // the 95 % values; beyond normal may be 100 - this percent
    double RequiredCoverage = 90; // percent of the expected values that must be present
};

struct TReportRequest
{
    std::optional<int> FactoryNumber; // none: the archive's only meter
    QDateTime From, To;               // meter time [From, To); invalid: the last seven whole days
    TReportSettings Settings;
};

enum class TVerdict { Conforms, Fails, NoLimits, TooFewData };
// "соответствует", "не соответствует", "нет пределов", "недостаточно данных".
QString VerdictText(TVerdict verdict);

struct TMeterInfo
{
    qint64 Id = 0;
    QString DeviceType;
    int FactoryNumber = 0;
    int DeviceAddress = 0;
};

// A limits row of the archive, in force from its meter time on.
struct TLimitsRow
{
    QDateTime MeterTime;
    std::vector<float> Slots; // 280
    std::array<TTimeInterval, TDataStorageManager::TimeIntervalCount> Intervals{};
};

// The limits a criterion was judged against while one limits row was in force.
struct TLimitsUsed
{
    QDateTime Since; // the row's meter time (the interval's start when earlier)
    bool TwoSets = false;
    TLimitValues Period; // TwoSets only: inside the meter's time intervals
    TLimitValues Other;  // the one set, or outside the time intervals
};

// A value beyond a limit, for the list of the worst.
struct TExcursion
{
    QDateTime Time;
    float Value = 0;
    int Status = 0;
    float Limit = 0; // the limit it went beyond
};

struct TSeries
{
    std::vector<qint64> Times; // meter time, seconds since the epoch (as UTC)
    std::vector<float> Values; // finite only
    std::vector<uint8_t> Status;
};

struct TCriterionResult
{
    const TCriterion *Criterion = nullptr;
    qint64 Expected = 0;
    qint64 Evaluated = 0;
    qint64 Missing = 0;
    qint64 BeyondNormal = 0;                          // status != 0
    qint64 BeyondMax = 0;                             // status 1 or 4
    double ShareBeyondNormal = 0, ShareBeyondMax = 0; // percent of the evaluated
    std::optional<float> Min, Max, P95Upper, P95Lower;
    std::vector<TLimitsUsed> Limits;
    bool HasLimits = false;
    TVerdict Verdict = TVerdict::TooFewData;
    std::vector<TExcursion> Worst; // up to ten, the farthest beyond first (failing criteria only)
    TSeries Series;
};

struct TCoverage
{
    qint64 ExpectedIntervals = 0; // 10-minute intervals in [From, To)
    qint64 IntervalRows = 0;      // rows found
    qint64 FlaggedIntervals = 0;  // of them incomplete (flags 1, 2 or 4): not judged
    qint64 ExpectedCycles = 0;
    qint64 Cycles = 0;
    qint64 LimitRows = 0; // in force during the interval
};

struct TQualityReport
{
    TMeterInfo Meter;
    QDateTime From, To;
    QString IntervalNote; // the default interval: which one was judged and why; empty for one asked for
    TReportSettings Settings;
    TCoverage Coverage;
    std::array<float, 3> Nominals{};       // slots 0..2 of the limits row in force at the end; 0: unknown
    std::vector<TLimitsRow> LimitRows;     // those in force during the interval, oldest first
    std::vector<TCriterionResult> Results; // in the order of Criteria()
    TVerdict Verdict = TVerdict::TooFewData;
};

// The nearest-rank values: the smallest value with at least `percent` % of
// the values at or below it, and the largest with at least `percent` % at or
// above it. `values` is reordered. Nothing for no values.
std::optional<float> UpperPercentile(std::vector<float> &values, double percent);
std::optional<float> LowerPercentile(std::vector<float> &values, double percent);

// The index in `rows` (sorted by meter time) of the row in force at `time`:
// the latest not after it, or the earliest when all are later; -1 for none.
int LimitsRowAt(const std::vector<TLimitsRow> &rows, const QDateTime &time);

// The limits of `criterion` in force at a meter time (seconds since the epoch).
TLimitValues LimitsAt(const TQualityReport &report, const TCriterion &criterion, qint64 seconds);

// Reads and judges; nothing with `error` set (in Russian) when the archive
// cannot be read or holds no data for the meter and the interval.
std::optional<TQualityReport> MakeQualityReport(TArchiveDatabase &database, const TReportRequest &request,
                                                QString &error);

} // namespace Report
