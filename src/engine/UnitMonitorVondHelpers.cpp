#include "engine/UnitMonitorVondHelpers.h"

#include "common/WindowMessages.h"

#include <cstdlib>
#include <limits>

QDateTime TMeterClock::ToDateTime() const
{
    const QDate date(2000 + Year, Month, Day);
    const QTime time(Hour, Minute, Second);
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time, Qt::UTC); // meter time has no zone: keep DST out of the arithmetic
}

TRequestCirclesFinishingReporter::TRequestCirclesFinishingReporter(QObject *window) : window_(window)
{
    Reset();
}

void TRequestCirclesFinishingReporter::CircleFinished()
{
    if (NothingFinished())
        PostWindowMessage(window_.data(), WM_FIRST_OSCILLOGRAM); // a failed post is of no consequence
    if (counter_ >= std::numeric_limits<int32_t>::max() - 1)
        counter_ = 1;
    else
        ++counter_;
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
