#include "channel/Channel.h"

#include "channel/SerialChannel.h"
#include "channel/TcpChannel.h"

#include <QDeadlineTimer>
#include <QIODevice>
#include <QThread>

#include <algorithm>

TPCACustom::TPCACustom(const TPCASettings &) {}

TPCACustom::~TPCACustom() = default;

int TPCACustom::Connect()
{
    lastError_ = pceNotImplemented;
    return -1;
}

bool TPCACustom::IsSameTarget(const TPCASettings &) const
{
    return false;
}

bool TPCACustom::IsSettingsChanged(const TPCASettings &) const
{
    return true;
}

int TPCACustom::Disconnect()
{
    lastError_ = pceNotImplemented;
    return -1;
}

int TPCACustom::GetSettings(TPCASettings &)
{
    lastError_ = pceNotImplemented;
    return -1;
}

int TPCACustom::ApplySettings(const TPCASettings &)
{
    lastError_ = pceNotImplemented;
    return -1;
}

int TPCACustom::Write(const void *buffer, quint32 count, quint32 &written)
{
    written = 0;
    lastError_ = pceOk;
    QIODevice *device = IoDevice();
    if (device == nullptr || !device->isOpen() || LinkClosed() || (buffer == nullptr && count > 0)) {
        lastError_ = pceConnectionLost;
        return -1;
    }
    if (count == 0)
        return 0;
    const qint64 queued = device->write(static_cast<const char *>(buffer), count);
    if (queued != static_cast<qint64>(count)) {
        lastError_ = pceConnectionLost;
        return -1;
    }
    // The frame counts as written once the OS has taken every byte of it.
    QDeadlineTimer deadline(kWriteTimeoutMs);
    while (device->bytesToWrite() > 0) {
        if (LinkClosed()) {
            lastError_ = pceWrite;
            return -1;
        }
        if (deadline.hasExpired()) {
            lastError_ = pceWrite;
            Purge();
            return -1;
        }
        if (!device->waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) {
            if (device->bytesToWrite() == 0)
                break;
            if (deadline.hasExpired()) {
                lastError_ = pceWrite;
                Purge();
                return -1;
            }
            // An error other than the time-out (connection reset, port gone).
            lastError_ = pceWrite;
            return -1;
        }
    }
    written = count;
    return 0;
}

int TPCACustom::Read(void *buffer, quint32 capacity, int timeoutMs, quint32 &bytesRead)
{
    bytesRead = 0;
    lastError_ = pceOk;
    QIODevice *device = IoDevice();
    if (device == nullptr || (buffer == nullptr && capacity > 0)) {
        lastError_ = pceConnectionLost;
        return -1;
    }
    if (capacity == 0)
        return 0;

    QDeadlineTimer deadline(timeoutMs > 0 ? timeoutMs : 0);
    for (;;) {
        // Bytes that arrived before the peer closed are still delivered.
        if (device->isOpen() && device->bytesAvailable() > 0) {
            const qint64 n = device->read(static_cast<char *>(buffer), capacity);
            if (n > 0) {
                bytesRead = static_cast<quint32>(n);
                return 0;
            }
            if (n < 0) {
                lastError_ = pceRead;
                return -1;
            }
        }
        if (LinkClosed() || !device->isOpen()) {
            lastError_ = pceServerNotFound;
            return -1;
        }
        // A stop ends the wait like its time-out: nothing more is wanted.
        if (deadline.hasExpired() || StopRequested())
            break;
        const QDeadlineTimer slice(WaitSliceMs(deadline));
        if (!device->waitForReadyRead(static_cast<int>(slice.remainingTime()))) {
            // A time-out leaves a connected socket in its timeout error: the
            // state tells a quiet line from a closed one.
            if (device->bytesAvailable() > 0 || LinkClosed())
                continue;
            // One slice of a longer wait has passed: look at the stop.
            if (slice.hasExpired() && !deadline.hasExpired())
                continue;
            // Time-out, or a failure of the wait itself: either way a read
            // error, with nothing left pending.
            break;
        }
    }
    Purge();
    lastError_ = pceRead;
    return -1;
}

bool TPCACustom::PauseUnlessStopped(int ms) const
{
    const QDeadlineTimer deadline(std::max(0, ms));
    while (!deadline.hasExpired()) {
        if (StopRequested())
            return false;
        QThread::msleep(static_cast<unsigned long>(WaitSliceMs(deadline)));
    }
    return !StopRequested();
}

int TPCACustom::WaitSliceMs(const QDeadlineTimer &deadline) const
{
    const qint64 left = std::max<qint64>(0, deadline.remainingTime());
    return static_cast<int>(stopRequested_ ? std::min<qint64>(left, kStopCheckIntervalMs) : left);
}

bool TPCACustom::LinkUp()
{
    QIODevice *device = IoDevice();
    return device != nullptr && device->isOpen() && !LinkClosed();
}

int TPCACustom::CheckDevice()
{
    return pceDeviceUnknown;
}

std::unique_ptr<TPCACustom> CreatePCA(const TPCASettings &settings)
{
    switch (settings.ChannelType) {
    case pcaComPort: return std::make_unique<TPCAComPort>(settings);
    case pcaEthernetTCP: return std::make_unique<TPCAEthernetTCP>(settings);
    default: return nullptr;
    }
}
