#include "engine/MeasurementRecord.h"

#include "common/Contracts.h"
#include "engine/EngineEvents.h"
#include "engine/LimitClassification.h"

#include <QTime>

#include <cmath>

using namespace VDSlot;

// ---------------------------------------------------------------------------
// TDataStorageWriter

TDataStorageWriter::TDataStorageWriter(TRecordValues &values, TRecordObserver *observer)
    : values_(values), observer_(observer)
{}

TDataStorageWriter::~TDataStorageWriter() = default;

void TDataStorageWriter::WriteData(const TDataDescriptor &, QByteArrayView)
{
    throw EPseudoAbstract(QStringLiteral("TDataStorageWriter.WriteData"));
}

void TDataStorageWriter::WriteOscillogram(std::span<const float>)
{
    throw EPseudoAbstract(QStringLiteral("TDataStorageWriter.WriteOscillogram"));
}

void TDataStorageWriter::StoreValue(int slot, float value, bool notify)
{
    CheckPreConditions(TRecordValues::ValidIndex(slot), "TDataStorageWriter.StoreValue");
    {
        TRecordValues::TBlockWrite write(values_, TRecordValues::BlockOf(slot));
        write.Put(slot, value);
    }
    if (notify && observer_)
        observer_->RecordValueChanged(slot);
}

double TDataStorageWriter::MultiplierOf(double nominal)
{
    if (nominal >= 1e9)
        return 1e9;
    if (nominal >= 1e6)
        return 1e6;
    if (nominal >= 1e3)
        return 1e3;
    return 1.0;
}

int TDataStorageWriter::DigitsOf(double scaled)
{
    const double magnitude = std::fabs(scaled);
    if (magnitude >= 1000.0)
        return 1;
    if (magnitude >= 100.0)
        return 2;
    if (magnitude >= 10.0)
        return 3;
    return 4;
}

void TDataStorageWriter::WriteNominals(std::span<const float> block)
{
    CheckPreConditions(block.size() == static_cast<size_t>(NominalsCount), "TDataStorageWriter.WriteNominals");

    {
        TRecordValues::TBlockWrite write(values_, TRecordBlock::Nominals);
        for (int i = 0; i < NominalsCount; ++i)
            write.Put(i, block[i]);
    }
    // The three nominals are also announced one by one (the window shows them
    // in fields of their own); they are stored with the block above so that a
    // snapshot never holds new nominals beside old limits.
    if (observer_)
        for (int slot : {UnomPhase, UnomLine, Inom})
            observer_->RecordValueChanged(slot);

    const double phase = block[UnomPhase];
    const double line = block[UnomLine];
    const double current = block[Inom];
    const double power = phase * current;

    const double phaseMultiplier = MultiplierOf(phase);
    const double lineMultiplier = MultiplierOf(line);
    const double currentMultiplier = MultiplierOf(current);
    const double powerMultiplier = MultiplierOf(power);
    phaseVoltageMultiplier_.store(phaseMultiplier, std::memory_order_relaxed);
    phaseVoltageDigits_.store(DigitsOf(phase / phaseMultiplier), std::memory_order_relaxed);
    lineVoltageMultiplier_.store(lineMultiplier, std::memory_order_relaxed);
    lineVoltageDigits_.store(DigitsOf(line / lineMultiplier), std::memory_order_relaxed);
    currentMultiplier_.store(currentMultiplier, std::memory_order_relaxed);
    currentDigits_.store(DigitsOf(current / currentMultiplier) + 1, std::memory_order_relaxed);
    powerMultiplier_.store(powerMultiplier, std::memory_order_relaxed);
    powerDigits_.store(DigitsOf(power / powerMultiplier) + 1, std::memory_order_relaxed);

    if (observer_)
        observer_->RecordNominalsChanged();
}

// ---------------------------------------------------------------------------
// TDataStorageManager

TDataStorageManager::TDataStorageManager(TRecordObserver *observer) : observer_(observer) {}

TDataStorageManager::~TDataStorageManager() = default;

