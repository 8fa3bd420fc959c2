#include "engine/PollController.h"

#include "common/ProgramLog.h"

#include <algorithm>
#include <chrono>

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
    // Taken so that a waiter between its test and its wait cannot miss this.
    {
        std::lock_guard lock(stateMutex_);
    }
    stateChanged_.notify_all();
}

bool TRequestThreadManager::WaitForStop(int ms)
{
    std::unique_lock lock(stateMutex_);
    return stateChanged_.wait_for(lock, std::chrono::milliseconds(std::max(0, ms)), [this] { return StopRequested(); });
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
