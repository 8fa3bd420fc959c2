// The TCP channel against real loopback peers: connect, split frames, quiet
// lines, closed peers, reconnects, and use from a worker thread.

#include "channel/LoopbackPeer.h"
#include "channel/TcpChannel.h"
#include "support/HangingListener.h"
#include "support/LoopbackRecord.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QMutex>
#include <QSemaphore>
#include <QStringList>

using testpeer::TLoopbackPeer;
using testsupport::LoopbackRecord;

namespace {

// A wait gives way to a stop within this time.
constexpr qint64 kStopHonouredMs = 1000;

// Reads until `n` bytes are in or a read fails; returns what came.
QByteArray ReadAll(TPCACustom &channel, int n, int timeoutMs = 5000)
{
    QByteArray out;
    char buffer[256];
    while (out.size() < n) {
        quint32 got = 0;
        if (channel.Read(buffer, static_cast<quint32>(std::min<int>(sizeof buffer, n - out.size())), timeoutMs, got) !=
            0)
            break;
        out.append(buffer, static_cast<qsizetype>(got));
    }
    return out;
}

bool WriteAll(TPCACustom &channel, const QByteArray &bytes)
{
    quint32 written = 0;
    return channel.Write(bytes.constData(), static_cast<quint32>(bytes.size()), written) == 0 &&
           written == static_cast<quint32>(bytes.size());
}

// A port nobody listens on: bound once, then released.
quint16 ClosedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    const quint16 port = server.serverPort();
    server.close();
    return port;
}

TEST(PCAEthernetTCPLink, EchoesAFrameThatArrivesInPieces)
{
    // The peer sends the answer in two pieces, the second only after the
    // client has asked for more: a read returns what is there and the caller
    // loops for the rest.
    QSemaphore firstPieceTaken;
    TLoopbackPeer peer([&](QTcpSocket &socket, int) {
        const QByteArray request = testpeer::ReadExactly(socket, 10);
        testpeer::WriteAll(socket, request.left(4));
        firstPieceTaken.tryAcquire(1, testpeer::kPeerWaitMs);
        testpeer::WriteAll(socket, request.mid(4));
        testpeer::WaitForClose(socket);
    });
    TPCAEthernetTCP channel(LoopbackRecord(peer.Start()));
    ASSERT_EQ(channel.Connect(), 0) << channel.LastError();
    EXPECT_TRUE(channel.IsConnected());
    EXPECT_NE(channel.Handle(), -1);

    const QByteArray frame("0123456789");
    ASSERT_TRUE(WriteAll(channel, frame));
    char buffer[32];
    quint32 got = 0;
    ASSERT_EQ(channel.Read(buffer, sizeof buffer, 5000, got), 0);
    EXPECT_EQ(QByteArray(buffer, got), frame.left(4));
    firstPieceTaken.release();
    EXPECT_EQ(ReadAll(channel, 6), frame.mid(4));
    EXPECT_EQ(channel.Disconnect(), 0);
    EXPECT_EQ(channel.Handle(), -1);
}

TEST(PCAEthernetTCPLink, ReadNeverTakesMoreThanAskedAndKeepsTheRest)
{
    TLoopbackPeer peer([&](QTcpSocket &socket, int) {
        testpeer::WriteAll(socket, QByteArray("abcdefghij"));
        testpeer::WaitForClose(socket);
    });
    TPCAEthernetTCP channel(LoopbackRecord(peer.Start()));
    ASSERT_EQ(channel.Connect(), 0);
    char buffer[16] = {};
    quint32 got = 0;
    EXPECT_EQ(ReadAll(channel, 3), QByteArray("abc"));
    ASSERT_EQ(channel.Read(buffer, 7, 5000, got), 0);
    EXPECT_EQ(QByteArray(buffer, got), QByteArray("defghij").left(static_cast<int>(got)));
    EXPECT_LE(got, 7u);
}

TEST(PCAEthernetTCPLink, QuietLineTimesOutWith13AndLaterBytesStillArrive)
{
    QSemaphore timedOut;
    TLoopbackPeer peer([&](QTcpSocket &socket, int) {
        timedOut.tryAcquire(1, testpeer::kPeerWaitMs);
        testpeer::WriteAll(socket, QByteArray("late"));
        testpeer::WaitForClose(socket);
    });
    TPCAEthernetTCP channel(LoopbackRecord(peer.Start()));
    ASSERT_EQ(channel.Connect(), 0);
    char buffer[8];
    quint32 got = 77;
    EXPECT_EQ(channel.Read(buffer, sizeof buffer, 200, got), -1);
    EXPECT_EQ(channel.LastError(), 13);
    EXPECT_EQ(got, 0u);
    EXPECT_TRUE(channel.IsConnected()); // a time-out is no lost link
    timedOut.release();
    EXPECT_EQ(ReadAll(channel, 4), QByteArray("late"));
    EXPECT_EQ(channel.LastError(), 0);
}

