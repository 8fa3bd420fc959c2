#pragma once

// The polling manager: the run state shared by the window and the polling
// thread, the last status report, and the start of a polling run.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QThread>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

class TCommons;

enum TRunState : uint8_t {
    rsRunning = 0,
    rsStopped = 1,
    rsStopRequested = 2,
};

enum TSeverity : uint8_t {
    svInformation = 0,
    svWarning = 1,
    svError = 2,
};

// One polling run on a thread of its own.
class TRequestThread : public QThread
{
public:
    explicit TRequestThread(TCommons &commons) : commons_(commons) {}

protected:
    TCommons &commons_;
};

class TRequestThreadManager
{
public:
    explicit TRequestThreadManager(TCommons &commons);
    virtual ~TRequestThreadManager();

    TRequestThreadManager(const TRequestThreadManager &) = delete;
    TRequestThreadManager &operator=(const TRequestThreadManager &) = delete;

    // Starts a polling run, only from the stopped state.
    virtual void Start();
    // Asks the running thread to stop; it finishes the exchange in progress.
    void Stop();
    void SetRunState(TRunState state);
    TRunState RunState() const { return TRunState(runState_.load()); }
    bool StopRequested() const { return RunState() != rsRunning; }

    // Every status or error text of the engine passes here: stored, then
    // shown in the window's status line.
    void ReportStatus(const QString &text, TSeverity severity);
    QString StatusText() const;
    TSeverity Severity() const { return TSeverity(severity_.load()); }
    int PostError() const { return postError_.load(); }

    bool SaveOscillograms() const { return saveOscillograms_.load(); }
    void SetSaveOscillograms(bool save) { saveOscillograms_ = save; }
    uint8_t OscPeriods() const { return oscPeriods_.load(); }
    void SetOscPeriods(uint8_t periods) { oscPeriods_ = periods; }

    // Waits until the thread of the last run has ended; true when it has.
    bool WaitForThread(unsigned long ms = ULONG_MAX);

protected:
    virtual std::unique_ptr<TRequestThread> CreateThread() = 0;
    TCommons &commons_;

private:
    std::atomic<uint8_t> runState_{rsStopped};
    std::atomic<uint8_t> severity_{svInformation};
    std::atomic<int> postError_{0};
    std::atomic<bool> saveOscillograms_{false};
    std::atomic<uint8_t> oscPeriods_{2};
    mutable std::mutex statusMutex_;
    QString statusText_;
    // The thread of the last run; reaped at the next start or at the end.
    std::unique_ptr<TRequestThread> thread_;
};
