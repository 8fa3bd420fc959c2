#include "archive/ArchiveDatabase.h"

#include "archive/ArchiveColumns.h"
#include "engine/CycleSink.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlRecord>
#include <QSqlDriver>
#include <QtEndian>
#include <dlfcn.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <atomic>
#include <cmath>
#include <mutex>

using namespace Archive;

namespace {

const QStringList kTables{QStringLiteral("schema_version"), QStringLiteral("meters"), QStringLiteral("limits"),
                          QStringLiteral("cycles"), QStringLiteral("aggregates_10min")};

// Creating the tables is one statement list per server, run under this lock
// so that pollers starting together do not race each other.
constexpr qint64 kSchemaLockKey = 0x5261727A4172LL;

QString NewConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("archive-%1").arg(++counter);
}

QByteArray FloatBlob(std::span<const float> values)
{
    QByteArray blob(qsizetype(values.size() * sizeof(float)), Qt::Uninitialized);
    qToLittleEndian<float>(values.data(), qsizetype(values.size()), blob.data());
    return blob;
}

QByteArray IntervalsBlob(const TSettingsCopy &settings)
{
    QByteArray blob;
    blob.reserve(qsizetype(settings.Intervals.size()) * 4);
    for (const TTimeInterval &interval : settings.Intervals)
        for (uint8_t byte : {interval.StartHour, interval.StartMinute, interval.EndHour, interval.EndMinute})
            blob.append(char(byte));
    return blob;
}

// A float of the record as the column's double: exact, NaN as NULL.
QVariant Real(float value)
{
    return std::isfinite(value) ? QVariant(double(value)) : QVariant(QMetaType(QMetaType::Double));
}

QString Placeholders(int count)
{
    QString text;
    text.reserve(count * 2);
    for (int i = 0; i < count; ++i)
        text += i == 0 ? QStringLiteral("?") : QStringLiteral(",?");
    return text;
}

QStringList CycleColumns(bool withSpectra)
{
    QStringList columns{QStringLiteral("meter_id"), QStringLiteral("meter_time"), QStringLiteral("pc_time_utc")};
    for (const TQuantity &quantity : Quantities())
        columns << quantity.Name;
    if (withSpectra)
        for (const TSpectrum &spectrum : Spectra())
            columns << spectrum.Name;
    return columns;
}

QStringList AggregateColumns()
{
    QStringList columns{QStringLiteral("meter_id"), QStringLiteral("interval_start"), QStringLiteral("values_count"),
                        QStringLiteral("flags")};
    for (const TQuantity &quantity : Quantities())
        columns << quantity.Name + QLatin1String("_avg") << quantity.Name + QLatin1String("_min")
                << quantity.Name + QLatin1String("_max");
    for (const TSpectrum &spectrum : Spectra())
        columns << spectrum.Name + QLatin1String("_avg") << spectrum.Name + QLatin1String("_max");
    return columns;
}

// A server that answers no more is given this long past the statement
// time-out before the connection is cut: a slow but live one reports its own
// cancelled statement first.
constexpr int kWatchGraceMs = 2000;

// The server connection's socket, from the libpq that the server driver
// brought in with it: looked up there rather than linked into every program
// that reads an archive (libpq pulls Kerberos and LDAP in with it).
int ServerSocket(void *connection)
{
    using TSocketOf = int (*)(const void *);
    static const TSocketOf socketOf = [] {
        void *libpq = dlopen("libpq.so.5", RTLD_NOW | RTLD_NOLOAD);
        return libpq ? reinterpret_cast<TSocketOf>(dlsym(libpq, "PQsocket")) : nullptr;
    }();
    return socketOf && connection ? socketOf(connection) : -1;
}

