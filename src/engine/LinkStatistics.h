#pragma once

// How healthy the link to the meter is over one polling run: the driver's
// line counters plus what the run itself measures. The polling thread owns
// the counters and hands out copies, so nothing on the exchange path locks.

#include "protocol/R5Driver.h"

#include <QMetaType>
#include <QString>
#include <QStringList>

struct TLinkStatistics
{
    TR5LineCounters Line;
    quint64 Cycles = 0;               // data answers read whole into the record
    quint64 NoDataCycles = 0;         // data requests the meter took without data ("not ready")
    quint64 ConnectFailures = 0;      // channel openings that failed (refused, no modem, no port)
    qint64 LastCycleMs = -1;          // the data requests of the last cycle; -1: none yet
    qint64 LastOscillogramMs = -1;    // the last oscillogram's download; -1: none yet
    quint64 OscillogramsNotSaved = 0; // read but not written to their files

    // Failed connections, time-outs, checksum and write errors, and answers
    // with a meter error code (the notes "current period" and "more parts
    // follow" are no errors, nor is the meter asking for the password when
    // the password frame follows; a password refused is).
    quint64 Errors() const;
    // Openings and reconnects that did not connect.
    quint64 FailedConnections() const { return ConnectFailures + Line.FailedReconnects; }
    // "Обмен: 1234 / ошибок 3" for the status bar.
    QString ShortText() const;
    // Every counter, one Russian line each.
    QStringList Lines() const;
};

Q_DECLARE_METATYPE(TLinkStatistics)
