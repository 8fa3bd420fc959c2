// Costs of the measurement archive, each next to a baseline measured earlier
// in the same run (x_baseline: the CPU time over the median of the
// baseline's repetitions, x_baseline_wall the same for wall time; of_target:
// the figure over its target, under 1 meets it):
//   - the copy of a whole cycle on the polling thread (what TellCycleRead
//     does: resize, CopyBlock of the data block, the PC clock) next to a
//     plain memcpy of the same 2475 floats; target 50 us;
//   - the write of one cycle on the archive thread, CPU time: the cycle
//     turned into a row (as the writer does), folded into the 10-minute
//     aggregator, then one transaction with the meter's upsert, the cycle
//     row and, every 200 cycles, the 10-minute row, through
//     TArchiveDatabase; next to the same transaction (upsert and cycle row)
//     with the sqlite3 C API; target 0.5 ms. The whole writer (thread
//     hand-over, Flush) is measured too, as process CPU;
//   - 100 000 cycle rows, a transaction per 1000, through
//     TArchiveDatabase::AddCycle next to a bare sqlite3 loop into a table
//     made with the archive's own CREATE statements; target 2x; and a trial
//     of a cheaper AddCycle (see there);
//   - reads from a filled archive through TArchiveDatabase::Select next to
//     the same statements with the sqlite3 C API: a week of 10-minute rows
//     (1008, all columns; target 20 ms) and a day of cycles (28 800 rows,
//     meter_time and 9 quantities; target 100 ms); and a trial with the
//     file mapped.
// The machine is shared: compare runs with --benchmark_repetitions=3 and
// their medians. Files live in one temporary folder; SQLite as the archive sets it up (WAL,
// synchronous=NORMAL), the baselines the same.

#include "BaselineFigures.h"
#include "archive/ArchiveColumns.h"
#include "archive/ArchiveDatabase.h"
#include "archive/ArchiveRows.h"
#include "archive/ArchiveWriter.h"
#include "archive/TenMinuteAggregator.h"
#include "engine/CycleSink.h"
#include "engine/MeasurementRecord.h"
#include "engine/RecordSlots.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace Archive;
using namespace benchsupport;