// libpq's connection parameters: ours, then the URL's, which win. Keepalives
// and the TCP user time-out notice a server gone from the network.
QString ConnectOptions(const TArchiveTarget &target)
{
    std::vector<std::pair<QString, QString>> options{
        {QStringLiteral("connect_timeout"), QStringLiteral("5")},
        {QStringLiteral("keepalives"), QStringLiteral("1")},
        {QStringLiteral("keepalives_idle"), QStringLiteral("15")},
        {QStringLiteral("keepalives_interval"), QStringLiteral("5")},
        {QStringLiteral("keepalives_count"), QStringLiteral("3")},
        {QStringLiteral("tcp_user_timeout"), QStringLiteral("30000")},
    };
    for (const auto &[key, value] : target.Parameters()) {
        const auto same = std::find_if(options.begin(), options.end(), [&](const auto &o) { return o.first == key; });
        if (same != options.end())
            same->second = value;
        else
            options.emplace_back(key, value);
    }
    QStringList text;
    for (auto [key, value] : options) {
        value.replace(u'\\', QLatin1String("\\\\")).replace(u'\'', QLatin1String("\\'"));
        text << QStringLiteral("%1='%2'").arg(key, value);
    }
    // The driver turns ';' into the spaces libpq wants; values never hold one.
    return text.join(u';');
}

QString Insert(const QString &table, const QStringList &columns)
{
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(table, columns.join(u','), Placeholders(int(columns.size())));
}

} // namespace

// The server connection's socket, reached from other threads (the watchdog,
// a stop) to cut off a statement that hangs.
struct TArchiveDatabase::TServerSocket
{
    enum class TCut { None, Silent, Stopped };

    std::mutex Mutex;
    int Fd = -1;
    TCut Cut = TCut::None;

    void CutOff(TCut why)
    {
        std::lock_guard lock(Mutex);
        if (Fd < 0 || Cut != TCut::None)
            return;
        Cut = why;
        ::shutdown(Fd, SHUT_RDWR);
    }
    void Set(int fd)
    {
        std::lock_guard lock(Mutex);
        Fd = fd;
        Cut = TCut::None;
    }
    TCut Reason()
    {
        std::lock_guard lock(Mutex);
        return Cut;
    }
};

TArchiveDatabase::TArchiveDatabase(TArchiveTarget target)
    : target_(std::move(target)), connectionName_(NewConnectionName())
{
    if (IsPostgres()) {
        socket_ = std::make_shared<TServerSocket>();
        watchdog_ = TStatementWatchdog::Shared();
    }
}

void TArchiveDatabase::Interrupt()
{
    if (socket_)
        socket_->CutOff(TServerSocket::TCut::Stopped);
}

TWatchedStatement TArchiveDatabase::Watch()
{
    if (!socket_)
        return {};
    return TWatchedStatement(watchdog_, std::chrono::milliseconds(target_.StatementTimeoutMs() + kWatchGraceMs),
                             [socket = socket_] { socket->CutOff(TServerSocket::TCut::Silent); });
}

TArchiveDatabase::~TArchiveDatabase()
{
    Close();
}

bool TArchiveDatabase::Fail(const QString &what, const QSqlError &error)
{
    QString reason = error.text().trimmed();
    switch (socket_ ? socket_->Reason() : TServerSocket::TCut::None) {
    case TServerSocket::TCut::None: break;
    case TServerSocket::TCut::Silent:
        reason = QStringLiteral("сервер архива не ответил за %1 с, соединение разорвано")
                     .arg((target_.StatementTimeoutMs() + kWatchGraceMs) / 1000.0);
        break;
    case TServerSocket::TCut::Stopped: reason = QStringLiteral("прервано остановкой"); break;
    }
    error_ = reason.isEmpty() ? what : what + QStringLiteral(": ") + reason;
    return false;
}

bool TArchiveDatabase::Fail(const QString &what, const QSqlQuery &query)
{
    return Fail(what, query.lastError());
}

bool TArchiveDatabase::Exec(const QString &statement)
{
    const TWatchedStatement watch = Watch();
    QSqlQuery query(QSqlDatabase::database(connectionName_, false));
    if (!query.exec(statement))
        return Fail(QStringLiteral("запрос не выполнен"), query);
    return true;
}

