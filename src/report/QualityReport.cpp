#include "report/QualityReport.h"

#include "archive/ArchiveColumns.h"
#include "archive/ArchiveDatabase.h"
#include "archive/ArchiveRows.h"
#include "archive/ArchiveText.h"
#include "engine/RecordSlots.h"

#include <QSqlError>
#include <QtEndian>
#include <algorithm>
#include <cmath>

namespace Report {
namespace {

constexpr int kLimitSlots = 280;
constexpr qint64 kCycleSeconds = 3;
constexpr qint64 kSecondsPerDay = 86400;
constexpr int kWorstCount = 10;

// "YYYY-MM-DD HH:MM:SS" as seconds since the epoch, read by hand: a month of
// cycles is near a million times, and QDateTime::fromString costs microseconds.
std::optional<qint64> ParseSeconds(const QString &text)
{
    if (text.size() < 19)
        return std::nullopt;
    const QChar *c = text.constData();
    int digits[14];
    static constexpr int at[14] = {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18};
    for (int i = 0; i < 14; ++i) {
        const char16_t d = c[at[i]].unicode();
        if (d < u'0' || d > u'9')
            return std::nullopt;
        digits[i] = d - u'0';
    }
    const int year = digits[0] * 1000 + digits[1] * 100 + digits[2] * 10 + digits[3];
    const QDate date(year, digits[4] * 10 + digits[5], digits[6] * 10 + digits[7]);
    if (!date.isValid())
        return std::nullopt;
    const qint64 days = date.toJulianDay() - QDate(1970, 1, 1).toJulianDay();
    return days * kSecondsPerDay + (digits[8] * 10 + digits[9]) * 3600 + (digits[10] * 10 + digits[11]) * 60 +
           digits[12] * 10 + digits[13];
}

QDateTime FromSeconds(qint64 seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
}

qint64 MsOfDay(qint64 seconds)
{
    const qint64 s = ((seconds % kSecondsPerDay) + kSecondsPerDay) % kSecondsPerDay;
    return s * 1000;
}

// A span as a reader says it: "3 сут 4 ч 10 мин", "3 мин", "45 с".
QString DurationText(qint64 seconds)
{
    if (seconds < 60)
        return QStringLiteral("%1 с").arg(seconds);
    QStringList parts;
    const qint64 days = seconds / kSecondsPerDay, hours = seconds % kSecondsPerDay / 3600,
                 minutes = seconds % 3600 / 60;
    if (days > 0)
        parts << QStringLiteral("%1 сут").arg(days);
    if (hours > 0)
        parts << QStringLiteral("%1 ч").arg(hours);
    if (minutes > 0)
        parts << QStringLiteral("%1 мин").arg(minutes);
    return parts.join(u' ');
}

std::vector<float> FloatsOf(const QByteArray &blob, int count)
{
    std::vector<float> values(size_t(count), 0.0f);
    const int have = std::min<int>(count, int(blob.size() / qsizetype(sizeof(float))));
    if (have > 0)
        qFromLittleEndian<float>(blob.constData(), have, values.data());
    return values;
}

bool IsSet(float limit)
{
    return limit != 0.0f && std::isfinite(limit);
}

bool AnySet(const TLimitValues &v)
{
    return IsSet(v.MaxUpper) || IsSet(v.NormalUpper) || IsSet(v.NormalLower) || IsSet(v.MaxLower);
}

// The limit a value of this status went beyond.
float LimitOf(int status, const TLimitValues &limits)
{
    switch (status) {
    case 1: return limits.MaxUpper;
    case 2: return limits.NormalUpper;
    case 3: return limits.NormalLower;
    case 4: return limits.MaxLower;
    default: return 0;
    }
}

QString TimeColumn(const TArchiveDatabase &database, const QString &column)
{
    return database.Target().Kind() == TArchiveTarget::TKind::PostgreSQL
               ? QStringLiteral("to_char(%1, 'YYYY-MM-DD HH24:MI:SS')").arg(column)
               : column;
}

class TReader
{
public:
    TReader(TArchiveDatabase &database, QString &error) : db_(database), error_(error) {}

    bool Failed(QSqlQuery &query)
    {
        if (query.isActive() && !query.lastError().isValid())
            return false;
        const QString reason = db_.Error().isEmpty() ? query.lastError().text() : db_.Error();
        error_ = QStringLiteral("не удалось прочитать архив: ") + reason;
        return true;
    }

