// Polling runs against the meter simulator recorded into real archives: an
// SQLite file and the test PostgreSQL server, with their faults.

#include "archive/ArchiveColumns.h"
#include "archive/ArchiveDatabase.h"
#include "archive/ArchiveWriter.h"
#include "engine/PollingFixture.h"
#include "engine/RecordSlots.h"
#include "protocol/SimProcess.h"
#include "support/FileSizeLimit.h"
#include "support/LoopbackConnection.h"
#include "support/TestPostgres.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSqlRecord>
#include <QThread>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <mutex>

using namespace Archive;

namespace {

// Hands every copy of a run to each archive and keeps the cycles for
// comparison: what the archive must hold, value for value.
class TTee : public TCycleSink
{
public:
    explicit TTee(std::vector<TCycleSink *> sinks) : sinks_(std::move(sinks)) {}

    void RunStarted(const TMeterIdentity &meter) override
    {
        for (TCycleSink *sink : sinks_)
            sink->RunStarted(meter);
    }
    void SettingsRead(TSettingsCopy settings) override
    {
        for (TCycleSink *sink : sinks_)
            sink->SettingsRead(settings);
    }
    void CycleRead(TCycleCopy cycle) override
    {
        {
            std::lock_guard lock(mutex_);
            cycles_.push_back(cycle);
        }
        for (TCycleSink *sink : sinks_)
            sink->CycleRead(cycle);
    }
    void RunEnded() override
    {
        for (TCycleSink *sink : sinks_)
            sink->RunEnded();
    }
    std::vector<TCycleCopy> Cycles() const
    {
        std::lock_guard lock(mutex_);
        return cycles_;
    }
    size_t Count() const { return Cycles().size(); }

private:
    std::vector<TCycleSink *> sinks_;
    mutable std::mutex mutex_;
    std::vector<TCycleCopy> cycles_;
};

// Status texts of an archive, from its thread.
struct TReports
{
    mutable std::mutex mutex;
    QStringList texts;