bool TArchiveDatabase::IsOpen() const
{
    return QSqlDatabase::contains(connectionName_) && QSqlDatabase::database(connectionName_, false).isOpen();
}

void TArchiveDatabase::Close()
{
    for (sqlite3_stmt *&statement : fileInsert_)
        statement = (sqlite3_finalize(statement), nullptr);
    insertCycle_.reset();
    insertCycleSpectra_.reset();
    insertAggregate_.reset();
    upsertMeter_.reset();
    if (socket_)
        socket_->Set(-1);
    if (!QSqlDatabase::contains(connectionName_))
        return;
    QSqlDatabase::database(connectionName_, false).close();
    QSqlDatabase::removeDatabase(connectionName_);
}

bool TArchiveDatabase::Open(TMode mode)
{
    Close();
    error_.clear();
    if (!target_.IsValid())
        return Fail(target_.Error().isEmpty() ? QStringLiteral("архив не задан") : target_.Error(), QSqlError());

    QSqlDatabase db;
    if (IsPostgres()) {
        db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName_);
        db.setHostName(target_.Host());
        db.setPort(target_.Port());
        db.setUserName(target_.User());
        db.setPassword(target_.Password());
        db.setDatabaseName(target_.Database());
        db.setConnectOptions(ConnectOptions(target_));
    } else {
        const QFileInfo file(target_.Path());
        if (mode == TMode::Read && !file.exists())
            return Fail(QStringLiteral("нет файла %1").arg(QDir::toNativeSeparators(target_.Path())), QSqlError());
        if (mode == TMode::Write && !QDir().mkpath(file.absolutePath()))
            return Fail(
                QStringLiteral("не удалось создать папку %1").arg(QDir::toNativeSeparators(file.absolutePath())),
                QSqlError());
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName_);
        db.setDatabaseName(target_.Path());
        db.setConnectOptions(mode == TMode::Read ? QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000;QSQLITE_OPEN_READONLY")
                                                 : QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    }
    if (!db.isValid())
        return Fail(QStringLiteral("нет драйвера базы данных %1").arg(IsPostgres() ? "QPSQL" : "QSQLITE"), QSqlError());
    if (!db.open())
        return Fail(QStringLiteral("не удалось открыть архив"), db.lastError());
    if (IsPostgres()) {
        const QVariant handle = db.driver()->handle();
        // PGconn is a typedef of struct pg_conn: Qt names the type after the struct.
        if ((qstrcmp(handle.typeName(), "pg_conn*") == 0 || qstrcmp(handle.typeName(), "PGconn*") == 0) &&
            handle.isValid())
            socket_->Set(ServerSocket(*static_cast<void *const *>(handle.constData())));
    }
    // Close() below must find no other handle to the connection, or Qt warns on the console.
    db = QSqlDatabase();

    if (IsPostgres()) {
        if (!Exec(QStringLiteral("SET statement_timeout = %1").arg(target_.StatementTimeoutMs()))) {
            const QString reason = error_;
            Close();
            return Fail(QStringLiteral("не удалось открыть архив: ") + reason, QSqlError());
        }
        // A server of version 14 or later also ends a statement whose client is gone.
        const QString errorBefore = error_;
        Exec(QStringLiteral("SET client_connection_check_interval = 10000"));
        error_ = errorBefore;
    }

    // Reads of a week of rows go a third faster from the mapped file.
    if (!IsPostgres())
        QSqlQuery(QSqlDatabase::database(connectionName_, false)).exec(QStringLiteral("PRAGMA mmap_size=268435456"));
    const int found = FoundVersion();
    if (!error_.isEmpty())
        return Fail(error_, QSqlError()), Close(), false;
    if (found < 0 || (found == 0 && mode == TMode::Read)) {
        Close();
        return Fail(QStringLiteral("%1 не является архивом измерений").arg(target_.Display()), QSqlError());
    }
    if (found > kSchemaVersion) {
        Close();
        return Fail(QStringLiteral("архив создан более новой версией программы (версия схемы %1)").arg(found),
                    QSqlError());
    }
    if (mode == TMode::Read)
        return true;

    // WAL: readers never wait for the writer, and a commit costs no sync
    // with synchronous=NORMAL; a power cut loses at most the last commits.
    if (!IsPostgres() &&
        (!Exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !Exec(QStringLiteral("PRAGMA synchronous=NORMAL")))) {
        Close();
        return false;
    }
    const bool ready = found == 0 ? CreateSchema() : found < kSchemaVersion ? Migrate(found) : true;
    if (!ready)
        Close();
    return ready;
}