    std::optional<TMeterInfo> Meter(const std::optional<int> &factoryNumber)
    {
        QString statement = QStringLiteral("SELECT id, device_type, factory_number, device_address FROM meters");
        std::vector<QVariant> values;
        if (factoryNumber) {
            statement += QStringLiteral(" WHERE factory_number = ?");
            values.emplace_back(*factoryNumber);
        }
        statement += QStringLiteral(" ORDER BY last_seen_utc DESC, id");
        QSqlQuery query = db_.Select(statement, values);
        if (Failed(query))
            return std::nullopt;
        std::vector<TMeterInfo> meters;
        while (query.next())
            meters.push_back({query.value(0).toLongLong(), Archive::PrintableText(query.value(1).toString()),
                              query.value(2).toInt(), query.value(3).toInt()});
        if (Failed(query))
            return std::nullopt;
        if (meters.empty()) {
            error_ = factoryNumber ? QStringLiteral("в архиве нет счетчика с заводским номером %1").arg(*factoryNumber)
                                   : QStringLiteral("в архиве нет ни одного счетчика");
            return std::nullopt;
        }
        if (!factoryNumber && meters.size() > 1) {
            QStringList numbers;
            for (const TMeterInfo &meter : meters)
                numbers << QString::number(meter.FactoryNumber);
            error_ = QStringLiteral("в архиве несколько счетчиков (заводские номера %1): укажите нужный")
                         .arg(numbers.join(QStringLiteral(", ")));
            return std::nullopt;
        }
        // Two types of meter with one factory number: the one seen last.
        return meters.front();
    }

    // The span of the meter's data: from its first interval or cycle to
    // after its last.
    std::optional<std::pair<qint64, qint64>> DataSpan(qint64 meterId)
    {
        std::optional<std::pair<qint64, qint64>> span;
        const QVariant id(meterId);
        for (const auto &[table, column, length] :
             {std::tuple{"aggregates_10min", "interval_start", qint64(Archive::kIntervalSeconds)},
              std::tuple{"cycles", "meter_time", kCycleSeconds}}) {
            const QString name = QLatin1String(column);
            QSqlQuery query =
                db_.Select(QStringLiteral("SELECT %1, %2 FROM %3 WHERE meter_id = ?")
                               .arg(TimeColumn(db_, QStringLiteral("MIN(%1)").arg(name)),
                                    TimeColumn(db_, QStringLiteral("MAX(%1)").arg(name)), QLatin1String(table)),
                           std::span(&id, 1));
            if (Failed(query))
                return std::nullopt;
            if (!query.next() || query.value(0).isNull() || query.value(1).isNull())
                continue;
            const std::optional<qint64> first = ParseSeconds(query.value(0).toString());
            const std::optional<qint64> last = ParseSeconds(query.value(1).toString());
            if (!first || !last)
                continue;
            span = span ? std::pair{std::min(span->first, *first), std::max(span->second, *last + length)}
                        : std::pair{*first, *last + length};
        }
        return span;
    }

    bool Limits(qint64 meterId, std::vector<TLimitsRow> &rows)
    {
        const QVariant id(meterId);
        QSqlQuery query = db_.Select(QStringLiteral("SELECT %1, slots, time_intervals FROM limits WHERE meter_id = ? "
                                                    "ORDER BY read_at_utc")
                                         .arg(TimeColumn(db_, QStringLiteral("meter_time"))),
                                     std::span(&id, 1));
        if (Failed(query))
            return false;
        std::vector<TLimitsRow> untimed;
        while (query.next()) {
            TLimitsRow row;
            if (!query.value(0).isNull())
                if (const std::optional<qint64> time = ParseSeconds(query.value(0).toString()))
                    row.MeterTime = FromSeconds(*time);
            row.Slots = FloatsOf(query.value(1).toByteArray(), kLimitSlots);
            const QByteArray intervals = query.value(2).toByteArray();
            for (int k = 0; k < TDataStorageManager::TimeIntervalCount && (k + 1) * 4 <= intervals.size(); ++k)
                row.Intervals[size_t(k)] = {uint8_t(intervals[k * 4]), uint8_t(intervals[k * 4 + 1]),
                                            uint8_t(intervals[k * 4 + 2]), uint8_t(intervals[k * 4 + 3])};
            (row.MeterTime.isValid() ? rows : untimed).push_back(std::move(row));
        }
        if (Failed(query))
            return false;
        // A row read without the meter's clock has no place in time: it
        // counts only when no row has one, the last read holding throughout.
        if (rows.empty() && !untimed.empty())
            rows.push_back(std::move(untimed.back()));
        std::stable_sort(rows.begin(), rows.end(),
                         [](const TLimitsRow &a, const TLimitsRow &b) { return a.MeterTime < b.MeterTime; });
        return true;
    }

private:
    TArchiveDatabase &db_;
    QString &error_;
};

struct TJudge
{
    const std::vector<TLimitsRow> *Rows = nullptr;
    int Row = -1;
    qint64 RowUntil = std::numeric_limits<qint64>::min(); // seconds: Row holds before this
    qint64 RowFrom = std::numeric_limits<qint64>::max();

