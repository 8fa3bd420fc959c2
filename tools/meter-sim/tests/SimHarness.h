#pragma once

// Runs the simulator executable and talks to it over a real loopback socket.

#include "FrameCodec.h"

#include <QProcess>
#include <QStringList>
#include <QTcpSocket>
#include <memory>
#include <optional>

namespace MeterSimTest {

// Generous: the machine running the tests may be busy.
constexpr int kPeerTimeoutMs = 10000;

struct TAnswer
{
    int GarbageBytes = 0; // bytes before the header
    MeterSim::TFrameHeader Header;
    QByteArray Data;
    bool ChecksumOk = false;
};

class TSimProcess
{
public:
    ~TSimProcess();
    // Starts the simulator with the given options; false (with the reason in
    // Error()) when it did not report a listening port (or, with --tty only,
    // its serial line).
    bool Start(const QStringList &arguments);
    quint16 Port() const { return port_; }
    const QString &Error() const { return error_; }
    QProcess &Process() { return process_; }

private:
    QProcess process_;
    quint16 port_ = 0;
    QString error_;
};

// The monitor's side of a link: a TCP connection, or any open device.
class TClient
{
public:
    TClient() : device_(&socket_) {}
    explicit TClient(QIODevice *device) : device_(device) {}

    bool Connect(quint16 port);
    QTcpSocket &Socket() { return socket_; }

    void Send(const QByteArray &bytes);
    // Reads one answer whose header matches the request (byte 0, CMD, CMD1,
    // device number and type), sliding over anything in front of it.
    std::optional<TAnswer> Receive(const MeterSim::TFrameHeader &request);
    std::optional<TAnswer> Exchange(const MeterSim::TFrameHeader &request, const QByteArray &data = {});

private:
    bool ReadAtLeast(qsizetype count);

    QTcpSocket socket_;
    QIODevice *device_;
    QByteArray buffer_;
};

MeterSim::TFrameHeader Request(quint8 cmd, quint8 cmd1, quint8 iType = 1, quint8 iCount = 1, quint16 deviceNumber = 1,
                               quint16 deviceType = 12);
MeterSim::TFrameHeader DateTimeRequest();
MeterSim::TFrameHeader SettingsRequest();
MeterSim::TFrameHeader IntervalsRequest();
MeterSim::TFrameHeader DataRequest();
MeterSim::TFrameHeader OscillogramRequest(quint8 periods = 2);
QByteArray Offset(quint32 offset);
QByteArray PasswordData(const QByteArray &password);

} // namespace MeterSimTest
