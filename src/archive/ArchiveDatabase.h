#pragma once

// One connection to the archive, used on the thread that made it (a Qt SQL
// connection belongs to its thread). The same statements serve SQLite and
// PostgreSQL; only the column types differ. Opening refuses what is not an
// archive, or is one of a newer version, without changing it.
//
// On a server every statement has a time-out: the server cancels it after
// the target's statement_timeout, and a server that does not answer at all
// has the connection cut a little later, so that no call waits for ever.

#include "archive/ArchiveRows.h"
#include "archive/ArchiveTarget.h"
#include "archive/StatementWatchdog.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <memory>
#include <optional>
#include <span>
#include <vector>

struct TMeterIdentity;
struct sqlite3_stmt;
struct TSettingsCopy;

namespace Archive {

inline constexpr int kSchemaVersion = 1;

struct TMeterRow
{
    qint64 Id = 0;
    QString DeviceType;
    qint32 FactoryNumber = 0;
    int DeviceAddress = 0;
    QDateTime FirstSeenUtc, LastSeenUtc;
    // what the archive holds of it
    qint64 Cycles = 0;
    qint64 Aggregates = 0;
    QDateTime FirstMeterTime, LastMeterTime; // of its cycles and intervals
};

struct TSummary
{
    std::vector<TMeterRow> Meters;
    qint64 LimitRows = 0;
    qint64 SizeBytes = -1; // -1: not known
};

} // namespace Archive

class TArchiveDatabase
{
public:
    enum class TMode { Write, Read };

    explicit TArchiveDatabase(TArchiveTarget target);
    ~TArchiveDatabase();

    TArchiveDatabase(const TArchiveDatabase &) = delete;
    TArchiveDatabase &operator=(const TArchiveDatabase &) = delete;

    // Write: creates a missing archive, migrates an older one, sets the
    // journal up. Read: opens an existing archive as it is. False when it
    // cannot; Error() says why in words for the user.
    bool Open(TMode mode = TMode::Write);
    bool IsOpen() const;
    void Close();
    QString Error() const { return error_; }
    const TArchiveTarget &Target() const { return target_; }

    // From any thread: cuts the server connection, so that a statement that
    // hangs returns at once with an error (its transaction is lost). Nothing
    // on a file.
    void Interrupt();

    bool Begin();
    bool Commit();
    void Rollback();

    // The meter's row id, made on its first visit; its last-seen time moves on.
    std::optional<qint64> MeterId(const TMeterIdentity &meter, const QDateTime &seenUtc);
    // A limits row unless the meter's last one holds the same slots and
    // intervals; true also when nothing needed writing.
    bool AddLimits(qint64 meterId, const TSettingsCopy &settings);
    bool AddCycle(qint64 meterId, const Archive::TCycleRow &cycle, bool withSpectra);
    bool AddAggregate(qint64 meterId, const Archive::TAggregateRow &row);
    // Cycles of the meter whose meter time is before `before`; aggregates
    // and limits stay.
    bool DeleteCyclesBefore(qint64 meterId, const QDateTime &before);

    // --- reading ---
    Archive::TSummary Summary();
    // Runs a read statement with positional values; an inactive query on
    // failure (Error() says why).
    QSqlQuery Select(const QString &statement, std::span<const QVariant> values = {});
    // Integrity of the file (SQLite) and the schema's tables; "ok" or what is wrong.
    QString Check();

    // The schema version of an open archive.
    int SchemaVersion();

private:
    struct TServerSocket;

    // Watches the statements run while it lives (a server only).
    TWatchedStatement Watch();
    bool Fail(const QString &what, const QSqlError &error);
    bool Fail(const QString &what, const QSqlQuery &query);
    bool Exec(const QString &statement);
    bool IsPostgres() const { return target_.Kind() == TArchiveTarget::TKind::PostgreSQL; }
    // 0: no tables at all; -1: tables but not an archive; else its version.
    int FoundVersion();
    bool CreateSchema();
    bool Migrate(int from);
    QStringList SchemaStatements() const;
    QString TimeType() const;
    QString RealType() const;
    QString BlobType() const;
    QString TimeValue(const QDateTime &time) const;
    QSqlQuery &Prepared(std::unique_ptr<QSqlQuery> &query, const QString &statement);
    bool AddCycleToFile(qint64 meterId, const Archive::TCycleRow &cycle, bool withSpectra);

    TArchiveTarget target_;
    QString connectionName_;
    std::shared_ptr<TServerSocket> socket_;
    std::shared_ptr<TStatementWatchdog> watchdog_;
    QString error_;
    std::unique_ptr<QSqlQuery> insertCycle_, insertCycleSpectra_, insertAggregate_, upsertMeter_;
    // On a file: the cycle inserts, without and with spectra, on the
    // connection's own handle; finalized before it closes.
    sqlite3_stmt *fileInsert_[2] = {nullptr, nullptr};
};
