#include "engine/Engine.h"

#include "engine/MeasurementRecord.h"
#include "engine/PollController.h"
#include "engine/PollSettings.h"

TCommons::TCommons(const TObjectsFactory *factory, const QString &logFileName)
    : events_(std::make_unique<TEngineEvents>()),
      logger_(logFileName.isEmpty() ? std::make_unique<TMonitorR5Logger>()
                                    : std::make_unique<TMonitorR5Logger>(logFileName))
{
    if (!factory)
        return;
    settings_ = factory->CreateSettings();
    store_ = factory->CreateStore(events_.get());
    manager_ = factory->CreateManager(TPollParts{*settings_, *store_, *logger_, *events_});
}

TCommons::~TCommons() = default;

void TCommons::Start()
{
    if (manager_)
        manager_->Start();
}

void TCommons::Stop()
{
    if (manager_)
        manager_->Stop();
}

void TCommons::StopFromSignalHandler()
{
    if (manager_)
        manager_->StopFromSignalHandler();
}

bool TCommons::WaitForThread(unsigned long ms)
{
    return !manager_ || manager_->WaitForThread(ms);
}

TRunState TCommons::RunState() const
{
    return manager_ ? manager_->RunState() : rsStopped;
}

TSeverity TCommons::Severity() const
{
    return manager_ ? manager_->Severity() : svInformation;
}

QString TCommons::StatusText() const
{
    return manager_ ? manager_->StatusText() : QString();
}

int32_t TCommons::LastDeviceNumber() const
{
    return manager_ ? manager_->LastDeviceNumber() : 0;
}

void TCommons::SetSaveOscillograms(bool save)
{
    if (manager_)
        manager_->SetSaveOscillograms(save);
}

void TCommons::SetReadOscillograms(bool read)
{
    if (manager_)
        manager_->SetReadOscillograms(read);
}

void TCommons::SetCycleSink(TCycleSink *sink)
{
    if (manager_)
        manager_->SetCycleSink(sink);
}

void TCommons::SetOscPeriods(uint8_t periods)
{
    if (manager_)
        manager_->SetOscPeriods(periods);
}

uint8_t TCommons::OscPeriods() const
{
    return manager_ ? manager_->OscPeriods() : 0;
}
