#pragma once

// Ctrl+C, kill or a closed terminal (SIGINT, SIGTERM, SIGHUP): the first
// signal stops the polling, the second ends the poller at once.
//
// A signal handler may do little. On the first signal it calls `stopNow`,
// which must be safe there (stores to lock-free atomics: the engines' run
// states), so that the polling stops even while busy polling threads keep
// the main thread from its turn; then it wakes the event loop through a
// pipe, where `onFirst` or `onSecond` does the rest. One watch per process.

#include <QSocketNotifier>
#include <functional>
#include <memory>

class TSignalWatch
{
public:
    using TStopNow = void (*)();

    TSignalWatch(TStopNow stopNow, std::function<void()> onFirst, std::function<void(int signal)> onSecond);
    ~TSignalWatch();
    TSignalWatch(const TSignalWatch &) = delete;
    TSignalWatch &operator=(const TSignalWatch &) = delete;

    // Installs the handlers; false (and a message) when the wake-up pipe
    // cannot be made.
    bool Install();

    // True once a signal came, even before the event loop has taken it.
    static bool Signalled();

private:
    void TakeSignals();

    TStopNow stopNow_;
    std::function<void()> onFirst_;
    std::function<void(int)> onSecond_;
    std::unique_ptr<QSocketNotifier> notifier_;
    int signalsSeen_ = 0;
};
