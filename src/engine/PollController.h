#pragma once

// The polling manager: the run state shared by the engine's users and the
// polling thread, the last status report, and the start of a polling run.
// The holder hands it what a run works with; it hands the run itself as the
// run's host.

#include "engine/EngineEvents.h"

#include <QString>
#include <QThread>
#include <atomic>
#include <climits>
#include <cstdint>
#include <memory>
#include <mutex>

class TConnectionSettings;
class TCycleSink;
class TDataStorageManager;
class TMonitorR5Logger;

// What a polling run asks of whoever started it.
class TPollHost
{
public:
    virtual ~TPollHost() = default;

    virtual bool StopRequested() const = 0;
    // Waits up to `ms` milliseconds, or until a stop is asked for; true when
    // it has been. One wait, not a poll: a pause costs a single wake-up.
    virtual bool WaitForStop(int ms) = 0;
    // Stored as the run's status, then shown.
    virtual void ReportStatus(const QString &text, TSeverity severity) = 0;
    // Shown only: the run's stored status and severity stay as they were.
    virtual void ShowStatus(const QString &text) = 0;
    virtual TSeverity Severity() const = 0;
    virtual void SetRunState(TRunState state) = 0;
    virtual void FirstOscillogramRead() = 0;
    virtual void LinkStatisticsChanged(const TLinkStatistics &statistics) = 0;
    virtual bool SaveOscillograms() const = 0;
    // False: the run asks for no oscillograms at all (a server that keeps
    // only the cycles saves the meter and the link the download).
    virtual bool ReadOscillograms() const = 0;
    virtual uint8_t OscPeriods() const = 0;
    // Told of each whole cycle; null when nobody keeps them.
    virtual TCycleSink *CycleSink() const = 0;
};

// One polling run on a thread of its own.
class TRequestThread : public QThread
{};

// The objects a run works with; the holder owns them all and outlives the
// manager.
struct TPollParts
{
    // Copied by each run at its start.
    const TConnectionSettings &Settings;
    TDataStorageManager &Store;
    TMonitorR5Logger &Log;
    TEngineEvents &Events;
};

class TRequestThreadManager : public TPollHost
{
public:
    explicit TRequestThreadManager(const TPollParts &parts);
    ~TRequestThreadManager() override;

    TRequestThreadManager(const TRequestThreadManager &) = delete;
    TRequestThreadManager &operator=(const TRequestThreadManager &) = delete;

    // Starts a polling run, only from the stopped state.
    virtual void Start();
    // Asks the running thread to stop; it finishes the exchange in progress.
    // Also wakes the run's pauses after a stop asked from a signal handler.
    void Stop();
    // Only the run state, lock-free: safe in a signal handler. The run sees it
    // at its next step; its pauses end at the next Stop().
    void StopFromSignalHandler();
    void SetRunState(TRunState state) override;
    TRunState RunState() const { return TRunState(runState_.load()); }
    bool StopRequested() const override { return RunState() != rsRunning; }
    bool WaitForStop(int ms) override;

    // Every status or error text of the engine passes here: stored, then
    // shown in the status line.
    void ReportStatus(const QString &text, TSeverity severity) override;
    void ShowStatus(const QString &text) override;
    QString StatusText() const;
    TSeverity Severity() const override { return TSeverity(severity_.load()); }
    void FirstOscillogramRead() override;
    void LinkStatisticsChanged(const TLinkStatistics &statistics) override;

    bool SaveOscillograms() const override { return saveOscillograms_.load(); }
    void SetSaveOscillograms(bool save) { saveOscillograms_ = save; }
    bool ReadOscillograms() const override { return readOscillograms_.load(); }
    void SetReadOscillograms(bool read) { readOscillograms_ = read; }
    uint8_t OscPeriods() const override { return oscPeriods_.load(); }
    void SetOscPeriods(uint8_t periods) { oscPeriods_ = periods; }
    TCycleSink *CycleSink() const override { return cycleSink_.load(); }
    // Taken by each run at its start; the sink outlives the runs.
    void SetCycleSink(TCycleSink *sink) { cycleSink_ = sink; }

    // The factory number of the device of the last started run (file
    // names); 0 before the first.
    int32_t LastDeviceNumber() const { return lastDeviceNumber_.load(); }

    // Waits until the thread of the last run has ended; true when it has.
    bool WaitForThread(unsigned long ms = ULONG_MAX);

protected:
    virtual std::unique_ptr<TRequestThread> CreateThread() = 0;
    void SetLastDeviceNumber(int32_t number) { lastDeviceNumber_ = number; }

    TPollParts parts_;

private:
    void WakeWaiters();

    std::atomic<uint8_t> runState_{rsStopped};
    std::atomic<uint8_t> severity_{svInformation};
    std::atomic<bool> saveOscillograms_{false};
    std::atomic<bool> readOscillograms_{true};
    std::atomic<uint8_t> oscPeriods_{2};
    std::atomic<int32_t> lastDeviceNumber_{0};
    std::atomic<TCycleSink *> cycleSink_{nullptr};
    // Moves on with every change of the run state; a polling thread in
    // WaitForStop sleeps on it (a futex: a timed-out pause is one system
    // call, where a condition variable's takes a second to release its mutex).
    std::atomic<uint32_t> stateChanges_{0};
    mutable std::mutex statusMutex_;
    QString statusText_;
    // The thread of the last run; reaped at the next start or at the end.
    std::unique_ptr<TRequestThread> thread_;
};
