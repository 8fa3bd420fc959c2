#pragma once

// One meter of a fleet: its own engine (and polling thread), log, link
// statistics and cycle keepers, and the back-off of its restarts. The
// supervisor decides when it runs; this class says how each run went.

#include "MeterSinks.h"

#include "engine/Engine.h"
#include "engine/LinkStatistics.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

class TccnConnection;
class TObjectsFactory;
struct TPollOptions;

class TMeterRun : public QObject
{
public:
    static constexpr int kFirstBackOffMs = 1000;
    static constexpr int kLongestBackOffMs = 5 * 60 * 1000;
    // A turn on a shared port that brings no cycle in this time is given up.
    static constexpr int kTurnLimitMs = 60 * 1000;

    TMeterRun(std::shared_ptr<TccnConnection> connection, const TPollOptions &options, const TObjectsFactory &factory);
    ~TMeterRun() override;

    // "dtM7SQ-4321": the meter's name in the output and its log file's.
    const QString &Name() const { return name_; }
    // The serial port the connection uses; empty for TCP.
    const QString &Port() const { return port_; }
    TCommons &Commons() { return *commons_; }

    // Starts a run; oneCycle: it is stopped after its first cycle (a turn
    // on a shared port), or after kTurnLimitMs without one.
    void Start(bool oneCycle);
    void Stop();
    bool Running() const { return running_; }

    // Told on the main thread when a run has ended; fault: it ended without
    // being asked to, or brought no cycle. The back-off has then grown.
    std::function<void(TMeterRun &, bool fault)> Ended;

    // The pause before the next start after a fault; 0 after a good cycle.
    int BackOffMs() const { return backOffMs_; }
    // Earliest start on the monotonic clock (ms) the back-off allows.
    qint64 NotBeforeMs() const { return notBeforeMs_; }
    static qint64 NowMs();

    quint64 Cycles() const { return cycles_; }
    // One line: cycles, failed requests, password requests (when any),
    // restarts, archive written/dropped.
    QString Summary() const;
    void PrintSummary() const;
    void Say(const QString &text) const;
    // After the last run: all handed to the keepers written; false when not.
    bool FlushSinks(int timeoutMs);
    // After FlushSinks: the archive's thread ends and tells what it could
    // not write; the summary then adds up.
    void EndSinks();
    // The meter's log is kept: a run without it is not a clean one.
    bool Logged() const { return logged_; }
    // Cycles lost to a keeper, or a broker that refused us.
    bool SinksLost() const { return sinks_->Lost(); }

private:
    void OnStatistics(const TLinkStatistics &statistics);
    void OnStopped();

    const TPollOptions &options_;
    QString name_, port_;
    std::unique_ptr<TCommons> commons_;
    std::unique_ptr<TMeterSinks> sinks_;
    QTimer turnLimit_;
    bool running_ = false, oneCycle_ = false, stopAsked_ = false;
    bool logged_ = false;
    bool lastFault_ = false;   // the next start is a restart
    quint64 runCycles_ = 0;    // of the run going on
    quint64 cycles_ = 0;       // of all runs
    quint64 failedBefore_ = 0; // failed requests of the runs that ended
    quint64 failedNow_ = 0;
    quint64 passwordsBefore_ = 0; // the meter asked for the password: no failure
    quint64 passwordsNow_ = 0;
    quint64 restarts_ = 0;
    int backOffMs_ = 0;
    qint64 notBeforeMs_ = 0;
};
