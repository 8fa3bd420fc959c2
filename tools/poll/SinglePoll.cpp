// One meter polled until Ctrl+C or --cycles (--tcp, --serial).

#include "SinglePoll.h"

#include "MeterSinks.h"
#include "PollOptions.h"
#include "PollOutput.h"
#include "SignalWatch.h"

#include "archive/ArchiveWriter.h"
#include "catalogue/CatalogueDevices.h"
#include "catalogue/CatalogueObjects.h"
#include "catalogue/ConnectionList.h"
#include "catalogue/ProgramSettingsFile.h"
#include "common/UserFolders.h"
#include "engine/Engine.h"
#include "engine/PollSettings.h"
#include "engine/PollRun.h"
#include "engine/MeasurementRecord.h"
#include "files/Comtrade.h"
#include "files/CsvSnapshot.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>
#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

// The engine a signal stops, and how its run stood at that moment.
std::atomic<TCommons *> signalledEngine{nullptr};
std::atomic<bool> runningWhenSignalled{false}; // and so stopped by the handler
std::atomic<bool> errorWhenSignalled{false};

// Called in the signal handler: with the polling thread and the meter busy on
// both cores, the main thread may get its turn only after dozens more
// requests. Asking the stop is a store to the run state's lock-free atomic and
// reading the run state and severity are loads of such atomics, so all three
// may be done there.
void StopFromSignalHandler()
{
    if (TCommons *commons = signalledEngine.load(); commons && commons->RunState() == rsRunning) {
        errorWhenSignalled = commons->Severity() != svInformation;
        runningWhenSignalled = true;
        commons->StopFromSignalHandler();
    }
}

// Follows the engine's run: prints its status, counts its cycles, saves
// snapshots and ends the program when the run has stopped.
class TPoller : public QObject
{
public:
    TPoller(const TPollOptions &options, QString deviceClass) : options_(options), deviceClass_(std::move(deviceClass))
    {}

    // Queued: a run that cannot start says so while Start() is still on
    // this thread, before the event loop that is to end runs.
    void Attach(TCommons *commons)
    {
        commons_ = commons;
        TEngineEvents &events = commons->Events();
        constexpr auto queued = Qt::QueuedConnection;
        connect(
            &events, &TEngineEvents::StatusChanged, this, [](const QString &text) { Print(text); }, queued);
        connect(
            &events, &TEngineEvents::LinkStatisticsChanged, this,
            [this](const TLinkStatistics &statistics) { OnStatistics(statistics); }, queued);
        connect(
            &events, &TEngineEvents::RunStateChanged, this,
            [this] {
                if (commons_->RunState() == rsStopped) {
                    // The signal handler's stop may end the run before the
                    // event loop has taken the signal.
                    if (runningWhenSignalled.load())
                        Interrupt(true, errorWhenSignalled.load());
                    PrintStatistics();
                    QCoreApplication::exit(ExitCode());
                }
            },
            queued);
    }

    // The first signal: the engine finishes its exchange, sends nothing more
    // and stops. The signal handler stopped it already when it was running;
    // a signal that came before the run started stops it here.
    void Interrupt(bool stoppedBySignal, bool hadError)
    {
        if (!stoppedBySignal) {
            if (commons_->RunState() != rsRunning)
                return;
            hadError = commons_->Severity() != svInformation;
        }
        // after the handler's stop: wakes the run's pauses
        commons_->Stop();
        // How the run ended is the state it was in when stopped, not what
        // stopping it reports.
        errorWhenStopped_ = hadError;
        stopAsked_ = true;
    }

    // Failed: the run ended by itself or in an error, no data cycle came
    // through, or a file asked for was not written.
    int ExitCode() const
    {
        return !stopAsked_ || errorWhenStopped_ || cycles_ == 0 || fileFailed_ ? kExitFailed : kExitOk;
    }

private:
    // A data cycle is one the engine counts as read whole: the record also
    // tells of a change when it is cleared after a failed cycle, and a
    // snapshot of that would be all zeros.
    void OnCycle()
    {
        ++cycles_;
        if (options_.CsvEvery > 0 && cycles_ % options_.CsvEvery == 0)
            SaveCsv();
        if (options_.Cycles > 0 && cycles_ >= options_.Cycles && commons_->RunState() == rsRunning) {
            stopAsked_ = true;
            commons_->Stop();
        }
    }

    void OnStatistics(const TLinkStatistics &statistics)
    {
        const bool newCycle = statistics.Cycles != statistics_.Cycles;
        statistics_ = statistics;
        // the engine has said which and why on the status line
        fileFailed_ = fileFailed_ || statistics.OscillogramsNotSaved > 0;
        if (!newCycle)
            return;
        OnCycle();
        if (options_.StatsEvery > 0 && statistics.Cycles % quint64(options_.StatsEvery) == 0)
            PrintStatistics();
    }

    void PrintStatistics() const
    {
        Print(QStringLiteral("Статистика обмена:"));
        for (const QString &line : statistics_.Lines())
            Print(QStringLiteral("  ") + line);
    }

    void SaveCsv()
    {
        const QString folder = options_.OutDir.isEmpty() ? QDir::currentPath() : options_.OutDir;
        // the outcome's text says why a save failed: no sink, or it would be said twice
        const TCsvSaveOutcome outcome =
            SaveCsvSnapshot(folder, commons_->LastDeviceNumber(), commons_->Store()->SnapshotData(), deviceClass_,
                            QDateTime::currentDateTime());
        Print(outcome.StatusText());
        fileFailed_ = fileFailed_ || !outcome.Saved;
    }