int TArchiveDatabase::FoundVersion()
{
    const TWatchedStatement watch = Watch();
    QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
    QSqlQuery query(db);
    const QString tables = IsPostgres() ? QStringLiteral("SELECT table_name FROM information_schema.tables "
                                                         "WHERE table_schema = current_schema()")
                                        : QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'");
    if (!query.exec(tables)) {
        Fail(QStringLiteral("%1 не является архивом измерений").arg(target_.Display()), query);
        return -1;
    }
    QStringList present;
    while (query.next())
        present << query.value(0).toString().toLower();
    if (!present.contains(QLatin1String("schema_version"))) {
        // A server database may hold other tables; a file is ours alone.
        bool anyOurs = false;
        for (const QString &table : kTables)
            anyOurs = anyOurs || present.contains(table);
        return (IsPostgres() ? anyOurs : !present.isEmpty()) ? -1 : 0;
    }
    if (!query.exec(QStringLiteral("SELECT MAX(version) FROM schema_version")) || !query.next())
        return -1;
    return query.value(0).isNull() ? -1 : query.value(0).toInt();
}

int TArchiveDatabase::SchemaVersion()
{
    return FoundVersion();
}

QString TArchiveDatabase::TimeType() const
{
    return IsPostgres() ? QStringLiteral("timestamp") : QStringLiteral("TEXT");
}
QString TArchiveDatabase::RealType() const
{
    return IsPostgres() ? QStringLiteral("double precision") : QStringLiteral("REAL");
}
QString TArchiveDatabase::BlobType() const
{
    return IsPostgres() ? QStringLiteral("bytea") : QStringLiteral("BLOB");
}

QString TArchiveDatabase::TimeValue(const QDateTime &time) const
{
    return TimeText(time);
}

QStringList TArchiveDatabase::SchemaStatements() const
{
    const QString time = TimeType(), real = RealType(), blob = BlobType();
    const QString id = IsPostgres() ? QStringLiteral("bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY")
                                    : QStringLiteral("INTEGER PRIMARY KEY");
    QString cycles = QStringLiteral("CREATE TABLE cycles (meter_id bigint NOT NULL REFERENCES meters(id), "
                                    "meter_time %1 NOT NULL, pc_time_utc %1 NOT NULL")
                         .arg(time);
    for (const TQuantity &quantity : Quantities())
        cycles += QStringLiteral(", %1 %2").arg(quantity.Name, real);
    for (const TSpectrum &spectrum : Spectra())
        cycles += QStringLiteral(", %1 %2").arg(spectrum.Name, blob);
    cycles += u')';

    QString aggregates = QStringLiteral("CREATE TABLE aggregates_10min (meter_id bigint NOT NULL REFERENCES "
                                        "meters(id), interval_start %1 NOT NULL, values_count integer NOT NULL, "
                                        "flags integer NOT NULL")
                             .arg(time);
    for (const TQuantity &quantity : Quantities())
        for (const char *suffix : {"_avg", "_min", "_max"})
            aggregates += QStringLiteral(", %1%2 %3").arg(quantity.Name, QLatin1String(suffix), real);
    for (const TSpectrum &spectrum : Spectra())
        for (const char *suffix : {"_avg", "_max"})
            aggregates += QStringLiteral(", %1%2 %3").arg(spectrum.Name, QLatin1String(suffix), blob);
    aggregates += u')';

    return {
        QStringLiteral("CREATE TABLE schema_version (version integer NOT NULL)"),
        QStringLiteral("CREATE TABLE meters (id %1, device_type text NOT NULL, factory_number integer NOT NULL, "
                       "device_address integer NOT NULL, first_seen_utc %2 NOT NULL, last_seen_utc %2 NOT NULL, "
                       "UNIQUE (device_type, factory_number))")
            .arg(id, time),
        QStringLiteral("CREATE TABLE limits (meter_id bigint NOT NULL REFERENCES meters(id), read_at_utc %1 NOT NULL, "
                       "meter_time %1, slots %2 NOT NULL, time_intervals %2 NOT NULL)")
            .arg(time, blob),
        QStringLiteral("CREATE INDEX limits_by_meter ON limits (meter_id, read_at_utc)"),
        cycles,
        QStringLiteral("CREATE INDEX cycles_by_time ON cycles (meter_id, meter_time)"),
        aggregates,
        QStringLiteral("CREATE INDEX aggregates_by_time ON aggregates_10min (meter_id, interval_start)"),
        QStringLiteral("INSERT INTO schema_version (version) VALUES (%1)").arg(kSchemaVersion),
    };
}

