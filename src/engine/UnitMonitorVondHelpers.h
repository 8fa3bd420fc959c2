#pragma once

// Small companions of the polling thread: the reporter that announces the
// first oscillogram of a run, and the verifier that tells a new meter
// measurement interval and paces requests while waiting for it.

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <cstdint>

class TMonitorR5Logger;
class TConnectionSettings;
class TCommons;

// The polling thread's entries in the program log.
class TRequestThreadLogger
{
public:
    // The program log must be given (contract).
    explicit TRequestThreadLogger(TMonitorR5Logger *log, TCommons *commons = nullptr);

    // "Старт опроса" in the status line, then the settings block in the log.
    void LogPollStart(const TConnectionSettings *settings);
    // "Стоп опроса" in the log and the status line.
    void LogPollStop();

    // The items of the settings block.
    static QStringList PollStartLines(const TConnectionSettings &settings);

private:
    TMonitorR5Logger *log_;
    TCommons *commons_;
};

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

class TRequestCirclesFinishingReporter
{
public:
    explicit TRequestCirclesFinishingReporter(QObject *window = nullptr);

    void Reset() { counter_ = 0; }
    bool NothingFinished() const { return counter_ == 0; }
    // Posts WM_FIRST_OSCILLOGRAM on the first finished cycle after Reset,
    // then counts; the count wraps to 1 so the announcement never repeats.
    void CircleFinished();

    int32_t Counter() const { return counter_; }
    void SetCounterForTest(int32_t value) { counter_ = value; }

private:
    QPointer<QObject> window_;
    int32_t counter_ = 0;
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
