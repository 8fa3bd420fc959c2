// CPU per request against the meter simulator in fast-clock mode:
//   - the baseline: a minimal client on a plain blocking socket (send/recv,
//     no Qt) sending the engine's request frames and reading each answer
//     whole, paced like the engine (a date-time request every 100 ms until
//     the meter clock has moved on by 3 s, then the data request);
//   - the driver and its commands over the TCP channel, the same sequence;
//   - the whole polling run (engine thread, record, log, status and
//     statistics queued to this thread's event loop, as the headless poller
//     follows it);
//   - the polling run and the baseline side by side in one process, each
//     against a simulator of its own, so that both meet the same machine
//     (the headline figure: its x_baseline).
// Each iteration is one polling cycle. cpu_time is the process CPU (all
// threads, the simulator excluded: it is a child process); us_per_request is
// the process CPU over the requests sent, and x_baseline its ratio to the
// baseline (for the separate benchmarks: the median of the baseline's
// repetitions at the same clock step earlier in this run).
// The argument is the simulator's clock step: 1 s (pauses between date-time
// requests, as a real meter) or 3 s (every reading starts a cycle: the work
// per request without the pacing, but very sensitive to the machine's load).
// Idle wake-ups cost tens of microseconds on a virtual machine, and what
// else runs there moves every figure: compare runs with
// --benchmark_repetitions=5 and their medians.

#include "catalogue/CatalogueObjects.h"
#include "catalogue/ConnectionList.h"
#include "engine/Engine.h"
#include "engine/MeterClock.h"
#include "engine/PollRun.h"
#include "engine/PollSettings.h"
#include "protocol/R5Commands.h"
#include "protocol/SimProcess.h"
#include "support/LoopbackConnection.h"
#include "support/LoopbackRecord.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <arpa/inet.h>
#include <chrono>
#include <ctime>
#include <map>
#include <memory>
#include <netinet/in.h>
#include <pthread.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kMeterTimePollMs = 100;

void EnsureApplication()
{
    static int argc = 1;
    static char name[] = "bench_request_cpu";
    static char *argv[] = {name, nullptr};
    // never destroyed: it must outlive the benchmark library's own statics
    if (QCoreApplication::instance() == nullptr)
        new QCoreApplication(argc, argv);
}

QStringList SimArguments(int clockStep)
{
    return {"--fast-clock", "--clock-step", QString::number(clockStep), "--no-channel-faults"};
}

double CpuUs(clockid_t clock)
{
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) * 1e6 + double(t.tv_nsec) / 1e3;
}

double ProcessCpuUs()
{
    return CpuUs(CLOCK_PROCESS_CPUTIME_ID);
}

// The CPU clock of this process's thread named `name` (the polling thread is
// a QThread), or the process clock when there is none.
clockid_t ThreadClockNamed(const QByteArray &name)
{
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(tid + QStringLiteral("/comm")));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == name)
            return clockid_t((~clockid_t(tid.toInt()) << 3) | 6); // the kernel's per-thread CPU clock
    }
    return CLOCK_PROCESS_CPUTIME_ID;
}

// Baseline figures by clock step, for the ratios of the benchmarks after it.
std::map<int, std::vector<double>> &BaselineUsPerRequest()
{
    static std::map<int, std::vector<double>> figures;
    return figures;
}

void Report(benchmark::State &state, int clockStep, double cpuUs, quint64 requests, bool baseline)
{
    if (requests == 0)
        return;
    const double perRequest = cpuUs / double(requests);
    state.counters["requests"] = benchmark::Counter(double(requests), benchmark::Counter::kAvgIterations);
    state.counters["us_per_request"] = perRequest;
    auto &figures = BaselineUsPerRequest()[clockStep];
    if (baseline) {
        figures.push_back(perRequest);
    } else if (!figures.empty()) {
        std::vector<double> sorted = figures;
        std::sort(sorted.begin(), sorted.end());
        state.counters["x_baseline"] = perRequest / sorted[sorted.size() / 2];
    }
}

// The frames the engine sends: its driver builds them.
struct TRequestFrames
{
    QByteArray DateTime;
    QByteArray Data;
};

TRequestFrames EngineFrames()
{
    TM7 driver(testsupport::LoopbackRecord(1));
    driver.SetDeviceNumber(1);
    auto frame = [&](quint8 cmd, quint8 cmd1, quint8 iType, quint8 iCount) {
        const R5Frame::THeader h = driver.BuildHeader(0, cmd, cmd1, iType, iCount, R5Frame::kStartTime, 1);
        return QByteArray(reinterpret_cast<const char *>(h.data()), qsizetype(h.size()));
    };
    return {frame(R5Frame::kCmdService, R5Frame::kCmd1DateTime, 1, 1),
            frame(R5Frame::kCmdMeasurements, R5Frame::kCmd1Data, 0x02, 3)};
}

