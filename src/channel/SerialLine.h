#pragma once

// Serial ports of this computer: the list offered to the operator, and the
// line itself (open, line format, modem lines, bounded reads and writes)
// behind a small interface, so that the serial channel's dialling and probe
// logic can run against a scripted line where no modem is at hand.

#include "channel/StopCheck.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <memory>

// How opening a port ended.
enum class TComOpenResult {
    Ok,
    AccessDenied, // another program holds the port
    NoPermission, // the user may not open the device (Linux: not in the dialout group)
    NotALine,     // it opens, but takes no line settings (a plain file, /dev/null)
    Failed,       // no such device, or it cannot be opened
};

// How a read or write ended.
enum class TComIoResult {
    Ok,
    Refused,  // could not even be started (port closed or gone)
    TimedOut, // nothing (read) or not everything (write) within the time
    Failed,   // the device reported an error
};

// Modem line signals as read from the port.
struct TComSignals
{
    bool Cts = false;     // the modem is present and ready
    bool Dsr = false;     // a device is attached
    bool Carrier = false; // a modem connection is up (RLSD / DCD)
};

// One serial line. Everything is synchronous and bounded by the time given;
// it is used from the one thread that made it.
class IComLine
{
public:
    virtual ~IComLine() = default;

    virtual TComOpenResult Open(const QString &portName) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // The system handle of the open port, -1 when closed.
    virtual qintptr Handle() const = 0;

    // 8 data bits, no parity, 1 stop bit, no flow control, at `baudRate`.
    // `holdLinesOn`: DTR and RTS held high; otherwise both are left low.
    virtual bool Configure(quint32 baudRate, bool holdLinesOn) = 0;
    // Changes the rate only, keeping the rest of the line format.
    virtual bool SetBaudRate(quint32 baudRate) = 0;
    // A read returns once the line has been quiet this long after a byte.
    virtual void SetReadInterval(int ms) = 0;

    virtual bool SetDtr(bool on) = 0;
    virtual bool SetRts(bool on) = 0;
    // False where the port cannot report its lines (then all read low).
    virtual TComSignals Signals() = 0;

    // Writes all `count` bytes within `timeoutMs`; `written` is what went out.
    virtual TComIoResult Write(const char *data, quint32 count, int timeoutMs, quint32 &written) = 0;
    // Waits up to `timeoutMs` for the first byte, then takes bytes until the
    // line stays quiet for the read interval or `capacity` is reached.
    virtual TComIoResult Read(char *buffer, quint32 capacity, int timeoutMs, quint32 &got) = 0;
    // Drops whatever waits in the input and output queues.
    virtual void ClearQueues() = 0;

    // Waits that belong to the line protocol (pulse trains, settling times).
    virtual void Pause(int ms) = 0;

    // Asked while a read waits for bytes: once it says stop, the read ends
    // at once, as on its time-out before the first byte, or with what came
    // so far after it. Pauses and writes run to their end.
    void SetStopCheck(TStopCheck stopRequested) { stopRequested_ = std::move(stopRequested); }
    bool StopRequested() const { return stopRequested_ && stopRequested_(); }

private:
    TStopCheck stopRequested_;
};

// The line over the system's serial port driver.
std::unique_ptr<IComLine> CreateSystemComLine();

// Serial port names under `deviceDirectory` (ttyUSB<n> and ttyACM<n>, which
// exist only while the adapter is plugged in) together with `reported` (the
// ports the system's port enumeration knows, e.g. ttyS0 or COM3), without
// repeats, in natural order: ttyUSB2 before ttyUSB10. "COM" names are kept
// only with a number above 0; printer ports (LPT) are left out.
QStringList COMPortNames(const QString &deviceDirectory, const QStringList &reported);

// Clears `list` and fills it with the computer's serial ports. A null list is
// refused with an Exception.
void FillCOMPortList(QStringList *list);

// Natural order of port names: the text before the trailing number, then the
// number.
bool COMPortNameLess(const QString &a, const QString &b);
