#pragma once

// A far end on a real loopback TCP socket for channel and protocol tests: a
// QTcpServer on 127.0.0.1 (free port) in a thread of its own, running a
// script on every connection it accepts, one after another. Everything here
// blocks with generous time-outs; nothing sleeps a fixed time.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QMutex>
#include <QMutexLocker>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <atomic>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace testpeer {

inline constexpr int kPeerWaitMs = 15000;

// Reads exactly n bytes; fewer when the client closes or the time runs out.
inline QByteArray ReadExactly(QTcpSocket &socket, qsizetype n, int timeoutMs = kPeerWaitMs)
{
    QByteArray out;
    QDeadlineTimer deadline(timeoutMs);
    while (out.size() < n) {
        if (socket.bytesAvailable() > 0) {
            out += socket.read(n - out.size());
            continue;
        }
        if (socket.state() != QAbstractSocket::ConnectedState || deadline.hasExpired())
            break;
        socket.waitForReadyRead(static_cast<int>(std::min<qint64>(deadline.remainingTime(), 200)));
    }
    return out;
}

// Reads one request frame (header, data, checksum); empty when none came.
inline QByteArray ReadFrame(QTcpSocket &socket, int timeoutMs = kPeerWaitMs)
{
    QByteArray head = ReadExactly(socket, 24, timeoutMs);
    if (head.size() < 24)
        return {};
    // DataLength: bytes 4 and 5, little-endian.
    const int length = quint8(head[4]) | (quint8(head[5]) << 8);
    QByteArray rest = ReadExactly(socket, length + 1, timeoutMs);
    if (rest.size() < length + 1)
        return {};
    return head + rest;
}

inline void WriteAll(QTcpSocket &socket, const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    socket.write(bytes);
    QDeadlineTimer deadline(kPeerWaitMs);
    while (socket.bytesToWrite() > 0 && socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired())
        socket.waitForBytesWritten(200);
}

// Waits until the client closes its end (or the time runs out).
inline void WaitForClose(QTcpSocket &socket, int timeoutMs = kPeerWaitMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
        socket.waitForReadyRead(200);
        socket.readAll();
    }
}

inline std::span<const quint8> Span(const QByteArray &bytes)
{
    return {reinterpret_cast<const quint8 *>(bytes.constData()), static_cast<std::size_t>(bytes.size())};
}

class TLoopbackPeer : public QThread
{
public:
    // Runs on each accepted connection, in the peer's thread.
    using TScript = std::function<void(QTcpSocket &socket, int connection)>;

    explicit TLoopbackPeer(TScript script) : script_(std::move(script)) {}
    ~TLoopbackPeer() override { Stop(); }

    // Starts listening; returns the port.
    quint16 Start()
    {
        start();
        ready_.acquire();
        return port_;
    }

    void Stop()
    {
        stop_ = true;
        wait();
    }

    int Connections() const { return connections_; }

protected:
    void run() override
    {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost, 0);
        port_ = server.serverPort();
        ready_.release();
        while (!stop_) {
            if (!server.waitForNewConnection(50))
                continue;
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                const int index = connections_++;
                script_(*socket, index);
                socket->abort();
                delete socket;
            }
        }
    }

private:
    TScript script_;
    QSemaphore ready_;
    quint16 port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
};

} // namespace testpeer
