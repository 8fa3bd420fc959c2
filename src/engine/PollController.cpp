#include "engine/PollController.h"

#include "common/ProgramLog.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <climits>

#include <linux/futex.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

namespace {

static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t) && std::atomic<uint32_t>::is_always_lock_free);

// Sleeps while `word` holds `expected`, at most `ns` nanoseconds; wakes
// early on FutexWakeAll or a signal (the caller looks again).
void FutexWait(std::atomic<uint32_t> &word, uint32_t expected, qint64 ns)
{
    const timespec timeout{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    ::syscall(SYS_futex, reinterpret_cast<uint32_t *>(&word), FUTEX_WAIT_PRIVATE, expected, &timeout, nullptr, 0);
}

void FutexWakeAll(std::atomic<uint32_t> &word)
{
    ::syscall(SYS_futex, reinterpret_cast<uint32_t *>(&word), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
}

} // namespace

TRequestThreadManager::TRequestThreadManager(const TPollParts &parts) : parts_(parts) {}

TRequestThreadManager::~TRequestThreadManager()
{
    if (RunState() == rsRunning)
        Stop();
    WaitForThread();
}

void TRequestThreadManager::Start()
{
    if (RunState() != rsStopped)
        return;
    // the previous run has said it stopped; let its thread finish unwinding
    WaitForThread();
    {
        std::lock_guard lock(statusMutex_);
        statusText_.clear();
    }
    parts_.Events.ForgetShownStatus();
    severity_ = svInformation;
    SetRunState(rsRunning);
    try {
        thread_ = CreateThread();
    } catch (const std::exception &error) {
        // settings that cannot make a run (a port out of range, say)
        const QString text = QString::fromUtf8(error.what());
        try {
            parts_.Log.Log(text);
        } catch (const std::exception &) {
        }
        ReportStatus(text, svError);
    }
    if (thread_)
        thread_->start();
    else
        SetRunState(rsStopped);
}

void TRequestThreadManager::Stop()
{
    // Only a running run can be asked to stop: a stop that comes after the
    // run ended by itself must not block every later start.
    uint8_t running = rsRunning;
    if (runState_.compare_exchange_strong(running, rsStopRequested) || running == rsStopRequested)
        WakeWaiters();
}

void TRequestThreadManager::StopFromSignalHandler()
{
    uint8_t running = rsRunning;
    runState_.compare_exchange_strong(running, rsStopRequested);
}

void TRequestThreadManager::WakeWaiters()
{
    // A waiter that read the count before this change finds it moved on and
    // does not sleep; one asleep on it is woken.
    stateChanges_.fetch_add(1, std::memory_order_seq_cst);
    FutexWakeAll(stateChanges_);
}

bool TRequestThreadManager::WaitForStop(int ms)
{
    const QDeadlineTimer deadline(std::max(0, ms));
    for (;;) {
        // the count first: a change after this look ends the sleep below
        const uint32_t seen = stateChanges_.load(std::memory_order_seq_cst);
        if (StopRequested())
            return true;
        const qint64 left = deadline.remainingTimeNSecs();
        if (left <= 0)
            return false;
        FutexWait(stateChanges_, seen, left);
    }
}

void TRequestThreadManager::SetRunState(TRunState state)
{
    if (runState_.exchange(state) == state)
        return;
    WakeWaiters();
    if (state == rsStopRequested)
        return;
    emit parts_.Events.RunStateChanged(state);
}

void TRequestThreadManager::ReportStatus(const QString &text, TSeverity severity)
{
    {
        std::lock_guard lock(statusMutex_);
        statusText_ = text;
    }
    severity_ = severity;
    parts_.Events.ShowStatus(text, severity);
}

void TRequestThreadManager::ShowStatus(const QString &text)
{
    parts_.Events.ShowStatus(text, svInformation);
}

void TRequestThreadManager::FirstOscillogramRead()
{
    emit parts_.Events.FirstOscillogram();
}

void TRequestThreadManager::LinkStatisticsChanged(const TLinkStatistics &statistics)
{
    emit parts_.Events.LinkStatisticsChanged(statistics);
}

QString TRequestThreadManager::StatusText() const
{
    std::lock_guard lock(statusMutex_);
    return statusText_;
}

bool TRequestThreadManager::WaitForThread(unsigned long ms)
{
    if (!thread_)
        return true;
    if (!thread_->wait(ms))
        return false;
    thread_.reset();
    return true;
}
