// The archive thread fed directly with cycles of chosen meter times.

#include "archive/ArchiveDatabase.h"
#include "archive/ArchiveWriter.h"
#include "engine/RecordSlots.h"

#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <mutex>

namespace {

TCycleCopy Cycle(double days, float voltage)
{
    TCycleCopy cycle;
    cycle.MeterDateTime = days;
    cycle.PcTimeUtc = QDateTime::currentDateTimeUtc();
    cycle.Data.assign(size_t(VDSlot::DataEnd - VDSlot::DataFirst), 0.5f);
    cycle.Data[size_t(VDSlot::Urms - VDSlot::DataFirst)] = voltage;
    return cycle;
}

constexpr double kDay = 46000; // 2025-12-09 in the record's day count
constexpr double kMinute = 1.0 / 1440;

} // namespace

// Cycles older than KeepDays before the meter's latest go; its 10-minute
// rows stay. A cycle with no meter time is counted as lost.
TEST(ArchiveWriter, KeepsCyclesForKeepDaysAndAggregatesForever)
{
    QTemporaryDir dir;
    TArchiveOptions options;
    options.Target = TArchiveTarget::File(dir.filePath(QStringLiteral("archive.sqlite")));
    options.KeepDays = 2;
    {
        TArchiveWriter writer(options, {});
        writer.RunStarted({QStringLiteral("dtM7SQ"), 7, 1});
        for (double day : {0.0, 0.9, 2.5, 3.0})
            writer.CycleRead(Cycle(kDay + day, 230));
        writer.CycleRead(Cycle(0, 230));
        writer.RunEnded();
        ASSERT_TRUE(writer.Flush(10000));
        EXPECT_EQ(writer.Counters().CyclesWritten, 4u);
        EXPECT_EQ(writer.Counters().CyclesLost(), 1u);
    }
    TArchiveDatabase db(options.Target);
    ASSERT_TRUE(db.Open(TArchiveDatabase::TMode::Read));
    QSqlQuery cycles = db.Select(QStringLiteral("SELECT meter_time FROM cycles ORDER BY meter_time"));
    QStringList kept;
    while (cycles.next())
        kept << cycles.value(0).toString();
    EXPECT_EQ(kept, (QStringList{QStringLiteral("2025-12-11 12:00:00"), QStringLiteral("2025-12-12 00:00:00")}));
    QSqlQuery aggregates = db.Select(QStringLiteral("SELECT COUNT(*) FROM aggregates_10min"));
    ASSERT_TRUE(aggregates.next());
    EXPECT_EQ(aggregates.value(0).toInt(), 4);
}

// A target that never comes: the queue keeps the newest cycles up to its
// bound, counts the rest and says so once; at the end what waits is told and
// counted as lost too.
TEST(ArchiveWriter, AFullQueueDropsTheOldestCyclesAndSaysSoOnce)
{
    std::mutex mutex;
    QStringList texts;
    TArchiveOptions options;
    options.Target = TArchiveTarget::File(QStringLiteral("/dev/null/archive.sqlite"));
    options.QueueCycles = 10;
    TArchiveWriter writer(options, [&](const QString &text, TSeverity) {
        std::lock_guard lock(mutex);
        texts << text;
    });
    writer.RunStarted({QStringLiteral("dtM7SQ"), 7, 1});
    for (int i = 0; i < 25; ++i)
        writer.CycleRead(Cycle(kDay + i * 3 * kMinute / 60, 230));
    EXPECT_FALSE(writer.Flush(10000));
    // the split settles once the writer's pass has trimmed what it took over
    for (int i = 0; i < 100 && (writer.Counters().CyclesDropped != 15 || writer.Counters().CyclesWaiting != 10); ++i)
        QThread::msleep(20);
    EXPECT_EQ(writer.Counters().CyclesDropped, 15u);
    EXPECT_EQ(writer.Counters().CyclesWaiting, 10u);
    writer.End();
    const TArchiveCounters ended = writer.Counters();
    EXPECT_EQ(ended.CyclesWaiting, 0u);
    EXPECT_EQ(ended.CyclesLeft, 10u);
    EXPECT_EQ(ended.CyclesLost(), 25u);
    std::lock_guard lock(mutex);
    EXPECT_TRUE(texts.contains(QStringLiteral("Архив не записан: циклов 10"))) << texts.join(u'|').toStdString();
    EXPECT_EQ(texts.filter(QStringLiteral("Очередь архива полна")).size(), 1) << texts.join(u'|').toStdString();
    EXPECT_EQ(texts.filter(QStringLiteral("Ошибка записи архива")).size(), 1);
}