// --- the baseline: blocking send/recv on a plain socket ---

class TBlockingClient
{
public:
    explicit TBlockingClient(quint16 port)
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        if (fd_ < 0)
            return;
        timeval timeout{5, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~TBlockingClient()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    TBlockingClient(const TBlockingClient &) = delete;
    TBlockingClient &operator=(const TBlockingClient &) = delete;

    bool Connected() const { return fd_ >= 0; }

    // Sends the frame and reads its answer whole (header, data, checksum)
    // into `answer`; false on any failure.
    bool Exchange(const QByteArray &frame, std::vector<quint8> &answer)
    {
        if (!SendAll(frame.constData(), std::size_t(frame.size())))
            return false;
        answer.resize(R5Frame::kFieldsSize);
        if (!RecvAll(answer.data(), R5Frame::kFieldsSize))
            return false;
        const std::size_t dataLength = answer[R5Frame::kOffDataLength] | answer[R5Frame::kOffDataLength + 1] << 8;
        answer.resize(R5Frame::kFieldsSize + dataLength + 1);
        return RecvAll(answer.data() + R5Frame::kFieldsSize, dataLength + 1);
    }

private:
    bool SendAll(const char *data, std::size_t size)
    {
        while (size > 0) {
            const ssize_t n = ::send(fd_, data, size, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            data += n;
            size -= std::size_t(n);
        }
        return true;
    }
    bool RecvAll(quint8 *data, std::size_t size)
    {
        while (size > 0) {
            const ssize_t n = ::recv(fd_, data, size, 0);
            if (n <= 0)
                return false;
            data += n;
            size -= std::size_t(n);
        }
        return true;
    }

    int fd_ = -1;
};

// Seconds of the meter clock in a date-time answer's data (day, month,
// year - 2000, hour, minute, second).
std::int64_t MeterSeconds(const quint8 *data)
{
    using namespace std::chrono;
    const year_month_day date{year(2000 + data[2]), month(data[1]), day(data[0])};
    return sys_days(date).time_since_epoch().count() * 86400LL + data[3] * 3600 + data[4] * 60 + data[5];
}

// The baseline's polling cycle: date-time requests until the meter clock has
// moved on by 3 s (100 ms apart), then the data request.
class TBaselinePoller
{
public:
    explicit TBaselinePoller(quint16 port) : client_(port) {}

    bool Connected() const { return client_.Connected(); }
    quint64 Requests() const { return requests_.load(std::memory_order_relaxed); }

    bool Cycle()
    {
        for (;;) {
            requests_.fetch_add(1, std::memory_order_relaxed);
            if (!client_.Exchange(frames_.DateTime, answer_) || answer_.size() < R5Frame::kFieldsSize + 6)
                return false;
            const std::int64_t now = MeterSeconds(answer_.data() + R5Frame::kFieldsSize);
            if (last_ == 0 || std::llabs(now - last_) * 1000 >= TTimeIntervalVerifier::kMinIntervalMs) {
                last_ = now;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(kMeterTimePollMs));
        }
        requests_.fetch_add(1, std::memory_order_relaxed);
        return client_.Exchange(frames_.Data, answer_) && answer_.size() > R5Frame::kFieldsSize + 1000;
    }

private:
    TBlockingClient client_;
    const TRequestFrames frames_ = EngineFrames();
    std::vector<quint8> answer_;
    std::int64_t last_ = 0;
    std::atomic<quint64> requests_{0};
};

void BM_BlockingClient(benchmark::State &state)
{
    const int clockStep = int(state.range(0));
    testsim::TSimProcess sim(SimArguments(clockStep));
    if (sim.Port() == 0) {
        state.SkipWithError("meter simulator not found");
        return;
    }
    TBaselinePoller poller(sim.Port());
    if (!poller.Connected() || !poller.Cycle()) {
        state.SkipWithError("the simulator did not answer");
        return;
    }
    const quint64 before = poller.Requests();
    const double start = ProcessCpuUs();
    for (auto _ : state) {
        if (!poller.Cycle()) {
            state.SkipWithError("the simulator stopped answering");
            return;
        }
    }
    Report(state, clockStep, ProcessCpuUs() - start, poller.Requests() - before, true);
}

// --- the driver and its commands over the TCP channel ---

void BM_DriverCommands(benchmark::State &state)
{
    EnsureApplication();
    const int clockStep = int(state.range(0));
    testsim::TSimProcess sim(SimArguments(clockStep));
    if (sim.Port() == 0) {
        state.SkipWithError("meter simulator not found");
        return;
    }
    auto driver = CreateR5Driver(TR5DriverKind::M7, testsupport::LoopbackRecord(sim.Port()));
    driver->SetDeviceNumber(1);
    if (!driver->Channel() || driver->Channel()->Connect() != 0) {
        state.SkipWithError("cannot connect to the simulator");
        return;
    }
    TR5Commands commands(driver.get());
    TR5DataCommand *data = commands.DataCommand();
    data->SetDescriptor({R5Frame::kCmdMeasurements, R5Frame::kCmd1Data, 0x02, 3});
    TR5DateTimeInfoCommand *dateTime = commands.DateTimeCommand();
    TTimeIntervalVerifier verifier;
    auto cycle = [&] {
        for (;;) {
            dateTime->Execute();
            if (dateTime->ErrorCode() != 0)
                return false;
            if (verifier.AcceptMeterTime(dateTime->DateTime()))
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(kMeterTimePollMs));
        }
        data->Execute();
        return data->ErrorCode() == 0;
    };
    if (!cycle()) {
        state.SkipWithError("the simulator did not answer");
        return;
    }
    const quint64 before = driver->Counters().Exchanges;
    const double start = ProcessCpuUs();
    for (auto _ : state) {
        if (!cycle()) {
            state.SkipWithError("the simulator stopped answering");
            return;
        }
    }
    Report(state, clockStep, ProcessCpuUs() - start, driver->Counters().Exchanges - before, false);
    driver->Channel()->Disconnect();
}

// --- the whole polling run ---

// The engine polling the simulator at `port`, followed as the headless
// poller follows it: status, statistics and run state queued to this thread.
class TFollowedEngine
{
public:
    explicit TFollowedEngine(quint16 port) : commons_(&factory_, dir_.filePath(QStringLiteral("bench.log")))
    {
        TEngineEvents &events = commons_.Events();
        QObject::connect(
            &events, &TEngineEvents::StatusChanged, &follower_, [this] { ++statusTexts_; }, Qt::QueuedConnection);
        QObject::connect(
            &events, &TEngineEvents::LinkStatisticsChanged, &follower_,
            [this](const TLinkStatistics &s) { statistics_ = s; }, Qt::QueuedConnection);
        QObject::connect(
            &events, &TEngineEvents::RunStateChanged, &follower_,
            [this] { stopped_ = commons_.RunState() == rsStopped; }, Qt::QueuedConnection);
        // started once: restarting a timer every cycle would be work of the
        // benchmark's own counted on the engine's side
        QObject::connect(&watchdog_, &QTimer::timeout, [this] {
            idleTicks_ = statistics_.Cycles == cyclesAtTick_ ? idleTicks_ + 1 : 0;
            cyclesAtTick_ = statistics_.Cycles;
            timedOut_ = idleTicks_ >= 6;
        });
        watchdog_.start(5000);
        commons_.Logger().Open();
        commons_.Settings()->SetConnection(testsupport::LoopbackConnection(port));
        commons_.Start();
    }
    ~TFollowedEngine()
    {
        commons_.Stop();
        commons_.WaitForThread();
    }

