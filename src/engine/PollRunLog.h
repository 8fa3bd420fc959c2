#pragma once

// What a polling run tells besides its status texts: its start and stop
// entries in the program log, and the announcement of its first oscillogram.

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
