#include "Options.h"

#include <QCommandLineParser>
#include <cmath>
#include <cstdio>

namespace MeterSim {

using namespace Qt::Literals::StringLiterals;

namespace {

const char *kDescription = "Simulated three-phase power-quality meter of the Tarvel family. It answers the\n"
                           "meter's request/answer protocol on a loopback TCP port and, optionally, on a\n"
                           "serial line, with realistic, slowly varying measurements and oscillograms.\n"
                           "\n"
                           "Fault injection (--fault may be repeated):\n"
                           "  --fault KIND[,on=TARGET][,skip=M][,count=N][,prob=P][,value=V]\n"
                           "  KIND: garbage (V random bytes before the answer, 5), checksum, silence,\n"
                           "        close, error (meter code V, 7), busy (7), notready (1), freeze\n"
                           "        (clock stands still), length (data V bytes longer, -1), errorfield\n"
                           "        (V above 127, 200), delay (V ms, 1500), split (pieces of V bytes, 7),\n"
                           "        dribble (one byte every V ms, 1000)\n"
                           "  TARGET: any (default), datetime, settings, intervals, data, osc, password\n"
                           "  The rule lets M matching requests pass, then fires on the next N (1), or\n"
                           "  on each with probability P (without limit unless count is given).\n"
                           "  Example: --fault silence,on=data,skip=2,count=3 --fault garbage,prob=0.1";

void Print(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

bool Fail(const QString &message)
{
    Print(stderr, u"tarvel-meter-sim: %1\n"_s.arg(message));
    return false;
}

bool ToInt(const QString &text, int low, int high, const QString &what, int &out)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < low || value > high)
        return Fail(u"%1 must be a whole number from %2 to %3, not '%4'"_s.arg(what).arg(low).arg(high).arg(text));
    out = value;
    return true;
}

bool ToDouble(const QString &text, double low, double high, const QString &what, double &out)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < low || value > high)
        return Fail(u"%1 must be a number from %2 to %3, not '%4'"_s.arg(what).arg(low).arg(high).arg(text));
    out = value;
    return true;
}

} // namespace