bool TArchiveDatabase::CreateSchema()
{
    if (!Begin())
        return false;
    if (IsPostgres()) {
        // Another poller may be making the same tables right now.
        if (!Exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kSchemaLockKey)))
            return Rollback(), false;
        const int found = FoundVersion();
        if (found != 0) {
            Rollback();
            return found == kSchemaVersion || Fail(QStringLiteral("архив занят другой версией схемы"), QSqlError());
        }
    }
    for (const QString &statement : SchemaStatements())
        if (!Exec(statement)) {
            const QString reason = error_;
            Rollback();
            error_ = QStringLiteral("не удалось создать таблицы архива: ") + reason;
            return false;
        }
    return Commit();
}

bool TArchiveDatabase::Migrate(int from)
{
    // Version 1 is the first; later versions add their steps here, each
    // in a transaction ending with the new version number.
    return Fail(QStringLiteral("неизвестная версия схемы архива %1").arg(from), QSqlError());
}

bool TArchiveDatabase::Begin()
{
    const TWatchedStatement watch = Watch();
    QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
    return db.transaction() || Fail(QStringLiteral("не удалось начать запись"), db.lastError());
}

bool TArchiveDatabase::Commit()
{
    const TWatchedStatement watch = Watch();
    QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
    if (db.commit())
        return true;
    Fail(QStringLiteral("не удалось завершить запись"), db.lastError());
    db.rollback();
    return false;
}

void TArchiveDatabase::Rollback()
{
    const TWatchedStatement watch = Watch();
    QSqlDatabase::database(connectionName_, false).rollback();
}

QSqlQuery &TArchiveDatabase::Prepared(std::unique_ptr<QSqlQuery> &query, const QString &statement)
{
    if (!query) {
        query = std::make_unique<QSqlQuery>(QSqlDatabase::database(connectionName_, false));
        if (!query->prepare(statement)) {
            Fail(QStringLiteral("запрос не подготовлен"), *query);
            query.reset();
            static QSqlQuery invalid;
            return invalid;
        }
    }
    return *query;
}

std::optional<qint64> TArchiveDatabase::MeterId(const TMeterIdentity &meter, const QDateTime &seenUtc)
{
    const TWatchedStatement watch = Watch();
    QSqlQuery &query = Prepared(
        upsertMeter_, QStringLiteral("INSERT INTO meters (device_type, factory_number, device_address, first_seen_utc, "
                                     "last_seen_utc) VALUES (?, ?, ?, ?, ?) ON CONFLICT (device_type, factory_number) "
                                     "DO UPDATE SET device_address = excluded.device_address, "
                                     "last_seen_utc = excluded.last_seen_utc RETURNING id"));
    const QString seen = TimeValue(seenUtc);
    query.addBindValue(meter.DeviceType);
    query.addBindValue(meter.FactoryNumber);
    query.addBindValue(meter.DeviceAddress);
    query.addBindValue(seen);
    query.addBindValue(seen);
    if (!query.exec() || !query.next()) {
        Fail(QStringLiteral("не удалось записать счетчик"), query);
        return std::nullopt;
    }
    const qint64 id = query.value(0).toLongLong();
    query.finish();
    return id;
}