TEST(PCAEthernetTCPLink, PeerThatClosesMakesTheReadFailWith19AfterItsLastBytes)
{
    TLoopbackPeer closesAtOnce([](QTcpSocket &socket, int) { socket.disconnectFromHost(); });
    TPCAEthernetTCP first(LoopbackRecord(closesAtOnce.Start()));
    ASSERT_EQ(first.Connect(), 0);
    char buffer[8];
    quint32 got = 5;
    EXPECT_EQ(first.Read(buffer, sizeof buffer, 5000, got), -1);
    EXPECT_EQ(first.LastError(), 19);
    EXPECT_EQ(got, 0u);
    // Writing to the closed link fails too, without a wait.
    quint32 written = 9;
    EXPECT_EQ(first.Write("x", 1, written), -1);
    EXPECT_EQ(written, 0u);

    TLoopbackPeer saysByeFirst([](QTcpSocket &socket, int) {
        testpeer::WriteAll(socket, QByteArray("bye"));
        socket.disconnectFromHost();
    });
    TPCAEthernetTCP second(LoopbackRecord(saysByeFirst.Start()));
    ASSERT_EQ(second.Connect(), 0);
    EXPECT_EQ(ReadAll(second, 3), QByteArray("bye"));
    EXPECT_EQ(second.Read(buffer, sizeof buffer, 5000, got), -1);
    EXPECT_EQ(second.LastError(), 19);
}

TEST(PCAEthernetTCPLink, RefusedConnectFailsWith19AndCanBeRetried)
{
    const quint16 port = ClosedPort();
    TPCAEthernetTCP channel(LoopbackRecord(port));
    ASSERT_EQ(channel.LastError(), 0);
    EXPECT_EQ(channel.Connect(), -1);
    EXPECT_EQ(channel.LastError(), 19);
    EXPECT_FALSE(channel.IsConnected());
    EXPECT_EQ(channel.Connect(), -1);
    EXPECT_EQ(channel.LastError(), 19);

    char buffer[4];
    quint32 got = 0;
    EXPECT_EQ(channel.Read(buffer, sizeof buffer, 100, got), -1);
    EXPECT_NE(channel.LastError(), 0);
    quint32 written = 0;
    EXPECT_EQ(channel.Write(buffer, sizeof buffer, written), -1);
    EXPECT_EQ(channel.LastError(), 22);
}

TEST(PCAEthernetTCPLink, AConnectThatHangsFailsWith19AtTheConnectLimit)
{
    // The peer's accept queue is full: its SYNs go unanswered, as on a
    // network where the address is not there. Bounded, never a hang.
    testsupport::THangingListener listener;
    ASSERT_NE(listener.Port(), 0);
    TPCAEthernetTCP channel(LoopbackRecord(listener.Port()));
    ASSERT_EQ(channel.LastError(), 0);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(channel.Connect(), -1);
    // The whole limit: the connect did hang until it was given up.
    EXPECT_GE(timer.elapsed(), TPCAEthernetTCP::kConnectTimeoutMs);
    EXPECT_LT(timer.elapsed(), 3 * TPCAEthernetTCP::kConnectTimeoutMs);
    EXPECT_EQ(channel.LastError(), 19);
    EXPECT_FALSE(channel.IsConnected());
    EXPECT_EQ(channel.Handle(), -1);
}

TEST(PCAEthernetTCPLink, AStopEndsAConnectThatHangsAndAReadThatWaitsAtOnce)
{
    // The stop comes 230 ms into each wait; every wait ends within a second
    // of it, with the wait's own failure code.
    constexpr qint64 kStopAtMs = 230;
    QElapsedTimer timer;
    auto stopAfter = [&] { return timer.elapsed() >= kStopAtMs; };
    auto msAfterStop = [&] { return timer.elapsed() - kStopAtMs; };

    testsupport::THangingListener listener;
    ASSERT_NE(listener.Port(), 0);
    TPCAEthernetTCP hanging(LoopbackRecord(listener.Port()));
    hanging.SetStopCheck(stopAfter);
    timer.start();
    EXPECT_EQ(hanging.Connect(), -1);
    std::printf("[ connect: stop took %lld ms ]\n", static_cast<long long>(msAfterStop()));
    EXPECT_LT(msAfterStop(), kStopHonouredMs);
    EXPECT_EQ(hanging.LastError(), 19);
    EXPECT_FALSE(hanging.IsConnected());

    QSemaphore done;
    TLoopbackPeer silent([&](QTcpSocket &, int) { done.tryAcquire(1, testpeer::kPeerWaitMs); });
    TPCAEthernetTCP channel(LoopbackRecord(silent.Start()));
    ASSERT_EQ(channel.Connect(), 0);
    channel.SetStopCheck(stopAfter);
    for (const int timeoutMs : {5000, 30000}) {
        char buffer[8];
        quint32 got = 5;
        timer.start();
        EXPECT_EQ(channel.Read(buffer, sizeof buffer, timeoutMs, got), -1);
        std::printf("[ read (%d ms time-out): stop took %lld ms ]\n", timeoutMs, static_cast<long long>(msAfterStop()));
        EXPECT_LT(msAfterStop(), kStopHonouredMs);
        EXPECT_EQ(channel.LastError(), 13);
        EXPECT_EQ(got, 0u);
        EXPECT_TRUE(channel.IsConnected()); // a stop is no lost link
    }

    // A stop during the pause after the connect: connected, without the pause.
    timer.start();
    channel.SetStopCheck([&] { return timer.elapsed() >= TPCAEthernetTCP::kPauseBeforeConnectMs + 100; });
    EXPECT_EQ(channel.Connect(), 0);
    EXPECT_LT(timer.elapsed(), TPCAEthernetTCP::kPauseBeforeConnectMs + TPCAEthernetTCP::kPauseAfterConnectMs);
    EXPECT_TRUE(channel.IsConnected());
    done.release(2);
}

