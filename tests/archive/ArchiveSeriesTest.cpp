// Reading quantities back for trends, from both kinds of archive, on the
// loader's own thread; and the fan-out that hands a run's cycles to several
// keepers.

#include "archive/ArchiveSeries.h"
#include "archive/CycleSinks.h"
#include "archive/SyntheticArchive.h"
#include "support/PumpEvents.h"
#include "support/TestPostgres.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

using namespace Archive;
using synthetic::Cycle;

namespace {

const QDateTime kMidnight(QDate(2025, 12, 9), QTime(0, 0), Qt::UTC);

// Ten minutes and a bit from 08:00: cycles every 3 s with Urms_a rising
// 220, 221, …; one value the meter did not give; limits read twice.
void FillDay(const TArchiveTarget &target)
{
    std::vector<TCycleCopy> cycles;
    for (int i = 0; i < 210; ++i) {
        cycles.push_back(Cycle(8 * 3600 + i * 3, 220.0f + float(i)));
        if (i == 5)
            cycles.back().Data[size_t(VDSlot::Urms + 1 - VDSlot::DataFirst)] = std::nanf("");
    }
    synthetic::Fill(target, {synthetic::Settings(8 * 3600), synthetic::Settings(8 * 3600 + 300, 50.5f)}, cycles);
}

TSeriesRequest Request(const TArchiveTarget &target, TSeriesSource source)
{
    TSeriesRequest request;
    request.Target = target;
    request.MeterId = 1;
    request.From = kMidnight.addSecs(8 * 3600 + 3);
    request.To = kMidnight.addSecs(9 * 3600);
    request.Source = source;
    request.Quantities = {QStringLiteral("Urms_a"), QStringLiteral("Urms_b"), HarmonicQuantity(0, 5)};
    request.Serial = 7;
    return request;
}

void ExpectSeries(TArchiveDatabase &db, const TArchiveTarget &target)
{
    const TSeriesResult cycles = LoadSeries(db, Request(target, TSeriesSource::Cycles));
    ASSERT_TRUE(cycles.Error.isEmpty()) << cycles.Error.toStdString();
    EXPECT_EQ(cycles.Serial, 7);
    ASSERT_EQ(cycles.Times.size(), 209u) << "[From, To): the first cycle is before From";
    EXPECT_EQ(cycles.Times.front(), SeriesTime(kMidnight.addSecs(8 * 3600 + 3)));
    ASSERT_EQ(cycles.Columns.size(), 3u);
    EXPECT_EQ(cycles.Columns[0].Avg.front(), 221.0);
    EXPECT_EQ(cycles.Columns[0].Avg.back(), 429.0);
    EXPECT_TRUE(cycles.Columns[0].Min.empty());
    EXPECT_TRUE(std::isnan(cycles.Columns[1].Avg[4])) << "a value not given stays missing";
    EXPECT_EQ(cycles.Columns[1].Avg[5], 0.5);
    // cycles keep no spectra unless asked: no Ku(n) then
    EXPECT_TRUE(std::isnan(cycles.Columns[2].Avg[0]));

    const TSeriesResult aggregates = LoadSeries(db, Request(target, TSeriesSource::Aggregates));
    ASSERT_TRUE(aggregates.Error.isEmpty()) << aggregates.Error.toStdString();
    // 08:10 only: the 08:00 row starts before From
    ASSERT_EQ(aggregates.Times.size(), 1u);
    EXPECT_EQ(aggregates.Times[0], SeriesTime(kMidnight.addSecs(8 * 3600 + 600)));
    EXPECT_EQ(aggregates.Flags[0], afFewValues | afRunEdge);
    EXPECT_EQ(aggregates.Columns[0].Min[0], 420.0);
    EXPECT_EQ(aggregates.Columns[0].Max[0], 429.0);
    EXPECT_NEAR(aggregates.Columns[2].Avg[0], 0.5, 1e-6) << "Ku(5) of a from the spectrum's mean";
    EXPECT_NEAR(aggregates.Columns[2].Max[0], 0.5, 1e-6);
    EXPECT_TRUE(std::isnan(aggregates.Columns[2].Min[0]));

    ASSERT_EQ(aggregates.Limits.size(), 2u);
    EXPECT_EQ(aggregates.Limits[0].MeterTime, kMidnight.addSecs(8 * 3600));
    EXPECT_EQ(aggregates.Limits[1].Slots[74], 50.5f);
    EXPECT_EQ(aggregates.Limits[1].Intervals[0], (TTimeInterval{8, 0, 20, 0}));
}

} // namespace

