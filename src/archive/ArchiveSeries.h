#pragma once

// Reading quantities of one meter over an interval of its clock back out of
// the archive, for trends: the 3-s cycles (a value per cycle) or the
// 10-minute rows (average, minimum, maximum and flags), with the meter's
// limits rows. LoadSeries runs on the caller's connection; TArchiveSeriesLoader
// runs it on a thread of its own with a connection made there and answers by
// queued signal, so the window never waits on the database.

#include "archive/ArchiveDatabase.h"
#include "archive/ArchiveTarget.h"
#include "engine/MeasurementRecord.h"

#include <QDateTime>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>
#include <array>
#include <memory>
#include <vector>

class QThread;

namespace Archive {

enum class TSeriesSource { Cycles, Aggregates };

// A quantity to read: a column of Quantities() ("Urms_a"), or one order of
// a voltage harmonic spectrum, "KUn:<channel 0..5>:<order 2..50>".
QString HarmonicQuantity(int channel, int order);
// Whether the name is one of the two forms above.
bool IsSeriesQuantity(const QString &name);

struct TSeriesRequest
{
    TArchiveTarget Target;
    qint64 MeterId = 0;
    QDateTime From, To; // meter time, [From, To)
    TSeriesSource Source = TSeriesSource::Cycles;
    QStringList Quantities;
    int Serial = 0; // handed back, so that a late answer can be told apart
};

// One quantity's values over the rows; Min and Max only for aggregates
// (for a spectrum's order Min is left NaN: the archive keeps its mean and
// maximum). NaN where the meter gave no value.
struct TSeriesColumn
{
    QString Quantity;
    std::vector<double> Avg, Min, Max;
};

// A limits row: the record's slots 0..279 and the time intervals, from the
// meter time they were read at (invalid when the meter gave none).
struct TLimitsRow
{
    QDateTime MeterTime;
    QDateTime ReadAtUtc;
    std::vector<float> Slots;
    std::array<TTimeInterval, TDataStorageManager::TimeIntervalCount> Intervals{};
};

struct TSeriesResult
{
    int Serial = 0;
    TSeriesSource Source = TSeriesSource::Cycles;
    QDateTime From, To;
    std::vector<double> Times; // meter time as seconds since 1970 (the clock taken as UTC)
    std::vector<int> Flags;    // per row, aggregates only
    std::vector<TSeriesColumn> Columns;
    std::vector<TLimitsRow> Limits; // oldest first
    QString Error;                  // empty when read
};

// Seconds since 1970 of a meter time kept in Qt::UTC, and back.
double SeriesTime(const QDateTime &meterTime);
QDateTime SeriesDateTime(double seconds);

TSeriesResult LoadSeries(TArchiveDatabase &database, const TSeriesRequest &request);
std::vector<TLimitsRow> LoadLimits(TArchiveDatabase &database, qint64 meterId, QString *error = nullptr);

} // namespace Archive

Q_DECLARE_METATYPE(Archive::TSeriesRequest)
Q_DECLARE_METATYPE(Archive::TSeriesResult)
Q_DECLARE_METATYPE(Archive::TSummary)

// The loading thread. Requests queue up on it; a request older than one
// asked since is answered only if it was already running.
class TArchiveSeriesLoader : public QObject
{
    Q_OBJECT

public:
    explicit TArchiveSeriesLoader(QObject *parent = nullptr);
    // Ends the thread after the request in progress.
    ~TArchiveSeriesLoader() override;

    // Both return at once; the answer comes as a signal on this object's thread.
    void RequestSeries(const Archive::TSeriesRequest &request);
    void RequestSummary(const TArchiveTarget &target);

signals:
    void SeriesLoaded(const Archive::TSeriesResult &result);
    void SummaryLoaded(const Archive::TSummary &summary, const QString &error);

private:
    class TWorker;
    QThread *thread_;
    TWorker *worker_; // lives on thread_
};
