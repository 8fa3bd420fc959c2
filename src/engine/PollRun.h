#pragma once

// One polling run of a Tarvel meter: open the channel, read the settings
// once (again before a cycle while a line failure kept them out), then a
// data cycle every 3 s of meter time (with the oscillogram in between on
// meters that have one), until a stop is asked for.

#include "channel/ChannelSettings.h"
#include "engine/MeterClock.h"
#include "engine/ObjectsFactory.h"
#include "engine/LinkStatistics.h"
#include "engine/PollController.h"
#include "engine/PollRunLog.h"
#include "engine/PollSettings.h"

#include <memory>

class TCommandExecuter;
class TCycleSink;
class TCommandsVD;
class TCustomR5Device;
class TR5Command;
class TR5Commands;
class TccnConnection;
class TccnTarvelProtocol;
class TDataStorageManager;
enum class TR5DriverKind;

class TRequestThreadVD : public TRequestThread
{
public:
    // Takes a copy of the poll settings (on the caller's thread); raises
    // when they cannot make a run. The record, the log and the host outlive
    // the run.
    TRequestThreadVD(const TConnectionSettings &settings, TDataStorageManager &store, TMonitorR5Logger &log,
                     TPollHost &host);
    ~TRequestThreadVD() override;

protected:
    void run() override;

private:
    void Execute();
    void CreateDriver();
    // Frees the driver and what uses it; its channel closes.
    void ReleaseDriver();
    bool OpenChannel();
    // How the data requests of one cycle ended. Only Read is a cycle: the
    // record took a whole data answer.
    enum class TCycleOutcome { Read, NoData, Failed, Stopped };

    bool WaitForNewMeterTime(bool first);
    // Date-time, settings and intervals, then the nominals and limits; sets
    // settingsRead_ once all three answers are in.
    bool ReadSettings();
    TCycleOutcome ReadDataRequests();
    bool ReadOscillogram();
    // A command the executor let pass whose answer carried no data; a stop
    // that cut it short is not reported.
    void ReportAnswerWithoutData(const TR5Command &command);
    // Between passes that read no cycle: short after "not ready" or "busy",
    // growing while the link keeps failing, from the first again once an
    // answer came.
    void PauseAfterFailure();
    // The last exchange was lost to the link (all its attempts).
    bool LinkFailed() const;
    void CloseChannel();
    // A pass that failed on a link that is gone (carrier lost, peer gone)
    // ends the connection: said once, hung up, and connected again by
    // Reconnect after the failure pause.
    void NoteLinkLoss();
    // Connects again with the mode's attempts; true once connected.
    bool Reconnect();
    // True when the command did NOT fail.
    bool Run(TR5Command *command);
    bool StopRequested() const { return host_.StopRequested(); }
    // The run's own texts; warnings and errors also go to the log. Texts of
    // a command the executor has logged already go to the host directly.
    void ReportStatus(const QString &text, TSeverity severity);
    // Sleeps in short steps so a stop is honoured at once.
    void Pause(int ms) const;
    // Hands a copy of the link's counters to the host.
    void PublishStatistics();
    // Copies for whoever keeps the cycles (nothing when nobody does).
    void TellRunStarted();
    void TellSettingsRead();
    void TellCycleRead();

    TPollHost &host_;
    TDataStorageManager &store_;
    TMonitorR5Logger &log_;
    // The run's own copy: editing the catalogue meanwhile changes nothing.
    TConnectionSettings settings_;
    TPCASettings channelSettings_{};
    int maxAttemptCountOnConnect_ = 1;
    std::unique_ptr<TccnTarvelProtocol> protocol_;
    TR5DriverKind driverKind_;
    std::unique_ptr<TCustomR5Device> driver_;
    std::unique_ptr<TR5Commands> commands_;
    std::unique_ptr<TCommandExecuter> executer_;
    std::unique_ptr<TCommandsVD> dataRequests_;
    bool settingsRead_ = false;
    bool linkLost_ = false;
    int failurePauseMs_ = 0;
    quint64 answersBeforePause_ = 0; // the driver's count at the last failure pause
    TRequestCirclesFinishingReporter reporter_;
    TTimeIntervalVerifier verifier_;
    TRequestThreadLogger threadLogger_;
    TLinkStatistics statistics_; // the line counters are the driver's
    TCycleSink *sink_ = nullptr; // taken at the run's start
};

class TRequestThreadManagerVD : public TRequestThreadManager
{
public:
    using TRequestThreadManager::TRequestThreadManager;

    // Remembers the polled device's number for file names, then starts.
    void Start() override;

protected:
    std::unique_ptr<TRequestThread> CreateThread() override;
};

class TObjectsFactoryVD : public TObjectsFactory
{
public:
    std::unique_ptr<TConnectionSettings> CreateSettings() const override;
    std::unique_ptr<TDataStorageManager> CreateStore(TRecordObserver *observer) const override;
    std::unique_ptr<TRequestThreadManager> CreateManager(const TPollParts &parts) const override;
};

// The device types the monitor polls: the catalogue's polled types.
bool IsSupportedDeviceType(int deviceType);
