#pragma once

// Gives up on a database server that stops answering. A server that is gone
// from the network is noticed by the connection's keepalives, but one that
// keeps the TCP connection and never answers (a stalled server, a proxy that
// hangs) would hold the calling thread in libpq for ever. Each statement is
// watched: one that has not come back by its deadline has its action run
// (the connection's socket shut down), and the blocked call returns with an
// error. One thread serves every connection of the process.

#include <QtGlobal>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

class TStatementWatchdog
{
public:
    using TAction = std::function<void()>;

    // The process's watchdog; its thread ends with the last user.
    static std::shared_ptr<TStatementWatchdog> Shared();

    TStatementWatchdog();
    ~TStatementWatchdog();
    TStatementWatchdog(const TStatementWatchdog &) = delete;
    TStatementWatchdog &operator=(const TStatementWatchdog &) = delete;

    quint64 Arm(std::chrono::milliseconds after, TAction action);
    void Disarm(quint64 id);

private:
    using TClock = std::chrono::steady_clock;
    void Loop();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::map<quint64, std::pair<TClock::time_point, TAction>> armed_;
    quint64 lastId_ = 0;
    bool stopping_ = false;
    std::thread thread_;
};

// A statement under watch for as long as this lives; an empty one watches nothing.
class TWatchedStatement
{
public:
    TWatchedStatement() = default;
    TWatchedStatement(std::shared_ptr<TStatementWatchdog> watchdog, std::chrono::milliseconds after,
                      TStatementWatchdog::TAction action)
        : watchdog_(std::move(watchdog)), id_(watchdog_->Arm(after, std::move(action)))
    {}
    ~TWatchedStatement()
    {
        if (watchdog_)
            watchdog_->Disarm(id_);
    }
    TWatchedStatement(TWatchedStatement &&other) noexcept : watchdog_(std::move(other.watchdog_)), id_(other.id_) {}
    TWatchedStatement &operator=(TWatchedStatement &&) = delete;

private:
    std::shared_ptr<TStatementWatchdog> watchdog_;
    quint64 id_ = 0;
};
