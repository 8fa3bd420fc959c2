#include "MeterRun.h"

#include "PollOptions.h"
#include "PollOutput.h"

#include "catalogue/CatalogueDevices.h"
#include "catalogue/CatalogueTypes.h"
#include "catalogue/ConnectionList.h"
#include "catalogue/ConnectionModes.h"
#include "common/UserFolders.h"
#include "engine/PollSettings.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace {

QString LogFileOf(const TPollOptions &options, const QString &name)
{
    const QString folder = options.LogDir.isEmpty() ? ProgramDataFolder() : options.LogDir;
    return QDir(folder).filePath(QStringLiteral("raruzor-poll-%1.log").arg(name));
}

} // namespace

TMeterRun::TMeterRun(std::shared_ptr<TccnConnection> connection, const TPollOptions &options,
                     const TObjectsFactory &factory)
    : options_(options)
{
    const TccnCustomDevice *device = connection->CustomDevice();
    TMeterIdentity meter;
    meter.DeviceType = DeviceTypeIdents().at(device->DeviceType());
    meter.FactoryNumber = device->FactoryNum;
    name_ = QStringLiteral("%1-%2").arg(meter.DeviceType).arg(meter.FactoryNumber);
    if (const TccnCustomConMode *mode = connection->CustomConMode())
        if (const auto *serial = dynamic_cast<const TccnComPortInterface *>(mode->CustomCommInterface()))
            port_ = serial->PortName;

    commons_ = std::make_unique<TCommons>(&factory, LogFileOf(options, name_));
    logged_ = commons_->Logger().OpenOwn();
    Say(logged_ ? QStringLiteral("Журнал: ") + commons_->Logger().FileName() : commons_->Logger().OpenError());
    commons_->Logger().LogProgramStart();

    TEngineEvents &events = commons_->Events();
    constexpr auto queued = Qt::QueuedConnection;
    connect(
        &events, &TEngineEvents::StatusChanged, this, [this](const QString &text) { Say(text); }, queued);
    connect(
        &events, &TEngineEvents::LinkStatisticsChanged, this,
        [this](const TLinkStatistics &statistics) { OnStatistics(statistics); }, queued);
    connect(
        &events, &TEngineEvents::RunStateChanged, this,
        [this](TRunState state) {
            if (state == rsStopped)
                OnStopped();
        },
        queued);

    commons_->Settings()->SetConnection(connection);
    commons_->Settings()->Common.Password = options.Password;
    commons_->SetReadOscillograms(!options.NoOscillograms);
    // The keepers report on their own threads: through the engine's status
    // (a queued signal) to this thread's output, and to the meter's log.
    sinks_ = MakeMeterSinks(options, meter, [this](const QString &text, TSeverity severity) {
        commons_->Events().ShowStatus(text, severity);
        commons_->Logger().Log(text);
    });
    commons_->SetCycleSink(sinks_->Sink());

    turnLimit_.setSingleShot(true);
    turnLimit_.setInterval(kTurnLimitMs);
    connect(&turnLimit_, &QTimer::timeout, this, [this] {
        Say(QStringLiteral("Нет цикла опроса за %1 с: очередь следующего прибора на порту").arg(kTurnLimitMs / 1000));
        Stop();
    });
}

TMeterRun::~TMeterRun()
{
    commons_->Stop();
    commons_->WaitForThread();
    commons_->SetCycleSink(nullptr);
    sinks_.reset();
    commons_->Logger().LogProgramClose();
}

qint64 TMeterRun::NowMs()
{
    static const QElapsedTimer clock = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return clock.elapsed();
}

void TMeterRun::Say(const QString &text) const
{
    Print(QStringLiteral("[%1] %2").arg(name_, text));
}

void TMeterRun::Start(bool oneCycle)
{
    if (running_)
        return;
    running_ = true;
    if (lastFault_)
        ++restarts_;
    lastFault_ = false;
    oneCycle_ = oneCycle;
    stopAsked_ = false;
    runCycles_ = 0;
    failedNow_ = 0;
    passwordsNow_ = 0;
    if (oneCycle)
        turnLimit_.start();
    commons_->Start();
}

void TMeterRun::Stop()
{
    if (!running_)
        return;
    stopAsked_ = true;
    turnLimit_.stop();
    commons_->Stop();
}

void TMeterRun::OnStatistics(const TLinkStatistics &statistics)
{
    failedNow_ = statistics.Errors();
    passwordsNow_ = statistics.Line.PasswordRequests;
    if (statistics.Cycles <= runCycles_)
        return;
    cycles_ += statistics.Cycles - runCycles_;
    runCycles_ = statistics.Cycles;
    backOffMs_ = 0;
    if (options_.StatsEvery > 0 && cycles_ % quint64(options_.StatsEvery) == 0)
        PrintSummary();
    if (oneCycle_ && running_)
        Stop();
}

void TMeterRun::OnStopped()
{
    if (!running_)
        return; // a stop told twice
    running_ = false;
    turnLimit_.stop();
    // The run's thread has said its last word; reaping it closes its port
    // now, before the next meter on the port opens it.
    commons_->WaitForThread();
    failedBefore_ += failedNow_;
    failedNow_ = 0;
    passwordsBefore_ += passwordsNow_;
    passwordsNow_ = 0;
    const bool fault = !stopAsked_ || runCycles_ == 0;
    lastFault_ = fault;
    if (fault) {
        backOffMs_ = backOffMs_ == 0 ? kFirstBackOffMs : std::min(2 * backOffMs_, kLongestBackOffMs);
        notBeforeMs_ = NowMs() + backOffMs_;
    }
    if (Ended)
        Ended(*this, fault);
}

QString TMeterRun::Summary() const
{
    QString text =
        QStringLiteral("Итог: циклов %1, неудачных запросов %2").arg(cycles_).arg(failedBefore_ + failedNow_);
    if (const quint64 passwords = passwordsBefore_ + passwordsNow_; passwords > 0)
        text += QStringLiteral(", запросов пароля %1").arg(passwords);
    text += QStringLiteral(", перезапусков %1").arg(restarts_);
    if (!logged_)
        text += QStringLiteral(", без журнала");
    if (const QString sinks = sinks_->Summary(); !sinks.isEmpty())
        text += QStringLiteral(", ") + sinks;
    return text;
}

void TMeterRun::PrintSummary() const
{
    Say(Summary());
}

bool TMeterRun::FlushSinks(int timeoutMs)
{
    commons_->SetCycleSink(nullptr);
    return sinks_->Flush(timeoutMs);
}

void TMeterRun::EndSinks()
{
    sinks_->End();
}
