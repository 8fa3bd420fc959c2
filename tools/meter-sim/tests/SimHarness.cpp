#include "SimHarness.h"

#include <QDeadlineTimer>
#include <QtEndian>

namespace MeterSimTest {

using namespace MeterSim;

TSimProcess::~TSimProcess()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(kPeerTimeoutMs)) {
            process_.kill();
            process_.waitForFinished(kPeerTimeoutMs);
        }
    }
}

bool TSimProcess::Start(const QStringList &arguments)
{
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.start(QStringLiteral(MONITOR_SIM_PATH), QStringList{QStringLiteral("--die-with-parent")} + arguments);
    if (!process_.waitForStarted(kPeerTimeoutMs)) {
        error_ = process_.errorString();
        return false;
    }
    const QDeadlineTimer deadline(kPeerTimeoutMs);
    while (!process_.canReadLine()) {
        if (deadline.hasExpired() || process_.state() == QProcess::NotRunning) {
            error_ = QString::fromLocal8Bit(process_.readAllStandardError());
            return false;
        }
        process_.waitForReadyRead(100);
    }
    const QByteArray line = process_.readLine().trimmed();
    if (line.startsWith("SERIAL "))
        return true;
    if (!line.startsWith("LISTENING ")) {
        error_ = QString::fromLatin1(line);
        return false;
    }
    port_ = static_cast<quint16>(line.mid(10).toUInt());
    return port_ != 0;
}

bool TClient::Connect(quint16 port)
{
    socket_.connectToHost(QStringLiteral("127.0.0.1"), port);
    return socket_.waitForConnected(kPeerTimeoutMs);
}

void TClient::Send(const QByteArray &bytes)
{
    device_->write(bytes);
    device_->waitForBytesWritten(kPeerTimeoutMs);
}

bool TClient::ReadAtLeast(qsizetype count)
{
    const QDeadlineTimer deadline(kPeerTimeoutMs);
    while (buffer_.size() < count) {
        buffer_.append(device_->readAll());
        if (buffer_.size() >= count)
            break;
        const bool lost = device_ == &socket_ ? socket_.state() != QAbstractSocket::ConnectedState : !device_->isOpen();
        if (deadline.hasExpired() || lost)
            return false;
        device_->waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
    }
    return true;
}

std::optional<TAnswer> TClient::Receive(const TFrameHeader &request)
{
    auto matches = [&](const TFrameHeader &h) {
        return h.Lead[0] == 0 && h.Cmd == request.Cmd && h.Cmd1 == request.Cmd1 &&
               h.DeviceNumber == request.DeviceNumber && h.DeviceTypeCode == request.DeviceTypeCode;
    };
    for (qsizetype i = 0;; ++i) {
        if (!ReadAtLeast(i + kMinFrameSize))
            return std::nullopt;
        const TFrameHeader h = DecodeHeader(QByteArrayView(buffer_).sliced(i, kHeaderSize));
        if (!matches(h))
            continue;
        const qsizetype total = kMinFrameSize + h.DataLength;
        if (!ReadAtLeast(i + total))
            return std::nullopt;
        TAnswer answer;
        answer.GarbageBytes = static_cast<int>(i);
        answer.Header = h;
        answer.Data = buffer_.mid(i + kHeaderSize, h.DataLength);
        answer.ChecksumOk =
            Checksum(QByteArrayView(buffer_).sliced(i, total - 1)) == static_cast<quint8>(buffer_[i + total - 1]);
        buffer_.remove(0, i + total);
        return answer;
    }
}

std::optional<TAnswer> TClient::Exchange(const TFrameHeader &request, const QByteArray &data)
{
    Send(EncodeFrame(request, data));
    return Receive(request);
}

TFrameHeader Request(quint8 cmd, quint8 cmd1, quint8 iType, quint8 iCount, quint16 deviceNumber, quint16 deviceType)
{
    TFrameHeader h;
    h.Cmd = cmd;
    h.Cmd1 = cmd1;
    h.IType = iType;
    h.ICount = iCount;
    h.DeviceNumber = deviceNumber;
    h.DeviceTypeCode = deviceType;
    return h;
}

TFrameHeader DateTimeRequest()
{
    return Request(0x0A, 0x02);
}
TFrameHeader SettingsRequest()
{
    return Request(0x0A, 0x0F);
}
TFrameHeader IntervalsRequest()
{
    return Request(0x0A, 0x15);
}
TFrameHeader DataRequest()
{
    return Request(0x01, 0x01, 2, 3);
}
TFrameHeader OscillogramRequest(quint8 periods)
{
    return Request(0x01, 0x0C, 1, periods);
}

QByteArray Offset(quint32 offset)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian<quint32>(offset, bytes.data());
    return bytes;
}

QByteArray PasswordData(const QByteArray &password)
{
    return password + '\0';
}

} // namespace MeterSimTest
