#pragma once

// Command line of the simulator.

#include "Faults.h"
#include "Meter.h"

#include <QHostAddress>
#include <QStringList>
#include <optional>

namespace MeterSim {

struct TSimOptions
{
    TMeterConfig Meter;
    TFaultPlan Faults;
    QHostAddress Host = QHostAddress(QHostAddress::LocalHost);
    std::optional<quint16> Port; // TCP listens when a port is given or no tty is
    QString Tty;
    qint32 BaudRate = 115200;
    bool Verbose = false;
    QString SentLog; // record of data answers and faults, for long test runs
    bool DieWithParent = false;
};

enum class TParseResult { Run, ExitOk, ExitError };

// Parses the arguments; prints help, version or the error itself.
TParseResult ParseOptions(const QStringList &arguments, TSimOptions &options);

} // namespace MeterSim