    // The row in force at `time` and whether it lies in the row's limit period.
    std::pair<const TLimitsRow *, bool> At(qint64 time)
    {
        if (Rows->empty())
            return {nullptr, false};
        if (time < RowFrom || time >= RowUntil) {
            Row = LimitsRowAt(*Rows, FromSeconds(time));
            const size_t next = size_t(Row) + 1;
            RowFrom = Row == 0 ? std::numeric_limits<qint64>::min() : (*Rows)[size_t(Row)].MeterTime.toSecsSinceEpoch();
            RowUntil =
                next < Rows->size() ? (*Rows)[next].MeterTime.toSecsSinceEpoch() : std::numeric_limits<qint64>::max();
        }
        const TLimitsRow &row = (*Rows)[size_t(Row)];
        return {&row, InLimitPeriod(MsOfDay(time), row.Intervals)};
    }
};

void Add(TCriterionResult &result, qint64 time, float value, const TLimitsRow *row, bool inPeriod)
{
    if (!std::isfinite(value))
        return;
    const int status = row ? ClassifyValue(value, result.Criterion->Limits, inPeriod, row->Slots) : 0;
    result.Series.Times.push_back(time);
    result.Series.Values.push_back(value);
    result.Series.Status.push_back(uint8_t(status));
}

void Judge(TCriterionResult &result, const TQualityReport &report)
{
    const TSeries &series = result.Series;
    const TReportSettings &settings = report.Settings;
    result.Evaluated = qint64(series.Values.size());
    result.Missing = std::max<qint64>(0, result.Expected - result.Evaluated);
    for (uint8_t status : series.Status) {
        result.BeyondNormal += status != 0;
        result.BeyondMax += status == 1 || status == 4;
    }
    if (result.Evaluated > 0) {
        result.ShareBeyondNormal = 100.0 * double(result.BeyondNormal) / double(result.Evaluated);
        result.ShareBeyondMax = 100.0 * double(result.BeyondMax) / double(result.Evaluated);
        std::vector<float> sorted = series.Values;
        result.P95Upper = UpperPercentile(sorted, settings.Percentile);
        result.P95Lower = LowerPercentile(sorted, settings.Percentile);
        const auto [least, most] = std::minmax_element(series.Values.begin(), series.Values.end());
        result.Min = *least;
        result.Max = *most;
    }

    for (const TLimitsRow &row : report.LimitRows) {
        TLimitsUsed used;
        // The first row holds from the start, even one read later.
        used.Since = &row == &report.LimitRows.front() ? report.From : row.MeterTime;
        used.TwoSets = result.Criterion->Limits.Kind != 0;
        used.Other = LimitValuesOf(result.Criterion->Limits, false, row.Slots);
        if (used.TwoSets)
            used.Period = LimitValuesOf(result.Criterion->Limits, true, row.Slots);
        result.HasLimits = result.HasLimits || AnySet(used.Other) || (used.TwoSets && AnySet(used.Period));
        result.Limits.push_back(used);
    }

    // One value beyond a maximum, or more values beyond normal than the
    // share allowed of all those expected, fails whatever the missing ones
    // were; otherwise too few values leave the verdict open.
    const double allowed = 100.0 - settings.Percentile;
    constexpr double tolerance = 1e-9;
    const double expected = double(std::max(result.Expected, result.Evaluated));
    if (!result.HasLimits)
        result.Verdict = TVerdict::NoLimits;
    else if (result.BeyondMax > 0 || double(result.BeyondNormal) * 100.0 > expected * allowed + tolerance)
        result.Verdict = TVerdict::Fails;
    else if (double(result.Evaluated) * 100.0 < double(result.Expected) * settings.RequiredCoverage - tolerance)
        result.Verdict = TVerdict::TooFewData;
    else if (result.ShareBeyondNormal <= allowed + tolerance)
        result.Verdict = TVerdict::Conforms;
    else
        result.Verdict = TVerdict::Fails;

    if (result.Verdict != TVerdict::Fails)
        return;
    // The worst: beyond a maximum before beyond a normal limit, then the
    // farthest beyond it, then the earliest.
    struct TRank
    {
        bool BeyondMax;
        double Excess;
        size_t Index;
    };
    std::vector<TRank> ranked;
    for (size_t i = 0; i < series.Status.size(); ++i) {
        const int status = series.Status[i];
        if (status == 0)
            continue;
        const double excess = std::fabs(double(series.Values[i]) -
                                        double(LimitOf(status, LimitsAt(report, *result.Criterion, series.Times[i]))));
        ranked.push_back({status == 1 || status == 4, excess, i});
    }
    const size_t keep = std::min<size_t>(kWorstCount, ranked.size());
    std::partial_sort(ranked.begin(), ranked.begin() + qsizetype(keep), ranked.end(),
                      [](const TRank &a, const TRank &b) {
                          if (a.BeyondMax != b.BeyondMax)
                              return a.BeyondMax;
                          if (a.Excess != b.Excess)
                              return a.Excess > b.Excess;
                          return a.Index < b.Index;
                      });
    for (size_t k = 0; k < keep; ++k) {
        const size_t i = ranked[k].Index;
        const int status = series.Status[i];
        result.Worst.push_back({FromSeconds(series.Times[i]), series.Values[i], status,
                                LimitOf(status, LimitsAt(report, *result.Criterion, series.Times[i]))});
    }
}

} // namespace

QString VerdictText(TVerdict verdict)
{
    switch (verdict) {
    case TVerdict::Conforms: return QStringLiteral("соответствует");
    case TVerdict::Fails: return QStringLiteral("не соответствует");
    case TVerdict::NoLimits: return QStringLiteral("нет пределов");
    case TVerdict::TooFewData: break;
    }
    return QStringLiteral("недостаточно данных");
}

namespace {

// The nearest rank of `percent` among n values, 1..n.
size_t Rank(size_t n, double percent)
{
    const size_t rank = size_t(std::max(1.0, std::ceil(double(n) * percent / 100.0 - 1e-9)));
    return std::min(rank, n);
}

// The k-th smallest (from 0); a month of cycles is not worth sorting whole.
float Nth(std::vector<float> &values, size_t k)
{
    std::nth_element(values.begin(), values.begin() + qsizetype(k), values.end());
    return values[k];
}

} // namespace

std::optional<float> UpperPercentile(std::vector<float> &values, double percent)
{
    if (values.empty())
        return std::nullopt;
    return Nth(values, Rank(values.size(), percent) - 1);
}

std::optional<float> LowerPercentile(std::vector<float> &values, double percent)
{
    if (values.empty())
        return std::nullopt;
    return Nth(values, values.size() - Rank(values.size(), percent));
}

int LimitsRowAt(const std::vector<TLimitsRow> &rows, const QDateTime &time)
{
    if (rows.empty())
        return -1;
    const auto after = std::upper_bound(rows.begin(), rows.end(), time,
                                        [](const QDateTime &t, const TLimitsRow &row) { return t < row.MeterTime; });
    return after == rows.begin() ? 0 : int(after - rows.begin()) - 1;
}

TLimitValues LimitsAt(const TQualityReport &report, const TCriterion &criterion, qint64 seconds)
{
    const int row = LimitsRowAt(report.LimitRows, FromSeconds(seconds));
    if (row < 0)
        return {};
    const TLimitsRow &limits = report.LimitRows[size_t(row)];
    return LimitValuesOf(criterion.Limits, InLimitPeriod(MsOfDay(seconds), limits.Intervals), limits.Slots);
}

std::optional<TQualityReport> MakeQualityReport(TArchiveDatabase &database, const TReportRequest &request,
                                                QString &error)
{
    TReader reader(database, error);
    const std::optional<TMeterInfo> meter = reader.Meter(request.FactoryNumber);
    if (!meter)
        return std::nullopt;

    TQualityReport report;
    report.Meter = *meter;
    report.Settings = request.Settings;
    report.From = request.From;
    report.To = request.To;
    if (!report.From.isValid() && !report.To.isValid()) {
        const std::optional<std::pair<qint64, qint64>> span = reader.DataSpan(meter->Id);
        if (!error.isEmpty())
            return std::nullopt;
        if (!span) {
            error = QStringLiteral("в архиве нет данных счетчика %1").arg(meter->FactoryNumber);
            return std::nullopt;
        }
        // The last seven whole days, midnight to midnight, when the data
        // reach back that far; else all of them.
        const auto [start, end] = *span;
        const qint64 midnight = end - ((end % kSecondsPerDay) + kSecondsPerDay) % kSecondsPerDay;
        if (start <= midnight - 7 * kSecondsPerDay) {
            report.To = FromSeconds(midnight);
            report.From = report.To.addDays(-7);
            report.IntervalNote = QStringLiteral("Оценены последние семь полных суток архива прибора");
        } else {
            report.From = FromSeconds(start);
            report.To = FromSeconds(end);
            report.IntervalNote =
                QStringLiteral("Оценен весь архив прибора: %1, %2")
                    .arg(DurationText(end - start), start <= midnight - kSecondsPerDay
                                                        ? QStringLiteral("семи полных суток в архиве нет")
                                                        : QStringLiteral("полных суток в архиве нет"));
        }
    } else if (!report.To.isValid()) {
        report.To = report.From.addDays(7);
    } else if (!report.From.isValid()) {
        report.From = report.To.addDays(-7);
    }
    const qint64 from = report.From.toSecsSinceEpoch(), to = report.To.toSecsSinceEpoch();
    if (from >= to) {
        error = QStringLiteral("начало интервала не раньше его конца");
        return std::nullopt;
    }

    std::vector<TLimitsRow> allLimits;
    if (!reader.Limits(meter->Id, allLimits))
        return std::nullopt;
    // The rows in force during [from, to): the one at its start and those after.
    if (const int first = LimitsRowAt(allLimits, report.From); first >= 0)
        for (size_t i = size_t(first); i < allLimits.size(); ++i)
            if (i == size_t(first) || allLimits[i].MeterTime < report.To)
                report.LimitRows.push_back(allLimits[i]);
    report.Coverage.LimitRows = qint64(report.LimitRows.size());
    if (!report.LimitRows.empty())
        for (int i = 0; i < 3; ++i)
            report.Nominals[size_t(i)] = report.LimitRows.back().Slots[size_t(i)];

    const std::vector<TCriterion> &criteria = Criteria();
    report.Results.resize(criteria.size());
    const qint64 firstStart = (from + Archive::kIntervalSeconds - 1) / Archive::kIntervalSeconds;
    const qint64 lastStart = (to - 1) / Archive::kIntervalSeconds;
    report.Coverage.ExpectedIntervals = std::max<qint64>(0, lastStart - firstStart + 1);
    // a span that is not a whole number of cycles may hold one more
    report.Coverage.ExpectedCycles = (to - from + kCycleSeconds - 1) / kCycleSeconds;
    for (size_t i = 0; i < criteria.size(); ++i) {
        report.Results[i].Criterion = &criteria[i];
        report.Results[i].Expected =
            criteria[i].Basis == TBasis::Cycle ? report.Coverage.ExpectedCycles : report.Coverage.ExpectedIntervals;
    }

    const QVariant bounds[] = {QVariant(meter->Id), QVariant(Archive::TimeText(report.From)),
                               QVariant(Archive::TimeText(report.To))};
    TJudge judge{&report.LimitRows};

    // 10-minute averages: the columns of every aggregate criterion but the harmonics.
    QStringList columns{TimeColumn(database, QStringLiteral("interval_start")), QStringLiteral("flags")};
    std::vector<std::pair<size_t, int>> scalar; // result index, column index
    size_t firstHarmonic = criteria.size();
    for (size_t i = 0; i < criteria.size(); ++i) {
        if (criteria[i].Basis != TBasis::Aggregate)
            continue;
        if (criteria[i].Quantity == QLatin1String("KUn")) {
            firstHarmonic = std::min(firstHarmonic, i);
            continue;
        }
        scalar.emplace_back(i, int(columns.size()));
        columns << criteria[i].Column + QLatin1String("_avg");
    }
    const int harmonicColumn = int(columns.size());
    columns << QStringLiteral("KUn_avg");
    QSqlQuery aggregates =
        database.Select(QStringLiteral("SELECT %1 FROM aggregates_10min WHERE meter_id = ? AND interval_start >= ? AND "
                                       "interval_start < ? ORDER BY interval_start")
                            .arg(columns.join(u',')),
                        bounds);
    if (reader.Failed(aggregates))
        return std::nullopt;
    constexpr int harmonicValues = VDSlot::VoltageChannels * VDSlot::HarmonicCount;
    constexpr int incomplete = Archive::afFewValues | Archive::afClockJump | Archive::afRunEdge;
    std::optional<qint64> lastJudged;
    while (aggregates.next()) {
        const std::optional<qint64> start = ParseSeconds(aggregates.value(0).toString());
        if (!start)
            continue;
        ++report.Coverage.IntervalRows;
        if ((aggregates.value(1).toInt() & incomplete) != 0) {
            ++report.Coverage.FlaggedIntervals;
            continue;
        }
        // One judged row per interval, whatever the archive holds twice.
        if (lastJudged == *start)
            continue;
        lastJudged = *start;
        const auto [row, inPeriod] = judge.At(*start);
        for (const auto &[index, column] : scalar) {
            const QVariant value = aggregates.value(column);
            if (!value.isNull())
                Add(report.Results[index], *start, float(value.toDouble()), row, inPeriod);
        }
        const QVariant blob = aggregates.value(harmonicColumn);
        if (blob.isNull() || firstHarmonic >= criteria.size())
            continue;
        const QByteArray bytes = blob.toByteArray();
        if (bytes.size() < qsizetype(harmonicValues * sizeof(float)))
            continue;
        float harmonics[harmonicValues];
        qFromLittleEndian<float>(bytes.constData(), harmonicValues, harmonics);
        for (int k = 0; k < harmonicValues; ++k)
            Add(report.Results[firstHarmonic + size_t(k)], *start, harmonics[k], row, inPeriod);
    }
    if (reader.Failed(aggregates))
        return std::nullopt;
    aggregates.finish();

    // 3-s cycles for the frequency.
    std::vector<std::pair<size_t, int>> cycleColumns;
    QStringList cycleSelect{TimeColumn(database, QStringLiteral("meter_time"))};
    for (size_t i = 0; i < criteria.size(); ++i)
        if (criteria[i].Basis == TBasis::Cycle) {
            cycleColumns.emplace_back(i, int(cycleSelect.size()));
            cycleSelect << criteria[i].Column;
        }
    QSqlQuery cycles = database.Select(QStringLiteral("SELECT %1 FROM cycles WHERE meter_id = ? AND meter_time >= ? "
                                                      "AND meter_time < ? ORDER BY meter_time")
                                           .arg(cycleSelect.join(u',')),
                                       bounds);
    if (reader.Failed(cycles))
        return std::nullopt;
    while (cycles.next()) {
        const std::optional<qint64> time = ParseSeconds(cycles.value(0).toString());
        if (!time)
            continue;
        ++report.Coverage.Cycles;
        const auto [row, inPeriod] = judge.At(*time);
        for (const auto &[index, column] : cycleColumns) {
            const QVariant value = cycles.value(column);
            if (!value.isNull())
                Add(report.Results[index], *time, float(value.toDouble()), row, inPeriod);
        }
    }
    if (reader.Failed(cycles))
        return std::nullopt;
    cycles.finish();

    if (report.Coverage.IntervalRows == 0 && report.Coverage.Cycles == 0) {
        error = QStringLiteral("в архиве нет данных счетчика %1 за %2 – %3")
                    .arg(meter->FactoryNumber)
                    .arg(Archive::TimeText(report.From), Archive::TimeText(report.To));
        return std::nullopt;
    }

    bool anyFails = false, anyTooFew = false, anyConforms = false;
    for (TCriterionResult &result : report.Results) {
        Judge(result, report);
        anyFails = anyFails || result.Verdict == TVerdict::Fails;
        anyTooFew = anyTooFew || result.Verdict == TVerdict::TooFewData;
        anyConforms = anyConforms || result.Verdict == TVerdict::Conforms;
    }
    report.Verdict = anyFails      ? TVerdict::Fails
                     : anyTooFew   ? TVerdict::TooFewData
                     : anyConforms ? TVerdict::Conforms
                                   : TVerdict::NoLimits;
    return report;
}

} // namespace Report
