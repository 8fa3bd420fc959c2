#include "channel/SerialLine.h"

#include "common/Exceptions.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <limits>

#include <unistd.h>
#ifndef _WIN32
#include <sys/ioctl.h>
#include <termios.h>
#endif

namespace {

bool MayOpen(const QString &portName)
{
    const QString path = portName.contains(QLatin1Char('/')) ? portName : QStringLiteral("/dev/") + portName;
    return ::access(QFile::encodeName(path).constData(), R_OK | W_OK) == 0 || errno != EACCES;
}

class TSystemComLine final : public IComLine
{
public:
    ~TSystemComLine() override { Close(); }

    TComOpenResult Open(const QString &portName) override
    {
        Close();
        // A bare name ("ttyUSB0") is looked for under /dev; a path is taken as it is.
        port_.setPortName(portName);
        if (port_.open(QIODevice::ReadWrite))
            return TComOpenResult::Ok;
        const QSerialPort::SerialPortError error = port_.error();
        port_.clearError();
        switch (error) {
        case QSerialPort::PermissionError:
            // Busy and forbidden come back alike; the device's own rights tell them apart.
            return MayOpen(portName) ? TComOpenResult::AccessDenied : TComOpenResult::NoPermission;
        case QSerialPort::UnsupportedOperationError:
            // the device opened, then refused the terminal calls (ENOTTY)
            return TComOpenResult::NotALine;
        default: return TComOpenResult::Failed;
        }
    }

    void Close() override
    {
        if (port_.isOpen())
            port_.close();
        port_.clearError();
    }

    bool IsOpen() const override { return port_.isOpen(); }

    qintptr Handle() const override { return port_.isOpen() ? qintptr(port_.handle()) : -1; }

    bool Configure(quint32 baudRate, bool holdLinesOn) override
    {
        if (!port_.isOpen())
            return false;
        const bool ok = SetBaudRate(baudRate) && port_.setDataBits(QSerialPort::Data8) &&
                        port_.setParity(QSerialPort::NoParity) && port_.setStopBits(QSerialPort::OneStop) &&
                        port_.setFlowControl(QSerialPort::NoFlowControl);
        port_.clearError();
        if (!ok)
            return false;
        // Lines a port cannot drive (a pseudo-terminal) do not make the
        // format wrong: their failure is not the line's.
        SetDtr(holdLinesOn);
        SetRts(holdLinesOn);
        return true;
    }

    bool SetBaudRate(quint32 baudRate) override
    {
        if (!port_.isOpen() || baudRate == 0 || baudRate > quint32(std::numeric_limits<qint32>::max()))
            return false;
        const bool ok = port_.setBaudRate(qint32(baudRate));
        port_.clearError();
        return ok;
    }

    void SetReadInterval(int ms) override { readIntervalMs_ = std::max(1, ms); }

    bool SetDtr(bool on) override
    {
        if (!port_.isOpen())
            return false;
        const bool ok = port_.setDataTerminalReady(on);
        // The failure of a line ioctl stays in error() and would be taken for
        // the next read's: forget it here.
        port_.clearError();
        return ok;
    }

    bool SetRts(bool on) override
    {
        if (!port_.isOpen())
            return false;
        const bool ok = port_.setRequestToSend(on);
        port_.clearError();
        return ok;
    }

    TComSignals Signals() override
    {
        TComSignals result;
        if (!port_.isOpen())
            return result;
        port_.clearError();
        const QSerialPort::PinoutSignals pins = port_.pinoutSignals();
        if (port_.error() != QSerialPort::NoError) {
            port_.clearError();
            return result;
        }
        result.Cts = pins.testFlag(QSerialPort::ClearToSendSignal);
        result.Dsr = pins.testFlag(QSerialPort::DataSetReadySignal);
        result.Carrier = pins.testFlag(QSerialPort::DataCarrierDetectSignal);
        return result;
    }

    TComIoResult Write(const char *data, quint32 count, int timeoutMs, quint32 &written) override
    {
        written = 0;
        if (!port_.isOpen() || HasDeviceError())
            return TComIoResult::Refused;
        if (count == 0)
            return TComIoResult::Ok;
        if (port_.write(data, qint64(count)) != qint64(count)) {
            port_.clear(QSerialPort::Output);
            return TComIoResult::Refused;
        }
        QDeadlineTimer deadline(std::max(0, timeoutMs));
        while (port_.bytesToWrite() > 0) {
            if (deadline.hasExpired())
                return TComIoResult::TimedOut;
            if (!port_.waitForBytesWritten(int(deadline.remainingTime()))) {
                if (port_.bytesToWrite() == 0)
                    break;
                if (HasDeviceError())
                    return TComIoResult::Failed;
                port_.clearError();
            }
        }
        // The device may still take a write after its far end went away:
        // judge by the error, not by the count.
        if (HasDeviceError())
            return TComIoResult::Failed;
        // Written means on the line: a purge or a line change right after
        // (a modem's escape, then DTR low) must not catch the bytes still in
        // the driver's queue.
        if (!Drained(deadline))
            return TComIoResult::TimedOut;
        written = count;
        return TComIoResult::Ok;
    }

