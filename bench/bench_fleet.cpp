// The polling service for a fleet against simulated meters at the real 3-s
// pace on loopback, without oscillograms, publishing to a real broker. All
// groups run at the same time, so that they share one machine's load:
//   - services polling 1, 10 and 50 meters (one process each),
//   - 10 single-meter pollers (the process-per-meter alternative), the first
//     of which is the baseline.
// Reported: CPU per meter of each against the baseline poller, resident
// memory per meter, and the time from a cycle being whole on the polling
// thread to the broker's delivery of its message to a subscriber.
//
// BENCH_FLEET_SECONDS sets the measured span (300 by default; 30 s of
// warm-up come before it).

#include "catalogue/CatalogueObjects.h"
#include "catalogue/CatalogueTypes.h"
#include "catalogue/ConnectionList.h"
#include "protocol/SimProcess.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <vector>

#include <csignal>
#include <unistd.h>

namespace {

const QString kMqttScript = QStringLiteral(MONITOR_MQTT_SCRIPT);
const QString kPoll = QStringLiteral(MONITOR_POLL_PATH);

QCoreApplication &App()
{
    static int argc = 1;
    static char name[] = "bench_fleet";
    static char *argv[] = {name, nullptr};
    static QCoreApplication *app = new QCoreApplication(argc, argv);
    return *app;
}

int MeasuredSeconds()
{
    const int seconds = qEnvironmentVariableIntValue("BENCH_FLEET_SECONDS");
    return seconds > 0 ? seconds : 300;
}

// CPU seconds (user and system) a process has used so far.
double CpuSeconds(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = file.readAll();
    // the fields after the command's closing parenthesis; utime and stime
    // are the 14th and 15th of the line
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    return double(fields[11].toLongLong() + fields[12].toLongLong()) / double(::sysconf(_SC_CLK_TCK));
}

// Resident memory in MB.
double ResidentMb(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : file.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

std::unique_ptr<TccnConnection> MeterOnPort(quint16 port, qint32 factoryNumber)
{
    auto connection = std::make_unique<TccnConnection>();
    auto device = std::make_unique<TccnM7SQDev>();
    device->FactoryNum = factoryNumber;
    connection->SetCustomDevice(std::move(device));
    connection->SetCustomDeviceProtocol(std::make_unique<TccnTarvelProtocol>());
    auto mode = std::make_unique<TccnDirectTCPIPConMode>();
    mode->TCPIPInterface().IpAddress = QStringLiteral("127.0.0.1");
    mode->TCPIPInterface().IpPort = port;
    connection->SetCustomConMode(std::move(mode));
    return connection;
}

// A process of the run: a service or a poller, its output in a file.
struct TPolled
{
    QString Prefix; // of its topics
    int Meters = 0;
    std::unique_ptr<QProcess> Process;
    double CpuAtStart = 0, CpuAtEnd = 0, RssMb = 0;
    double CpuPerMeter(int seconds) const { return (CpuAtEnd - CpuAtStart) / Meters / seconds; }
};

class TFleetRun
{
public:
    explicit TFleetRun(benchmark::State &state) : state_(state) {}

    ~TFleetRun()
    {
        for (TPolled &polled : polled_)
            Stop(*polled.Process);
        if (subscriber_)
            Stop(*subscriber_);
        if (!brokerDir_.isEmpty())
            QProcess::execute(QStringLiteral("bash"), {kMqttScript, QStringLiteral("stop"), brokerDir_});
    }

    bool StartBroker()
    {
        brokerDir_ = work_.filePath(QStringLiteral("broker"));
        QDir().mkpath(brokerDir_);
        if (QProcess::execute(QStringLiteral("bash"), {kMqttScript, QStringLiteral("start"), brokerDir_}) != 0)
            return false;
        QFile portFile(brokerDir_ + QStringLiteral("/port"));
        brokerPort_ = portFile.open(QIODevice::ReadOnly) ? portFile.readAll().trimmed().toInt() : 0;
        return brokerPort_ > 0;
    }

    bool StartSimulators(int count)
    {
        for (int i = 0; i < count; ++i) {
            sims_.push_back(std::make_unique<testsim::TSimProcess>(QStringList{QStringLiteral("--no-channel-faults")}));
            if (!sims_.back()->Started())
                return false;
        }
        return true;
    }

    void StartSubscriber()
    {
        subscriber_ = std::make_unique<QProcess>();
        subscriber_->setStandardOutputFile(work_.filePath(QStringLiteral("messages.txt")));
        subscriber_->start(QStringLiteral("mosquitto_sub"),
                           {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                            QString::number(brokerPort_), QStringLiteral("-t"), QStringLiteral("+/+/cycle"),
                            QStringLiteral("-F"), QStringLiteral("%U %t %p")});
        subscriber_->waitForStarted();
    }

    // A service polling the next `meters` simulators.
    void StartService(int meters)
    {
        const QString prefix = QStringLiteral("service%1").arg(meters);
        TccnConnectionList list;
        for (int i = 0; i < meters; ++i, ++nextSim_) {
            auto connection = MeterOnPort(sims_[nextSim_]->Port(), 1000 * meters + i);
            list.AddConnection(*connection);
        }
        const QString listFile = work_.filePath(prefix + QStringLiteral(".ccnn"));
        list.SaveToFile(listFile, csfText);
        Start(prefix, meters, {QStringLiteral("--connections"), listFile});
    }

    // A single-meter poller of the next simulator.
    void StartPoller(int index)
    {
        const QString prefix = QStringLiteral("single%1").arg(index);
        const quint16 port = sims_[nextSim_++]->Port();
        Start(prefix, 1,
              {QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral("--factory-number"),
               QString::number(index), QStringLiteral("--log"), work_.filePath(prefix + QStringLiteral(".log"))});
    }

    void Measure(int seconds)
    {
        Wait(30); // settings read, first cycles published
        for (TPolled &polled : polled_)
            polled.CpuAtStart = CpuSeconds(polled.Process->processId());
        measureStart_ = QDateTime::currentDateTimeUtc();
        Wait(seconds);
        for (TPolled &polled : polled_) {
            polled.CpuAtEnd = CpuSeconds(polled.Process->processId());
            polled.RssMb = ResidentMb(polled.Process->processId());
        }
        measureEnd_ = QDateTime::currentDateTimeUtc();
    }

    void Report(int seconds)
    {
        const TPolled &baseline = Find(QStringLiteral("single0"));
        const double base = baseline.CpuPerMeter(seconds);
        state_.counters["poller_cpu_pct"] = 100 * base;
        state_.counters["poller_rss_MB"] = baseline.RssMb;
        double pollersCpu = 0, pollersRss = 0;
        int pollers = 0;
        for (const TPolled &polled : polled_) {
            if (polled.Prefix.startsWith(QLatin1String("single"))) {
                pollersCpu += polled.CpuPerMeter(seconds);
                pollersRss += polled.RssMb;
                ++pollers;
                continue;
            }
            const std::string n = std::to_string(polled.Meters);
            state_.counters["service" + n + "_cpu_pct_per_meter"] = 100 * polled.CpuPerMeter(seconds);
            state_.counters["service" + n + "_cpu_ratio"] = base > 0 ? polled.CpuPerMeter(seconds) / base : 0;
            state_.counters["service" + n + "_rss_MB_per_meter"] = polled.RssMb / polled.Meters;
        }
        state_.counters["process_per_meter_cpu_ratio"] = base > 0 ? pollersCpu / pollers / base : 0;
        state_.counters["process_per_meter_rss_MB_per_meter"] = pollersRss / pollers;
        ReportDelivery();
    }

private:
    void Start(const QString &prefix, int meters, QStringList arguments)
    {
        arguments << QStringLiteral("--no-oscillograms") << QStringLiteral("--mqtt")
                  << QStringLiteral("mqtt://127.0.0.1:%1/%2").arg(brokerPort_).arg(prefix);
        if (!arguments.contains(QStringLiteral("--tcp"))) {
            arguments << QStringLiteral("--log-dir") << work_.filePath(prefix);
            QDir().mkpath(work_.filePath(prefix));
        }
        TPolled polled;
        polled.Prefix = prefix;
        polled.Meters = meters;
        polled.Process = std::make_unique<QProcess>();
        polled.Process->setStandardOutputFile(work_.filePath(prefix + QStringLiteral(".out")));
        polled.Process->setStandardErrorFile(work_.filePath(prefix + QStringLiteral(".err")));
        polled.Process->start(kPoll, arguments);
        polled.Process->waitForStarted();
        polled_.push_back(std::move(polled));
    }

    const TPolled &Find(const QString &prefix) const
    {
        return *std::find_if(polled_.begin(), polled_.end(), [&](const TPolled &p) { return p.Prefix == prefix; });
    }

    static void Wait(int seconds) { QThread::sleep(static_cast<unsigned long>(seconds)); }

    static void Stop(QProcess &process)
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(30000)) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    // Delivery time of every cycle of the 50-meter service within the span:
    // the subscriber's time of receipt against the cycle's PC time stamp.
    void ReportDelivery()
    {
        Stop(*subscriber_);
        QFile file(work_.filePath(QStringLiteral("messages.txt")));
        if (!file.open(QIODevice::ReadOnly))
            return;
        std::vector<double> delaysMs;
        qint64 messages = 0;
        while (!file.atEnd()) {
            const QByteArray line = file.readLine();
            ++messages;
            const QList<QByteArray> parts = line.split(' ');
            if (parts.size() < 3 || !parts[1].startsWith("service50/"))
                continue;
            const double received = parts[0].toDouble();
            const QByteArray payload = line.mid(parts[0].size() + parts[1].size() + 2);
            const QDateTime cycle = QDateTime::fromString(
                QJsonDocument::fromJson(payload).object().value(QLatin1String("pc_time_utc")).toString(),
                Qt::ISODateWithMs);
            if (!cycle.isValid() || cycle < measureStart_ || cycle > measureEnd_)
                continue;
            delaysMs.push_back(received * 1000.0 - double(cycle.toMSecsSinceEpoch()));
        }
        if (delaysMs.empty())
            return;
        std::sort(delaysMs.begin(), delaysMs.end());
        auto at = [&](double q) {
            return delaysMs[std::min(delaysMs.size() - 1, size_t(q * double(delaysMs.size())))];
        };
        state_.counters["messages"] = double(messages);
        state_.counters["service50_cycles"] = double(delaysMs.size());
        state_.counters["delivery_p50_ms"] = at(0.50);
        state_.counters["delivery_p99_ms"] = at(0.99);
        state_.counters["delivery_max_ms"] = delaysMs.back();
    }

    benchmark::State &state_;
    QTemporaryDir work_;
    QString brokerDir_;
    int brokerPort_ = 0;
    std::vector<std::unique_ptr<testsim::TSimProcess>> sims_;
    size_t nextSim_ = 0;
    std::unique_ptr<QProcess> subscriber_;
    std::vector<TPolled> polled_;
    QDateTime measureStart_, measureEnd_;
};

void BM_FleetAtRealPace(benchmark::State &state)
{
    App();
    const int seconds = MeasuredSeconds();
    for (auto _ : state) {
        TFleetRun run(state);
        if (!run.StartBroker()) {
            state.SkipWithError("mosquitto could not be started");
            return;
        }
        constexpr int kPollers = 10;
        if (!run.StartSimulators(1 + 10 + 50 + kPollers)) {
            state.SkipWithError("meter simulator not found");
            return;
        }
        run.StartSubscriber();
        for (int meters : {1, 10, 50})
            run.StartService(meters);
        for (int i = 0; i < kPollers; ++i)
            run.StartPoller(i);
        run.Measure(seconds);
        run.Report(seconds);
    }
}
BENCHMARK(BM_FleetAtRealPace)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