    // Runs this thread's event loop until the engine has completed `cycle`
    // cycles; false when it stopped or some 30 s passed without a cycle.
    bool WaitForCycle(quint64 cycle)
    {
        while (statistics_.Cycles < cycle && !stopped_ && !timedOut_)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return statistics_.Cycles >= cycle;
    }
    const TLinkStatistics &Statistics() const { return statistics_; }
    int StatusTexts() const { return statusTexts_; }

private:
    QTemporaryDir dir_;
    TObjectsFactoryVD factory_;
    TCommons commons_;
    QObject follower_;
    QTimer watchdog_;
    TLinkStatistics statistics_;
    int statusTexts_ = 0;
    quint64 cyclesAtTick_ = 0;
    int idleTicks_ = 0;
    bool stopped_ = false;
    bool timedOut_ = false;
};

void BM_PollingRun(benchmark::State &state)
{
    EnsureApplication();
    const int clockStep = int(state.range(0));
    testsim::TSimProcess sim(SimArguments(clockStep));
    if (sim.Port() == 0) {
        state.SkipWithError("meter simulator not found");
        return;
    }
    TFollowedEngine engine(sim.Port());
    if (!engine.WaitForCycle(1)) {
        state.SkipWithError("the engine did not poll");
        return;
    }
    const quint64 before = engine.Statistics().Line.Exchanges;
    const double start = ProcessCpuUs();
    const double startHere = CpuUs(CLOCK_THREAD_CPUTIME_ID);
    for (auto _ : state) {
        if (!engine.WaitForCycle(engine.Statistics().Cycles + 1)) {
            state.SkipWithError("the engine stopped polling");
            return;
        }
    }
    const quint64 requests = engine.Statistics().Line.Exchanges - before;
    Report(state, clockStep, ProcessCpuUs() - start, requests, false);
    // what following the run costs this thread (the window's or the poller's)
    if (requests > 0)
        state.counters["follower_us_per_request"] = (CpuUs(CLOCK_THREAD_CPUTIME_ID) - startHere) / double(requests);
    state.counters["status_texts"] = engine.StatusTexts();
}

// The engine and the baseline at the same time, each against a simulator of
// its own, so that both meet the same machine: the baseline runs in a thread
// of its own whose CPU clock is read apart; the rest of the process's CPU is
// the engine's (its polling thread and this thread following it).
void BM_PollingRunBesideBlockingClient(benchmark::State &state)
{
    EnsureApplication();
    const int clockStep = int(state.range(0));
    testsim::TSimProcess engineSim(SimArguments(clockStep));
    testsim::TSimProcess baselineSim(SimArguments(clockStep));
    if (engineSim.Port() == 0 || baselineSim.Port() == 0) {
        state.SkipWithError("meter simulator not found");
        return;
    }
    TBaselinePoller baseline(baselineSim.Port());
    if (!baseline.Connected()) {
        state.SkipWithError("cannot connect to the simulator");
        return;
    }
    std::atomic<bool> stop{false};
    std::atomic<bool> failed{false};
    std::thread baselineThread([&] {
        while (!stop && !failed)
            failed = !baseline.Cycle();
    });
    clockid_t baselineClock{};
    pthread_getcpuclockid(baselineThread.native_handle(), &baselineClock);
    {
        TFollowedEngine engine(engineSim.Port());
        if (!engine.WaitForCycle(1)) {
            state.SkipWithError("the engine did not poll");
        } else {
            const quint64 engineBefore = engine.Statistics().Line.Exchanges;
            const quint64 baselineBefore = baseline.Requests();
            const clockid_t pollingClock = ThreadClockNamed("QThread");
            const double processStart = ProcessCpuUs();
            const double baselineStart = CpuUs(baselineClock);
            const double pollingStart = CpuUs(pollingClock);
            for (auto _ : state) {
                if (failed || !engine.WaitForCycle(engine.Statistics().Cycles + 1)) {
                    state.SkipWithError(failed ? "the baseline stopped" : "the engine stopped polling");
                    break;
                }
            }
            const double baselineUs = CpuUs(baselineClock) - baselineStart;
            const double pollingUs = CpuUs(pollingClock) - pollingStart;
            const double engineUs = ProcessCpuUs() - processStart - baselineUs;
            const quint64 engineRequests = engine.Statistics().Line.Exchanges - engineBefore;
            const quint64 baselineRequests = baseline.Requests() - baselineBefore;
            if (engineRequests > 0 && baselineRequests > 0) {
                const double enginePerRequest = engineUs / double(engineRequests);
                const double baselinePerRequest = baselineUs / double(baselineRequests);
                state.counters["engine_us_per_request"] = enginePerRequest;
                state.counters["baseline_us_per_request"] = baselinePerRequest;
                state.counters["x_baseline"] = enginePerRequest / baselinePerRequest;
                // the polling thread's part; the rest is the thread following the run
                state.counters["polling_us_per_request"] = pollingUs / double(engineRequests);
            }
        }
    }
    stop = true;
    baselineThread.join();
}

// Registered in this order: the baseline first, for the ratios. Side by side
// only at the 1 s step: at the 3 s step the two request loops and their
// simulators compete for the cores, and the figures say more about that.
#define REQUEST_CPU_BENCHMARK(function)                                                                                \
    BENCHMARK(function)->Arg(3)->Iterations(300)->MeasureProcessCPUTime()->UseRealTime()->Unit(                        \
        benchmark::kMicrosecond);                                                                                      \
    BENCHMARK(function)->Arg(1)->Iterations(40)->MeasureProcessCPUTime()->UseRealTime()->Unit(benchmark::kMillisecond)

REQUEST_CPU_BENCHMARK(BM_BlockingClient);
REQUEST_CPU_BENCHMARK(BM_DriverCommands);
REQUEST_CPU_BENCHMARK(BM_PollingRun);
BENCHMARK(BM_PollingRunBesideBlockingClient)
    ->Arg(1)
    ->Iterations(40)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
