#pragma once

// Rows as the archive keeps them, in the order of Quantities() and Spectra().

#include <QDateTime>
#include <array>
#include <cstdint>
#include <vector>

struct TCycleCopy;

namespace Archive {

// The meter's clock carries no zone: kept as a QDateTime in Qt::UTC so that
// no daylight-saving rule ever moves it; written as "YYYY-MM-DD HH:MM:SS".
QDateTime MeterTimeFromDayCount(double days);
QString TimeText(const QDateTime &time);
// The written form back; invalid when the text is not in it.
QDateTime TimeFromText(const QString &text);
// A time on the tools' command lines: "YYYY-MM-DDTHH:MM:SS", or
// "YYYY-MM-DD" for the start of that day; invalid otherwise.
QDateTime TimeFromArgument(const QString &text);

struct TCycleRow
{
    QDateTime MeterTime; // whole seconds
    QDateTime PcTimeUtc;
    std::vector<float> Values;  // Quantities().size()
    std::vector<float> Spectra; // SpectraValueCount()
};

// The row of a cycle copy handed over by the polling thread; slots the copy
// does not hold are NaN.
TCycleRow CycleRowOf(const TCycleCopy &cycle);

// flags of a 10-minute row
enum TAggregateFlag : int {
    afFewValues = 1, // fewer than kFullIntervalValues of the 200 values
    afClockJump = 2, // the meter clock jumped by more than 60 s inside it
    afRunEdge = 4,   // a run started or stopped inside it
};
inline constexpr int kIntervalSeconds = 600;
inline constexpr int kFullIntervalValues = 180;
inline constexpr int kClockJumpSeconds = 60;

struct TAggregateRow
{
    QDateTime Start;                           // meter time, on hh:m0:00
    std::vector<float> Avg, Min, Max;          // Quantities().size() each
    std::vector<float> SpectraAvg, SpectraMax; // SpectraValueCount() each
    int ValuesCount = 0;
    int Flags = 0;
};

} // namespace Archive
