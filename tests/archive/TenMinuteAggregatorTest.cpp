#include "archive/TenMinuteAggregator.h"
#include "archive/ArchiveColumns.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace Archive;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

QDateTime At(int h, int m, int s)
{
    return QDateTime(QDate(2026, 12, 6), QTime(h, m, s), Qt::UTC);
}

TCycleRow Cycle(const QDateTime &meterTime, float value = 1)
{
    TCycleRow cycle;
    cycle.MeterTime = meterTime;
    cycle.PcTimeUtc = meterTime;
    cycle.Values.assign(Quantities().size(), value);
    cycle.Spectra.assign(size_t(SpectraValueCount()), value);
    return cycle;
}

// Adds cycles 3 s apart from `from`, as many as fit before `until`; expects no row back.
void AddEvery3s(TTenMinuteAggregator &aggregator, const QDateTime &from, const QDateTime &until)
{
    for (QDateTime t = from; t < until; t = t.addSecs(3))
        ASSERT_FALSE(aggregator.Add(Cycle(t))) << t.toString().toStdString();
}

} // namespace

TEST(TenMinuteAggregator, AveragesVoltagesAndCurrentsAsRmsTheRestArithmetically)
{
    const size_t urms = size_t(QuantityIndex("Urms_a"));
    const size_t current = size_t(QuantityIndex("I1_c"));
    const size_t power = size_t(QuantityIndex("P_a"));
    const size_t frequency = size_t(QuantityIndex("F"));

    TTenMinuteAggregator aggregator;
    aggregator.RunStarted();
    for (int i = 0; i < 2; ++i) {
        TCycleRow cycle = Cycle(At(12, 0, 3 * i), i == 0 ? 3 : 4);
        // one bad reading and an infinity are left out of their quantity only
        if (i == 0) {
            cycle.Values[frequency] = kNaN;
            cycle.Values[power] = kInf;
        }
        cycle.Values[urms] = i == 0 ? -3 : 4; // a sign does not lower an RMS mean
        EXPECT_FALSE(aggregator.Add(cycle));
    }
    const std::optional<TAggregateRow> row = aggregator.RunEnded();
    ASSERT_TRUE(row);
    ASSERT_EQ(row->Avg.size(), Quantities().size());
    EXPECT_EQ(row->ValuesCount, 2);
    EXPECT_FLOAT_EQ(row->Avg[urms], std::sqrt(12.5f));
    EXPECT_FLOAT_EQ(row->Min[urms], -3);
    EXPECT_FLOAT_EQ(row->Max[urms], 4);
    EXPECT_FLOAT_EQ(row->Avg[current], std::sqrt(12.5f));
    EXPECT_FLOAT_EQ(row->Avg[QuantityIndex("KU_ab")], 3.5f);
    EXPECT_FLOAT_EQ(row->Min[QuantityIndex("KU_ab")], 3);
    EXPECT_FLOAT_EQ(row->Max[QuantityIndex("KU_ab")], 4);
    EXPECT_FLOAT_EQ(row->Avg[power], 4);
    EXPECT_FLOAT_EQ(row->Min[power], 4);
    EXPECT_FLOAT_EQ(row->Avg[frequency], 4);

    // a quantity with no finite value at all is NaN, not 0
    aggregator.RunStarted();
    TCycleRow cycle = Cycle(At(12, 0, 0));
    cycle.Values[frequency] = kNaN;
    EXPECT_FALSE(aggregator.Add(cycle));
    const std::optional<TAggregateRow> empty = aggregator.RunEnded();
    ASSERT_TRUE(empty);
    EXPECT_TRUE(std::isnan(empty->Avg[frequency]));
    EXPECT_TRUE(std::isnan(empty->Min[frequency]));
    EXPECT_TRUE(std::isnan(empty->Max[frequency]));
    EXPECT_FLOAT_EQ(empty->Avg[power], 1);
}

TEST(TenMinuteAggregator, AlignsIntervalsToTheClock)
{
    TTenMinuteAggregator aggregator;
    EXPECT_FALSE(aggregator.RunEnded());
    aggregator.RunStarted();
    EXPECT_FALSE(aggregator.Add(Cycle(At(12, 3, 17))));
    EXPECT_FALSE(aggregator.Add(Cycle({}))); // no meter time: ignored
    EXPECT_FALSE(aggregator.Add(Cycle(At(12, 9, 59))));

    const std::optional<TAggregateRow> first = aggregator.Add(Cycle(At(12, 10, 0)));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->Start, At(12, 0, 0));
    EXPECT_EQ(first->Start.timeSpec(), Qt::UTC);
    EXPECT_EQ(first->ValuesCount, 2);

    const std::optional<TAggregateRow> second = aggregator.RunEnded();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->Start, At(12, 10, 0));
    EXPECT_EQ(second->ValuesCount, 1);
    EXPECT_FALSE(aggregator.RunEnded()); // the state went with the row
}

