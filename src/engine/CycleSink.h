#pragma once

// Whoever keeps the cycles of a run (the measurement archive) is told of
// them here, with copies made on the polling thread the moment a cycle is
// whole: the record itself moves on with the next cycle. The engine knows
// nothing of what the sink does with them.

#include "engine/MeasurementRecord.h"

#include <QDateTime>
#include <QString>
#include <array>
#include <cstdint>
#include <vector>

// The meter a run polls, as the connection names it.
struct TMeterIdentity
{
    QString DeviceType; // the persisted identifier, e.g. "dtM7SQ"
    int32_t FactoryNumber = 0;
    int DeviceAddress = 0;
};

// The nominals and limits as the run read them.
struct TSettingsCopy
{
    double MeterDateTime = 0; // the meter's clock then, in the record's day count
    QDateTime ReadAtUtc;
    std::vector<float> Slots; // slots 0..279
    std::array<TTimeInterval, TDataStorageManager::TimeIntervalCount> Intervals{};
};

// One whole data cycle.
struct TCycleCopy
{
    double MeterDateTime = 0; // the meter's clock of the cycle, in the record's day count
    QDateTime PcTimeUtc;
    std::vector<float> Data; // slots VDSlot::DataFirst..DataEnd - 1
};

class TCycleSink
{
public:
    virtual ~TCycleSink() = default;
    // All on the polling thread: hand the copy over and return, never wait.
    virtual void RunStarted(const TMeterIdentity &meter) = 0;
    virtual void SettingsRead(TSettingsCopy settings) = 0;
    virtual void CycleRead(TCycleCopy cycle) = 0;
    virtual void RunEnded() = 0;
};
