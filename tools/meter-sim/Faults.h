#pragma once

// Fault injection: rules given on the command line that spoil selected
// answers, so the far end's error handling can be exercised on purpose.
//
//   --fault KIND[,on=TARGET][,skip=M][,count=N][,every=K][,prob=P][,value=V]
//
// A rule watches the requests of its target; it lets the first M pass, then
// fires on the next N (1 unless said otherwise), or on every K-th of them, or
// on each with probability P (with every or prob without limit unless count
// is given).

#include <QList>
#include <QString>
#include <optional>
#include <random>

namespace MeterSim {

enum class TRequestKind { DateTime, Settings, Intervals, Data, Oscillogram, Password, Other };

QString RequestKindName(TRequestKind kind);

enum class TFaultKind {
    Garbage,    // value random bytes before the answer (default 5)
    Checksum,   // the answer's checksum byte is wrong
    Silence,    // no answer at all
    Close,      // the connection is closed instead of answering (a serial line stays silent)
    Error,      // answer without data carrying meter error code value (default 7)
    Busy,       // error 7, "device busy"
    NotReady,   // error 1, "data not ready"
    Freeze,     // the clock stands still in date-time answers
    Length,     // the answer's data is value bytes longer (or shorter, if negative; default -1)
    ErrorField, // the answer's error field holds value (default 200), beyond the meter's range
    Delay,      // the answer is sent value milliseconds late (default 1500)
    Split,      // the answer is written in pieces of value bytes (default 7)
    Dribble,    // the answer is written one byte every value milliseconds (default 1000)
};

struct TFaultRule
{
    TFaultKind Kind = TFaultKind::Silence;
    std::optional<TRequestKind> Target; // every request when empty
    int Skip = 0;
    int Count = 1; // -1: no limit
    int Every = 1; // fires on the first request after the skipped ones, then on every Every-th
    double Probability = 1.0;
    int Value = 0;

    int Seen = 0;
    int Fired = 0;
};

// What applies to one answer.
struct TFaultSet
{
    int GarbageBytes = 0;
    bool BadChecksum = false;
    bool Silence = false;
    bool Close = false;
    std::optional<int> ErrorCode;
    bool FreezeClock = false;
    int LengthDelta = 0;
    std::optional<int> ErrorField;
    int DelayMs = 0;
    int SplitBytes = 0;
    int DribbleMs = 0;

    bool Any() const;
    QString Describe() const;
};

class TFaultPlan
{
public:
    explicit TFaultPlan(quint32 seed = 1) : random_(seed) {}

    // Parses one rule; on failure returns the reason.
    std::optional<QString> Add(const QString &text);
    bool IsEmpty() const { return rules_.isEmpty(); }

    TFaultSet Decide(TRequestKind kind);

    // A serial line's pace on any link: each answer leaves after the time
    // its bytes take on a line of this many bits per second (10 bits a
    // byte); 0 sends at once.
    int LineRate = 0;
    int WireTimeMs(qsizetype bytes) const
    {
        return LineRate > 0 ? int((qint64(bytes) * 10 * 1000 + LineRate / 2) / LineRate) : 0;
    }
    // Random filler for garbage faults.
    QByteArray Garbage(int count);

private:
    QList<TFaultRule> rules_;
    std::mt19937 random_;
};

} // namespace MeterSim
