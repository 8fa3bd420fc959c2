#pragma once

// The meter's clock as the polling thread sees it: the date-time answer's
// fields, and the verifier that tells a new 3-s measurement interval of the
// meter and paces the requests made while waiting for it.

#include <QDateTime>

// The meter clock as the date-time answer carries it.
struct TMeterClock
{
    int Day = 0;
    int Month = 0;
    int Year = 0; // two digits: years since 2000
    int Hour = 0;
    int Minute = 0;
    int Second = 0;

    // Invalid when the fields do not make a date (a garbled answer).
    QDateTime ToDateTime() const;
};

class TTimeIntervalVerifier
{
public:
    // The meter measures in 3 s intervals; date-time arithmetic may land a few
    // milliseconds short, hence 2984.
    static constexpr qint64 kMinIntervalMs = 2984;
    static constexpr qint64 kRequestPeriodMs = 200;

    bool AcceptMeterTime(const TMeterClock &clock);
    bool AcceptMeterTime(const QDateTime &meterTime);
    // Milliseconds still to wait so that two paced requests are at least
    // 200 ms apart (0 on the first call).
    qint64 RemainingPause(const QDateTime &now);

    bool HasMeterTime() const { return hasMeterTime_; }
    const QDateTime &LastMeterTime() const { return lastMeterTime_; }

private:
    QDateTime lastMeterTime_;
    bool hasMeterTime_ = false;
    QDateTime lastRequestMoment_;
};