TEST(TenMinuteAggregator, FlagsFewValuesClockJumpsAndRunEdges)
{
    TTenMinuteAggregator aggregator;
    aggregator.RunStarted();
    AddEvery3s(aggregator, At(12, 0, 0), At(12, 10, 0));
    std::optional<TAggregateRow> row = aggregator.Add(Cycle(At(12, 10, 0)));
    ASSERT_TRUE(row);
    EXPECT_EQ(row->ValuesCount, 200);
    EXPECT_EQ(row->Flags, afRunEdge);

    AddEvery3s(aggregator, At(12, 10, 3), At(12, 20, 0));
    row = aggregator.Add(Cycle(At(12, 20, 0)));
    ASSERT_TRUE(row);
    EXPECT_EQ(row->Flags, 0);

    // 2 minutes inside one interval, then 2 minutes across into the next
    EXPECT_FALSE(aggregator.Add(Cycle(At(12, 22, 0))));
    EXPECT_FALSE(aggregator.Add(Cycle(At(12, 29, 30))));
    row = aggregator.Add(Cycle(At(12, 31, 30)));
    ASSERT_TRUE(row);
    EXPECT_EQ(row->Flags, afClockJump | afFewValues);
    row = aggregator.RunEnded();
    ASSERT_TRUE(row);
    EXPECT_EQ(row->Flags, afClockJump | afRunEdge | afFewValues);

    // the time between two runs is no clock jump
    aggregator.RunStarted();
    EXPECT_FALSE(aggregator.Add(Cycle(At(13, 0, 0))));
    row = aggregator.RunEnded();
    ASSERT_TRUE(row);
    EXPECT_EQ(row->Flags, afRunEdge | afFewValues);

    // a clock set back by a few seconds into the previous interval
    aggregator.RunStarted();
    EXPECT_FALSE(aggregator.Add(Cycle(At(14, 10, 5))));
    row = aggregator.Add(Cycle(At(14, 9, 58)));
    ASSERT_TRUE(row);
    EXPECT_EQ(row->Start, At(14, 10, 0));
    EXPECT_EQ(row->Flags, afClockJump | afRunEdge | afFewValues);
    row = aggregator.RunEnded();
    ASSERT_TRUE(row);
    EXPECT_EQ(row->Start, At(14, 0, 0));
    EXPECT_EQ(row->Flags, afClockJump | afRunEdge | afFewValues);
}

TEST(TenMinuteAggregator, KeepsTheMeanAndMaximumOfEverySpectrumValue)
{
    const size_t count = size_t(SpectraValueCount());
    TTenMinuteAggregator aggregator;
    aggregator.RunStarted();
    for (int i = 0; i < 3; ++i) {
        TCycleRow cycle = Cycle(At(12, 0, 3 * i));
        for (size_t k = 0; k < count; ++k)
            cycle.Spectra[k] = float(k) + float(i); // k, k + 1, k + 2
        cycle.Spectra[1] = i == 0 ? kNaN : cycle.Spectra[1];
        EXPECT_FALSE(aggregator.Add(cycle));
    }
    // spectra of a wrong length are left out whole, the cycle's values still count
    TCycleRow shortSpectra = Cycle(At(12, 0, 9), 1000);
    shortSpectra.Spectra.resize(count - 1);
    EXPECT_FALSE(aggregator.Add(shortSpectra));

    const std::optional<TAggregateRow> row = aggregator.RunEnded();
    ASSERT_TRUE(row);
    EXPECT_EQ(row->ValuesCount, 4);
    ASSERT_EQ(row->SpectraAvg.size(), count);
    ASSERT_EQ(row->SpectraMax.size(), count);
    EXPECT_FLOAT_EQ(row->SpectraAvg[0], 1);
    EXPECT_FLOAT_EQ(row->SpectraMax[0], 2);
    EXPECT_FLOAT_EQ(row->SpectraAvg[1], 2.5f); // the NaN left out
    EXPECT_FLOAT_EQ(row->SpectraAvg[count - 1], float(count));
    EXPECT_FLOAT_EQ(row->SpectraMax[count - 1], float(count + 1));
    EXPECT_FLOAT_EQ(row->Max[0], 1000);
}
