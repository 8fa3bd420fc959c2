#pragma once

// The archive thread: takes the copies of whole cycles from the polling
// thread (never waiting for the database), folds them into 10-minute rows and
// writes both, committing at least once a second. A target that cannot be
// written (file read-only or full, server down) costs no polling: rows wait
// in a bounded queue, the target is tried again every few seconds, and the
// fault is reported once per episode. The queue is bounded from the hand-off
// on, so a server that hangs in a statement costs no more memory than one
// that is away; a stop cuts such a statement off and says what was not
// written.

#include "archive/ArchiveDatabase.h"
#include "archive/ArchiveTarget.h"
#include "engine/CycleSink.h"
#include "engine/EngineEvents.h"

#include <QString>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <variant>
#include <vector>

struct TArchiveOptions
{
    TArchiveTarget Target;
    bool Spectra = false;   // the cycles' spectra as blobs too
    int KeepDays = 31;      // cycles older than this go; 0 keeps all
    int QueueCycles = 1200; // an hour of cycles waits for a target that is away
    int RetryFileMs = 2000; // a file that failed is tried again after this
    int RetryServerMs = 10000;
    // How long the end waits for a write in progress before it cuts the
    // server connection (none after a Flush that timed out).
    int StopWaitMs = 2000;
};

// Every cycle handed over is in exactly one of the four counts.
struct TArchiveCounters
{
    quint64 CyclesWritten = 0;
    // Past the queue while the target was away, or with no meter time to
    // file them under.
    quint64 CyclesDropped = 0;
    quint64 CyclesWaiting = 0; // handed over, not yet written
    quint64 CyclesLeft = 0;    // still waiting when the writer ended
    bool Failing = false;      // an episode of write faults is on

    quint64 CyclesLost() const { return CyclesDropped + CyclesLeft; }
};

class TArchiveWriter : public TCycleSink
{
public:
    // Called on the archive thread: a status text for the user (and the log).
    using TReport = std::function<void(const QString &text, TSeverity severity)>;
    // Called on the archive thread after the archive was opened and then at
    // most once a minute while it is written.
    using TSummaryReport = std::function<void(const Archive::TSummary &summary)>;

    TArchiveWriter(TArchiveOptions options, TReport report, TSummaryReport summary = {});
    ~TArchiveWriter() override;

    // Writes what waits if the target is open, then ends the thread; what
    // could not be written is reported and counted as left. The counters
    // stay. Nothing may be handed over after it.
    void End();

    TArchiveWriter(const TArchiveWriter &) = delete;
    TArchiveWriter &operator=(const TArchiveWriter &) = delete;

    void RunStarted(const TMeterIdentity &meter) override;
    void SettingsRead(TSettingsCopy settings) override;
    void CycleRead(TCycleCopy cycle) override;
    void RunEnded() override;

    TArchiveCounters Counters() const;
    // Waits until all handed over so far is written; false when the time ran
    // out or the target is failing. After a time-out the end waits no more.
    bool Flush(int timeoutMs);

    const TArchiveOptions &Options() const { return options_; }

private:
    class TWork;
    struct TRunEnd
    {};
    using TItem = std::variant<TMeterIdentity, TSettingsCopy, TCycleCopy, TRunEnd>;

    void Hand(TItem item);
    void Loop();

    const TArchiveOptions options_;
    const TReport report_;
    const TSummaryReport summary_;
    std::unique_ptr<TWork> work_; // lives on the archive thread

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::vector<TItem> incoming_;
    quint64 incomingCycles_ = 0;
    quint64 droppedAtHand_ = 0; // not yet told by the thread
    bool stopping_ = false;
    bool ended_ = false;
    bool flushTimedOut_ = false;
    TArchiveCounters counters_;
    quint64 handed_ = 0, taken_ = 0; // items handed over, items the thread has taken
    bool written_ = true;            // nothing taken waits to be written
    std::thread thread_;
};