TEST(PCAEthernetTCPLink, DisconnectThenConnectMakesANewConnection)
{
    TLoopbackPeer peer([](QTcpSocket &socket, int connection) {
        const QByteArray request = testpeer::ReadExactly(socket, 1);
        testpeer::WriteAll(socket, request + QByteArray::number(connection));
        testpeer::WaitForClose(socket);
    });
    TPCAEthernetTCP channel(LoopbackRecord(peer.Start()));
    ASSERT_EQ(channel.Connect(), 0);
    ASSERT_TRUE(WriteAll(channel, "a"));
    EXPECT_EQ(ReadAll(channel, 2), QByteArray("a0"));

    EXPECT_EQ(channel.Disconnect(), 0);
    EXPECT_EQ(channel.LastError(), 0);
    EXPECT_EQ(channel.Disconnect(), 0); // no socket: still fine
    ASSERT_EQ(channel.Connect(), 0);
    ASSERT_TRUE(WriteAll(channel, "b"));
    EXPECT_EQ(ReadAll(channel, 2), QByteArray("b1"));

    // Connecting a live channel starts over on a fresh connection.
    ASSERT_EQ(channel.Connect(), 0);
    ASSERT_TRUE(WriteAll(channel, "c"));
    EXPECT_EQ(ReadAll(channel, 2), QByteArray("c2"));
    EXPECT_EQ(peer.Connections(), 3);
}

TEST(PCAEthernetTCPLink, WorksFromAWorkerThreadWithoutEventLoopOrWarnings)
{
    static QMutex messagesLock;
    static QStringList messages;
    messages.clear();
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &text) {
            QMutexLocker lock(&messagesLock);
            messages << text;
        });

    TLoopbackPeer peer([](QTcpSocket &socket, int) {
        testpeer::WriteAll(socket, testpeer::ReadExactly(socket, 5));
        testpeer::WaitForClose(socket);
    });
    const quint16 port = peer.Start();
    QByteArray echoed;
    int connectResult = -2;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        // Made, used and destroyed in the worker, as the polling thread does.
        TPCAEthernetTCP channel(LoopbackRecord(port));
        connectResult = channel.Connect();
        if (connectResult == 0 && WriteAll(channel, "hello"))
            echoed = ReadAll(channel, 5);
        channel.Disconnect();
    }));
    worker->start();
    ASSERT_TRUE(worker->wait(30000));
    qInstallMessageHandler(previous);

    EXPECT_EQ(connectResult, 0);
    EXPECT_EQ(echoed, QByteArray("hello"));
    QMutexLocker lock(&messagesLock);
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
}

TEST(PCAEthernetTCPLink, WriteToAPeerThatNeverReadsGivesUpWith12AndDropsTheHalfSentFrame)
{
    QSemaphore done;
    TLoopbackPeer peer([&](QTcpSocket &, int) { done.tryAcquire(1, testpeer::kPeerWaitMs); });
    TPCAEthernetTCP channel(LoopbackRecord(peer.Start()));
    ASSERT_EQ(channel.Connect(), 0);
    // Far more than the socket buffers of both ends hold.
    const QByteArray huge(64 * 1024 * 1024, 'h');
    quint32 written = 1;
    EXPECT_EQ(channel.Write(huge.constData(), static_cast<quint32>(huge.size()), written), -1);
    EXPECT_EQ(channel.LastError(), 12);
    EXPECT_EQ(written, 0u);
    EXPECT_FALSE(channel.IsConnected());
    done.release();
}

TEST(PCAEthernetTCPLink, LargeWriteCompletesAndArrivesWhole)
{
    const QByteArray big(200000, 'z');
    QByteArray received;
    TLoopbackPeer peer([&](QTcpSocket &socket, int) {
        received = testpeer::ReadExactly(socket, big.size());
        testpeer::WriteAll(socket, "k");
        testpeer::WaitForClose(socket);
    });
    TPCAEthernetTCP channel(LoopbackRecord(peer.Start()));
    ASSERT_EQ(channel.Connect(), 0);
    EXPECT_TRUE(WriteAll(channel, big));
    EXPECT_EQ(ReadAll(channel, 1), QByteArray("k"));
    channel.Disconnect();
    peer.Stop();
    EXPECT_EQ(received, big);
}

} // namespace
