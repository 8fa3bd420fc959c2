#include "SignalWatch.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace {

std::atomic<int> signalCount{0};
std::atomic<int> lastSignal{0};
std::atomic<TSignalWatch::TStopNow> stopInHandler{nullptr};
int wakePipe[2] = {-1, -1};

void OnSignal(int number)
{
    const int savedErrno = errno;
    lastSignal = number;
    if (++signalCount == 1)
        if (const TSignalWatch::TStopNow stop = stopInHandler.load())
            stop();
    // A full pipe already holds a wake-up: the count tells how many came.
    const char wake = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakePipe[1], &wake, 1);
    errno = savedErrno;
}

} // namespace

TSignalWatch::TSignalWatch(TStopNow stopNow, std::function<void()> onFirst, std::function<void(int)> onSecond)
    : stopNow_(stopNow), onFirst_(std::move(onFirst)), onSecond_(std::move(onSecond))
{}

TSignalWatch::~TSignalWatch()
{
    // Whatever comes later stops nothing that is gone.
    stopInHandler = nullptr;
}

bool TSignalWatch::Install()
{
    static_assert(std::atomic<TStopNow>::is_always_lock_free, "the handler reads it");
    if (wakePipe[0] < 0 && ::pipe2(wakePipe, O_NONBLOCK | O_CLOEXEC) != 0) {
        std::perror("raruzor-poll: pipe");
        return false;
    }
    notifier_ = std::make_unique<QSocketNotifier>(wakePipe[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { TakeSignals(); });
    stopInHandler = stopNow_;
    for (const int number : {SIGINT, SIGTERM, SIGHUP})
        std::signal(number, OnSignal);
    return true;
}

bool TSignalWatch::Signalled()
{
    return signalCount.load() > 0;
}

void TSignalWatch::TakeSignals()
{
    char drained[64];
    while (::read(wakePipe[0], drained, sizeof drained) > 0) {
    }
    const int count = signalCount.load();
    if (count == signalsSeen_)
        return;
    signalsSeen_ = count;
    if (count > 1)
        onSecond_(lastSignal.load());
    else
        onFirst_();
}