TDataStorageWriter &TDataStorageManager::RequireWriter(const char *context) const
{
    CheckPreConditions(writer_ != nullptr, QLatin1StringView(context));
    return *writer_;
}

float TDataStorageManager::Value(int index) const
{
    CheckPreConditions(TRecordValues::ValidIndex(index), "TDataStorageManager.Value");
    return values_.Get(index);
}

std::array<TTimeInterval, TDataStorageManager::TimeIntervalCount> TDataStorageManager::TimeIntervals() const
{
    std::array<TTimeInterval, TimeIntervalCount> table;
    for (int i = 0; i < TimeIntervalCount; ++i) {
        const uint32_t packed = timeIntervals_[i].load(std::memory_order_relaxed);
        table[i] = {uint8_t(packed), uint8_t(packed >> 8), uint8_t(packed >> 16), uint8_t(packed >> 24)};
    }
    return table;
}

int TDataStorageManager::ChannelStatus(int channel) const
{
    if (channel < 0 || channel >= VoltageChannels)
        return 0;
    const float status = values_.Get(VDSlot::ChannelStatus + channel);
    if (status == 2.0f)
        return 2;
    if (status == 1.0f)
        return 1;
    return 0;
}

bool TDataStorageManager::IsMeaningful(int kind, int channel, int harmonicOrder) const
{
    const double unomPhase = values_.Get(UnomPhase);
    const double unomLine = values_.Get(UnomLine);
    const double inom = values_.Get(Inom);
    const bool phaseChannel = channel >= 0 && channel < Phases;
    auto voltageOk = [&] { return U1(channel) > 0.01 * unomPhase; };
    auto currentOk = [&] { return I1(channel) > 0.001 * inom; };

    switch (kind) {
    case 1:
    case 3:
        if (phaseChannel)
            return voltageOk();
        if (channel >= Phases && channel < VoltageChannels)
            return U1(channel) > 0.01 * unomLine;
        return false;
    case 2: return phaseChannel && currentOk();
    case 5: return phaseChannel && voltageOk() && currentOk();
    case 6: {
        if (!phaseChannel || harmonicOrder < 2 || harmonicOrder > 50)
            return false;
        const int offset = HarmonicCount * channel + (harmonicOrder - 2);
        // a meter's 0.1 % arrives as the float 0.1f: compared in float it counts as too small
        return voltageOk() && values_.Get(KUn + offset) > 0.1f && currentOk() && values_.Get(KIn + offset) > 0.1f;
    }
    default: return DeviceDateTime() > 0;
    }
}

int TDataStorageManager::ClassifyAgainstLimits(int slot, const TLimitDescriptor &limits) const
{
    CheckPreConditions(TRecordValues::ValidIndex(slot), "TDataStorageManager.ClassifyAgainstLimits");
    const std::array<int32_t, 4> inUse = LimitSlotsOf(limits, limits.Kind != 0 && InLimitPeriod());
    const auto limit = [this](int32_t index) { return TRecordValues::ValidIndex(index) ? values_.Get(index) : 0.0f; };
    return ClassifyAgainst(values_.Get(slot), {limit(inUse[0]), limit(inUse[1]), limit(inUse[2]), limit(inUse[3])});
}

bool TDataStorageManager::InLimitPeriod() const
{
    constexpr qint64 msPerDay = 86400000;
    const double moment = DeviceDateTime();
    if (!std::isfinite(moment))
        return false;
    // Times are compared to the millisecond: closer than that counts as equal.
    const double dayFraction = std::fabs(moment) - std::floor(std::fabs(moment));
    const qint64 t = std::min<qint64>(std::llround(dayFraction * msPerDay), msPerDay - 1);
    return ::InLimitPeriod(t, TimeIntervals());
}

double TDataStorageManager::ScaleFactor(int valueKind) const
{
    if (!writer_)
        return 1.0;
    switch (valueKind) {
    case 1: return writer_->PhaseVoltageMultiplier();
    case 2: return writer_->LineVoltageMultiplier();
    case 3: return writer_->CurrentMultiplier();
    case 4: return writer_->PowerMultiplier();
    default: return 1.0;
    }
}

