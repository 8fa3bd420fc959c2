#include "archive/ArchiveSeries.h"

#include "archive/ArchiveColumns.h"
#include "archive/ArchiveRows.h"
#include "engine/RecordSlots.h"

#include <QSqlError>
#include <QThread>
#include <QtEndian>
#include <atomic>
#include <cmath>
#include <limits>

namespace Archive {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
const QString kHarmonicPrefix = QStringLiteral("KUn:");

struct THarmonic
{
    int Channel = -1;
    int Order = 0;
};

THarmonic ParseHarmonic(const QString &name)
{
    if (!name.startsWith(kHarmonicPrefix))
        return {};
    const QStringList parts = name.mid(kHarmonicPrefix.size()).split(u':');
    bool okChannel = false, okOrder = false;
    THarmonic h;
    if (parts.size() == 2) {
        h.Channel = parts[0].toInt(&okChannel);
        h.Order = parts[1].toInt(&okOrder);
    }
    if (!okChannel || !okOrder || h.Channel < 0 || h.Channel >= VDSlot::VoltageChannels || h.Order < 2 ||
        h.Order >= 2 + VDSlot::HarmonicCount)
        return {};
    return h;
}

double Real(const QVariant &value)
{
    return value.isNull() ? kNaN : value.toDouble();
}

// One value of a KUn blob; NaN when the row holds none.
double BlobValue(const QVariant &blob, const THarmonic &h)
{
    const QByteArray bytes = blob.toByteArray();
    const qsizetype index = qsizetype(h.Channel) * VDSlot::HarmonicCount + (h.Order - 2);
    if (bytes.size() < (index + 1) * qsizetype(sizeof(float)))
        return kNaN;
    const float value = qFromLittleEndian<float>(bytes.constData() + index * sizeof(float));
    return std::isfinite(value) ? double(value) : kNaN;
}

QDateTime ParseTime(const QVariant &value)
{
    return TimeFromText(value.toString());
}

// Seconds of "YYYY-MM-DD HH:MM:SS" read digit by digit: a day of cycles
// parsed by QDateTime::fromString takes most of the read.
double TimeSeconds(const QVariant &value)
{
    const QString text = value.toString();
    if (text.size() != 19)
        return SeriesTime(ParseTime(value));
    const auto number = [&](int at, int digits) {
        int n = 0;
        for (int i = at; i < at + digits; ++i) {
            const int digit = text.at(i).unicode() - u'0';
            if (digit < 0 || digit > 9)
                return -1;
            n = n * 10 + digit;
        }
        return n;
    };
    const int year = number(0, 4), month = number(5, 2), day = number(8, 2);
    const int hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
    if (std::min({year, month, day, hour, minute, second}) < 0 || !QDate::isValid(year, month, day))
        return SeriesTime(ParseTime(value));
    const qint64 days = QDate(year, month, day).toJulianDay() - QDate(1970, 1, 1).toJulianDay();
    return double(days * 86400 + hour * 3600 + minute * 60 + second);
}

QString TimeColumn(const TArchiveDatabase &database, const QString &column)
{
    return database.Target().Kind() == TArchiveTarget::TKind::PostgreSQL
               ? QStringLiteral("to_char(%1, 'YYYY-MM-DD HH24:MI:SS')").arg(column)
               : column;
}

} // namespace

QString HarmonicQuantity(int channel, int order)
{
    return kHarmonicPrefix + QString::number(channel) + u':' + QString::number(order);
}

bool IsSeriesQuantity(const QString &name)
{
    return QuantityIndex(name) >= 0 || ParseHarmonic(name).Channel >= 0;
}

double SeriesTime(const QDateTime &meterTime)
{
    return double(meterTime.toSecsSinceEpoch());
}

QDateTime SeriesDateTime(double seconds)
{
    return QDateTime::fromSecsSinceEpoch(qint64(std::floor(seconds)), Qt::UTC);
}

