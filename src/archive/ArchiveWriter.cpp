#include "archive/ArchiveWriter.h"

#include "archive/ArchiveColumns.h"
#include "archive/TenMinuteAggregator.h"
#include "engine/RecordSlots.h"

#include <QElapsedTimer>
#include <algorithm>
#include <limits>
#include <deque>
#include <map>

using namespace Archive;

namespace {

constexpr int kSummaryEveryMs = 60 * 1000;
constexpr int kRetentionEveryMs = 60 * 60 * 1000;

QString MeterKey(const TMeterIdentity &meter)
{
    return meter.DeviceType + u'#' + QString::number(meter.FactoryNumber);
}

} // namespace

// What the archive thread alone touches: the connection, the aggregator and
// the rows not yet written.
class TArchiveWriter::TWork
{
public:
    struct TPending
    {
        std::shared_ptr<const TMeterIdentity> Meter;
        std::variant<TSettingsCopy, TCycleRow, TAggregateRow> Row;
    };

    explicit TWork(const TArchiveOptions &options) : options_(options), db_(options.Target) {}

    // Turns a handed item into rows; the aggregator sees each cycle once
    // whatever happens to the writing.
    void Take(TItem &&item)
    {
        if (auto *meter = std::get_if<TMeterIdentity>(&item)) {
            if (auto row = aggregator_.RunEnded()) // a run that never told its end
                Queue(std::move(*row));
            meter_ = std::make_shared<const TMeterIdentity>(*meter);
            aggregator_.RunStarted();
        } else if (auto *settings = std::get_if<TSettingsCopy>(&item)) {
            if (meter_)
                pending_.push_back({meter_, std::move(*settings)});
        } else if (auto *cycle = std::get_if<TCycleCopy>(&item)) {
            TCycleRow row = meter_ ? CycleRowOf(*cycle) : TCycleRow{};
            if (!row.MeterTime.isValid()) {
                ++unfiled_;
                return;
            }
            if (auto aggregate = aggregator_.Add(row))
                Queue(std::move(*aggregate));
            pending_.push_back({meter_, std::move(row)});
            ++waitingCycles_;
        } else if (std::holds_alternative<TRunEnd>(item)) {
            if (auto row = aggregator_.RunEnded())
                Queue(std::move(*row));
        }
    }

    // Oldest cycles go first when the queue is full; aggregates and limits
    // are few and always kept.
    quint64 DropPastQueue()
    {
        quint64 dropped = 0;
        for (auto it = pending_.begin();
             waitingCycles_ > quint64(std::max(1, options_.QueueCycles)) && it != pending_.end();) {
            if (std::holds_alternative<TCycleRow>(it->Row)) {
                it = pending_.erase(it);
                --waitingCycles_;
                ++dropped;
            } else {
                ++it;
            }
        }
        droppedInEpisode_ += dropped;
        return dropped;
    }

    bool Open() { return db_.Open(TArchiveDatabase::TMode::Write); }

    // All pending rows in one transaction; on a fault none of them counts
    // as written and all stay for the next try. Returns the cycles written.
    std::optional<quint64> WritePending()
    {
        if (pending_.empty())
            return 0;
        if (!db_.Begin())
            return std::nullopt;
        const QDateTime now = QDateTime::currentDateTimeUtc();
        std::map<QString, qint64> ids; // once a batch: the upsert moves last-seen on
        quint64 cycles = 0;
        for (const TPending &pending : pending_) {
            const QString key = MeterKey(*pending.Meter);
            auto id = ids.find(key);
            if (id == ids.end()) {
                const std::optional<qint64> made = db_.MeterId(*pending.Meter, now);
                if (!made)
                    return db_.Rollback(), std::nullopt;
                id = ids.emplace(key, *made).first;
            }
            bool written = true;
            if (auto *settings = std::get_if<TSettingsCopy>(&pending.Row)) {
                written = db_.AddLimits(id->second, *settings);
            } else if (auto *cycle = std::get_if<TCycleRow>(&pending.Row)) {
                written = db_.AddCycle(id->second, *cycle, options_.Spectra);
                lastMeterTime_[id->second] = cycle->MeterTime;
                ++cycles;
            } else {
                written = db_.AddAggregate(id->second, std::get<TAggregateRow>(pending.Row));
            }
            if (!written)
                return db_.Rollback(), std::nullopt;
        }
        if (!db_.Commit())
            return std::nullopt;
        pending_.clear();
        waitingCycles_ = 0;
        return cycles;
    }

