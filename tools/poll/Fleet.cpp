#include "Fleet.h"

#include "MeterRun.h"
#include "PollOptions.h"
#include "PollOutput.h"
#include "SignalWatch.h"

#include "archive/ArchiveDatabase.h"
#include "catalogue/CatalogueDevices.h"
#include "catalogue/CatalogueObjects.h"
#include "catalogue/ConnectionList.h"
#include "engine/PollRun.h"
#include "mqtt/MqttTarget.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QSet>
#include <QTimer>
#include <atomic>
#include <cstdlib>
#include <map>
#include <vector>

namespace {

// The engines a signal stops (from the handler: with 20 polling threads busy
// the main thread may get its turn late). Set before the handler is
// installed and kept until the end.
TCommons *const *stopList = nullptr;
std::atomic<size_t> stopCount{0};

void StopAllFromSignalHandler()
{
    for (size_t i = 0; i < stopCount.load(); ++i)
        stopList[i]->StopFromSignalHandler();
}

// The chosen connections of the list, or false with the reason.
bool LoadConnections(const TPollOptions &options, std::vector<std::shared_ptr<TccnConnection>> &connections,
                     QString &error)
{
    TccnConnectionList list;
    try {
        list.LoadFromFile(options.Connections, csfAny);
    } catch (const std::exception &failure) {
        error = QStringLiteral("%1: %2").arg(options.Connections, QString::fromUtf8(failure.what()));
        return false;
    }
    std::vector<TccnConnection *> chosen;
    if (options.Ids.isEmpty()) {
        for (int i = 0; i < list.Count(); ++i)
            chosen.push_back(list.Items(i));
    } else {
        for (const int id : options.Ids) {
            TccnConnection *connection = list.FindByConID(id);
            if (!connection) {
                error = QStringLiteral("--ids: %1 has no connection with ID %2").arg(options.Connections).arg(id);
                return false;
            }
            chosen.push_back(connection);
        }
    }
    QSet<QString> meters;
    for (TccnConnection *connection : chosen) {
        const TccnCustomDevice *device = connection->CustomDevice();
        if (!device || !IsSupportedDeviceType(device->DeviceType())) {
            const QString text =
                QStringLiteral("connection %1 is of no meter the monitor polls").arg(connection->ConID);
            if (!options.Ids.isEmpty()) {
                error = QStringLiteral("--ids: ") + text;
                return false;
            }
            Print(text + QStringLiteral(": left out"));
            continue;
        }
        // Two connections to one meter would write one archive row and one log.
        const QString meter = QStringLiteral("%1-%2").arg(device->DeviceType()).arg(device->FactoryNum);
        if (meters.contains(meter)) {
            error = QStringLiteral("%1: connection %2 names a meter another connection names already")
                        .arg(options.Connections)
                        .arg(connection->ConID);
            return false;
        }
        meters.insert(meter);
        auto copy = std::shared_ptr<TccnConnection>(connection->Clone());
        if (options.Given(QStringLiteral("--attempts")))
            if (auto *protocol = dynamic_cast<TccnTarvelProtocol *>(copy->CustomDeviceProtocol()))
                protocol->MaxAttemptCount = options.Attempts;
        connections.push_back(std::move(copy));
    }
    if (connections.empty()) {
        error = QStringLiteral("%1: no connection to poll").arg(options.Connections);
        return false;
    }
    return true;
}

// Meters behind one serial port: one run at a time, each for one cycle.
struct TPortGroup
{
    std::vector<TMeterRun *> Members;
    size_t Next = 0;
    QTimer Wait; // until the earliest back-off of them all is over
};

class TSupervisor : public QObject
{
public:
    explicit TSupervisor(std::vector<std::unique_ptr<TMeterRun>> &runs) : runs_(runs)
    {
        std::map<QString, std::vector<TMeterRun *>> byPort;
        for (auto &run : runs_) {
            run->Ended = [this](TMeterRun &ended, bool fault) { OnEnded(ended, fault); };
            if (!run->Port().isEmpty())
                byPort[PortKey(run->Port())].push_back(run.get());
        }
        for (auto &[port, members] : byPort) {
            if (members.size() < 2)
                continue;
            auto group = std::make_unique<TPortGroup>();
            group->Members = members;
            group->Wait.setSingleShot(true);
            connect(&group->Wait, &QTimer::timeout, this, [this, g = group.get()] { StartNext(*g); });
            for (TMeterRun *member : members)
                groupOf_[member] = group.get();
            Print(QStringLiteral("Порт %1: %2 приборов опрашиваются по очереди").arg(port).arg(members.size()));
            groups_.push_back(std::move(group));
        }
    }

    void Start()
    {
        for (auto &run : runs_)
            if (!groupOf_.count(run.get()))
                run->Start(false);
        for (auto &group : groups_)
            StartNext(*group);
    }

    // Every run finishes its exchange and stops; nothing starts again.
    void StopAll()
    {
        stopping_ = true;
        for (auto &group : groups_)
            group->Wait.stop();
        for (auto &run : runs_)
            run->Stop();
        ExitWhenAllStopped();
    }

private:
    // One device under two names (a symbolic link) is one port.
    static QString PortKey(const QString &port)
    {
        const QString canonical = QFileInfo(port).canonicalFilePath();
        return canonical.isEmpty() ? port : canonical;
    }

