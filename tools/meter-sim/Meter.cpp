#include "Meter.h"

namespace MeterSim {

namespace {

QDateTime WholeSeconds(QDateTime moment)
{
    const QTime t = moment.time();
    moment.setTime(QTime(t.hour(), t.minute(), t.second()));
    return moment;
}

} // namespace

int FirmwareNumber(const QByteArray &text)
{
    constexpr int kInvalid = 409;
    if (text.size() < 5)
        return kInvalid;
    const QByteArray digits = text.at(2) == '.' ? text.left(2) + text.mid(3, 2) : text.mid(1, 3);
    bool ok = false;
    const int value = digits.toInt(&ok);
    return ok && value >= 0 && value <= 65535 ? value : kInvalid;
}

TMeter::TMeter(const TMeterConfig &config)
    : config_(config),
      firmware_(FirmwareText(config.Firmware)),
      model_(config.Nominals, config.Seed, config.ChannelFaults),
      start_(WholeSeconds(config.StartTime.value_or(QDateTime::currentDateTime()))),
      fastClock_(start_)
{
    sinceStart_.start();
}

bool TMeter::OffersOscillogram(int deviceType) const
{
    return deviceType != kTypeM7 && deviceType != kTypeR5AS;
}

QDateTime TMeter::Now() const
{
    if (config_.FastClock)
        return fastClock_;
    // Without a speed or a start of its own the clock is the computer's, and
    // follows it when it is set.
    if (config_.Speed == 1 && !config_.StartTime)
        return WholeSeconds(QDateTime::currentDateTime());
    return WholeSeconds(start_.addMSecs(sinceStart_.elapsed() * config_.Speed));
}

QDateTime TMeter::ReadClock(bool frozen)
{
    if (frozen && lastReading_.isValid())
        return lastReading_;
    if (config_.FastClock && lastReading_.isValid())
        fastClock_ = fastClock_.addSecs(config_.FastClockStep);
    lastReading_ = Now();
    return lastReading_;
}

TSpectrum TMeter::Measure()
{
    // One measurement per second of meter time, so the data block and an
    // oscillogram taken in the same second describe the same signals.
    const QDateTime now = Now();
    if (now != measuredAt_) {
        // The clock's own reading, so the day's load follows its hours.
        measured_ = model_.At(static_cast<double>(now.toSecsSinceEpoch() + now.offsetFromUtc()));
        measuredAt_ = now;
    }
    return measured_;
}

QByteArray TMeter::DateTimeAnswer(bool frozenClock)
{
    return BuildDateTimeAnswer(ReadClock(frozenClock), firmware_, config_.Nominals.SecondaryCurrent);
}

QByteArray TMeter::SettingsAnswer() const
{
    return BuildSettingsAnswer(config_.Nominals);
}

QByteArray TMeter::IntervalsAnswer() const
{
    return BuildIntervalsAnswer(DefaultLimitPeriods());
}

QByteArray TMeter::DataAnswer()
{
    // A meter computes its values once a measurement: asked again within the
    // same second it sends the same block (and the simulator saves the work).
    const QDateTime now = Now();
    if (now != dataAnswerAt_ || dataAnswer_.isEmpty()) {
        dataAnswer_ = BuildDataAnswer(Evaluate(Measure(), config_.Nominals));
        dataAnswerAt_ = now;
    }
    return dataAnswer_;
}

TComtradeRecord TMeter::RecordOscillogram(int deviceNumber)
{
    return BuildComtrade(Measure(), config_.Nominals, QStringLiteral("Tarvel"), deviceNumber, Now());
}

const TComtradeRecord &TMeter::StartOscillogram(int deviceNumber)
{
    return oscillograms_[deviceNumber] = RecordOscillogram(deviceNumber);
}

const TComtradeRecord *TMeter::OscillogramInTransfer(int deviceNumber) const
{
    const auto found = oscillograms_.find(deviceNumber);
    return found == oscillograms_.end() ? nullptr : &found->second;
}

} // namespace MeterSim