bool TArchiveDatabase::AddLimits(qint64 meterId, const TSettingsCopy &settings)
{
    const TWatchedStatement watch = Watch();
    const QByteArray slotBlob = FloatBlob(settings.Slots);
    const QByteArray intervals = IntervalsBlob(settings);
    QSqlQuery last(QSqlDatabase::database(connectionName_, false));
    last.prepare(QStringLiteral("SELECT slots, time_intervals FROM limits WHERE meter_id = ? "
                                "ORDER BY read_at_utc DESC LIMIT 1"));
    last.addBindValue(meterId);
    if (!last.exec())
        return Fail(QStringLiteral("не удалось прочитать пределы"), last);
    if (last.next() && last.value(0).toByteArray() == slotBlob && last.value(1).toByteArray() == intervals)
        return true;
    QSqlQuery insert(QSqlDatabase::database(connectionName_, false));
    insert.prepare(QStringLiteral("INSERT INTO limits (meter_id, read_at_utc, meter_time, slots, time_intervals) "
                                  "VALUES (?, ?, ?, ?, ?)"));
    insert.addBindValue(meterId);
    insert.addBindValue(TimeValue(settings.ReadAtUtc));
    const QDateTime meterTime = MeterTimeFromDayCount(settings.MeterDateTime);
    insert.addBindValue(meterTime.isValid() ? QVariant(TimeValue(meterTime)) : QVariant(QMetaType(QMetaType::QString)));
    insert.addBindValue(slotBlob);
    insert.addBindValue(intervals);
    return insert.exec() || Fail(QStringLiteral("не удалось записать пределы"), insert);
}

bool TArchiveDatabase::AddCycle(qint64 meterId, const TCycleRow &cycle, bool withSpectra)
{
    withSpectra = withSpectra && int(cycle.Spectra.size()) == SpectraValueCount();
    if (!IsPostgres())
        return AddCycleToFile(meterId, cycle, withSpectra);
    const TWatchedStatement watch = Watch();
    QSqlQuery &query = withSpectra ? Prepared(insertCycleSpectra_, Insert(QStringLiteral("cycles"), CycleColumns(true)))
                                   : Prepared(insertCycle_, Insert(QStringLiteral("cycles"), CycleColumns(false)));
    query.addBindValue(meterId);
    query.addBindValue(TimeValue(cycle.MeterTime));
    query.addBindValue(TimeValue(cycle.PcTimeUtc));
    for (float value : cycle.Values)
        query.addBindValue(Real(value));
    if (withSpectra) {
        int at = 0;
        for (const TSpectrum &spectrum : Spectra()) {
            query.addBindValue(FloatBlob(std::span(cycle.Spectra).subspan(size_t(at), size_t(spectrum.Count))));
            at += spectrum.Count;
        }
    }
    return query.exec() || Fail(QStringLiteral("не удалось записать цикл"), query);
}

