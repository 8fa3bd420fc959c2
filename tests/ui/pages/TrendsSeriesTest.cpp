// What the trends chart is handed: the table an interval is read from, the
// reduction to pixel columns, gaps and limit lines.

#include "ui/pages/TrendsSeries.h"

#include "archive/SyntheticArchive.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>

using namespace Trends;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
const QDateTime kMidnight(QDate(2025, 12, 9), QTime(0, 0), Qt::UTC);
const double kDay0 = Archive::SeriesTime(kMidnight);

Archive::TLimitsRow Row(const TSettingsCopy &settings)
{
    Archive::TLimitsRow row;
    row.MeterTime = Archive::MeterTimeFromDayCount(settings.MeterDateTime);
    row.Slots = settings.Slots;
    row.Intervals = settings.Intervals;
    return row;
}

double At(int hour, int minute = 0)
{
    return kDay0 + hour * 3600 + minute * 60;
}

} // namespace

TEST(TrendsSeries, SixHoursAreReadFromCyclesLongerFromTenMinuteRows)
{
    EXPECT_EQ(SourceFor(kMidnight, kMidnight.addSecs(3600)), Archive::TSeriesSource::Cycles);
    EXPECT_EQ(SourceFor(kMidnight, kMidnight.addSecs(6 * 3600)), Archive::TSeriesSource::Cycles);
    EXPECT_EQ(SourceFor(kMidnight, kMidnight.addSecs(6 * 3600 + 1)), Archive::TSeriesSource::Aggregates);
    EXPECT_EQ(SourceFor(kMidnight, kMidnight.addDays(7)), Archive::TSeriesSource::Aggregates);
}

TEST(TrendsSeries, ReductionKeepsEveryColumnsExtremesAndTheGaps)
{
    TPoints all;
    for (int i = 0; i < 10000; ++i) {
        all.Keys.push_back(i);
        all.Values.push_back(i % 997 == 500 ? kNaN : std::sin(i * 0.37) * 100 + (i % 13));
    }
    const int columns = 300;
    const TPoints reduced = ReduceToColumns(all, 0, 10000, columns);
    const auto nans = [](const TPoints &p) {
        return size_t(std::count_if(p.Values.begin(), p.Values.end(), [](double v) { return std::isnan(v); }));
    };
    // two a column, and a break splits its column
    EXPECT_LE(reduced.Size(), size_t(2 * columns) + 3 * nans(all));
    const auto extremes = [&](const TPoints &p) {
        std::map<int, std::pair<double, double>> byColumn;
        for (size_t i = 0; i < p.Size(); ++i) {
            if (std::isnan(p.Values[i]))
                continue;
            const int c = int(p.Keys[i] / (10000.0 / columns));
            auto [it, fresh] = byColumn.try_emplace(c, p.Values[i], p.Values[i]);
            it->second.first = std::min(it->second.first, p.Values[i]);
            it->second.second = std::max(it->second.second, p.Values[i]);
        }
        return byColumn;
    };
    EXPECT_EQ(extremes(reduced), extremes(all));
    EXPECT_EQ(nans(reduced), nans(all)) << "every break stays";
    EXPECT_TRUE(std::is_sorted(reduced.Keys.begin(), reduced.Keys.end()));
    // as few points as columns: left as they are
    EXPECT_EQ(ReduceToColumns(reduced, 0, 10000, 5000).Keys, reduced.Keys);
}

TEST(TrendsSeries, GapsStayGaps)
{
    const std::vector<double> cycles{0, 3, 6, 16.5, 19.5};
    const TPoints line = WithGaps(cycles, {1, 2, 3, 4, 5}, GapsBefore(Archive::TSeriesSource::Cycles, cycles, {}));
    ASSERT_EQ(line.Size(), 6u);
    EXPECT_TRUE(std::isnan(line.Values[3])) << "more than 10 s without a cycle";
    EXPECT_EQ(line.Keys[3], (6 + 16.5) / 2);
    EXPECT_EQ(line.Values[4], 4);

    // 10-minute rows: a missing interval, a short one and a clock jump break
    // the line; a run's edge alone does not
    const std::vector<double> rows{0, 600, 1200, 1800, 3000, 3600};
    const std::vector<int> flags{0, Archive::afRunEdge,  Archive::afFewValues | Archive::afRunEdge, 0,
                                 0, Archive::afClockJump};
    EXPECT_EQ(GapsBefore(Archive::TSeriesSource::Aggregates, rows, flags),
              (std::vector<bool>{false, false, true, false, true, true}));
}

TEST(TrendsSeries, LimitLinesFollowTheArchivedValuesAndTheLimitPeriod)
{
    // read at 08:00 with 50.4, at 08:05 with 50.5 as the frequency's maximum
    const std::vector<Archive::TLimitsRow> rows{Row(synthetic::Settings(8 * 3600)),
                                                Row(synthetic::Settings(8 * 3600 + 300, 50.5f))};
    const TQuantity f = Find(QStringLiteral("F"));
    ASSERT_TRUE(f.HasLimits);
    const auto steps = LimitSteps(rows, f.Limits, At(7), At(9));
    // maximum upper: the first row's before it was read, then the second's
    EXPECT_EQ(steps[0].Keys, (std::vector<double>{At(7), At(8, 5), At(9)}));
    EXPECT_EQ(steps[0].Values, (std::vector<double>{50.4f, 50.5f, 50.5f}));
    EXPECT_EQ(steps[1].Values, (std::vector<double>{50.2f, 50.2f}));
    EXPECT_EQ(steps[2].Values, (std::vector<double>{49.8f, 49.8f}));
    EXPECT_EQ(steps[3].Values, (std::vector<double>{49.6f, 49.6f}));

    // dU1 of phase a: the tighter set inside 08:00-20:00, every day
    const TQuantity du1 = Find(QStringLiteral("dU1_a"));
    ASSERT_EQ(du1.Limits.Kind, 1);
    const auto period = LimitSteps(rows, du1.Limits, At(0), At(36));
    EXPECT_EQ(period[0].Keys, (std::vector<double>{At(0), At(8), At(20), At(32), At(36)}));
    EXPECT_EQ(period[0].Values, (std::vector<double>{20, 10, 20, 10, 10}));
    EXPECT_EQ(period[3].Values, (std::vector<double>{-20, -10, -20, -10, -10}));
    EXPECT_TRUE(InLimitPeriod(rows[0].Intervals, At(19, 59)));
    EXPECT_FALSE(InLimitPeriod(rows[0].Intervals, At(20)));

    // the points beyond them, as the pages classify
    const std::vector<double> times{At(7, 30), At(7, 31), At(8, 10), At(8, 11), At(8, 12)};
    const std::vector<double> values{50.3, 49.5, 50.45, 50.0, 50.6};
    const auto beyond = Offending(rows, f.Limits, times, values);
    EXPECT_EQ(beyond[0].Keys, (std::vector<double>{At(7, 30), At(8, 10), At(8, 12)}));
    EXPECT_EQ(beyond[1].Keys, (std::vector<double>{At(7, 31)}));
    EXPECT_EQ(Classify(50.45, LimitsAt(rows, f.Limits, At(8, 10))), 2);
    EXPECT_EQ(Classify(50.45, LimitsAt(rows, f.Limits, At(7, 10))), 1);
}
