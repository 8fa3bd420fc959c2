#pragma once

// The meter's protocol logic for one link: checks a request, answers it, and
// keeps what belongs to the conversation (password removed). A new connection
// starts a new session; the oscillogram in transfer is the meter's.

#include "Faults.h"
#include "FrameCodec.h"
#include "Meter.h"

namespace MeterSim {

// Meter error codes used by the simulator.
enum : quint16 {
    kErrNone = 0,
    kErrNotReady = 1,
    kErrBadCmd = 2,
    kErrBadCmd1 = 3,
    kErrBusy = 7,
    kErrDataMap = 9,
    kErrPasswordNeeded = 15,
    kErrBadFormat = 16,
    kErrWrongPassword = 17,
    kErrVersion = 21,
    kErrMoreParts = 33,
};

struct TReply
{
    bool Silent = false; // the meter does not answer (frame addressed to another device)
    TFrameHeader Header;
    QByteArray Data;
    QString Note; // why, for the trace
};

TRequestKind Classify(const TFrameHeader &request);

class TMeterSession
{
public:
    explicit TMeterSession(TMeter &meter) : meter_(meter) {}

    TReply Handle(const TFrame &request, bool frozenClock = false);
    // A reply carrying only an error code.
    static TReply ErrorReply(const TFrameHeader &request, quint16 code, const QString &note = {});

private:
    TReply Answer(const TFrameHeader &request, QByteArray data, quint16 code = kErrNone);
    TReply Password(const TFrame &request);
    TReply Oscillogram(const TFrame &request);

    TMeter &meter_;
    bool unlocked_ = false;
};

} // namespace MeterSim
