#include "engine/MeterClock.h"

#include <cstdlib>

QDateTime TMeterClock::ToDateTime() const
{
    const QDate date(2000 + Year, Month, Day);
    const QTime time(Hour, Minute, Second);
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time, Qt::UTC); // meter time has no zone: keep DST out of the arithmetic
}

bool TTimeIntervalVerifier::AcceptMeterTime(const TMeterClock &clock)
{
    return AcceptMeterTime(clock.ToDateTime());
}

bool TTimeIntervalVerifier::AcceptMeterTime(const QDateTime &meterTime)
{
    if (!meterTime.isValid())
        return false;
    if (hasMeterTime_ && std::llabs(lastMeterTime_.msecsTo(meterTime)) < kMinIntervalMs)
        return false;
    lastMeterTime_ = meterTime;
    hasMeterTime_ = true;
    return true;
}

qint64 TTimeIntervalVerifier::RemainingPause(const QDateTime &now)
{
    qint64 pause = 0;
    if (lastRequestMoment_.isValid()) {
        const qint64 elapsed = std::llabs(lastRequestMoment_.msecsTo(now));
        if (elapsed < kRequestPeriodMs)
            pause = kRequestPeriodMs - elapsed;
    }
    lastRequestMoment_ = now;
    return pause;
}
