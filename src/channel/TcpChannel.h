#pragma once

// The channel over a TCP client connection to a meter (or to a
// serial-to-Ethernet converter in front of it) at a fixed IPv4 address and
// port. Reads are the base algorithm and writes end in it, so time-outs and
// codes are those of the serial channel. The engine reconnects it
// (Disconnect, then Connect) before retrying a failed command.

#include "channel/Channel.h"

#include <QHostAddress>
#include <cstddef>
#include <optional>
#include <vector>

class QTcpSocket;

class TPCAEthernetTCP : public TPCACustom
{
public:
    // ChannelType other than 2 -> 4; bad address text -> 21 and nothing kept.
    explicit TPCAEthernetTCP(const TPCASettings &settings);
    ~TPCAEthernetTCP() override;

    int Connect() override;
    bool IsSameTarget(const TPCASettings &settings) const override;
    bool IsSettingsChanged(const TPCASettings &settings) const override;
    int Disconnect() override;
    int GetSettings(TPCASettings &settings) override;
    int ApplySettings(const TPCASettings &settings) override;
    // Drops a half-sent frame with the connection, and pending input.
    void Purge() override;
    int Write(const void *buffer, quint32 count, quint32 &written) override;
    int Read(void *buffer, quint32 capacity, int timeoutMs, quint32 &bytesRead) override;

    QString IpAddress() const { return kept_.Ethernet.IpAddress.Text(); }
    quint16 IpPort() const { return kept_.Ethernet.IpPort; }
    // True while a connection is up.
    bool IsConnected() const;

    // A dotted-decimal IPv4 address of four octets 0..255; the broadcast
    // address 255.255.255.255 is refused like a bad text.
    static std::optional<QHostAddress> ParseAddress(const QString &text);

    static constexpr int kPauseBeforeConnectMs = 50;
    static constexpr int kPauseAfterConnectMs = 500;
    // A refused address fails at once; an unreachable one within this time,
    // or as soon as a stop is asked for.
    static constexpr int kConnectTimeoutMs = 4000;

protected:
    QIODevice *IoDevice() const override;
    bool LinkClosed() const override;

private:
    void DropSocket();
    // Connects within kConnectTimeoutMs, or gives up at once on a stop:
    // 0, 18 (no socket) or 19.
    int ConnectSocket(const QHostAddress &address);

    // Bytes 0..274 of the record (0 = 2); the rest stays zero.
    TPCASettings kept_{};
    // The socket exists from creation (logically) but the Qt object is made
    // on Connect in the thread that uses it.
    bool hasSocket_ = false;
    std::unique_ptr<QTcpSocket> socket_;
    // What one receive took beyond the read that asked: an answer comes in
    // one piece, its header and data are read apart. Bytes [first, end) of
    // the buffer are still to be read.
    std::vector<char> received_;
    std::size_t receivedFirst_ = 0;
    std::size_t receivedEnd_ = 0;
};