    const TPollOptions &options_;
    TCommons *commons_ = nullptr;
    QString deviceClass_;
    int cycles_ = 0;
    bool stopAsked_ = false;
    bool errorWhenStopped_ = false;
    bool fileFailed_ = false;
    TLinkStatistics statistics_;
};

// A folder that takes no files fails the poller before the run rather than
// at each oscillogram (the run reports those too, and goes on).
bool OscillogramFolderWritable(const QString &deviceClass, QString &folder, QString &reason)
{
    folder = QFileInfo(TFileCOMTRADE({}, {}).GetFileName(deviceClass)).absolutePath();
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral("probe-XXXXXX")));
    if (probe.open())
        return true;
    reason = QFileInfo(folder).isDir() ? probe.errorString() : QStringLiteral("не удалось создать папку");
    return false;
}

// The second signal: the exchange in progress is not waited for. The log is
// written line by line and a CSV only on this thread, so the files are
// whole; the engine's thread is left to the system.
[[noreturn]] void Abandon(TCommons &commons, int signal)
{
    Print(QStringLiteral("Опрос прерван без ожидания конца обмена с прибором."));
    try {
        commons.Logger().LogProgramClose();
    } catch (const std::exception &) {
        // ending all the same
    }
    std::_Exit(128 + signal);
}

// The monitor's settings file with this one connection chosen (a demo
// profile, or a prepared laptop). An existing file keeps its other sections.
int WriteSettings(const QString &fileName, const TccnConnection &connection)
{
    TccnConnectionList list;
    auto copy = connection.Clone();
    if (!list.AddConnection(*copy))
        return 2;
    TProgramIniFile ini(fileName);
    ini.WriteConnectionList(&list);
    ini.WriteSelected(copy->ConID);
    // the file is the user's alone, and so is a folder made for it
    MakeOwnerOnlyFolder(QFileInfo(fileName).absolutePath());
    if (!ini.UpdateFile()) {
        std::fprintf(stderr, "raruzor-poll: cannot write %s\n", fileName.toLocal8Bit().constData());
        return 1;
    }
    return 0;
}

} // namespace

int RunSingle(const TPollOptions &options, std::shared_ptr<TccnConnection> connection)
{
    if (!options.WriteSettings.isEmpty())
        return WriteSettings(options.WriteSettings, *connection);

    const QString deviceClass = connection->CustomDevice()->ClassName();
    if (QString folder, reason; options.SaveOscillograms && !OscillogramFolderWritable(deviceClass, folder, reason)) {
        Print(QStringLiteral("Ошибка при сохранении в: %1 (%2)").arg(folder, reason));
        return kExitFailed;
    }

    TObjectsFactoryVD factory;
    TPoller poller(options, deviceClass);
    auto commons = std::make_unique<TCommons>(&factory, options.LogFile);
    poller.Attach(commons.get());
    // Pollers run side by side (one per meter): each keeps a log of its own.
    // A run without its log polls all the same but is not a clean one.
    const bool logged = commons->Logger().OpenOwn();
    Print(logged ? QStringLiteral("Журнал: ") + commons->Logger().FileName() : commons->Logger().OpenError());
    commons->Logger().LogProgramStart();

    TSignalWatch signalWatch(
        StopFromSignalHandler, [&] { poller.Interrupt(runningWhenSignalled.load(), errorWhenSignalled.load()); },
        [&](int signal) { Abandon(*commons, signal); });
    static_assert(std::atomic<uint8_t>::is_always_lock_free, "the run state must be safe to set in a signal handler");
    signalledEngine = commons.get();
    if (!signalWatch.Install())
        return kExitFailed;

    commons->Settings()->SetConnection(connection);
    commons->Settings()->Common.Password = options.Password;
    commons->SetSaveOscillograms(options.SaveOscillograms);
    commons->SetReadOscillograms(!options.NoOscillograms);
    // Made before the run and gone after it: they keep what the run handed
    // over, on threads of their own, and report through the status line.
    if (!options.Archive.isEmpty())
        Print(QStringLiteral("Архив: ") + TArchiveTarget::Parse(options.Archive).Display());
    if (!options.MqttUrl.isEmpty()) {
        const TMqttTarget mqtt = TMqttTarget::Parse(options.MqttUrl);
        Print(QStringLiteral("MQTT: ") + mqtt.Display());
        if (const QString warning = mqtt.ClearTextWarning(); !warning.isEmpty())
            Print(warning);
    }
    const TccnCustomDevice *device = connection->CustomDevice();
    TMeterIdentity meter;
    meter.DeviceType = options.DeviceType;
    meter.FactoryNumber = device->FactoryNum;
    meter.DeviceAddress = options.DeviceAddress;
    std::unique_ptr<TMeterSinks> sinks =
        MakeMeterSinks(options, meter, [&commons](const QString &text, TSeverity severity) {
            commons->Events().ShowStatus(text, severity);
            commons->Logger().Log(text);
        });
    commons->SetCycleSink(sinks->Sink());
    commons->Start();
    int code = QCoreApplication::exec();
    commons->WaitForThread();
    if (sinks->Sink()) {
        // The last rows and the open 10-minute interval are written here.
        commons->SetCycleSink(nullptr);
        const bool written = sinks->Flush(5000);
        sinks->End();
        QCoreApplication::processEvents(); // the keepers' last status texts
        Print(QStringLiteral("Итог: ") + sinks->Summary());
        if (!written || sinks->Lost())
            code = kExitFailed;
        sinks.reset();
        QCoreApplication::processEvents();
    }
    if (!logged)
        code = kExitFailed;
    signalledEngine = nullptr;
    commons->Logger().LogProgramClose();
    return code;
}
