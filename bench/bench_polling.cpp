// Polling cycles per second against the meter simulator in fast-clock mode:
// the whole engine (executor, decoder, record, messages, log) next to a
// minimal client that sends the same requests with the same pacing through
// the bare driver and throws the answers away. Both use a meter without
// oscillograms, so a cycle is: date-time requests until the meter clock has
// moved on by 3 s (100 ms apart), then the data request.
//

#include "catalogue/CatalogueObjects.h"
#include "catalogue/ConnectionList.h"
#include "engine/Engine.h"
#include "engine/PollSettings.h"
#include "engine/PollRun.h"
#include "protocol/R5Commands.h"
#include "protocol/SimProcess.h"
#include "support/LoopbackConnection.h"
#include "support/LoopbackRecord.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <memory>

namespace {

void EnsureApplication()
{
    static int argc = 1;
    static char name[] = "bench_polling";
    static char *argv[] = {name, nullptr};
    static std::unique_ptr<QCoreApplication> app;
    if (QCoreApplication::instance() == nullptr)
        app = std::make_unique<QCoreApplication>(argc, argv);
}

void BM_EnginePollingCycle(benchmark::State &state)
{
    EnsureApplication();
    testsim::TSimProcess sim({"--fast-clock", "--no-channel-faults"});
    if (sim.Port() == 0) {
        state.SkipWithError("meter simulator not found (set TARVEL_METER_SIM)");
        return;
    }
    QTemporaryDir dir;
    TObjectsFactoryVD factory;
    TCommons commons(&factory, dir.filePath(QStringLiteral("bench.log")));
    // counted as a window would see them: queued to this thread
    QObject window;
    int cycles = 0;
    QObject::connect(
        &commons.Events(), &TEngineEvents::DataChanged, &window, [&] { ++cycles; }, Qt::QueuedConnection);
    commons.Logger().Open();
    commons.Settings()->SetConnection(testsupport::LoopbackConnection(sim.Port()));
    commons.Start();
    auto waitFor = [&](int count) {
        QDeadlineTimer deadline(30000);
        while (cycles < count && !deadline.hasExpired()) {
            QCoreApplication::sendPostedEvents(&window);
            QThread::msleep(1);
        }
        return cycles >= count;
    };
    if (!waitFor(1)) {
        state.SkipWithError("the engine did not poll");
        return;
    }
    for (auto _ : state) {
        if (!waitFor(cycles + 1)) {
            state.SkipWithError("the engine stopped polling");
            break;
        }
    }
    commons.Stop();
    commons.WaitForThread();
    state.counters["cycles_per_s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EnginePollingCycle)->UseRealTime()->MinTime(5.0)->Unit(benchmark::kMillisecond);

// The same requests and pauses on the bare driver, in a thread of its own
// as the engine's.
class TMinimalClient : public QThread
{
public:
    explicit TMinimalClient(quint16 port) : port_(port) {}
    std::atomic<int> cycles{0};
    std::atomic<bool> stop{false};
    std::atomic<bool> failed{false};

protected:
    void run() override
    {
        auto driver = CreateR5Driver(TR5DriverKind::M7, testsupport::LoopbackRecord(port_));
        driver->SetDeviceNumber(1);
        if (!driver->Channel() || driver->Channel()->Connect() != 0) {
            failed = true;
            return;
        }
        TR5Commands commands(driver.get());
        TR5DataCommand *data = commands.DataCommand();
        data->SetDescriptor({1, 1, 2, 3});
        QDateTime last;
        while (!stop) {
            commands.DateTimeCommand()->Execute();
            if (commands.DateTimeCommand()->ErrorCode() != 0) {
                failed = true;
                return;
            }
            const QDateTime now = commands.DateTimeCommand()->DateTime();
            if (last.isValid() && std::llabs(last.msecsTo(now)) < 2984) {
                QThread::msleep(100);
                continue;
            }
            last = now;
            data->Execute();
            if (data->ErrorCode() != 0) {
                failed = true;
                return;
            }
            ++cycles;
        }
    }

private:
    quint16 port_;
};

void BM_MinimalClientPollingCycle(benchmark::State &state)
{
    EnsureApplication();
    testsim::TSimProcess sim({"--fast-clock", "--no-channel-faults"});
    if (sim.Port() == 0) {
        state.SkipWithError("meter simulator not found (set TARVEL_METER_SIM)");
        return;
    }
    TMinimalClient client(sim.Port());
    client.start();
    auto waitFor = [&](int cycles) {
        QDeadlineTimer deadline(30000);
        while (client.cycles < cycles && !client.failed && !deadline.hasExpired())
            QThread::msleep(1);
        return client.cycles >= cycles;
    };
    if (!waitFor(1)) {
        state.SkipWithError("the minimal client did not poll");
    } else {
        for (auto _ : state) {
            if (!waitFor(client.cycles + 1)) {
                state.SkipWithError("the minimal client stopped polling");
                break;
            }
        }
    }
    client.stop = true;
    client.wait();
    state.counters["cycles_per_s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MinimalClientPollingCycle)->UseRealTime()->MinTime(5.0)->Unit(benchmark::kMillisecond);

} // namespace
