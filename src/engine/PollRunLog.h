#pragma once

// What a polling run tells besides its status texts: its start and stop
// entries in the program log, and the announcement of its first oscillogram.

#include <QStringList>
#include <cstdint>
#include <functional>

class TMonitorR5Logger;
class TConnectionSettings;

// The polling thread's entries in the program log.
class TRequestThreadLogger
{
public:
    using TShowStatus = std::function<void(const QString &text)>;

    // The program log must be given (contract); showStatus puts the start
    // and stop into the status line (may be empty).
    explicit TRequestThreadLogger(TMonitorR5Logger *log, TShowStatus showStatus = {});

    // "Старт опроса" in the status line, then the settings block in the log.
    void LogPollStart(const TConnectionSettings *settings);
    // "Стоп опроса" in the log and the status line.
    void LogPollStop();

    // The items of the settings block.
    static QStringList PollStartLines(const TConnectionSettings &settings);

private:
    TMonitorR5Logger *log_;
    TShowStatus showStatus_;
};

class TRequestCirclesFinishingReporter
{
public:
    // firstFinished announces the first oscillogram (may be empty).
    explicit TRequestCirclesFinishingReporter(std::function<void()> firstFinished = {});

    void Reset() { counter_ = 0; }
    bool NothingFinished() const { return counter_ == 0; }
    // Announces the first finished cycle after Reset,
    // then counts; the count wraps to 1 so the announcement never repeats.
    void CircleFinished();

    int32_t Counter() const { return counter_; }
    void SetCounterForTest(int32_t value) { counter_ = value; }

private:
    std::function<void()> firstFinished_;
    int32_t counter_ = 0;
};
