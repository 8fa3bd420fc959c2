#include "engine/PollRun.h"

#include "catalogue/AcceptedConnections.h"
#include "catalogue/CatalogueObjects.h"
#include "catalogue/ConnectionList.h"
#include "catalogue/ChannelSettingsFromMode.h"
#include "channel/Channel.h"
#include "common/Contracts.h"
#include "common/ProgramLog.h"
#include "engine/CycleSink.h"
#include "engine/NominalsCalculator.h"
#include "engine/MeasurementRecord.h"
#include "engine/DataAnswerDecoder.h"
#include "files/Comtrade.h"
#include "protocol/CommandExecutor.h"
#include "protocol/R5Commands.h"
#include "protocol/R5Driver.h"

#include <QElapsedTimer>

namespace {

// The firmware from which meters keep an oscillogram to read between cycles.
constexpr int kLastFirmwareWithoutOscillogram = 2217;
constexpr int kMeterTimePollMs = 100;
// After a pass that read no cycle: a meter that is gone would otherwise be
// asked again at once, thousands of times a second. The pause doubles while
// the link keeps failing, so a meter away for hours fills the log slowly,
// and is back to the first once the meter answers anything. A meter that
// answers "not ready" or "busy" is at work: asked again after the short
// pause of the clock readings.
constexpr int kFirstFailurePauseMs = 1000;
constexpr int kLongestFailurePauseMs = 16000;
constexpr quint8 kDataRequestCount = 3;

constexpr TR5DriverKind DriverKindOf(int deviceType)
{
    switch (deviceType) {
    case dtM7: return TR5DriverKind::M7;
    case dtM7SQ: return TR5DriverKind::M7_SQ;
    case dtM7L12020: return TR5DriverKind::M7_L12020;
    case dtM7L22020: return TR5DriverKind::M7_L22020;
    case dtR5AS2020: return TR5DriverKind::R5_AS2020;
    default: return TR5DriverKind::R5_AS;
    }
}

// A type added to the polled table without a driver case above would be
// polled as an R5 A/S: every polled type must have a driver of its own.
constexpr bool EachPolledTypeHasItsDriver()
{
    for (size_t i = 0; i < kPolledDeviceTypes.size(); ++i)
        for (size_t j = i + 1; j < kPolledDeviceTypes.size(); ++j)
            if (DriverKindOf(kPolledDeviceTypes[i]) == DriverKindOf(kPolledDeviceTypes[j]))
                return false;
    return true;
}
static_assert(EachPolledTypeHasItsDriver());

// Names what could not be opened: the port, or address and port.
QString ChannelTarget(const TPCASettings &settings)
{
    if (settings.ChannelType == pcaEthernetTCP)
        return QStringLiteral("%1:%2").arg(settings.Ethernet.IpAddress.Text()).arg(settings.Ethernet.IpPort);
    if (settings.ChannelType == pcaComPort)
        return PCAComPortName(settings); // the full name, not the 6-character field
    return QString();
}

QByteArrayView View(const auto &bytes)
{
    return QByteArrayView(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
}

} // namespace

bool IsSupportedDeviceType(int deviceType)
{
    return IsPolledDeviceType(deviceType);
}

// ---------------------------------------------------------- TRequestThreadVD

TRequestThreadVD::TRequestThreadVD(const TConnectionSettings &settings, TDataStorageManager &store,
                                   TMonitorR5Logger &log, TPollHost &host)
    : host_(host),
      store_(store),
      log_(log),
      reporter_([this] { host_.FirstOscillogramRead(); }),
      threadLogger_(&log, [this](const QString &text) { host_.ShowStatus(text); })
{
    CheckPreConditions(settings.Connection() != nullptr, "TRequestThreadVD.Create");
    settings_.Common = settings.Common;
    settings_.SetConnection(settings.Connection()->Clone());
    const TccnConnection *connection = settings_.Connection();

    const TccnCustomConMode *mode = connection->CustomConMode();
    channelSettings_ = ConModeToPCASettings(mode);
    maxAttemptCountOnConnect_ = mode ? mode->MaxAttemptCountOnConnect : 1;

    protocol_ = std::make_unique<TccnTarvelProtocol>();
    if (auto *source = dynamic_cast<const TccnTarvelProtocol *>(connection->CustomDeviceProtocol()))
        protocol_->Assign(*source);
    const TccnCustomDevice *device = connection->CustomDevice();
    driverKind_ = DriverKindOf(device ? device->DeviceType() : dtR5AS);
}

TRequestThreadVD::~TRequestThreadVD()
{
    ReleaseDriver();
}

void TRequestThreadVD::ReleaseDriver()
{
    // the owned objects go in reverse order of their making: executer and
    // commands before the driver that they use; the driver closes its channel
    dataRequests_.reset();
    executer_.reset();
    commands_.reset();
    driver_.reset();
}

void TRequestThreadVD::CreateDriver()
{
    // Sockets and ports belong to the thread that uses them: made here.
    driver_ = CreateR5Driver(driverKind_, channelSettings_);
    driver_->SetStopCheck([this] { return StopRequested(); });
    commands_ = std::make_unique<TR5Commands>(driver_.get());
    commands_->PasswordCommand()->Password = settings_.Common.Password;
    TExecuterHost host;
    host.StopRequested = [this] { return StopRequested(); };
    static_assert(TExecuterHost::kStatusInformation == svInformation && TExecuterHost::kStatusWarning == svWarning &&
                  TExecuterHost::kStatusError == svError);
    // the executor logs the failed command itself
    host.ReportStatus = [this](const QString &text, int severity) { host_.ReportStatus(text, TSeverity(severity)); };
    host.Logger = &log_;
    executer_ = std::make_unique<TCommandExecuter>(commands_->PasswordCommand(),
                                                   std::max(1, protocol_->MaxAttemptCount), std::move(host));
    dataRequests_ = std::make_unique<TCommandsVD>();
    dataRequests_->SetDefault(kDataRequestCount);
}

void TRequestThreadVD::run()
{
    sink_ = host_.CycleSink();
    TellRunStarted();
    try {
        Execute();
    } catch (const std::exception &error) {
        // Before the data loop a failure ends the run; say why rather than
        // stopping silently.
        ReportStatus(QString::fromUtf8(error.what()), svError);
    } catch (...) {
        ReportStatus(QStringLiteral("Системное исключение"), svError);
    }
    if (sink_)
        sink_->RunEnded();
    // The port or socket goes on the thread that made it (a serial port
    // freed from another thread may crash), and before the run says it has
    // stopped: another meter on the same port may open it right after.
    try {
        ReleaseDriver();
    } catch (const std::exception &) {
    }
    host_.SetRunState(rsStopped);
}

void TRequestThreadVD::Execute()
{
    threadLogger_.LogPollStart(&settings_);
    CreateDriver();
    PublishStatistics(); // a new run starts from zero
    const bool opened = OpenChannel();
    if (opened && WaitForNewMeterTime(true))
        ReadSettings();

    while (!StopRequested() && opened && commands_->PasswordCommand()->ResultClass() == rcSuccess) {
        if (linkLost_ && !Reconnect()) {
            PauseAfterFailure();
            continue;
        }
        bool cycleRead = false;
        try {
            // Settings lost to a failed exchange or an answer without data
            // would leave every cycle of the run without nominals and
            // limits: asked for again, once a cycle, until they come.
            // A link that just failed them would fail the data as well.
            if (!settingsRead_ && !ReadSettings() && LinkFailed()) {
                NoteLinkLoss();
                PauseAfterFailure();
                continue;
            }
            if (WaitForNewMeterTime(false)) {
                QElapsedTimer cycle;
                cycle.start();
                switch (ReadDataRequests()) {
                case TCycleOutcome::Read:
                    cycleRead = true;
                    statistics_.LastCycleMs = cycle.elapsed();
                    ++statistics_.Cycles;
                    TellCycleRead();
                    ReportStatus(QStringLiteral("Идет обмен данными"), svInformation);
                    break;
                case TCycleOutcome::NoData: ++statistics_.NoDataCycles; break;
                case TCycleOutcome::Failed:
                case TCycleOutcome::Stopped: break;
                }
                PublishStatistics();
            }
        } catch (const std::exception &error) {
            // The values keep their last state; the status says what failed.
            ReportStatus(QString::fromUtf8(error.what()), svError);
        }
        if (cycleRead)
            failurePauseMs_ = 0;
        else if (commands_->PasswordCommand()->ResultClass() == rcSuccess) {
            NoteLinkLoss();
            PauseAfterFailure();
        }
    }

    try {
        CloseChannel();
    } catch (const std::exception &) {
        return;
    }
    PublishStatistics();
    try {
        threadLogger_.LogPollStop();
        log_.LogLines(QStringList{QStringLiteral("Статистика обмена:")} + statistics_.Lines());
    } catch (const std::exception &) {
    }
}

bool TRequestThreadVD::OpenChannel()
{
    driver_->SetDeviceNumber(protocol_->DeviceAddress);
    TPCACustom *channel = driver_->Channel();
    bool opened = false;
    try {
        if (!channel) {
            ReportStatus(QStringLiteral("Неизвестный тип канала доступа (%1).").arg(driver_->ClassName()), svError);
        } else if (channel->LastError() != 0) {
            ++statistics_.ConnectFailures; // an address that names no host, say
            PublishStatistics();
            ReportStatus(PCAErrorText(channel->LastError()), svError);
        } else {
            const int attempts = std::max(1, maxAttemptCountOnConnect_);
            for (int attempt = 0; attempt < attempts && !opened && !StopRequested(); ++attempt) {
                // a refused port answers at once: the attempts would follow
                // each other (and their reports) many times a second
                if (attempt > 0)
                    Pause(kFirstFailurePauseMs);
                opened = channel->Connect() == 0;
                // A connect or dial that the stop cut short did not fail.
                if (!opened && !StopRequested()) {
                    ++statistics_.ConnectFailures;
                    PublishStatistics();
                    ReportStatus(PCAErrorText(channel->LastError()), svError);
                }
            }
        }
    } catch (const std::exception &error) {
        ReportStatus(QStringLiteral("Системное исключение при открытии порта %1.").arg(QString::fromUtf8(error.what())),
                     svError);
        opened = false;
    }
    if (!opened && !StopRequested() && host_.Severity() == svInformation)
        ReportStatus(QStringLiteral("Ошибка при инициализации канала доступа %1.").arg(ChannelTarget(channelSettings_)),
                     svError);
    return opened;
}

void TRequestThreadVD::NoteLinkLoss()
{
    TPCACustom *channel = driver_->Channel();
    if (linkLost_ || StopRequested() || channel == nullptr || !LinkFailed() || channel->LinkUp())
        return;
    linkLost_ = true;
    ReportStatus(PCAErrorText(pceConnectionLost), svError);
    // The modem is hung up (a radio modem would hold its channel), so the
    // next call starts from a clean line.
    channel->Disconnect();
}

bool TRequestThreadVD::Reconnect()
{
    TPCACustom *channel = driver_->Channel();
    const int attempts = std::max(1, maxAttemptCountOnConnect_);
    for (int attempt = 0; attempt < attempts && !StopRequested(); ++attempt) {
        if (attempt > 0)
            Pause(kFirstFailurePauseMs);
        if (StopRequested())
            break;
        if (channel->Connect() == 0) {
            linkLost_ = false;
            driver_->CountReconnect();
            PublishStatistics();
            log_.Log(QStringLiteral("Соединение восстановлено."));
            host_.ReportStatus(QStringLiteral("Соединение восстановлено."), svInformation);
            return true;
        }
        // A dial that the stop cut short did not fail.
        if (StopRequested())
            break;
        ++statistics_.ConnectFailures;
        PublishStatistics();
        ReportStatus(QStringLiteral("Не удалось восстановить соединение: %1").arg(PCAErrorText(channel->LastError())),
                     svError);
    }
    return false;
}

bool TRequestThreadVD::WaitForNewMeterTime(bool first)
{
    TR5DateTimeInfoCommand *dateTime = commands_->DateTimeCommand();
    while (!StopRequested()) {
        if (!Run(dateTime))
            return false;
        if (StopRequested())
            return false;
        if (!dateTime->AnswerReceived()) {
            ReportAnswerWithoutData(*dateTime);
            return false;
        }
        // Meter time has no zone (as TMeterClock): in UTC the interval
        // arithmetic keeps clear of DST and of a zone look-up per request.
        const QDateTime meterTime = dateTime->DateTime(Qt::UTC);
        if (verifier_.AcceptMeterTime(meterTime)) {
            store_.SetDeviceDateTime(meterTime);
            return true;
        }
        if (!first && host_.ReadOscillograms() && commands_->OscillogramCommand() &&
            dateTime->FirmwareVersion() > kLastFirmwareWithoutOscillogram && ReadOscillogram())
            Pause(int(verifier_.RemainingPause(QDateTime::currentDateTimeUtc())));
        else
            Pause(kMeterTimePollMs);
    }
    return false;
}

bool TRequestThreadVD::ReadSettings()
{
    for (TR5Command *command : {static_cast<TR5Command *>(commands_->DateTimeCommand()),
                                static_cast<TR5Command *>(commands_->SettingsCommand()),
                                static_cast<TR5Command *>(commands_->TimeSettingsCommand())}) {
        if (!Run(command))
            return false;
        if (StopRequested())
            return true;
        if (!command->AnswerReceived()) {
            ReportAnswerWithoutData(*command);
            return false;
        }
    }
    // The answers are in: nominals they cannot give would not come from
    // asking again.
    settingsRead_ = true;

    TNominalsCalculator calculator;
    const QByteArrayView settings = View(commands_->SettingsCommand()->SettingsAnswer);
    if (!calculator.Calculate(settings, View(commands_->DateTimeCommand()->DateTimeAnswer))) {
        ReportStatus(QStringLiteral("Неверный формат данных о номиналах напряжения и тока."), svError);
        return false;
    }
    const TNominalsBlock block = BuildNominalsBlock(calculator, settings);
    store_.WriteNominals(block);
    store_.SetTimeIntervals(View(commands_->TimeSettingsCommand()->IntervalsAnswer));
    TellSettingsRead();
    return true;
}

TRequestThreadVD::TCycleOutcome TRequestThreadVD::ReadDataRequests()
{
    TR5DataCommand *data = commands_->DataCommand();
    for (const TR5Descriptor &descriptor : dataRequests_->Items()) {
        if (StopRequested())
            return TCycleOutcome::Stopped;
        data->SetDescriptor(descriptor);
        if (!Run(data))
            return TCycleOutcome::Failed;
        if (!data->AnswerReceived()) {
            if (StopRequested())
                return TCycleOutcome::Stopped;
            ReportAnswerWithoutData(*data);
            return data->ResultClass() == rcNoData ? TCycleOutcome::NoData : TCycleOutcome::Failed;
        }
        try {
            store_.WriteData(TDataDescriptor{descriptor[0], descriptor[1], descriptor[2], descriptor[3]},
                             QByteArrayView(data->Answer()));
        } catch (const EShortDataAnswer &error) {
            // a cut answer leaves the last good values on the screen
            ReportStatus(error.Message(), svError);
            return TCycleOutcome::Failed;
        }
    }
    return TCycleOutcome::Read;
}

void TRequestThreadVD::ReportAnswerWithoutData(const TR5Command &command)
{
    if (StopRequested())
        return;
    // "Not ready" and its kind are the meter's own word on a request it
    // took; any other code without data is an error.
    // The executor has logged the command with its code and text.
    if (command.ResultClass() == rcNoData)
        host_.ReportStatus(command.ErrorText(), svWarning);
    else
        host_.ReportStatus(
            QStringLiteral("Ответ прибора без данных (%1) %2").arg(command.ErrorCode()).arg(command.ErrorText()),
            svError);
}

bool TRequestThreadVD::ReadOscillogram()
{
    TR5OscillogramCommand *oscillogram = commands_->OscillogramCommand();
    QElapsedTimer download;
    download.start();
    oscillogram->Reset();
    oscillogram->OscPeriods = host_.OscPeriods();
    bool received = false;
    while (!StopRequested()) {
        if (!Run(oscillogram))
            return false;
        if (oscillogram->ErrorCode() == r5cOk) {
            received = true;
            break;
        }
        // "not ready": the same part is asked for again, not at once
        if (!oscillogram->AnswerReceived())
            Pause(kMeterTimePollMs);
    }
    if (!received)
        return false;
    statistics_.LastOscillogramMs = download.elapsed();
    PublishStatistics();

    const TFileCOMTRADE record(QByteArrayView(oscillogram->Parts), QByteArrayView(oscillogram->Last));
    const TccnCustomDevice *device = settings_.Connection()->CustomDevice();
    // The values stay good when the file cannot be written: said every time,
    // logged at the first, counted, and the run goes on.
    if (host_.SaveOscillograms() && device) {
        if (const QString failure = record.TrySave(device->ClassName()); !failure.isEmpty()) {
            ++statistics_.OscillogramsNotSaved;
            PublishStatistics();
            ReportStatus(failure, svError);
        } else {
            // shown, not stored: a standing error stays the run's status
            host_.ShowStatus(QStringLiteral("Осциллограмма сохранена: ") + record.GetFileName(device->ClassName()));
        }
    }
    store_.WriteOscillogram(record.Samples());
    reporter_.CircleFinished();
    return true;
}

void TRequestThreadVD::ReportStatus(const QString &text, TSeverity severity)
{
    if (severity != svInformation) {
        try {
            log_.Log(text);
        } catch (const std::exception &) {
            // a full disk may take the log too; the status line still says it
        }
    }
    host_.ReportStatus(text, severity);
}

void TRequestThreadVD::CloseChannel()
{
    TPCACustom *channel = driver_ ? driver_->Channel() : nullptr;
    if (channel && channel->Disconnect() != 0)
        ReportStatus(PCAErrorText(channel->LastError()), svWarning);
}

bool TRequestThreadVD::Run(TR5Command *command)
{
    return !executer_->Run(command);
}

void TRequestThreadVD::TellRunStarted()
{
    if (!sink_)
        return;
    TMeterIdentity meter;
    if (const TccnCustomDevice *device = settings_.Connection()->CustomDevice()) {
        meter.DeviceType = DeviceTypeIdents().value(device->DeviceType());
        meter.FactoryNumber = device->FactoryNum;
    }
    meter.DeviceAddress = protocol_->DeviceAddress;
    sink_->RunStarted(meter);
}

void TRequestThreadVD::TellSettingsRead()
{
    if (!sink_)
        return;
    TSettingsCopy settings;
    settings.MeterDateTime = store_.DeviceDateTime();
    settings.ReadAtUtc = QDateTime::currentDateTimeUtc();
    settings.Slots.resize(size_t(TRecordValues::BlockSize(TRecordBlock::Nominals)));
    store_.CopyBlock(TRecordBlock::Nominals, settings.Slots);
    settings.Intervals = store_.TimeIntervals();
    sink_->SettingsRead(std::move(settings));
}

void TRequestThreadVD::TellCycleRead()
{
    if (!sink_)
        return;
    TCycleCopy cycle;
    cycle.MeterDateTime = store_.DeviceDateTime();
    cycle.PcTimeUtc = QDateTime::currentDateTimeUtc();
    cycle.Data.resize(size_t(TRecordValues::BlockSize(TRecordBlock::Data)));
    store_.CopyBlock(TRecordBlock::Data, cycle.Data);
    sink_->CycleRead(std::move(cycle));
}

void TRequestThreadVD::PublishStatistics()
{
    if (driver_)
        statistics_.Line = driver_->Counters();
    host_.LinkStatisticsChanged(statistics_);
}

bool TRequestThreadVD::LinkFailed() const
{
    return R5ResultClass(static_cast<qint8>(driver_->ErrorCode())) == rcLinkFailure;
}

void TRequestThreadVD::PauseAfterFailure()
{
    const quint64 answers = driver_->Counters().Answers;
    if (answers != answersBeforePause_)
        failurePauseMs_ = 0;
    answersBeforePause_ = answers;
    const qint8 code = static_cast<qint8>(driver_->ErrorCode());
    if (R5ResultClass(code) == rcNoData || code == r5cBusy) {
        Pause(kMeterTimePollMs);
        return;
    }
    failurePauseMs_ =
        failurePauseMs_ == 0 ? kFirstFailurePauseMs : std::min(2 * failurePauseMs_, kLongestFailurePauseMs);
    Pause(failurePauseMs_);
}

void TRequestThreadVD::Pause(int ms) const
{
    host_.WaitForStop(ms);
}

// --------------------------------------------------- TRequestThreadManagerVD

void TRequestThreadManagerVD::Start()
{
    if (RunState() != rsStopped)
        return;
    const TConnectionSettings &settings = parts_.Settings;
    const TccnCustomDevice *device = settings.Connection() ? settings.Connection()->CustomDevice() : nullptr;
    CheckPreConditions(device != nullptr && dynamic_cast<const TccnTarvelDevice *>(device) != nullptr,
                       "TRequestThreadManagerVD.SaveLastDeviceNumber");
    SetLastDeviceNumber(device->FactoryNum);
    TRequestThreadManager::Start();
}

std::unique_ptr<TRequestThread> TRequestThreadManagerVD::CreateThread()
{
    return std::make_unique<TRequestThreadVD>(parts_.Settings, parts_.Store, parts_.Log, *this);
}

// --------------------------------------------------------- TObjectsFactoryVD

std::unique_ptr<TDataStorageManager> TObjectsFactoryVD::CreateStore(TRecordObserver *observer) const
{
    return std::make_unique<TDataStorageManagerVD>(observer);
}

std::unique_ptr<TRequestThreadManager> TObjectsFactoryVD::CreateManager(const TPollParts &parts) const
{
    return std::make_unique<TRequestThreadManagerVD>(parts);
}

std::unique_ptr<TConnectionSettings> TObjectsFactoryVD::CreateSettings() const
{
    return std::make_unique<TConnectionSettingsVD>();
}