    TComIoResult Read(char *buffer, quint32 capacity, int timeoutMs, quint32 &got) override
    {
        got = 0;
        if (!port_.isOpen() || HasDeviceError())
            return TComIoResult::Refused;
        if (capacity == 0)
            return TComIoResult::Ok;
        if (!WaitForBytes(std::max(0, timeoutMs)))
            return HasDeviceError() ? TComIoResult::Failed : TComIoResult::TimedOut;
        for (;;) {
            const qint64 n = port_.read(buffer + got, qint64(capacity - got));
            if (n < 0)
                return got > 0 ? TComIoResult::Ok : TComIoResult::Failed;
            got += quint32(n);
            if (got >= capacity)
                return TComIoResult::Ok;
            if (port_.bytesAvailable() > 0)
                continue;
            if (!WaitForBytes(readIntervalMs_)) {
                // Quiet for the interval (or gone, or stopped): what came so
                // far is the answer.
                if (!HasDeviceError())
                    port_.clearError();
                return TComIoResult::Ok;
            }
        }
    }

    void ClearQueues() override
    {
        if (port_.isOpen())
            port_.clear(QSerialPort::AllDirections);
        if (!HasDeviceError())
            port_.clearError();
    }

    void Pause(int ms) override
    {
        if (ms > 0)
            QThread::msleep(ulong(ms));
    }

private:
    // True once bytes wait in the port; false when `ms` passed without any,
    // a stop came or the device failed. A long wait runs in slices that look
    // at the stop.
    bool WaitForBytes(int ms)
    {
        const QDeadlineTimer deadline(ms);
        while (port_.bytesAvailable() == 0) {
            if (deadline.hasExpired() || StopRequested())
                return false;
            const qint64 left = std::max<qint64>(0, deadline.remainingTime());
            if (!port_.waitForReadyRead(int(std::min<qint64>(left, kStopCheckIntervalMs)))) {
                if (port_.bytesAvailable() > 0)
                    break;
                if (HasDeviceError())
                    return false;
                port_.clearError();
            }
        }
        return true;
    }

    // Waits until the driver's output queue is empty, within the deadline,
    // then for the last bytes to leave the port.
    bool Drained(const QDeadlineTimer &deadline)
    {
#ifdef _WIN32
        // A write there completes once the bytes are with the driver.
        Q_UNUSED(deadline);
        return true;
#else
        const int fd = int(port_.handle());
        for (;;) {
            int queued = 0;
            if (::ioctl(fd, TIOCOUTQ, &queued) != 0)
                return true; // a device that cannot tell: nothing more to wait for
            if (queued <= 0)
                break;
            if (deadline.hasExpired())
                return false;
            QThread::msleep(1);
        }
        ::tcdrain(fd);
        return true;
#endif
    }

    bool HasDeviceError() const
    {
        const QSerialPort::SerialPortError error = port_.error();
        return error != QSerialPort::NoError && error != QSerialPort::TimeoutError &&
               error != QSerialPort::UnsupportedOperationError;
    }

    QSerialPort port_;
    int readIntervalMs_ = 25;
};

// Splits "ttyUSB10" into "ttyUSB" and 10; no trailing digits gives -1.
std::pair<QStringView, qint64> SplitTrailingNumber(QStringView name)
{
    qsizetype start = name.size();
    while (start > 0 && name[start - 1].isDigit() && name[start - 1].unicode() < 128)
        --start;
    if (start == name.size() || name.size() - start > 18)
        return {name, -1};
    return {name.left(start), name.mid(start).toLongLong()};
}

} // namespace

std::unique_ptr<IComLine> CreateSystemComLine()
{
    return std::make_unique<TSystemComLine>();
}

bool COMPortNameLess(const QString &a, const QString &b)
{
    const auto [prefixA, numberA] = SplitTrailingNumber(a);
    const auto [prefixB, numberB] = SplitTrailingNumber(b);
    const int byPrefix = prefixA.compare(prefixB, Qt::CaseInsensitive);
    if (byPrefix != 0)
        return byPrefix < 0;
    if (numberA != numberB)
        return numberA < numberB;
    return a < b;
}

QStringList COMPortNames(const QString &deviceDirectory, const QStringList &reported)
{
    static const QRegularExpression hotplugged(QStringLiteral("^tty(USB|ACM)[0-9]+$"));
    static const QRegularExpression comName(QStringLiteral("^COM([0-9]+)$"), QRegularExpression::CaseInsensitiveOption);
    QStringList names;
    if (!deviceDirectory.isEmpty()) {
        const QStringList entries = QDir(deviceDirectory).entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot);
        for (const QString &entry : entries)
            if (hotplugged.match(entry).hasMatch())
                names << entry;
    }
    for (const QString &name : reported) {
        if (name.isEmpty())
            continue;
        const QRegularExpressionMatch com = comName.match(name);
        if (com.hasMatch()) {
            bool ok = false;
            const qulonglong number = com.captured(1).toULongLong(&ok);
            if (!ok || number == 0)
                continue;
        } else if (name.startsWith(u"COM", Qt::CaseInsensitive) || name.startsWith(u"LPT", Qt::CaseInsensitive)) {
            // Not a numbered serial port (COM0, COMX) or a printer port.
            continue;
        }
        names << name;
    }
    names.removeDuplicates();
    std::sort(names.begin(), names.end(), COMPortNameLess);
    return names;
}

void FillCOMPortList(QStringList *list)
{
    if (list == nullptr)
        throw Exception(QStringLiteral("FillCOMPortList: параметр COMPortList не может быть nil"));
    QStringList reported;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        reported << info.portName();
#ifdef Q_OS_WIN
    const QString deviceDirectory;
#else
    const QString deviceDirectory = QStringLiteral("/dev");
#endif
    const QStringList names = COMPortNames(deviceDirectory, reported);
    list->clear();
    *list = names;
}