TParseResult ParseOptions(const QStringList &arguments, TSimOptions &o)
{
    QCommandLineParser p;
    p.setApplicationDescription(QString::fromLatin1(kDescription));
    p.addHelpOption();
    p.addVersionOption();
    const QCommandLineOption port(u"port"_s,
                                  u"TCP port to listen on; 0 picks a free one. Prints \"LISTENING <port>\"."_s, u"N"_s);
    const QCommandLineOption host(u"host"_s, u"Address to listen on (default 127.0.0.1)."_s, u"ADDRESS"_s);
    const QCommandLineOption tty(
        u"tty"_s, u"Also (or only, without --port) serve this serial line, e.g. one end of a socat pty pair."_s,
        u"PATH"_s);
    const QCommandLineOption baud(u"baud"_s, u"Serial line rate (default 115200)."_s, u"RATE"_s);
    const QCommandLineOption lineRate(
        u"line-rate"_s,
        u"Pace every answer, on any link, as a serial line of BAUD bit/s would carry it (10 bits a byte)."_s,
        u"BAUD"_s);
    const QCommandLineOption number(u"device-number"_s,
                                    u"Answer only requests for this device number (default: any)."_s, u"N"_s);
    const QCommandLineOption type(
        u"device-type"_s,
        u"Answer only requests for this device type code, 10..15 (default: any; 10 and 11 record no oscillograms)."_s,
        u"CODE"_s);
    const QCommandLineOption firmware(
        u"firmware"_s,
        u"Firmware version: four digits (2218 is sent as \"22.18\"; 2217 and below record no oscillograms) or a five-character text sent as is. Default 2218."_s,
        u"VERSION"_s);
    const QCommandLineOption password(
        u"password"_s,
        u"Protect the meter with this first-level password (error 15 until it is given, 17 for a wrong one)."_s,
        u"TEXT"_s);
    const QCommandLineOption fastClock(
        u"fast-clock"_s, u"The clock moves on one second per date-time request instead of in real time."_s);
    const QCommandLineOption clockStep(
        u"clock-step"_s,
        u"Seconds the fast clock moves on per date-time request (default 1; 3 makes every reading a new cycle)."_s,
        u"SECONDS"_s);
    const QCommandLineOption speed(
        u"speed"_s,
        u"Without --fast-clock: the clock, and the measurements with it, run N times real time, 1..1000 (default 1)."_s,
        u"N"_s);
    const QCommandLineOption startTime(
        u"start-time"_s,
        u"The clock starts at this local time, YYYY-MM-DDTHH:MM:SS, instead of now (e.g. a day back, to record history)."_s,
        u"ISO"_s);
    const QCommandLineOption unom(
        u"unom"_s, u"Nominal phase voltage, V (default 57.7; the line voltage follows: 100 for 57.7, else x sqrt 3)."_s,
        u"VOLTS"_s);
    const QCommandLineOption inom(u"inom"_s, u"Nominal current of the meter's inputs, 1 or 5 A (default 5)."_s,
                                  u"AMPS"_s);
    const QCommandLineOption ratio(
        u"current-ratio"_s, u"Current transformer ratio; currents are reported in primary amperes (default 1)."_s,
        u"K"_s);
    const QCommandLineOption chunk(u"osc-chunk"_s, u"Bytes of oscillogram data per answer part (default 4096)."_s,
                                   u"BYTES"_s);
    const QCommandLineOption steady(u"no-channel-faults"_s, u"Never report a channel status other than 0."_s);
    const QCommandLineOption seed(u"seed"_s, u"Seed of the measurement noise and of random faults (default 1)."_s,
                                  u"N"_s);
    const QCommandLineOption fault(u"fault"_s, u"Fault rule, see above; may be repeated."_s, u"RULE"_s);
    const QCommandLineOption verbose(u"verbose"_s, u"Log every request and answer to stderr."_s);
    const QCommandLineOption sentLog(
        u"sent-log"_s, u"Record every data answer and every fired fault in this binary file (for long test runs)."_s,
        u"FILE"_s);
    const QCommandLineOption parentDeath(
        u"die-with-parent"_s, u"Exit when the process that started the simulator ends (Linux; for test harnesses)."_s);
    p.addOptions({port,     host,      tty,       baud,  lineRate,  number,  type,       firmware,
                  password, fastClock, clockStep, speed, startTime, unom,    inom,       ratio,
                  chunk,    steady,    seed,      fault, verbose,   sentLog, parentDeath});

    if (!p.parse(arguments)) {
        Fail(p.errorText());
        return TParseResult::ExitError;
    }
    if (p.isSet(u"help"_s)) {
        Print(stdout, p.helpText());
        return TParseResult::ExitOk;
    }
    if (p.isSet(u"version"_s)) {
        Print(stdout, u"tarvel-meter-sim " MONITOR_VERSION "\n"_s);
        return TParseResult::ExitOk;
    }
    if (!p.positionalArguments().isEmpty()) {
        Fail(u"unexpected argument '%1'"_s.arg(p.positionalArguments().first()));
        return TParseResult::ExitError;
    }

    auto bad = [] { return TParseResult::ExitError; };
    int value = 0;
    double real = 0.0;
    if (p.isSet(port)) {
        if (!ToInt(p.value(port), 0, 65535, u"--port"_s, value))
            return bad();
        o.Port = static_cast<quint16>(value);
    }
    if (p.isSet(host) && !o.Host.setAddress(p.value(host))) {
        Fail(u"--host: '%1' is not an address"_s.arg(p.value(host)));
        return bad();
    }
    o.Tty = p.value(tty);
    if (p.isSet(baud)) {
        if (!ToInt(p.value(baud), 50, 4000000, u"--baud"_s, value))
            return bad();
        o.BaudRate = value;
    }
    if (p.isSet(number)) {
        if (!ToInt(p.value(number), 0, 65535, u"--device-number"_s, value))
            return bad();
        o.Meter.DeviceNumber = value;
    }
    if (p.isSet(type)) {
        if (!ToInt(p.value(type), 0, 65535, u"--device-type"_s, value))
            return bad();
        o.Meter.DeviceType = value;
    }
    if (p.isSet(firmware))
        o.Meter.Firmware = p.value(firmware);
    if (p.isSet(password)) {
        const QString text = p.value(password);
        const bool valid = text.size() <= 8 && std::all_of(text.begin(), text.end(), [](QChar c) {
                               return c.isDigit() || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
                           });
        if (!valid) {
            Fail(u"--password: at most 8 Latin letters and digits"_s);
            return bad();
        }
        o.Meter.Password = text;
    }
    o.Meter.FastClock = p.isSet(fastClock);
    if (p.isSet(clockStep) && !ToInt(p.value(clockStep), 1, 3600, u"--clock-step"_s, o.Meter.FastClockStep))
        return bad();
    if (p.isSet(speed) && !ToInt(p.value(speed), 1, 1000, u"--speed"_s, o.Meter.Speed))
        return bad();
    if (p.isSet(startTime)) {
        const QDateTime start = QDateTime::fromString(p.value(startTime), Qt::ISODate);
        if (!start.isValid()) {
            Fail(u"--start-time: '%1' is not a date and time such as 2026-03-01T12:00:00"_s.arg(p.value(startTime)));
            return bad();
        }
        o.Meter.StartTime = start.toLocalTime();
    }
    if (p.isSet(unom)) {
        if (!ToDouble(p.value(unom), 1.0, 1.0e6, u"--unom"_s, real))
            return bad();
        o.Meter.Nominals.PhaseVoltage = real;
        o.Meter.Nominals.LineVoltage = std::abs(real - 57.7) < 1e-9 ? 100.0 : real * std::sqrt(3.0);
    }
    if (p.isSet(inom)) {
        if (!ToInt(p.value(inom), 1, 5, u"--inom"_s, value) || (value != 1 && value != 5)) {
            Fail(u"--inom must be 1 or 5"_s);
            return bad();
        }
        o.Meter.Nominals.SecondaryCurrent = value;
    }
    if (p.isSet(ratio)) {
        if (!ToDouble(p.value(ratio), 1.0, 100000.0, u"--current-ratio"_s, real))
            return bad();
        o.Meter.Nominals.CurrentRatio = real;
    }
    if (p.isSet(chunk)) {
        if (!ToInt(p.value(chunk), 1, 65535, u"--osc-chunk"_s, value))
            return bad();
        o.Meter.OscillogramChunk = value;
    }
    o.Meter.ChannelFaults = !p.isSet(steady);
    if (p.isSet(seed)) {
        if (!ToInt(p.value(seed), 0, std::numeric_limits<int>::max(), u"--seed"_s, value))
            return bad();
        o.Meter.Seed = static_cast<quint32>(value);
    }
    o.Faults = TFaultPlan(o.Meter.Seed);
    for (const QString &rule : p.values(fault)) {
        if (const auto error = o.Faults.Add(rule)) {
            Fail(u"--fault %1: %2"_s.arg(rule, *error));
            return bad();
        }
    }
    if (p.isSet(lineRate)) {
        if (!ToInt(p.value(lineRate), 50, 4000000, u"--line-rate"_s, value))
            return bad();
        o.Faults.LineRate = value;
    }
    o.Verbose = p.isSet(verbose);
    o.SentLog = p.value(sentLog);
    o.DieWithParent = p.isSet(parentDeath);
    if (!o.Port && o.Tty.isEmpty())
        o.Port = 0;
    return TParseResult::Run;
}

} // namespace MeterSim