// Qt's binding costs six times the insert itself on a 70-value row (a
// value's copy and a placeholder name each); the row goes straight to the
// connection's sqlite3 handle inside Qt's transaction instead.
bool TArchiveDatabase::AddCycleToFile(qint64 meterId, const TCycleRow &cycle, bool withSpectra)
{
    const QVariant handle = QSqlDatabase::database(connectionName_, false).driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0 || !handle.isValid())
        return Fail(QStringLiteral("нет соединения с файлом архива"), QSqlError());
    sqlite3 *const file = *static_cast<sqlite3 *const *>(handle.constData());
    sqlite3_stmt *&statement = fileInsert_[withSpectra ? 1 : 0];
    const auto failed = [&](const char *what) {
        const QString reason = QString::fromUtf8(sqlite3_errmsg(file));
        if (statement)
            sqlite3_reset(statement);
        return Fail(QString::fromUtf8(what), QSqlError(reason, {}, QSqlError::StatementError));
    };
    if (!statement) {
        const QByteArray sql = Insert(QStringLiteral("cycles"), CycleColumns(withSpectra)).toUtf8();
        if (sqlite3_prepare_v3(file, sql.constData(), int(sql.size()), SQLITE_PREPARE_PERSISTENT, &statement,
                               nullptr) != SQLITE_OK)
            return failed("запрос не подготовлен");
    }
    int at = 1;
    const QByteArray meterTime = TimeText(cycle.MeterTime).toLatin1();
    const QByteArray pcTime = TimeText(cycle.PcTimeUtc).toLatin1();
    sqlite3_bind_int64(statement, at++, meterId);
    sqlite3_bind_text(statement, at++, meterTime.constData(), int(meterTime.size()), SQLITE_STATIC);
    sqlite3_bind_text(statement, at++, pcTime.constData(), int(pcTime.size()), SQLITE_STATIC);
    for (float value : cycle.Values) {
        if (std::isfinite(value))
            sqlite3_bind_double(statement, at++, double(value));
        else
            sqlite3_bind_null(statement, at++);
    }
    std::vector<QByteArray> blobs;
    blobs.reserve(Spectra().size());
    if (withSpectra) {
        int offset = 0;
        for (const TSpectrum &spectrum : Spectra()) {
            blobs.push_back(FloatBlob(std::span(cycle.Spectra).subspan(size_t(offset), size_t(spectrum.Count))));
            sqlite3_bind_blob(statement, at++, blobs.back().constData(), int(blobs.back().size()), SQLITE_STATIC);
            offset += spectrum.Count;
        }
    }
    if (sqlite3_step(statement) != SQLITE_DONE)
        return failed("не удалось записать цикл");
    sqlite3_reset(statement);
    return true;
}

bool TArchiveDatabase::AddAggregate(qint64 meterId, const TAggregateRow &row)
{
    const TWatchedStatement watch = Watch();
    QSqlQuery &query = Prepared(insertAggregate_, Insert(QStringLiteral("aggregates_10min"), AggregateColumns()));
    query.addBindValue(meterId);
    query.addBindValue(TimeValue(row.Start));
    query.addBindValue(row.ValuesCount);
    query.addBindValue(row.Flags);
    for (size_t i = 0; i < row.Avg.size(); ++i) {
        query.addBindValue(Real(row.Avg[i]));
        query.addBindValue(Real(row.Min[i]));
        query.addBindValue(Real(row.Max[i]));
    }
    int at = 0;
    for (const TSpectrum &spectrum : Spectra()) {
        const auto part = [&](const std::vector<float> &all) {
            return int(all.size()) >= at + spectrum.Count
                       ? QVariant(FloatBlob(std::span(all).subspan(size_t(at), size_t(spectrum.Count))))
                       : QVariant(QMetaType(QMetaType::QByteArray));
        };
        query.addBindValue(part(row.SpectraAvg));
        query.addBindValue(part(row.SpectraMax));
        at += spectrum.Count;
    }
    return query.exec() || Fail(QStringLiteral("не удалось записать 10-минутный интервал"), query);
}

bool TArchiveDatabase::DeleteCyclesBefore(qint64 meterId, const QDateTime &before)
{
    const TWatchedStatement watch = Watch();
    QSqlQuery query(QSqlDatabase::database(connectionName_, false));
    query.prepare(QStringLiteral("DELETE FROM cycles WHERE meter_id = ? AND meter_time < ?"));
    query.addBindValue(meterId);
    query.addBindValue(TimeValue(before));
    return query.exec() || Fail(QStringLiteral("не удалось удалить старые циклы"), query);
}