namespace {

constexpr int kCycleSeconds = 3;
constexpr int kCyclesPerDay = 86400 / kCycleSeconds; // 28 800
constexpr int kIntervalsPerWeek = 7 * 24 * 6;        // 1008
constexpr int kInsertRows = 100000;
constexpr int kRowsPerTransaction = 1000;
const QDateTime kFirstMeterTime(QDate(2026, 1, 5), QTime(0, 0), Qt::UTC);
const TMeterIdentity kMeter{QStringLiteral("dtM7SQ"), 123456, 1};

// The day-of-cycles read: meter_time and these nine quantities.
const QStringList kDayColumns{"Urms_a", "Urms_b", "Urms_c", "Irms_a", "Irms_b", "Irms_c", "P_a", "P_b", "P_c"};

void EnsureApplication()
{
    static int argc = 1;
    static char name[] = "bench_archive";
    static char *argv[] = {name, nullptr};
    // never destroyed: it must outlive the benchmark library's own statics
    if (QCoreApplication::instance() == nullptr)
        new QCoreApplication(argc, argv);
}

void Require(bool ok, const QString &what)
{
    if (!ok)
        throw std::runtime_error(what.toStdString());
}

void ReportBaseline(benchmark::State &state, const std::string &name, TFigure figure)
{
    figure.Iterations = state.iterations();
    Baselines()[name].push_back(figure);
}

// x_baseline compares CPU times (the machine is shared: the wall time of
// either side also holds the waits for a core), x_baseline_wall the wall
// times. of_target is the wall time over a latency target, or the CPU time
// over a CPU target.
enum class TTarget { None, Wall, Cpu };
void ReportAgainst(benchmark::State &state, const std::string &baseline, TFigure figure, TTarget kind = TTarget::None,
                   double target = 0)
{
    double wall = 0, cpu = 0;
    if (BaselineMedian(baseline, wall, cpu)) {
        state.counters["x_baseline"] = figure.Cpu / cpu;
        state.counters["x_baseline_wall"] = figure.Wall / wall;
    }
    if (kind != TTarget::None)
        state.counters["of_target"] = (kind == TTarget::Wall ? figure.Wall : figure.Cpu) / target;
}

// A plausible value for quantity q of cycle i (finite: NULLs are rare).
float ValueOf(int q, int i)
{
    return 50.0f + float(q) + 0.01f * float((i * 7 + q * 13) % 101);
}

TCycleRow MakeCycleRow(int i)
{
    TCycleRow row;
    row.MeterTime = kFirstMeterTime.addSecs(qint64(i) * kCycleSeconds);
    row.PcTimeUtc = row.MeterTime.addMSecs(250);
    row.Values.resize(Quantities().size());
    for (size_t q = 0; q < row.Values.size(); ++q)
        row.Values[q] = ValueOf(int(q), i);
    return row;
}

// A copy of a cycle as the polling thread makes it, the values plausible.
TCycleCopy MakeCycleCopy()
{
    TCycleCopy copy;
    copy.MeterDateTime = TDataStorageManager::EncodeDateTime(kFirstMeterTime);
    copy.PcTimeUtc = QDateTime::currentDateTimeUtc();
    copy.Data.resize(size_t(TRecordValues::BlockSize(TRecordBlock::Data)));
    for (size_t i = 0; i < copy.Data.size(); ++i)
        copy.Data[i] = ValueOf(int(i % 97), int(i));
    return copy;
}

// ---------------------------------------------------------------------------
// The sqlite3 C API, bare.

struct TSqlite
{
    sqlite3 *Db = nullptr;
    explicit TSqlite(const QString &path, int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)
    {
        if (sqlite3_open_v2(path.toUtf8().constData(), &Db, flags, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(Db));
    }
    ~TSqlite() { sqlite3_close_v2(Db); }
    TSqlite(const TSqlite &) = delete;
    TSqlite &operator=(const TSqlite &) = delete;

    void Exec(const std::string &sql)
    {
        char *error = nullptr;
        if (sqlite3_exec(Db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string text = error ? error : "?";
            sqlite3_free(error);
            throw std::runtime_error(text + " in " + sql);
        }
    }
};

struct TStatement
{
    sqlite3_stmt *Stmt = nullptr;
    TStatement(TSqlite &db, const QString &sql)
    {
        const QByteArray text = sql.toUtf8();
        if (sqlite3_prepare_v2(db.Db, text.constData(), int(text.size()), &Stmt, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(db.Db));
    }
    ~TStatement() { sqlite3_finalize(Stmt); }
    TStatement(const TStatement &) = delete;
    TStatement &operator=(const TStatement &) = delete;
};

// "YYYY-MM-DD HH:MM:SS" as the archive writes it.
void TimeTextC(const QDateTime &time, char (&text)[20])
{
    const time_t seconds = time_t(time.toSecsSinceEpoch());
    tm parts{};
    gmtime_r(&seconds, &parts);
    strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
}

QString CycleInsertStatement()
{
    QStringList columns{"meter_id", "meter_time", "pc_time_utc"};
    for (const TQuantity &quantity : Quantities())
        columns << quantity.Name;
    QStringList marks;
    for (qsizetype i = 0; i < columns.size(); ++i)
        marks << "?";
    return QStringLiteral("INSERT INTO cycles (%1) VALUES (%2)").arg(columns.join(u','), marks.join(u','));
}

// Binds one cycle row (no spectra) into the statement of CycleInsertStatement().
void BindCycle(sqlite3_stmt *stmt, qint64 meterId, const TCycleRow &row)
{
    char meterTime[20], pcTime[20];
    TimeTextC(row.MeterTime, meterTime);
    TimeTextC(row.PcTimeUtc, pcTime);
    sqlite3_bind_int64(stmt, 1, meterId);
    sqlite3_bind_text(stmt, 2, meterTime, -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt, 3, pcTime, -1, SQLITE_TRANSIENT);
    int column = 4;
    for (float value : row.Values) {
        if (std::isfinite(value))
            sqlite3_bind_double(stmt, column++, double(value));
        else
            sqlite3_bind_null(stmt, column++);
    }
}

void StepDone(TSqlite &db, sqlite3_stmt *stmt)
{
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE)
        throw std::runtime_error(sqlite3_errmsg(db.Db));
    sqlite3_reset(stmt);
}

// ---------------------------------------------------------------------------
// One temporary folder per process; the filled archive made once.

class TFixture
{
public:
    static TFixture &Get()
    {
        static TFixture fixture;
        return fixture;
    }

    QString NewPath(const QString &stem)
    {
        return dir_.filePath(QStringLiteral("%1-%2.sqlite").arg(stem).arg(++files_));
    }

    // The archive's own CREATE statements of the meters and cycles tables
    // and of the cycles' index, as SQLite keeps them.
    const std::vector<std::string> &CycleSchema()
    {
        if (cycleSchema_.empty()) {
            const QString path = NewPath(QStringLiteral("schema"));
            {
                TArchiveDatabase db(TArchiveTarget::File(path));
                Require(db.Open(), db.Error());
            }
            TSqlite db(path, SQLITE_OPEN_READONLY);
            TStatement query(db, "SELECT sql FROM sqlite_master WHERE tbl_name IN ('meters', 'cycles') "
                                 "AND sql IS NOT NULL ORDER BY tbl_name = 'cycles', type = 'index'");
            while (sqlite3_step(query.Stmt) == SQLITE_ROW)
                cycleSchema_.emplace_back(reinterpret_cast<const char *>(sqlite3_column_text(query.Stmt, 0)));
        }
        return cycleSchema_;
    }

    // A file with only those tables, journal as the archive's.
    std::unique_ptr<TSqlite> NewBareDatabase()
    {
        auto db = std::make_unique<TSqlite>(NewPath(QStringLiteral("bare")));
        db->Exec("PRAGMA journal_mode=WAL");
        db->Exec("PRAGMA synchronous=NORMAL");
        for (const std::string &statement : CycleSchema())
            db->Exec(statement);
        return db;
    }

    // 100 000 cycle rows, 3 s apart.
    const std::vector<TCycleRow> &InsertRows()
    {
        if (insertRows_.empty()) {
            insertRows_.reserve(kInsertRows);
            for (int i = 0; i < kInsertRows; ++i)
                insertRows_.push_back(MakeCycleRow(i));
        }
        return insertRows_;
    }

    // Two days of cycles and two weeks of 10-minute rows of one meter; the
    // reads take the second day and the second week.
    const QString &FilledArchive()
    {
        if (filled_.isEmpty())
            Fill();
        return filled_;
    }
    qint64 FilledMeterId() const { return filledMeterId_; }
    QDateTime DayStart() const { return kFirstMeterTime.addDays(1); }
    QDateTime WeekStart() const { return kFirstMeterTime.addDays(7); }

private:
    TFixture()
    {
        EnsureApplication();
        Require(dir_.isValid(), QStringLiteral("no temporary folder"));
    }

    void Fill()
    {
        const QString path = NewPath(QStringLiteral("filled"));
        TArchiveDatabase db(TArchiveTarget::File(path));
        Require(db.Open(), db.Error());
        for (int i = 0; i < 2 * kCyclesPerDay; ++i) {
            if (i % kRowsPerTransaction == 0)
                Require(db.Begin(), db.Error());
            if (i == 0)
                filledMeterId_ = db.MeterId(kMeter, QDateTime::currentDateTimeUtc()).value_or(0);
            Require(db.AddCycle(filledMeterId_, MakeCycleRow(i), false), db.Error());
            if ((i + 1) % kRowsPerTransaction == 0 || i + 1 == 2 * kCyclesPerDay)
                Require(db.Commit(), db.Error());
        }
        const size_t quantities = Quantities().size(), spectra = size_t(SpectraValueCount());
        Require(db.Begin(), db.Error());
        for (int i = 0; i < 2 * kIntervalsPerWeek; ++i) {
            TAggregateRow row;
            row.Start = kFirstMeterTime.addSecs(qint64(i) * kIntervalSeconds);
            row.ValuesCount = 200;
            for (auto *values : {&row.Avg, &row.Min, &row.Max})
                for (size_t q = 0; q < quantities; ++q)
                    values->push_back(ValueOf(int(q), i));
            for (auto *values : {&row.SpectraAvg, &row.SpectraMax})
                for (size_t s = 0; s < spectra; ++s)
                    values->push_back(0.001f * float(s % 49));
            Require(db.AddAggregate(filledMeterId_, row), db.Error());
        }
        Require(db.Commit(), db.Error());
        filled_ = path;
    }

    QTemporaryDir dir_;
    int files_ = 0;
    std::vector<std::string> cycleSchema_;
    std::vector<TCycleRow> insertRows_;
    QString filled_;
    qint64 filledMeterId_ = 0;
};

// ---------------------------------------------------------------------------
// 1. The copy of a whole cycle on the polling thread.

void BM_CycleCopy_Baseline_Memcpy(benchmark::State &state)
{
    const size_t count = size_t(TRecordValues::BlockSize(TRecordBlock::Data));
    const std::vector<float> source = MakeCycleCopy().Data;
    std::vector<float> dest(count);
    const TStopwatch watch;
    for (auto _ : state) {
        std::memcpy(dest.data(), source.data(), count * sizeof(float));
        benchmark::DoNotOptimize(dest.data());
        benchmark::ClobberMemory();
    }
    const double n = double(state.iterations());
    ReportBaseline(state, "cycle_copy", {watch.WallSeconds() * 1e6 / n, watch.CpuSeconds() * 1e6 / n});
    state.counters["floats"] = double(count);
}
BENCHMARK(BM_CycleCopy_Baseline_Memcpy);

void BM_CycleCopy_TellCycleRead(benchmark::State &state)
{
    EnsureApplication();
    TDataStorageManagerVD store;
    const TCycleCopy values = MakeCycleCopy();
    for (size_t i = 0; i < values.Data.size(); ++i)
        store.StoreValue(VDSlot::DataFirst + int(i), values.Data[i], false);
    store.SetDeviceDateTime(values.MeterDateTime);

    const TStopwatch watch;
    for (auto _ : state) {
        TCycleCopy cycle;
        cycle.MeterDateTime = store.DeviceDateTime();
        cycle.PcTimeUtc = QDateTime::currentDateTimeUtc();
        cycle.Data.resize(size_t(TRecordValues::BlockSize(TRecordBlock::Data)));
        store.CopyBlock(TRecordBlock::Data, cycle.Data);
        benchmark::DoNotOptimize(cycle);
    }
    const double n = double(state.iterations());
    const TFigure us{watch.WallSeconds() * 1e6 / n, watch.CpuSeconds() * 1e6 / n};
    state.counters["us_per_cycle"] = us.Wall;
    ReportAgainst(state, "cycle_copy", us, TTarget::Wall, 50.0);
}
BENCHMARK(BM_CycleCopy_TellCycleRead);

// ---------------------------------------------------------------------------
// 2. The write of one cycle on the archive thread (CPU of this thread).

void BM_WriteCycle_Baseline_SqliteC(benchmark::State &state)
{
    EnsureApplication();
    std::unique_ptr<TSqlite> db = TFixture::Get().NewBareDatabase();
    TStatement upsert(*db, "INSERT INTO meters (device_type, factory_number, device_address, first_seen_utc, "
                           "last_seen_utc) VALUES (?, ?, ?, ?, ?) ON CONFLICT (device_type, factory_number) "
                           "DO UPDATE SET device_address = excluded.device_address, "
                           "last_seen_utc = excluded.last_seen_utc RETURNING id");
    TStatement insert(*db, CycleInsertStatement());
    TStatement begin(*db, "BEGIN"), commit(*db, "COMMIT");
    const QByteArray type = kMeter.DeviceType.toUtf8();

    TCycleRow row = MakeCycleRow(0);
    int i = 0;
    const TStopwatch watch;
    for (auto _ : state) {
        row.MeterTime = kFirstMeterTime.addSecs(qint64(i++) * kCycleSeconds);
        char now[20];
        TimeTextC(QDateTime::currentDateTimeUtc(), now);
        StepDone(*db, begin.Stmt);
        sqlite3_bind_text(upsert.Stmt, 1, type.constData(), int(type.size()), SQLITE_STATIC);
        sqlite3_bind_int(upsert.Stmt, 2, kMeter.FactoryNumber);
        sqlite3_bind_int(upsert.Stmt, 3, kMeter.DeviceAddress);
        sqlite3_bind_text(upsert.Stmt, 4, now, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(upsert.Stmt, 5, now, -1, SQLITE_TRANSIENT);
        Require(sqlite3_step(upsert.Stmt) == SQLITE_ROW, "upsert");
        const qint64 id = sqlite3_column_int64(upsert.Stmt, 0);
        StepDone(*db, upsert.Stmt);
        BindCycle(insert.Stmt, id, row);
        StepDone(*db, insert.Stmt);
        StepDone(*db, commit.Stmt);
    }
    const double n = double(state.iterations());
    const TFigure us{watch.WallSeconds() * 1e6 / n, watch.CpuSeconds() * 1e6 / n};
    ReportBaseline(state, "write_cycle", us);
    state.counters["us_cpu_per_cycle"] = us.Cpu;
}
BENCHMARK(BM_WriteCycle_Baseline_SqliteC);

// Argument: 1 with the spectra as blobs.
void BM_WriteCycle_ArchiveDatabase(benchmark::State &state)
{
    EnsureApplication();
    const bool spectra = state.range(0) != 0;
    TArchiveDatabase db(TArchiveTarget::File(TFixture::Get().NewPath(QStringLiteral("write"))));
    Require(db.Open(), db.Error());
    TTenMinuteAggregator aggregator;
    aggregator.RunStarted();
    TCycleCopy copy = MakeCycleCopy();
    const double firstDay = copy.MeterDateTime;

    qint64 i = 0, aggregates = 0;
    const TStopwatch watch;
    for (auto _ : state) {
        copy.MeterDateTime = firstDay + double(i++ * kCycleSeconds) / 86400.0;
        const TCycleRow row = CycleRowOf(copy);
        const std::optional<TAggregateRow> aggregate = aggregator.Add(row);
        Require(db.Begin(), db.Error());
        const std::optional<qint64> id = db.MeterId(kMeter, QDateTime::currentDateTimeUtc());
        Require(id.has_value() && db.AddCycle(*id, row, spectra), db.Error());
        if (aggregate) {
            Require(db.AddAggregate(*id, *aggregate), db.Error());
            ++aggregates;
        }
        Require(db.Commit(), db.Error());
    }
    const double n = double(state.iterations());
    const TFigure us{watch.WallSeconds() * 1e6 / n, watch.CpuSeconds() * 1e6 / n};
    state.counters["us_cpu_per_cycle"] = us.Cpu;
    state.counters["aggregates"] = double(aggregates);
    ReportAgainst(state, "write_cycle", us, TTarget::Cpu, 500.0);
}
BENCHMARK(BM_WriteCycle_ArchiveDatabase)->Arg(0)->Arg(1);

// The whole writer: CycleRead on this thread, then Flush; process CPU, both
// threads (the hand-over and the wake-ups included).
void BM_WriteCycle_ArchiveWriter(benchmark::State &state)
{
    EnsureApplication();
    TArchiveOptions options;
    options.Target = TArchiveTarget::File(TFixture::Get().NewPath(QStringLiteral("writer")));
    TArchiveWriter writer(options, {});
    writer.RunStarted(kMeter);
    TCycleCopy copy = MakeCycleCopy();
    const double firstDay = copy.MeterDateTime;
    Require(writer.Flush(10000), QStringLiteral("the writer did not start"));

    qint64 i = 0;
    for (auto _ : state) {
        copy.MeterDateTime = firstDay + double(i++ * kCycleSeconds) / 86400.0;
        writer.CycleRead(copy);
        Require(writer.Flush(10000), QStringLiteral("the writer did not write"));
    }
    state.counters["written"] = double(writer.Counters().CyclesWritten);
}
BENCHMARK(BM_WriteCycle_ArchiveWriter)->MeasureProcessCPUTime()->UseRealTime();

// ---------------------------------------------------------------------------
// 3. 100 000 cycle rows, a transaction per 1000 (wall time of the inserts
// alone: opening and closing the files is left out).

void BM_Insert100k_Baseline_SqliteC(benchmark::State &state)
{
    EnsureApplication();
    const std::vector<TCycleRow> &rows = TFixture::Get().InsertRows();
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<TSqlite> db = TFixture::Get().NewBareDatabase();
        db->Exec("INSERT INTO meters (device_type, factory_number, device_address, first_seen_utc, last_seen_utc) "
                 "VALUES ('dtM7SQ', 123456, 1, '2026-01-05 00:00:00', '2026-01-05 00:00:00')");
        const qint64 id = sqlite3_last_insert_rowid(db->Db);
        state.ResumeTiming();

        const TStopwatch watch;
        TStatement insert(*db, CycleInsertStatement());
        for (size_t i = 0; i < rows.size(); ++i) {
            if (i % kRowsPerTransaction == 0)
                db->Exec("BEGIN");
            BindCycle(insert.Stmt, id, rows[i]);
            StepDone(*db, insert.Stmt);
            if ((i + 1) % kRowsPerTransaction == 0 || i + 1 == rows.size())
                db->Exec("COMMIT");
        }
        const TFigure seconds{watch.WallSeconds(), watch.CpuSeconds()};
        state.SetIterationTime(seconds.Wall);
        ReportBaseline(state, "insert_100k", seconds);
        state.counters["us_cpu_per_row"] = seconds.Cpu * 1e6 / double(rows.size());
        state.PauseTiming();
        db.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Insert100k_Baseline_SqliteC)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_Insert100k_ArchiveDatabase(benchmark::State &state)
{
    EnsureApplication();
    const std::vector<TCycleRow> &rows = TFixture::Get().InsertRows();
    for (auto _ : state) {
        state.PauseTiming();
        auto db =
            std::make_unique<TArchiveDatabase>(TArchiveTarget::File(TFixture::Get().NewPath(QStringLiteral("insert"))));
        Require(db->Open() && db->Begin(), db->Error());
        const qint64 id = db->MeterId(kMeter, kFirstMeterTime).value_or(0);
        Require(db->Commit(), db->Error());
        state.ResumeTiming();

        const TStopwatch watch;
        for (size_t i = 0; i < rows.size(); ++i) {
            if (i % kRowsPerTransaction == 0)
                Require(db->Begin(), db->Error());
            Require(db->AddCycle(id, rows[i], false), db->Error());
            if ((i + 1) % kRowsPerTransaction == 0 || i + 1 == rows.size())
                Require(db->Commit(), db->Error());
        }
        const TFigure seconds{watch.WallSeconds(), watch.CpuSeconds()};
        state.SetIterationTime(seconds.Wall);
        state.counters["us_cpu_per_row"] = seconds.Cpu * 1e6 / double(rows.size());
        ReportAgainst(state, "insert_100k", seconds);
        state.PauseTiming();
        db.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Insert100k_ArchiveDatabase)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// A trial of a cheaper AddCycle for SQLite: nearly all of the time above goes
// to QSqlQuery's binding (QSqlResult::bindValue formats a placeholder name
// and looks it up in a hash for every one of the 72 values of a row). Here
// the row goes through the sqlite3 handle of the same Qt connection (the
// QSQLITE driver's handle(): the same sqlite3 library, the transactions
// still Qt's), with the archive's own time texts.
void BM_Insert100k_Trial_DriverHandle(benchmark::State &state)
{
    EnsureApplication();
    const std::vector<TCycleRow> &rows = TFixture::Get().InsertRows();
    for (auto _ : state) {
        state.PauseTiming();
        const QString path = TFixture::Get().NewPath(QStringLiteral("trial"));
        {
            TArchiveDatabase archive(TArchiveTarget::File(path)); // the schema, WAL
            Require(archive.Open(), archive.Error());
        }
        const QString connection = QStringLiteral("trial-%1").arg(rows.size());
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
            db.setDatabaseName(path);
            Require(db.open(), db.lastError().text());
            QSqlQuery(db).exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
            QSqlQuery(db).exec(QStringLiteral(
                "INSERT INTO meters (device_type, factory_number, device_address, first_seen_utc, last_seen_utc) "
                "VALUES ('dtM7SQ', 123456, 1, '2026-01-05 00:00:00', '2026-01-05 00:00:00')"));
            const QVariant handle = db.driver()->handle();
            Require(qstrcmp(handle.typeName(), "sqlite3*") == 0, QStringLiteral("no sqlite3 handle"));
            sqlite3 *raw = *static_cast<sqlite3 *const *>(handle.data());
            const qint64 id = sqlite3_last_insert_rowid(raw);
            sqlite3_stmt *insert = nullptr;
            const QByteArray sql = CycleInsertStatement().toUtf8();
            Require(sqlite3_prepare_v2(raw, sql.constData(), int(sql.size()), &insert, nullptr) == SQLITE_OK,
                    QString::fromUtf8(sqlite3_errmsg(raw)));
            state.ResumeTiming();

            const TStopwatch watch;
            for (size_t i = 0; i < rows.size(); ++i) {
                if (i % kRowsPerTransaction == 0)
                    Require(db.transaction(), db.lastError().text());
                const TCycleRow &row = rows[i];
                const QByteArray meterTime = TimeText(row.MeterTime).toUtf8();
                const QByteArray pcTime = TimeText(row.PcTimeUtc).toUtf8();
                sqlite3_bind_int64(insert, 1, id);
                sqlite3_bind_text(insert, 2, meterTime.constData(), int(meterTime.size()), SQLITE_STATIC);
                sqlite3_bind_text(insert, 3, pcTime.constData(), int(pcTime.size()), SQLITE_STATIC);
                int column = 4;
                for (float value : row.Values) {
                    if (std::isfinite(value))
                        sqlite3_bind_double(insert, column++, double(value));
                    else
                        sqlite3_bind_null(insert, column++);
                }
                Require(sqlite3_step(insert) == SQLITE_DONE, QString::fromUtf8(sqlite3_errmsg(raw)));
                sqlite3_reset(insert);
                if ((i + 1) % kRowsPerTransaction == 0 || i + 1 == rows.size())
                    Require(db.commit(), db.lastError().text());
            }
            const TFigure seconds{watch.WallSeconds(), watch.CpuSeconds()};
            state.SetIterationTime(seconds.Wall);
            state.counters["us_cpu_per_row"] = seconds.Cpu * 1e6 / double(rows.size());
            ReportAgainst(state, "insert_100k", seconds);
            state.PauseTiming();
            sqlite3_finalize(insert); // before Qt closes the connection
            db.close();
        }
        QSqlDatabase::removeDatabase(connection);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Insert100k_Trial_DriverHandle)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------
// 4. Reads from the filled archive: the statement prepared, bound and run
// and every value of every row taken, each time.

QString WeekStatement()
{
    return QStringLiteral("SELECT * FROM aggregates_10min WHERE meter_id = ? AND interval_start >= ? "
                          "AND interval_start < ?");
}

QString DayStatement()
{
    return QStringLiteral("SELECT meter_time, %1 FROM cycles WHERE meter_id = ? AND meter_time >= ? "
                          "AND meter_time < ?")
        .arg(kDayColumns.join(u','));
}

// Rows and values read, through the sqlite3 C API.
std::pair<int, qint64> ReadC(TSqlite &db, const QString &statement, qint64 meterId, const QDateTime &from,
                             const QDateTime &to)
{
    TStatement query(db, statement);
    char fromText[20], toText[20];
    TimeTextC(from, fromText);
    TimeTextC(to, toText);
    sqlite3_bind_int64(query.Stmt, 1, meterId);
    sqlite3_bind_text(query.Stmt, 2, fromText, -1, SQLITE_STATIC);
    sqlite3_bind_text(query.Stmt, 3, toText, -1, SQLITE_STATIC);
    int rows = 0;
    qint64 values = 0;
    double sum = 0;
    const int columns = sqlite3_column_count(query.Stmt);
    while (sqlite3_step(query.Stmt) == SQLITE_ROW) {
        ++rows;
        for (int c = 0; c < columns; ++c) {
            switch (sqlite3_column_type(query.Stmt, c)) {
            case SQLITE_INTEGER: sum += double(sqlite3_column_int64(query.Stmt, c)); break;
            case SQLITE_FLOAT: sum += sqlite3_column_double(query.Stmt, c); break;
            case SQLITE_TEXT:
                benchmark::DoNotOptimize(sqlite3_column_text(query.Stmt, c));
                sum += sqlite3_column_bytes(query.Stmt, c);
                break;
            case SQLITE_BLOB:
                benchmark::DoNotOptimize(sqlite3_column_blob(query.Stmt, c));
                sum += sqlite3_column_bytes(query.Stmt, c);
                break;
            default: continue;
            }
            ++values;
        }
    }
    benchmark::DoNotOptimize(sum);
    return {rows, values};
}

// Rows and values read, through TArchiveDatabase::Select.
std::pair<int, qint64> ReadArchive(TArchiveDatabase &db, const QString &statement, qint64 meterId,
                                   const QDateTime &from, const QDateTime &to)
{
    const QVariant values[] = {meterId, TimeText(from), TimeText(to)};
    QSqlQuery query = db.Select(statement, values);
    Require(query.isActive(), db.Error());
    int rows = 0;
    qint64 read = 0;
    const int columns = query.record().count();
    while (query.next()) {
        ++rows;
        for (int c = 0; c < columns; ++c) {
            const QVariant value = query.value(c);
            benchmark::DoNotOptimize(value);
            read += value.isNull() ? 0 : 1;
        }
    }
    return {rows, read};
}

enum TRead { rdWeek, rdDay };

// mapped: a trial, the connection told to map the file (PRAGMA mmap_size)
// instead of reading its pages through SQLite's 2 MB page cache, which a
// week of 10-minute rows (about 9 MB) overflows.
void ReadBenchmark(benchmark::State &state, bool bare, TRead what, bool mapped = false)
{
    EnsureApplication();
    TFixture &fixture = TFixture::Get();
    const QString path = fixture.FilledArchive();
    const QString statement = what == rdWeek ? WeekStatement() : DayStatement();
    const QDateTime from = what == rdWeek ? fixture.WeekStart() : fixture.DayStart();
    const QDateTime to = what == rdWeek ? from.addDays(7) : from.addDays(1);
    const int expected = what == rdWeek ? kIntervalsPerWeek : kCyclesPerDay;
    const std::string name = what == rdWeek ? "read_week" : "read_day";

    std::unique_ptr<TSqlite> c;
    std::unique_ptr<TArchiveDatabase> archive;
    if (bare) {
        c = std::make_unique<TSqlite>(path, SQLITE_OPEN_READONLY);
    } else {
        archive = std::make_unique<TArchiveDatabase>(TArchiveTarget::File(path));
        Require(archive->Open(TArchiveDatabase::TMode::Read), archive->Error());
        if (mapped) {
            QSqlQuery pragma = archive->Select(QStringLiteral("PRAGMA mmap_size=268435456"));
            Require(pragma.next() && pragma.value(0).toLongLong() > 0, QStringLiteral("no mapping"));
        }
    }
    std::pair<int, qint64> read;
    const TStopwatch watch;
    for (auto _ : state) {
        read = bare ? ReadC(*c, statement, fixture.FilledMeterId(), from, to)
                    : ReadArchive(*archive, statement, fixture.FilledMeterId(), from, to);
        Require(read.first == expected, QStringLiteral("read %1 rows, not %2").arg(read.first).arg(expected));
    }
    const double n = double(state.iterations());
    const TFigure ms{watch.WallSeconds() * 1e3 / n, watch.CpuSeconds() * 1e3 / n};
    state.counters["rows"] = double(read.first);
    state.counters["values"] = double(read.second);
    if (bare)
        ReportBaseline(state, name, ms);
    else
        ReportAgainst(state, name, ms, TTarget::Wall, what == rdWeek ? 20.0 : 100.0);
}

void BM_ReadWeek_Baseline_SqliteC(benchmark::State &state)
{
    ReadBenchmark(state, true, rdWeek);
}
void BM_ReadWeek_ArchiveDatabase(benchmark::State &state)
{
    ReadBenchmark(state, false, rdWeek);
}
void BM_ReadDay_Baseline_SqliteC(benchmark::State &state)
{
    ReadBenchmark(state, true, rdDay);
}
void BM_ReadDay_ArchiveDatabase(benchmark::State &state)
{
    ReadBenchmark(state, false, rdDay);
}
void BM_ReadWeek_Trial_Mapped(benchmark::State &state)
{
    ReadBenchmark(state, false, rdWeek, true);
}
void BM_ReadDay_Trial_Mapped(benchmark::State &state)
{
    ReadBenchmark(state, false, rdDay, true);
}
BENCHMARK(BM_ReadWeek_Baseline_SqliteC)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadWeek_ArchiveDatabase)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadWeek_Trial_Mapped)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadDay_Baseline_SqliteC)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadDay_ArchiveDatabase)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadDay_Trial_Mapped)->Unit(benchmark::kMillisecond);

} // namespace