std::vector<TLimitsRow> LoadLimits(TArchiveDatabase &database, qint64 meterId, QString *error)
{
    std::vector<TLimitsRow> rows;
    const QVariant id(meterId);
    QSqlQuery query = database.Select(QStringLiteral("SELECT %1, %2, slots, time_intervals FROM limits "
                                                     "WHERE meter_id = ? ORDER BY read_at_utc")
                                          .arg(TimeColumn(database, QStringLiteral("meter_time")),
                                               TimeColumn(database, QStringLiteral("read_at_utc"))),
                                      std::span(&id, 1));
    if (!query.isActive()) {
        if (error)
            *error = database.Error();
        return rows;
    }
    while (query.next()) {
        TLimitsRow row;
        if (!query.value(0).isNull())
            row.MeterTime = ParseTime(query.value(0));
        row.ReadAtUtc = ParseTime(query.value(1));
        const QByteArray slotBytes = query.value(2).toByteArray();
        row.Slots.resize(size_t(slotBytes.size()) / sizeof(float));
        qFromLittleEndian<float>(slotBytes.constData(), qsizetype(row.Slots.size()), row.Slots.data());
        const QByteArray intervals = query.value(3).toByteArray();
        for (size_t k = 0; k < row.Intervals.size() && qsizetype(k * 4 + 3) < intervals.size(); ++k) {
            const auto byte = [&](size_t i) { return uint8_t(intervals[qsizetype(k * 4 + i)]); };
            row.Intervals[k] = {byte(0), byte(1), byte(2), byte(3)};
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

TSeriesResult LoadSeries(TArchiveDatabase &database, const TSeriesRequest &request)
{
    TSeriesResult result;
    result.Serial = request.Serial;
    result.Source = request.Source;
    result.From = request.From;
    result.To = request.To;
    const bool aggregates = request.Source == TSeriesSource::Aggregates;
    const QString timeColumn = aggregates ? QStringLiteral("interval_start") : QStringLiteral("meter_time");

    // The statement's columns: the time (and flags), then each plain
    // quantity's value or avg/min/max, then the spectrum's blobs once.
    QStringList selected{TimeColumn(database, timeColumn)};
    if (aggregates)
        selected << QStringLiteral("flags");
    struct TPlan
    {
        int First = -1; // its first column in the statement, -1: from the blobs
        THarmonic Harmonic;
    };
    std::vector<TPlan> plans;
    bool spectrum = false;
    for (const QString &name : request.Quantities) {
        TPlan plan;
        result.Columns.push_back({name, {}, {}, {}});
        if (QuantityIndex(name) >= 0) {
            // the name is one of our own columns', never the caller's text
            plan.First = int(selected.size());
            if (aggregates)
                selected << name + QStringLiteral("_avg") << name + QStringLiteral("_min")
                         << name + QStringLiteral("_max");
            else
                selected << name;
        } else {
            plan.Harmonic = ParseHarmonic(name);
            if (plan.Harmonic.Channel < 0) {
                result.Error = QStringLiteral("нет такой величины: ") + name;
                return result;
            }
            spectrum = true;
        }
        plans.push_back(plan);
    }
    const int blobs = int(selected.size());
    if (spectrum) {
        if (aggregates)
            selected << QStringLiteral("KUn_avg") << QStringLiteral("KUn_max");
        else
            selected << QStringLiteral("KUn");
    }

    const std::vector<QVariant> values{QVariant(request.MeterId), QVariant(TimeText(request.From)),
                                       QVariant(TimeText(request.To))};
    QSqlQuery query = database.Select(
        QStringLiteral("SELECT %1 FROM %2 WHERE meter_id = ? AND %3 >= ? AND %3 < ? "
                       "ORDER BY %3")
            .arg(selected.join(u','), aggregates ? QStringLiteral("aggregates_10min") : QStringLiteral("cycles"),
                 timeColumn),
        values);
    if (!query.isActive()) {
        result.Error = database.Error();
        return result;
    }
    while (query.next()) {
        result.Times.push_back(TimeSeconds(query.value(0)));
        if (aggregates)
            result.Flags.push_back(query.value(1).toInt());
        for (size_t i = 0; i < plans.size(); ++i) {
            TSeriesColumn &column = result.Columns[i];
            const TPlan &plan = plans[i];
            if (plan.First >= 0) {
                column.Avg.push_back(Real(query.value(plan.First)));
                if (aggregates) {
                    column.Min.push_back(Real(query.value(plan.First + 1)));
                    column.Max.push_back(Real(query.value(plan.First + 2)));
                }
            } else {
                column.Avg.push_back(BlobValue(query.value(blobs), plan.Harmonic));
                if (aggregates) {
                    column.Min.push_back(kNaN);
                    column.Max.push_back(BlobValue(query.value(blobs + 1), plan.Harmonic));
                }
            }
        }
    }
    if (query.lastError().isValid()) {
        result.Error = QStringLiteral("не удалось прочитать архив: ") + query.lastError().text();
        return result;
    }
    query.finish();
    result.Limits = LoadLimits(database, request.MeterId, &result.Error);
    return result;
}

} // namespace Archive

// --- the loading thread ---

class TArchiveSeriesLoader::TWorker : public QObject
{
public:
    std::atomic<int> Latest{0};

    // On the loading thread: the connection, opened for this target.
    TArchiveDatabase *Database(const TArchiveTarget &target, QString &error)
    {
        if (!database_ || database_->Target() != target || !database_->IsOpen()) {
            database_ = std::make_unique<TArchiveDatabase>(target);
            if (!database_->Open(TArchiveDatabase::TMode::Read)) {
                error = database_->Error();
                database_.reset();
                return nullptr;
            }
        }
        return database_.get();
    }
    void Close() { database_.reset(); }

private:
    std::unique_ptr<TArchiveDatabase> database_;
};

TArchiveSeriesLoader::TArchiveSeriesLoader(QObject *parent)
    : QObject(parent), thread_(new QThread(this)), worker_(new TWorker)
{
    qRegisterMetaType<Archive::TSeriesResult>();
    qRegisterMetaType<Archive::TSummary>();
    thread_->setObjectName(QStringLiteral("trends-archive"));
    worker_->moveToThread(thread_);
    thread_->start();
}

TArchiveSeriesLoader::~TArchiveSeriesLoader()
{
    // requests still queued are dropped; the connection belongs to the
    // thread: closed there
    worker_->Latest = -1;
    TWorker *worker = worker_;
    QMetaObject::invokeMethod(
        worker_, [worker] { worker->Close(); }, Qt::BlockingQueuedConnection);
    thread_->quit();
    thread_->wait();
    delete worker_;
}

void TArchiveSeriesLoader::RequestSeries(const Archive::TSeriesRequest &request)
{
    worker_->Latest = request.Serial;
    TWorker *worker = worker_;
    QMetaObject::invokeMethod(
        worker_,
        [this, worker, request] {
            if (request.Serial != worker->Latest.load())
                return; // asked again since
            Archive::TSeriesResult result;
            if (TArchiveDatabase *database = worker->Database(request.Target, result.Error)) {
                result = Archive::LoadSeries(*database, request);
            } else {
                result.Serial = request.Serial;
                result.Source = request.Source;
                result.From = request.From;
                result.To = request.To;
            }
            emit SeriesLoaded(result);
        },
        Qt::QueuedConnection);
}

void TArchiveSeriesLoader::RequestSummary(const TArchiveTarget &target)
{
    TWorker *worker = worker_;
    QMetaObject::invokeMethod(
        worker_,
        [this, worker, target] {
            QString error;
            Archive::TSummary summary;
            if (TArchiveDatabase *database = worker->Database(target, error))
                summary = database->Summary();
            emit SummaryLoaded(summary, error);
        },
        Qt::QueuedConnection);
}