TEST(ArchiveSeries, ReadsCyclesAggregatesAndLimitsFromAFileAndAServer)
{
    QTemporaryDir dir;
    const TArchiveTarget file = TArchiveTarget::File(dir.filePath(QStringLiteral("a.sqlite")));
    FillDay(file);
    {
        TArchiveDatabase db(file);
        ASSERT_TRUE(db.Open(TArchiveDatabase::TMode::Read));
        ExpectSeries(db, file);
        TSeriesRequest unknown = Request(file, TSeriesSource::Cycles);
        unknown.Quantities = {QStringLiteral("Urms_a; DROP TABLE cycles")};
        EXPECT_FALSE(LoadSeries(db, unknown).Error.isEmpty()) << "only the archive's own names";
    }

    // the loader answers on this thread, from a connection of its own thread
    TArchiveSeriesLoader loader;
    QSignalSpy series(&loader, &TArchiveSeriesLoader::SeriesLoaded);
    QSignalSpy summaries(&loader, &TArchiveSeriesLoader::SummaryLoaded);
    loader.RequestSummary(file);
    TSeriesRequest stale = Request(file, TSeriesSource::Cycles);
    stale.Serial = 1;
    loader.RequestSeries(stale);
    loader.RequestSeries(Request(file, TSeriesSource::Cycles));
    ASSERT_TRUE(testsupport::PumpUntil([&] {
        return summaries.size() == 1 && !series.isEmpty() && series.last()[0].value<TSeriesResult>().Serial == 7;
    }));
    const auto summary = summaries[0][0].value<TSummary>();
    ASSERT_EQ(summary.Meters.size(), 1u);
    EXPECT_EQ(summary.Meters[0].FactoryNumber, 4242);
    const auto answered = series.last()[0].value<TSeriesResult>();
    EXPECT_EQ(answered.Times.size(), 209u);

    const QString url = TestPostgresUrl(QStringLiteral("trends_series"));
    SKIP_WITHOUT_TEST_POSTGRES(url);
    const TArchiveTarget server = TArchiveTarget::Parse(url);
    FillDay(server);
    TArchiveDatabase db(server);
    ASSERT_TRUE(db.Open(TArchiveDatabase::TMode::Read)) << db.Error().toStdString();
    ExpectSeries(db, server);
}

// Both keepers get every cycle of the run.
TEST(CycleSinks, HandEachCycleToEveryKeeper)
{
    QTemporaryDir dir;
    TArchiveOptions first, second;
    first.Target = TArchiveTarget::File(dir.filePath(QStringLiteral("1.sqlite")));
    second.Target = TArchiveTarget::File(dir.filePath(QStringLiteral("2.sqlite")));
    {
        TArchiveWriter a(first, {}), b(second, {});
        TCycleSinks sinks;
        sinks.SetTargets({&a, nullptr, &b});
        sinks.RunStarted({QStringLiteral("dtM7SQ"), 7, 1});
        sinks.SettingsRead(synthetic::Settings(0));
        for (int i = 0; i < 3; ++i)
            sinks.CycleRead(Cycle(i * 3, 230));
        sinks.RunEnded();
        ASSERT_TRUE(a.Flush(10000));
        ASSERT_TRUE(b.Flush(10000));
    }
    for (const TArchiveOptions &options : {first, second}) {
        TArchiveDatabase db(options.Target);
        ASSERT_TRUE(db.Open(TArchiveDatabase::TMode::Read));
        const TSummary summary = db.Summary();
        ASSERT_EQ(summary.Meters.size(), 1u);
        EXPECT_EQ(summary.Meters[0].Cycles, 3);
        EXPECT_EQ(summary.LimitRows, 1);
    }
}