int TDataStorageManager::DisplayDigits(int valueKind) const
{
    if (!writer_)
        return 1;
    switch (valueKind & 0x7F) {
    case 1: return writer_->PhaseVoltageDigits();
    case 2: return writer_->LineVoltageDigits();
    case 3: return writer_->CurrentDigits();
    case 4: return writer_->PowerDigits();
    case 6: return 3;
    default: return 2;
    }
}

void TDataStorageManager::StoreValue(int slot, float value, bool notify)
{
    RequireWriter("TDataStorageManager.StoreValue").StoreValue(slot, value, notify);
}

void TDataStorageManager::WriteNominals(std::span<const float> block)
{
    RequireWriter("TDataStorageManager.WriteNominals").WriteNominals(block);
}

void TDataStorageManager::WriteData(const TDataDescriptor &descriptor, QByteArrayView answer)
{
    RequireWriter("TDataStorageManager.WriteData").WriteData(descriptor, answer);
}

void TDataStorageManager::WriteOscillogram(std::span<const float> samples)
{
    RequireWriter("TDataStorageManager.WriteOscillogram").WriteOscillogram(samples);
}

void TDataStorageManager::SetTimeIntervals(QByteArrayView answer)
{
    std::array<TTimeInterval, TimeIntervalCount> table{};
    const qsizetype entries = std::min<qsizetype>(answer.size() / 4, TimeIntervalCount);
    for (qsizetype k = 0; k < entries; ++k) {
        const auto *p = reinterpret_cast<const uint8_t *>(answer.data()) + 4 * k;
        table[k] = {p[0], p[1], p[2], p[3]};
    }
    SetTimeIntervals(table);
}

void TDataStorageManager::SetTimeIntervals(std::span<const TTimeInterval> intervals)
{
    for (int k = 0; k < TimeIntervalCount; ++k) {
        TTimeInterval entry;
        if (static_cast<size_t>(k) < intervals.size())
            entry = intervals[k];
        const uint32_t packed = uint32_t(entry.StartHour) | uint32_t(entry.StartMinute) << 8 |
                                uint32_t(entry.EndHour) << 16 | uint32_t(entry.EndMinute) << 24;
        timeIntervals_[k].store(packed, std::memory_order_relaxed);
    }
}

void TDataStorageManager::SetDeviceDateTime(double value)
{
    const double previous = deviceDateTime_.exchange(value, std::memory_order_relaxed);
    if (previous != value && observer_)
        observer_->RecordDeviceTimeChanged();
}

void TDataStorageManager::Clear()
{
    SetDeviceDateTime(0.0);
    for (TRecordBlock block : {TRecordBlock::Nominals, TRecordBlock::Data, TRecordBlock::Oscillogram}) {
        TRecordValues::TBlockWrite write(values_, block);
        for (int i = TRecordValues::BlockFirst(block), end = TRecordValues::BlockEnd(block); i < end; ++i)
            write.Put(i, 0.0f);
    }
    if (observer_) {
        observer_->RecordNominalsChanged();
        observer_->RecordDataChanged();
        observer_->RecordOscillogramChanged();
    }
}

namespace {
const QDate kDayZero(1899, 12, 30);
constexpr double kMsPerDay = 86400000.0;
} // namespace

double TDataStorageManager::EncodeDateTime(const QDateTime &moment)
{
    if (!moment.isValid())
        return 0.0;
    const double days = static_cast<double>(kDayZero.daysTo(moment.date()));
    return days + moment.time().msecsSinceStartOfDay() / kMsPerDay;
}

QDateTime TDataStorageManager::DecodeDateTime(double value)
{
    if (!std::isfinite(value) || value <= 0.0 || value > 2958466.0) // past 9999-12-31
        return {};
    double days = std::floor(value);
    qint64 ms = std::llround((value - days) * kMsPerDay);
    if (ms >= static_cast<qint64>(kMsPerDay)) {
        days += 1;
        ms = 0;
    }
    return QDateTime(kDayZero.addDays(static_cast<qint64>(days)), QTime::fromMSecsSinceStartOfDay(int(ms)));
}