    bool ApplyRetention()
    {
        if (options_.KeepDays <= 0)
            return true;
        for (const auto &[id, last] : lastMeterTime_)
            if (!db_.DeleteCyclesBefore(id, last.addDays(-options_.KeepDays)))
                return false;
        return true;
    }

    TArchiveDatabase &Db() { return db_; }
    bool HasPending() const { return !pending_.empty(); }
    quint64 WaitingCycles() const { return waitingCycles_; }
    quint64 TakeDroppedInEpisode() { return std::exchange(droppedInEpisode_, 0); }
    // Cycles taken that no row can hold: no meter time (or no meter) to file
    // them under.
    quint64 TakeUnfiled() { return std::exchange(unfiled_, 0); }
    void CountDropped(quint64 dropped) { droppedInEpisode_ += dropped; }

private:
    void Queue(TAggregateRow &&row)
    {
        if (meter_)
            pending_.push_back({meter_, std::move(row)});
    }

    const TArchiveOptions &options_;
    TArchiveDatabase db_;
    TTenMinuteAggregator aggregator_;
    std::shared_ptr<const TMeterIdentity> meter_;
    std::deque<TPending> pending_;
    quint64 waitingCycles_ = 0;
    quint64 droppedInEpisode_ = 0;
    quint64 unfiled_ = 0;
    std::map<qint64, QDateTime> lastMeterTime_;
};

TArchiveWriter::TArchiveWriter(TArchiveOptions options, TReport report, TSummaryReport summary)
    : options_(std::move(options)),
      report_(report ? std::move(report) : [](const QString &, TSeverity) {}),
      summary_(std::move(summary)),
      work_(std::make_unique<TWork>(options_))
{
    thread_ = std::thread([this] { Loop(); });
}

TArchiveWriter::~TArchiveWriter()
{
    End();
}

void TArchiveWriter::End()
{
    if (!thread_.joinable())
        return;
    std::unique_lock lock(mutex_);
    stopping_ = true;
    wake_.notify_all();
    // A statement that hangs on a server must not hold the end: its
    // connection is cut, and the thread gives up what waits and says so.
    const auto wait = std::chrono::milliseconds(flushTimedOut_ ? 0 : options_.StopWaitMs);
    if (!idle_.wait_for(lock, wait, [&] { return ended_; })) {
        lock.unlock();
        work_->Db().Interrupt();
    } else {
        lock.unlock();
    }
    thread_.join();
}

void TArchiveWriter::Hand(TItem item)
{
    {
        std::lock_guard lock(mutex_);
        // The bound holds while the thread is held in a write too: past it the
        // oldest cycle not yet taken goes.
        const quint64 bound = quint64(std::max(1, options_.QueueCycles));
        if (std::holds_alternative<TCycleCopy>(item) && incomingCycles_ + counters_.CyclesWaiting >= bound &&
            incomingCycles_ > 0) {
            const auto oldest = std::find_if(incoming_.begin(), incoming_.end(),
                                             [](const TItem &i) { return std::holds_alternative<TCycleCopy>(i); });
            incoming_.erase(oldest);
            --incomingCycles_;
            ++droppedAtHand_;
            ++counters_.CyclesDropped;
            ++taken_; // given up: a flush no longer waits for it
        }
        incomingCycles_ += std::holds_alternative<TCycleCopy>(item) ? 1 : 0;
        incoming_.push_back(std::move(item));
        ++handed_;
    }
    wake_.notify_one();
}

void TArchiveWriter::RunStarted(const TMeterIdentity &meter)
{
    Hand(meter);
}

void TArchiveWriter::SettingsRead(TSettingsCopy settings)
{
    Hand(std::move(settings));
}

void TArchiveWriter::CycleRead(TCycleCopy cycle)
{
    Hand(std::move(cycle));
}

void TArchiveWriter::RunEnded()
{
    Hand(TRunEnd{});
}

TArchiveCounters TArchiveWriter::Counters() const
{
    std::lock_guard lock(mutex_);
    TArchiveCounters counters = counters_;
    counters.CyclesWaiting += incomingCycles_;
    return counters;
}

bool TArchiveWriter::Flush(int timeoutMs)
{
    std::unique_lock lock(mutex_);
    const quint64 target = handed_;
    wake_.notify_one();
    const bool done = idle_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                     [&] { return counters_.Failing || (taken_ >= target && written_); });
    flushTimedOut_ = !done;
    return done && !counters_.Failing;
}