QSqlQuery TArchiveDatabase::Select(const QString &statement, std::span<const QVariant> values)
{
    const TWatchedStatement watch = Watch();
    QSqlQuery query(QSqlDatabase::database(connectionName_, false));
    query.setForwardOnly(true);
    if (!query.prepare(statement)) {
        Fail(QStringLiteral("запрос не подготовлен"), query);
        return query;
    }
    for (const QVariant &value : values)
        query.addBindValue(value);
    if (!query.exec())
        Fail(QStringLiteral("запрос не выполнен"), query);
    return query;
}

TSummary TArchiveDatabase::Summary()
{
    TSummary summary;
    const auto time = [this](const char *column) {
        return IsPostgres() ? QStringLiteral("to_char(%1, 'YYYY-MM-DD HH24:MI:SS')").arg(QLatin1String(column))
                            : QString::fromLatin1(column);
    };
    const auto parse = [](const QVariant &value) { return TimeFromText(value.toString()); };
    QSqlQuery meters = Select(QStringLiteral("SELECT id, device_type, factory_number, device_address, %1, %2 "
                                             "FROM meters ORDER BY id")
                                  .arg(time("first_seen_utc"), time("last_seen_utc")));
    while (meters.next()) {
        TMeterRow row;
        row.Id = meters.value(0).toLongLong();
        row.DeviceType = meters.value(1).toString();
        row.FactoryNumber = meters.value(2).toInt();
        row.DeviceAddress = meters.value(3).toInt();
        row.FirstSeenUtc = parse(meters.value(4));
        row.LastSeenUtc = parse(meters.value(5));
        summary.Meters.push_back(row);
    }
    for (TMeterRow &row : summary.Meters) {
        const QVariant id(row.Id);
        for (const auto &[table, column, count] : {std::tuple{"cycles", "meter_time", &row.Cycles},
                                                   std::tuple{"aggregates_10min", "interval_start", &row.Aggregates}}) {
            QSqlQuery query = Select(QStringLiteral("SELECT COUNT(*), %1, %2 FROM %3 WHERE meter_id = ?")
                                         .arg(time(QStringLiteral("MIN(%1)").arg(QLatin1String(column)).toLatin1()),
                                              time(QStringLiteral("MAX(%1)").arg(QLatin1String(column)).toLatin1()),
                                              QLatin1String(table)),
                                     std::span(&id, 1));
            if (!query.next())
                continue;
            *count = query.value(0).toLongLong();
            if (*count == 0)
                continue;
            const QDateTime first = parse(query.value(1)), last = parse(query.value(2));
            if (!row.FirstMeterTime.isValid() || first < row.FirstMeterTime)
                row.FirstMeterTime = first;
            if (!row.LastMeterTime.isValid() || last > row.LastMeterTime)
                row.LastMeterTime = last;
        }
    }
    QSqlQuery limits = Select(QStringLiteral("SELECT COUNT(*) FROM limits"));
    if (limits.next())
        summary.LimitRows = limits.value(0).toLongLong();
    if (IsPostgres()) {
        QSqlQuery size = Select(QStringLiteral("SELECT pg_database_size(current_database())"));
        if (size.next())
            summary.SizeBytes = size.value(0).toLongLong();
    } else {
        summary.SizeBytes = QFileInfo(target_.Path()).size();
        const QFileInfo wal(target_.Path() + QStringLiteral("-wal"));
        if (wal.exists())
            summary.SizeBytes += wal.size();
    }
    return summary;
}

QString TArchiveDatabase::Check()
{
    if (!IsPostgres()) {
        QSqlQuery query = Select(QStringLiteral("PRAGMA integrity_check"));
        QStringList problems;
        while (query.next())
            problems << query.value(0).toString();
        if (!query.isActive())
            return error_;
        if (problems != QStringList{QStringLiteral("ok")})
            return problems.join(u'\n');
    }
    const int version = FoundVersion();
    if (version != kSchemaVersion)
        return QStringLiteral("версия схемы %1, ожидается %2").arg(version).arg(kSchemaVersion);
    for (const QString &table : kTables) {
        QSqlQuery query = Select(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table));
        if (!query.next())
            return QStringLiteral("нет таблицы %1").arg(table);
    }
    return QStringLiteral("ok");
}
