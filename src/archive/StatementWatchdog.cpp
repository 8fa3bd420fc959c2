#include "archive/StatementWatchdog.h"

#include <algorithm>
#include <vector>

std::shared_ptr<TStatementWatchdog> TStatementWatchdog::Shared()
{
    static std::mutex mutex;
    static std::weak_ptr<TStatementWatchdog> shared;
    std::lock_guard lock(mutex);
    std::shared_ptr<TStatementWatchdog> watchdog = shared.lock();
    if (!watchdog) {
        watchdog = std::make_shared<TStatementWatchdog>();
        shared = watchdog;
    }
    return watchdog;
}

TStatementWatchdog::TStatementWatchdog() : thread_([this] { Loop(); }) {}

TStatementWatchdog::~TStatementWatchdog()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

quint64 TStatementWatchdog::Arm(std::chrono::milliseconds after, TAction action)
{
    const auto deadline = TClock::now() + after;
    std::lock_guard lock(mutex_);
    // The thread sleeps until the earliest deadline; a later one needs no wake-up.
    const bool earliest =
        std::all_of(armed_.begin(), armed_.end(), [&](const auto &armed) { return deadline < armed.second.first; });
    const quint64 id = ++lastId_;
    armed_.emplace(id, std::pair{deadline, std::move(action)});
    if (earliest)
        wake_.notify_all();
    return id;
}

void TStatementWatchdog::Disarm(quint64 id)
{
    std::lock_guard lock(mutex_);
    armed_.erase(id);
}

void TStatementWatchdog::Loop()
{
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        auto earliest = TClock::time_point::max();
        for (const auto &[id, armed] : armed_)
            earliest = std::min(earliest, armed.first);
        if (earliest == TClock::time_point::max())
            wake_.wait(lock);
        else
            wake_.wait_until(lock, earliest);

        std::vector<TAction> due;
        const auto now = TClock::now();
        for (auto it = armed_.begin(); it != armed_.end();) {
            if (it->second.first <= now) {
                due.push_back(std::move(it->second.second));
                it = armed_.erase(it);
            } else {
                ++it;
            }
        }
        lock.unlock();
        for (const TAction &action : due)
            action();
        lock.lock();
    }
}