    TArchiveWriter::TReport Callback()
    {
        return [this](const QString &text, TSeverity) {
            std::lock_guard lock(mutex);
            texts << text;
        };
    }
    int Count(const QString &start) const
    {
        std::lock_guard lock(mutex);
        return int(std::count_if(texts.begin(), texts.end(), [&](const QString &t) { return t.startsWith(start); }));
    }
};

// Ends the runs before the sinks they hand cycles to are gone, however the
// test ends (a failed assertion returns at once).
struct TRunsEnd
{
    std::vector<TCommons *> Engines;
    ~TRunsEnd()
    {
        for (TCommons *engine : Engines) {
            engine->Stop();
            engine->WaitForThread();
            engine->SetCycleSink(nullptr);
        }
    }
};

const QString kWriteError = QStringLiteral("Ошибка записи архива: ");

float ValueOf(const TCycleCopy &cycle, int slot)
{
    return cycle.Data.at(size_t(slot - VDSlot::DataFirst));
}

QString TimeColumn(const TArchiveDatabase &db, const QString &column)
{
    return db.Target().Kind() == TArchiveTarget::TKind::PostgreSQL
               ? QStringLiteral("to_char(%1, 'YYYY-MM-DD HH24:MI:SS')").arg(column)
               : column;
}

// Every row of a table of one meter as text, in time order: rows of two
// archives compare equal only when every value is the same.
QStringList Rows(TArchiveDatabase &db, const QString &table, const QString &timeColumn, const QStringList &columns)
{
    QStringList selected{timeColumn == QLatin1String("id") ? timeColumn : TimeColumn(db, timeColumn)};
    for (const QString &column : columns)
        selected << column;
    QSqlQuery query =
        db.Select(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3").arg(selected.join(u','), table, timeColumn));
    QStringList rows;
    while (query.next()) {
        QStringList values;
        for (int i = 0; i < selected.size(); ++i) {
            const QVariant value = query.value(i);
            values << (value.isNull()                            ? QStringLiteral("NULL")
                       : value.typeId() == QMetaType::QByteArray ? QString::fromLatin1(value.toByteArray().toHex())
                       : value.typeId() == QMetaType::Double     ? QString::number(value.toDouble(), 'g', 17)
                                                                 : value.toString());
        }
        rows << values.join(u';');
    }
    return rows;
}

QStringList QuantityNames()
{
    QStringList names;
    for (const TQuantity &quantity : Quantities())
        names << quantity.Name;
    return names;
}

QStringList AggregateNames()
{
    QStringList names{QStringLiteral("values_count"), QStringLiteral("flags")};
    for (const TQuantity &quantity : Quantities())
        names << quantity.Name + QLatin1String("_avg") << quantity.Name + QLatin1String("_min")
              << quantity.Name + QLatin1String("_max");
    for (const TSpectrum &spectrum : Spectra())
        names << spectrum.Name + QLatin1String("_avg") << spectrum.Name + QLatin1String("_max");
    return names;
}

class ArchiveRecording : public engine_test::PollingFixture
{
protected:
    void StartPolling(quint16 port, qint32 factoryNumber = 4711)
    {
        Start(testsupport::LoopbackConnection<TccnM7SQDev>(port, factoryNumber));
    }
    void StopPolling()
    {
        commons->Stop();
        ASSERT_TRUE(PumpUntil([&] { return commons->RunState() == rsStopped; }));
        commons->WaitForThread();
    }
    quint64 CyclesCounted() const
    {
        std::lock_guard lock(statisticsMutex_);
        return cyclesCounted_;
    }
    void CountCycles(TCommons &engine)
    {
        QObject::connect(&engine.Events(), &TEngineEvents::LinkStatisticsChanged, &window,
                         [this](const TLinkStatistics &statistics) {
                             std::lock_guard lock(statisticsMutex_);
                             cyclesCounted_ = statistics.Cycles;
                         });
    }

private:
    mutable std::mutex statisticsMutex_;
    quint64 cyclesCounted_ = 0;
};

} // namespace

// One run into an SQLite file and into PostgreSQL at once: every column of
// every cycle is the float the record held, both archives hold the same rows,
// and the 10-minute rows follow the averaging rules.
TEST_F(ArchiveRecording, EveryCycleIsKeptExactlyAndBothTargetsHoldTheSameRows)
{
    const QString url = TestPostgresUrl(QStringLiteral("recording_same_rows"));
    if (url.isEmpty() && TestPostgresRequired())
        FAIL() << "no test PostgreSQL server";
    testsim::TSimProcess sim({QStringLiteral("--fast-clock"), QStringLiteral("--no-channel-faults")});
    ASSERT_TRUE(sim.Started());

    TReports reports;
    TArchiveOptions fileOptions;
    fileOptions.Target = TArchiveTarget::File(dir.filePath(QStringLiteral("a/archive.sqlite")));
    fileOptions.Spectra = true;
    auto file = std::make_unique<TArchiveWriter>(fileOptions, reports.Callback());
    std::unique_ptr<TArchiveWriter> server;
    std::vector<TCycleSink *> sinks{file.get()};
    if (!url.isEmpty()) {
        TArchiveOptions serverOptions = fileOptions;
        serverOptions.Target = TArchiveTarget::Parse(url);
        server = std::make_unique<TArchiveWriter>(serverOptions, reports.Callback());
        sinks.push_back(server.get());
    }
    TTee tee(sinks);
    commons->SetCycleSink(&tee);
    const TRunsEnd runsEnd{{commons.get()}};
    StartPolling(sim.Port());
    ASSERT_TRUE(PumpUntil([&] { return tee.Count() >= 30; }, 120000)) << window.StatusTexts().join(u'|').toStdString();
    StopPolling();
    commons->SetCycleSink(nullptr);
    ASSERT_TRUE(file->Flush(10000));
    ASSERT_TRUE(!server || server->Flush(10000)) << reports.texts.join(u'|').toStdString();
    EXPECT_EQ(reports.Count(kWriteError), 0) << reports.texts.join(u'|').toStdString();
    const std::vector<TCycleCopy> cycles = tee.Cycles();
    file.reset();
    server.reset();

    TArchiveDatabase db(fileOptions.Target);
    ASSERT_TRUE(db.Open(TArchiveDatabase::TMode::Read)) << db.Error().toStdString();
    QStringList columns = QuantityNames();
    for (const TSpectrum &spectrum : Spectra())
        columns << spectrum.Name;
    QSqlQuery query =
        db.Select(QStringLiteral("SELECT meter_time, %1 FROM cycles ORDER BY meter_time").arg(columns.join(u',')));
    size_t row = 0;
    for (; query.next(); ++row) {
        ASSERT_LT(row, cycles.size());
        const TCycleCopy &cycle = cycles[row];
        EXPECT_EQ(query.value(0).toString(), TimeText(MeterTimeFromDayCount(cycle.MeterDateTime)));
        int column = 1;
        for (const TQuantity &quantity : Quantities()) {
            const float expected = ValueOf(cycle, quantity.Slot);
            const QVariant value = query.value(column++);
            if (std::isnan(expected))
                EXPECT_TRUE(value.isNull()) << quantity.Name.toStdString();
            else
                EXPECT_EQ(float(value.toDouble()), expected) << quantity.Name.toStdString() << " row " << row;
            EXPECT_EQ(double(float(value.toDouble())), value.toDouble()) << "a float32, exactly";
        }
        for (const TSpectrum &spectrum : Spectra()) {
            const QByteArray blob = query.value(column++).toByteArray();
            ASSERT_EQ(blob.size(), qsizetype(spectrum.Count * sizeof(float)));
            EXPECT_EQ(std::memcmp(blob.constData(), &cycle.Data[size_t(spectrum.Slot - VDSlot::DataFirst)],
                                  size_t(blob.size())),
                      0)
                << spectrum.Name.toStdString();
        }
    }
    EXPECT_EQ(row, cycles.size());

    // The 10-minute rows, recomputed from the cycles.
    std::map<QDateTime, std::vector<const TCycleCopy *>> intervals;
    for (const TCycleCopy &cycle : cycles) {
        const QDateTime time = MeterTimeFromDayCount(cycle.MeterDateTime);
        intervals[time.addSecs(-(time.toSecsSinceEpoch() % kIntervalSeconds))].push_back(&cycle);
    }
    QSqlQuery aggregates = db.Select(QStringLiteral("SELECT interval_start, values_count, flags, Urms_a_avg, "
                                                    "Urms_a_min, Urms_a_max, F_avg, P_b_avg FROM aggregates_10min "
                                                    "ORDER BY interval_start"));
    auto interval = intervals.begin();
    for (; aggregates.next(); ++interval) {
        ASSERT_NE(interval, intervals.end());
        const std::vector<const TCycleCopy *> &members = interval->second;
        double squares = 0, frequency = 0, power = 0;
        float low = INFINITY, high = -INFINITY;
        for (const TCycleCopy *cycle : members) {
            const double u = ValueOf(*cycle, VDSlot::Urms);
            squares += u * u;
            low = std::min(low, float(u));
            high = std::max(high, float(u));
            frequency += ValueOf(*cycle, VDSlot::F);
            power += ValueOf(*cycle, VDSlot::P + 1);
        }
        const double n = double(members.size());
        EXPECT_EQ(aggregates.value(0).toString(), TimeText(interval->first));
        EXPECT_EQ(aggregates.value(1).toInt(), int(members.size()));
        const int edges = (interval == intervals.begin() || std::next(interval) == intervals.end()) ? afRunEdge : 0;
        EXPECT_EQ(aggregates.value(2).toInt(), afFewValues | edges);
        EXPECT_FLOAT_EQ(float(aggregates.value(3).toDouble()), float(std::sqrt(squares / n)));
        EXPECT_EQ(float(aggregates.value(4).toDouble()), low);
        EXPECT_EQ(float(aggregates.value(5).toDouble()), high);
        EXPECT_FLOAT_EQ(float(aggregates.value(6).toDouble()), float(frequency / n));
        EXPECT_FLOAT_EQ(float(aggregates.value(7).toDouble()), float(power / n));
    }
    EXPECT_EQ(interval, intervals.end());

    if (url.isEmpty())
        return;
    TArchiveDatabase pg(TArchiveTarget::Parse(url));
    ASSERT_TRUE(pg.Open(TArchiveDatabase::TMode::Read)) << pg.Error().toStdString();
    EXPECT_EQ(Rows(pg, QStringLiteral("cycles"), QStringLiteral("meter_time"), columns),
              Rows(db, QStringLiteral("cycles"), QStringLiteral("meter_time"), columns));
    EXPECT_EQ(Rows(pg, QStringLiteral("aggregates_10min"), QStringLiteral("interval_start"), AggregateNames()),
              Rows(db, QStringLiteral("aggregates_10min"), QStringLiteral("interval_start"), AggregateNames()));
    const QStringList limits{QStringLiteral("slots"), QStringLiteral("time_intervals")};
    EXPECT_EQ(Rows(pg, QStringLiteral("limits"), QStringLiteral("meter_time"), limits),
              Rows(db, QStringLiteral("limits"), QStringLiteral("meter_time"), limits));
    const QStringList meters{QStringLiteral("device_type"), QStringLiteral("factory_number"),
                             QStringLiteral("device_address")};
    EXPECT_EQ(Rows(pg, QStringLiteral("meters"), QStringLiteral("id"), meters),
              Rows(db, QStringLiteral("meters"), QStringLiteral("id"), meters));
    EXPECT_EQ(Rows(db, QStringLiteral("meters"), QStringLiteral("id"), meters),
              QStringList{QStringLiteral("1;dtM7SQ;4711;1")});
}

// A target that cannot be made, and a file that fills up part way: polling
// goes on, the fault is told once, and once the file takes writes again every
// cycle read meanwhile is there.
TEST_F(ArchiveRecording, WriteFaultsCostNoPollingAndNoRows)
{
    testsim::TSimProcess sim({QStringLiteral("--fast-clock"), QStringLiteral("--no-channel-faults")});
    ASSERT_TRUE(sim.Started());
    CountCycles(*commons);

    TReports nowhereReports;
    TArchiveOptions nowhereOptions;
    nowhereOptions.Target = TArchiveTarget::File(QStringLiteral("/dev/null/archive/archive.sqlite"));
    nowhereOptions.RetryFileMs = 200;
    TArchiveWriter nowhere(nowhereOptions, nowhereReports.Callback());

    TReports reports;
    TArchiveOptions options;
    options.Target = TArchiveTarget::File(dir.filePath(QStringLiteral("archive.sqlite")));
    options.RetryFileMs = 200;
    TArchiveWriter file(options, reports.Callback());
    TTee tee({&nowhere, &file});
    commons->SetCycleSink(&tee);
    const TRunsEnd runsEnd{{commons.get()}};
    StartPolling(sim.Port());
    ASSERT_TRUE(PumpUntil([&] { return file.Counters().CyclesWritten >= 5; }, 120000));
    {
        // No file of this process grows any more: the journal is rewritten
        // from its start after a checkpoint, so a larger limit would let
        // some commits through.
        testsupport::TFileSizeLimit full(1);
        ASSERT_TRUE(full.Active());
        ASSERT_TRUE(PumpUntil([&] { return file.Counters().Failing; }, 120000));
        const quint64 before = CyclesCounted();
        ASSERT_TRUE(PumpUntil([&] { return CyclesCounted() >= before + 10; }, 120000)) << "polling goes on";
        EXPECT_GT(file.Counters().CyclesWaiting, 0u);
    }
    ASSERT_TRUE(PumpUntil([&] { return !file.Counters().Failing; }, 30000));
    StopPolling();
    commons->SetCycleSink(nullptr);
    ASSERT_TRUE(file.Flush(10000));

    EXPECT_EQ(reports.Count(kWriteError), 1) << reports.texts.join(u'|').toStdString();
    EXPECT_EQ(reports.Count(QStringLiteral("Архив снова записывается")), 1);
    EXPECT_EQ(nowhereReports.Count(kWriteError), 1) << "once per episode";
    EXPECT_TRUE(nowhere.Counters().Failing);
    EXPECT_EQ(nowhere.Counters().CyclesWaiting, tee.Count());

    const TArchiveCounters counters = file.Counters();
    EXPECT_EQ(counters.CyclesWritten, tee.Count());
    EXPECT_EQ(counters.CyclesDropped, 0u);
    TArchiveDatabase db(options.Target);
    ASSERT_TRUE(db.Open(TArchiveDatabase::TMode::Read));
    QSqlQuery count = db.Select(QStringLiteral("SELECT COUNT(*) FROM cycles"));
    ASSERT_TRUE(count.next());
    EXPECT_EQ(count.value(0).toULongLong(), quint64(tee.Count()));
    EXPECT_EQ(db.Check(), QStringLiteral("ok"));
}

// Two meters into one server, which goes away for 30 s in the middle of the
// runs: polling goes on, and once it is back no cycle of either is missing.
TEST_F(ArchiveRecording, TwoMetersIntoOneServerThatRestartsLoseNothing)
{
    // A server of this test's own: the one of the other tests stays up.
    QTemporaryDir serverDir(QDir::tempPath() + QStringLiteral("/archive-pg-XXXXXX"));
    const auto server = [&](const char *command) {
        QProcess script;
        script.start(QStringLiteral("bash"), {QStringLiteral(MONITOR_PG_SCRIPT), QLatin1String(command),
                                              serverDir.filePath(QStringLiteral("pg"))});
        script.waitForFinished(120000);
        return script.exitStatus() == QProcess::NormalExit && script.exitCode() == 0
                   ? std::optional(QString::fromUtf8(script.readAllStandardOutput()).trimmed())
                   : std::nullopt;
    };
    if (TestPostgresUrl(QStringLiteral("recording_restart_probe")).isEmpty()) {
        SKIP_WITHOUT_TEST_POSTGRES(QString());
    }
    const QString url = server("start").value_or(QString());
    ASSERT_FALSE(url.isEmpty());
    struct TStop
    {
        std::function<void()> Run;
        ~TStop() { Run(); }
    } stopServer{[&] { server("stop"); }};

    testsim::TSimProcess simA({QStringLiteral("--fast-clock"), QStringLiteral("--no-channel-faults"),
                               QStringLiteral("--device-number"), QStringLiteral("1")});
    testsim::TSimProcess simB({QStringLiteral("--fast-clock"), QStringLiteral("--no-channel-faults"),
                               QStringLiteral("--device-number"), QStringLiteral("2")});
    ASSERT_TRUE(simA.Started() && simB.Started());

    TArchiveOptions options;
    options.Target = TArchiveTarget::Parse(url);
    options.RetryServerMs = 10000;
    TReports reportsA, reportsB;
    TArchiveWriter archiveA(options, reportsA.Callback()), archiveB(options, reportsB.Callback());
    TTee teeA({&archiveA}), teeB({&archiveB});

    TCommons second(&factory, dir.filePath(QStringLiteral("second.log")));
    commons->SetCycleSink(&teeA);
    second.SetCycleSink(&teeB);
    const TRunsEnd runsEnd{{commons.get(), &second}};
    auto connectionB = testsupport::LoopbackConnection<TccnM7SQDev>(simB.Port(), 2);
    dynamic_cast<TccnTarvelProtocol *>(connectionB->CustomDeviceProtocol())->DeviceAddress = 2;
    second.Settings()->SetConnection(std::move(connectionB));
    auto connectionA = testsupport::LoopbackConnection<TccnM7SQDev>(simA.Port(), 1);
    Start(std::move(connectionA));
    second.Start();

    const auto written = [](TArchiveWriter &archive) { return archive.Counters().CyclesWritten; };
    ASSERT_TRUE(PumpUntil([&] { return written(archiveA) >= 5 && written(archiveB) >= 5; }, 120000));
    ASSERT_TRUE(server("stop-server"));
    const size_t beforeA = teeA.Count(), beforeB = teeB.Count();
    QThread::sleep(30);
    EXPECT_GT(teeA.Count(), beforeA + 5) << "polling goes on";
    EXPECT_GT(teeB.Count(), beforeB + 5);
    EXPECT_TRUE(archiveA.Counters().Failing && archiveB.Counters().Failing);
    ASSERT_TRUE(server("start-server"));
    ASSERT_TRUE(PumpUntil([&] { return !archiveA.Counters().Failing && !archiveB.Counters().Failing; }, 30000));

    StopPolling();
    second.Stop();
    second.WaitForThread();
    commons->SetCycleSink(nullptr);
    second.SetCycleSink(nullptr);
    ASSERT_TRUE(archiveA.Flush(10000) && archiveB.Flush(10000));
    EXPECT_EQ(reportsA.Count(kWriteError), 1) << reportsA.texts.join(u'|').toStdString();

    TArchiveDatabase db(options.Target);
    ASSERT_TRUE(db.Open(TArchiveDatabase::TMode::Read)) << db.Error().toStdString();
    QSqlQuery counts =
        db.Select(QStringLiteral("SELECT m.factory_number, m.device_address, COUNT(c.meter_id) FROM meters m "
                                 "LEFT JOIN cycles c ON c.meter_id = m.id GROUP BY m.id, m.factory_number, "
                                 "m.device_address ORDER BY m.factory_number"));
    QStringList found;
    while (counts.next())
        found << QStringLiteral("%1/%2: %3")
                     .arg(counts.value(0).toInt())
                     .arg(counts.value(1).toInt())
                     .arg(counts.value(2).toLongLong());
    EXPECT_EQ(found,
              (QStringList{QStringLiteral("1/1: %1").arg(teeA.Count()), QStringLiteral("2/2: %1").arg(teeB.Count())}));
}