    void OnEnded(TMeterRun &run, bool fault)
    {
        // The signal handler may have stopped the run before the event loop
        // has taken the signal: no fault, and nothing starts again.
        if (stopping_ || TSignalWatch::Signalled()) {
            ExitWhenAllStopped();
            return;
        }
        if (auto group = groupOf_.find(&run); group != groupOf_.end()) {
            if (fault)
                run.Say(QStringLiteral("Цикл не получен: следующая попытка не раньше чем через %1 с")
                            .arg(run.BackOffMs() / 1000.0));
            StartNext(*group->second);
            return;
        }
        // Only a fault ends a free run before the stop.
        run.Say(QStringLiteral("Опрос прервался: перезапуск через %1 с").arg(run.BackOffMs() / 1000.0));
        QTimer::singleShot(run.BackOffMs(), &run, [this, &run] {
            if (!stopping_)
                run.Start(false);
        });
    }

    // The next meter of the port whose back-off is over, after the one
    // polled last; when all of them wait, the port waits for the first.
    void StartNext(TPortGroup &group)
    {
        if (stopping_)
            return;
        const qint64 now = TMeterRun::NowMs();
        const size_t count = group.Members.size();
        qint64 earliest = -1;
        for (size_t step = 0; step < count; ++step) {
            const size_t index = (group.Next + step) % count;
            TMeterRun *run = group.Members[index];
            if (run->NotBeforeMs() <= now) {
                group.Next = (index + 1) % count;
                run->Start(true);
                return;
            }
            earliest = earliest < 0 ? run->NotBeforeMs() : std::min(earliest, run->NotBeforeMs());
        }
        group.Wait.start(int(std::max<qint64>(0, earliest - now)));
    }

    void ExitWhenAllStopped()
    {
        for (auto &run : runs_)
            if (run->Running())
                return;
        QCoreApplication::exit(kExitOk);
    }

    std::vector<std::unique_ptr<TMeterRun>> &runs_;
    std::vector<std::unique_ptr<TPortGroup>> groups_;
    std::map<TMeterRun *, TPortGroup *> groupOf_;
    bool stopping_ = false;
};

// Many writers starting at once on one server: the tables are made (or
// found) here once, before any of them opens the archive.
void PrepareArchive(const TPollOptions &options)
{
    const TArchiveTarget target = TArchiveTarget::Parse(options.Archive);
    Print(QStringLiteral("Архив: ") + target.Display());
    TArchiveDatabase database(target);
    if (!database.Open(TArchiveDatabase::TMode::Write))
        Print(QStringLiteral("Ошибка записи архива: %1 (запись будет повторяться)").arg(database.Error()));
}

[[noreturn]] void Abandon(std::vector<std::unique_ptr<TMeterRun>> &runs, int signal)
{
    Print(QStringLiteral("Опрос прерван без ожидания конца обмена с приборами."));
    for (auto &run : runs) {
        try {
            run->Commons().Logger().LogProgramClose();
        } catch (const std::exception &) {
            // ending all the same
        }
    }
    std::_Exit(128 + signal);
}

} // namespace

int RunFleet(const TPollOptions &options)
{
    std::vector<std::shared_ptr<TccnConnection>> connections;
    QString error;
    if (!LoadConnections(options, connections, error)) {
        std::fprintf(stderr, "raruzor-poll: %s\n", error.toLocal8Bit().constData());
        return kExitUsage;
    }
    if (!options.Archive.isEmpty())
        PrepareArchive(options);
    if (!options.MqttUrl.isEmpty()) {
        const TMqttTarget mqtt = TMqttTarget::Parse(options.MqttUrl);
        Print(QStringLiteral("MQTT: ") + mqtt.Display());
        if (const QString warning = mqtt.ClearTextWarning(); !warning.isEmpty())
            Print(warning);
    }

    TObjectsFactoryVD factory;
    std::vector<std::unique_ptr<TMeterRun>> runs;
    for (auto &connection : connections)
        runs.push_back(std::make_unique<TMeterRun>(connection, options, factory));
    std::vector<TCommons *> engines;
    for (auto &run : runs)
        engines.push_back(&run->Commons());

    TSupervisor supervisor(runs);
    TSignalWatch signalWatch(
        StopAllFromSignalHandler,
        [&] {
            Print(QStringLiteral("Остановка опроса всех приборов"));
            supervisor.StopAll();
        },
        [&](int signal) { Abandon(runs, signal); });
    stopList = engines.data();
    stopCount = engines.size();
    if (!signalWatch.Install())
        return kExitFailed;

    Print(QStringLiteral("Приборов: %1").arg(runs.size()));
    supervisor.Start();
    QCoreApplication::exec();

    bool ok = true;
    stopCount = 0; // the engines go with this function
    for (auto &run : runs)
        run->Commons().WaitForThread();
    // The last rows, the open 10-minute intervals and the last messages: all
    // meters within one time-out, so that a server or broker that is away
    // does not hold the stop once per meter.
    const QDeadlineTimer deadline(10000);
    for (auto &run : runs)
        ok = run->FlushSinks(int(deadline.remainingTime())) && ok;
    for (auto &run : runs)
        run->EndSinks();
    QCoreApplication::processEvents(); // the last status texts
    for (auto &run : runs) {
        run->PrintSummary();
        ok = ok && run->Cycles() > 0 && !run->SinksLost() && run->Logged();
    }
    return ok ? kExitOk : kExitFailed;
}