void TArchiveWriter::Loop()
{
    const bool server = options_.Target.Kind() == TArchiveTarget::TKind::PostgreSQL;
    const int retryMs = server ? options_.RetryServerMs : options_.RetryFileMs;
    bool open = false;
    bool failing = false;
    bool tried = false;
    bool dropping = false; // told once per episode
    bool toldUnfiled = false;
    QElapsedTimer sinceTry, sinceSummary, sinceRetention;
    sinceTry.start();

    const auto fault = [&] {
        if (!failing)
            report_(QStringLiteral("Ошибка записи архива: ") + work_->Db().Error(), svError);
        failing = true;
        work_->Db().Close();
        open = false;
        sinceTry.restart();
    };
    const auto publish = [&] {
        if (summary_)
            summary_(work_->Db().Summary());
        sinceSummary.start();
    };

    for (bool stop = false; !stop;) {
        std::vector<TItem> items;
        quint64 droppedAtHand = 0;
        {
            std::unique_lock lock(mutex_);
            // the first pass opens the target at once: the window shows its
            // size, or its fault, without waiting for a cycle
            wake_.wait_for(lock, std::chrono::seconds(1), [&] { return !incoming_.empty() || stopping_ || !tried; });
            items.swap(incoming_);
            // still waiting, now on this thread
            counters_.CyclesWaiting += std::exchange(incomingCycles_, 0);
            droppedAtHand = std::exchange(droppedAtHand_, 0);
            stop = stopping_;
        }
        bool runEnded = false;
        for (TItem &item : items) {
            runEnded = runEnded || std::holds_alternative<TRunEnd>(item);
            work_->Take(std::move(item));
        }
        const quint64 dropped = work_->DropPastQueue();
        work_->CountDropped(droppedAtHand);
        const quint64 unfiled = work_->TakeUnfiled();
        {
            // what the hand-off counts against the bound while this pass writes
            std::lock_guard lock(mutex_);
            counters_.CyclesWaiting = work_->WaitingCycles();
            counters_.CyclesDropped += dropped + unfiled;
        }
        if (unfiled > 0 && !toldUnfiled) {
            report_(QStringLiteral("Циклы без времени прибора в архив не записываются"), svWarning);
            toldUnfiled = true;
        }
        if (dropped + droppedAtHand > 0 && !dropping) {
            report_(QStringLiteral("Очередь архива полна: старые циклы не будут записаны"), svWarning);
            dropping = true;
        }

        // At the end no new attempt is made on a target that keeps failing:
        // closing the program must not wait for a server that is away.
        if (!open && (!tried || (sinceTry.elapsed() >= retryMs && !stop))) {
            tried = true;
            sinceTry.restart();
            if (work_->Open()) {
                open = true;
                publish();
            } else {
                fault();
            }
        }
        quint64 written = 0;
        if (open) {
            if (const std::optional<quint64> cycles = work_->WritePending()) {
                written = *cycles;
                if (failing) {
                    failing = false;
                    dropping = false;
                    const quint64 lost = work_->TakeDroppedInEpisode();
                    report_(lost == 0 ? QStringLiteral("Архив снова записывается")
                                      : QStringLiteral("Архив снова записывается; не поместилось в очередь и "
                                                       "потеряно циклов: %1")
                                            .arg(lost),
                            lost == 0 ? svInformation : svWarning);
                }
                // Once the meters' latest times are known, then hourly, and at
                // each run's end: a short run's last cycles move the cut too.
                const bool due = !sinceRetention.isValid() || sinceRetention.elapsed() >= kRetentionEveryMs;
                if (((written > 0 && due) || runEnded) && work_->ApplyRetention())
                    sinceRetention.start();
                if (runEnded || sinceSummary.elapsed() >= kSummaryEveryMs)
                    publish();
            } else {
                fault();
            }
        }
        if (stop && work_->WaitingCycles() > 0)
            report_(QStringLiteral("Архив не записан: циклов %1").arg(work_->WaitingCycles()), svError);
        {
            std::lock_guard lock(mutex_);
            taken_ += items.size();
            written_ = !work_->HasPending();
            counters_.CyclesWritten += written;
            counters_.CyclesWaiting = work_->WaitingCycles();
            counters_.Failing = failing;
            if (stop)
                counters_.CyclesLeft += std::exchange(counters_.CyclesWaiting, 0);
        }
        idle_.notify_all();
    }
    work_->Db().Close();
    {
        std::lock_guard lock(mutex_);
        ended_ = true;
    }
    idle_.notify_all();
}
