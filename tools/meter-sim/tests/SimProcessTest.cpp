// The simulator as the monitor meets it: a separate process on a loopback
// port (or a pseudo-terminal), spoken to frame by frame.

#include "Comtrade.h"
#include "Session.h"
#include "SimHarness.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSerialPort>
#include <QStandardPaths>
#include <QThread>
#include <gtest/gtest.h>

using namespace MeterSim;
using namespace MeterSimTest;

namespace {

#define START_SIM(sim, ...)                                                                                            \
    TSimProcess sim;                                                                                                   \
    ASSERT_TRUE(sim.Start(QStringList{__VA_ARGS__})) << sim.Error().toStdString()

// The data parts from the end of `parts` on (from the start when empty).
QByteArray ReadOscillogram(TClient &client, QByteArray *configuration, QByteArray parts = {},
                           const TFrameHeader &request = OscillogramRequest())
{
    for (int answers = 0; answers < 200; ++answers) {
        const auto answer = client.Exchange(request, Offset(static_cast<quint32>(parts.size())));
        if (!answer || !answer->ChecksumOk)
            return {};
        if (answer->Header.ErrorField == kErrMoreParts) {
            parts += answer->Data;
            continue;
        }
        if (answer->Header.ErrorField == kErrNone)
            *configuration = answer->Data;
        break;
    }
    return parts;
}

QDateTime ClockOf(const QByteArray &dateTime)
{
    const auto at = [&](int i) { return static_cast<quint8>(dateTime.at(i)); };
    return {QDate(2000 + at(2), at(1), at(0)), QTime(at(3), at(4), at(5))};
}

} // namespace

TEST(SimProcess, ServesAPollingRun)
{
    START_SIM(sim, QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--fast-clock"));
    TClient client;
    ASSERT_TRUE(client.Connect(sim.Port()));

    const struct
    {
        TFrameHeader Request;
        int Size;
    } fixed[] = {{DateTimeRequest(), kDateTimeAnswerSize},
                 {SettingsRequest(), kSettingsAnswerSize},
                 {IntervalsRequest(), kIntervalsAnswerSize},
                 {DataRequest(), kDataAnswerSize}};
    for (const auto &f : fixed) {
        const auto answer = client.Exchange(f.Request);
        ASSERT_TRUE(answer);
        EXPECT_TRUE(answer->ChecksumOk);
        EXPECT_EQ(answer->GarbageBytes, 0);
        EXPECT_EQ(answer->Header.ErrorField, 0);
        EXPECT_EQ(answer->Data.size(), f.Size);
    }

    // Several cycles: the fast clock steps a second per reading, data and
    // oscillograms keep coming.
    int previousSecond = -1;
    for (int cycle = 0; cycle < 3; ++cycle) {
        for (int reading = 0; reading < 3; ++reading) {
            const auto time = client.Exchange(DateTimeRequest());
            ASSERT_TRUE(time);
            const int second = static_cast<quint8>(time->Data[5]);
            if (previousSecond >= 0) {
                EXPECT_EQ(second, (previousSecond + 1) % 60);
            }
            previousSecond = second;
        }
        QByteArray configuration;
        EXPECT_EQ(ReadOscillogram(client, &configuration).size(), kOscillogramRecords * kRecordBytes);
        EXPECT_TRUE(configuration.startsWith("Tarvel,N1,1999\r\n13,9A,4D\r\n"));
        const auto data = client.Exchange(DataRequest());
        ASSERT_TRUE(data);
        EXPECT_EQ(data->Data.size(), kDataAnswerSize);
    }
}

TEST(SimProcess, DemandsThePasswordOnEveryConnection)
{
    START_SIM(sim, QStringLiteral("--password"), QStringLiteral("abc1"));
    for (int connection = 0; connection < 2; ++connection) {
        TClient client;
        ASSERT_TRUE(client.Connect(sim.Port()));
        auto password = Request(0x0A, 0x85);
        EXPECT_EQ(client.Exchange(DateTimeRequest())->Header.ErrorField, kErrPasswordNeeded);
        EXPECT_EQ(client.Exchange(password, PasswordData("abc2"))->Header.ErrorField, kErrWrongPassword);
        EXPECT_EQ(client.Exchange(password, PasswordData("abc1"))->Header.ErrorField, kErrNone);
        const auto data = client.Exchange(DataRequest());
        ASSERT_TRUE(data);
        EXPECT_EQ(data->Data.size(), kDataAnswerSize);
        client.Socket().disconnectFromHost();
    }
}

TEST(SimProcess, SpoilsTheAnswersItIsToldTo)
{
    START_SIM(sim, QStringLiteral("--fault"), QStringLiteral("garbage,on=datetime,value=9"), QStringLiteral("--fault"),
              QStringLiteral("silence,on=datetime,skip=1"), QStringLiteral("--fault"),
              QStringLiteral("busy,on=datetime,skip=2"), QStringLiteral("--fault"),
              QStringLiteral("notready,on=data,skip=1"), QStringLiteral("--fault"),
              QStringLiteral("checksum,on=settings"), QStringLiteral("--fault"),
              QStringLiteral("errorfield,on=intervals"), QStringLiteral("--fault"), QStringLiteral("length,on=data"),
              QStringLiteral("--fault"), QStringLiteral("split,on=settings,skip=1,value=3"), QStringLiteral("--fault"),
              QStringLiteral("dribble,on=intervals,skip=1,value=2"), QStringLiteral("--fault"),
              QStringLiteral("freeze,on=datetime,skip=4"));
    TClient client;
    ASSERT_TRUE(client.Connect(sim.Port()));

    auto garbled = client.Exchange(DateTimeRequest());
    ASSERT_TRUE(garbled);
    EXPECT_EQ(garbled->GarbageBytes, 9);
    EXPECT_TRUE(garbled->ChecksumOk);

    auto badChecksum = client.Exchange(SettingsRequest());
    ASSERT_TRUE(badChecksum);
    EXPECT_FALSE(badChecksum->ChecksumOk);

    EXPECT_EQ(client.Exchange(IntervalsRequest())->Header.ErrorField, 200);
    EXPECT_EQ(client.Exchange(DataRequest())->Data.size(), kDataAnswerSize - 1);
    auto notReady = client.Exchange(DataRequest());
    EXPECT_EQ(notReady->Header.ErrorField, kErrNotReady);
    EXPECT_TRUE(notReady->Data.isEmpty());

    // The silenced request leaves nothing on the line before the next answer,
    // which arrives whole although written in pieces.
    client.Send(EncodeFrame(DateTimeRequest(), {}));
    auto afterSilence = client.Exchange(SettingsRequest());
    ASSERT_TRUE(afterSilence);
    EXPECT_EQ(afterSilence->GarbageBytes, 0);
    EXPECT_TRUE(afterSilence->ChecksumOk);
    EXPECT_EQ(afterSilence->Data.size(), kSettingsAnswerSize);
    auto dribbled = client.Exchange(IntervalsRequest());
    ASSERT_TRUE(dribbled);
    EXPECT_TRUE(dribbled->ChecksumOk);
    EXPECT_EQ(dribbled->Data.size(), kIntervalsAnswerSize);

    EXPECT_EQ(client.Exchange(DateTimeRequest())->Header.ErrorField, kErrBusy);
    const QByteArray before = client.Exchange(DateTimeRequest())->Data.left(6);
    const QByteArray frozen = client.Exchange(DateTimeRequest())->Data.left(6);
    EXPECT_EQ(frozen, before);
}

TEST(SimProcess, PacesAnswersAtTheLineRate)
{
    START_SIM(sim, QStringLiteral("--line-rate"), QStringLiteral("19200"));
    TClient client;
    ASSERT_TRUE(client.Connect(sim.Port()));
    QElapsedTimer clock;
    clock.start();
    const auto answer = client.Exchange(DataRequest());
    const qint64 elapsedMs = clock.elapsed();
    ASSERT_TRUE(answer);
    EXPECT_TRUE(answer->ChecksumOk);
    // 25 bytes of header and checksum around the data, 10 bits a byte.
    const double wireMs = (kDataAnswerSize + 25) * 10 * 1000.0 / 19200;
    EXPECT_NEAR(double(elapsedMs), wireMs, wireMs * 0.1);
}

TEST(SimProcess, ASpedUpClockRunsFromItsStartTime)
{
    START_SIM(sim, QStringLiteral("--speed"), QStringLiteral("100"), QStringLiteral("--start-time"),
              QStringLiteral("2025-06-30T23:59:00"));
    TClient client;
    ASSERT_TRUE(client.Connect(sim.Port()));
    QElapsedTimer real;
    real.start();
    const QDateTime first = ClockOf(client.Exchange(DateTimeRequest())->Data);
    const qint64 firstMs = real.elapsed();
    QThread::msleep(1000);
    const QDateTime second = ClockOf(client.Exchange(DateTimeRequest())->Data);
    const double realSeconds = (real.elapsed() - firstMs) / 1000.0;

    EXPECT_GE(first, QDateTime(QDate(2025, 6, 30), QTime(23, 59)));
    EXPECT_LT(first, QDateTime(QDate(2025, 7, 1), QTime(0, 1)));
    EXPECT_NEAR(double(first.secsTo(second)), 100 * realSeconds, 10 * realSeconds);
}

TEST(SimProcess, IgnoresBrokenRequestsAndOtherDevices)
{
    START_SIM(sim, QStringLiteral("--device-number"), QStringLiteral("5"));
    TClient client;
    ASSERT_TRUE(client.Connect(sim.Port()));

    TFrameHeader ours = IntervalsRequest();
    ours.DeviceNumber = 5;
    QByteArray broken = EncodeFrame(ours, {});
    broken[13] = 9; // iCount changed after the checksum was made
    client.Send(QByteArray("\x55\xAA\x00", 3) + broken + EncodeFrame(SettingsRequest(), {})); // settings for device 1

    TFrameHeader time = DateTimeRequest();
    time.DeviceNumber = 5;
    const auto answer = client.Exchange(time);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->GarbageBytes, 0);
    EXPECT_EQ(answer->Data.size(), kDateTimeAnswerSize);
}

TEST(SimProcess, ServesReconnectsAfterAClosedConnection)
{
    START_SIM(sim, QStringLiteral("--fault"), QStringLiteral("close,on=data"));
    TClient first;
    ASSERT_TRUE(first.Connect(sim.Port()));
    ASSERT_TRUE(first.Exchange(DateTimeRequest()));
    first.Send(EncodeFrame(DataRequest(), {}));
    EXPECT_FALSE(first.Receive(DataRequest()));
    EXPECT_NE(first.Socket().state(), QAbstractSocket::ConnectedState);

    TClient second;
    ASSERT_TRUE(second.Connect(sim.Port()));
    const auto data = second.Exchange(DataRequest());
    ASSERT_TRUE(data);
    EXPECT_EQ(data->Data.size(), kDataAnswerSize);

    // A newer client takes over from one that is still connected.
    TClient third;
    ASSERT_TRUE(third.Connect(sim.Port()));
    ASSERT_TRUE(third.Exchange(DateTimeRequest()));
    if (second.Socket().state() == QAbstractSocket::ConnectedState)
        second.Socket().waitForDisconnected(kPeerTimeoutMs);
    EXPECT_NE(second.Socket().state(), QAbstractSocket::ConnectedState);
}

TEST(SimProcess, AnOscillogramCutByAReconnectGoesOnWhereItWas)
{
    // the fast clock stands still without date-time requests: a record taken
    // again is the same record
    START_SIM(sim, QStringLiteral("--fast-clock"));
    QByteArray parts;
    {
        TClient first;
        ASSERT_TRUE(first.Connect(sim.Port()));
        for (int part = 0; part < 2; ++part) {
            const auto answer = first.Exchange(OscillogramRequest(), Offset(static_cast<quint32>(parts.size())));
            ASSERT_TRUE(answer);
            ASSERT_EQ(answer->Header.ErrorField, kErrMoreParts);
            parts += answer->Data;
        }
        first.Socket().disconnectFromHost();
    }

    TClient second;
    ASSERT_TRUE(second.Connect(sim.Port()));
    // another address's transfer is its own
    TFrameHeader otherMeter = OscillogramRequest();
    otherMeter.DeviceNumber = 2;
    ASSERT_EQ(second.Exchange(otherMeter, Offset(0))->Header.ErrorField, kErrMoreParts);
    QByteArray configuration;
    const QByteArray resumed = ReadOscillogram(second, &configuration, parts);
    ASSERT_EQ(resumed.size(), kOscillogramRecords * kRecordBytes);

    QByteArray wholeConfiguration;
    const QByteArray whole = ReadOscillogram(second, &wholeConfiguration);
    EXPECT_EQ(resumed, whole);
    EXPECT_EQ(configuration, wholeConfiguration);
    EXPECT_TRUE(configuration.startsWith("Tarvel,N1,1999\r\n"));
}

TEST(SimProcess, OldFirmwareAndPlainVariantsSendNoOscillogram)
{
    START_SIM(sim, QStringLiteral("--firmware"), QStringLiteral("2217"));
    TClient client;
    ASSERT_TRUE(client.Connect(sim.Port()));
    EXPECT_EQ(client.Exchange(DateTimeRequest())->Data.mid(30, 5), "22.17");
    EXPECT_EQ(client.Exchange(OscillogramRequest(), Offset(0))->Header.ErrorField, kErrVersion);

    START_SIM(plain, QStringLiteral("--device-type"), QStringLiteral("10"));
    TClient other;
    ASSERT_TRUE(other.Connect(plain.Port()));
    TFrameHeader request = OscillogramRequest();
    request.DeviceTypeCode = 10;
    EXPECT_EQ(other.Exchange(request, Offset(0))->Header.ErrorField, kErrBadCmd1);
}

TEST(SimProcess, CommandLineIsCheckedBeforeAnythingStarts)
{
    QProcess help;
    help.start(QStringLiteral(MONITOR_SIM_PATH), {QStringLiteral("--help")});
    ASSERT_TRUE(help.waitForFinished(kPeerTimeoutMs));
    EXPECT_EQ(help.exitCode(), 0);
    EXPECT_TRUE(help.readAllStandardOutput().contains("--fault"));

    for (const QStringList &bad : {QStringList{QStringLiteral("--fault"), QStringLiteral("sparks")},
                                   QStringList{QStringLiteral("--inom"), QStringLiteral("3")},
                                   QStringList{QStringLiteral("--password"), QStringLiteral("пароль")},
                                   QStringList{QStringLiteral("--port"), QStringLiteral("70000")},
                                   QStringList{QStringLiteral("--speed"), QStringLiteral("1001")}}) {
        QProcess p;
        p.start(QStringLiteral(MONITOR_SIM_PATH), bad);
        ASSERT_TRUE(p.waitForFinished(kPeerTimeoutMs));
        EXPECT_EQ(p.exitCode(), 2) << bad.join(u' ').toStdString();
        EXPECT_TRUE(p.readAllStandardError().startsWith("tarvel-meter-sim: "));
    }
}

TEST(SimProcess, SpeaksOverAPseudoTerminal)
{
    if (QStandardPaths::findExecutable(QStringLiteral("socat")).isEmpty())
        GTEST_SKIP() << "socat is not installed";
    QProcess socat;
    socat.start(QStringLiteral("socat"), {QStringLiteral("-d"), QStringLiteral("-d"), QStringLiteral("pty,raw,echo=0"),
                                          QStringLiteral("pty,raw,echo=0")});
    ASSERT_TRUE(socat.waitForStarted(kPeerTimeoutMs));
    QStringList ptys;
    QByteArray log;
    const QDeadlineTimer deadline(kPeerTimeoutMs);
    static const QRegularExpression pty(QStringLiteral("(/dev/pts/\\d+)"));
    while (ptys.size() < 2 && !deadline.hasExpired()) {
        socat.waitForReadyRead(100);
        log += socat.readAllStandardError();
        ptys.clear();
        for (auto it = pty.globalMatch(QString::fromLatin1(log)); it.hasNext();)
            ptys << it.next().captured(1);
    }
    ASSERT_EQ(ptys.size(), 2) << log.toStdString();

    START_SIM(sim, QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--tty"), ptys[0],
              QStringLiteral("--verbose"));
    {
        QSerialPort line(ptys[1]);
        ASSERT_TRUE(line.open(QIODevice::ReadWrite)) << line.errorString().toStdString();
        TClient client(&line);
        const auto time = client.Exchange(DateTimeRequest());
        ASSERT_TRUE(time);
        EXPECT_EQ(time->Data.size(), kDateTimeAnswerSize);
        const auto data = client.Exchange(DataRequest());
        ASSERT_TRUE(data);
        EXPECT_TRUE(data->ChecksumOk);
        EXPECT_EQ(data->Data.size(), kDataAnswerSize);
    }

    // The pty pair goes away: the simulator closes its end once instead of
    // spinning on the error, and goes on serving TCP.
    socat.terminate();
    ASSERT_TRUE(socat.waitForFinished(kPeerTimeoutMs));
    QProcess &process = sim.Process();
    process.setReadChannel(QProcess::StandardError);
    QByteArray trace;
    const QDeadlineTimer lost(kPeerTimeoutMs);
    while (!trace.contains("tty: line lost") && !lost.hasExpired()) {
        process.waitForReadyRead(100);
        trace += process.readAllStandardError();
    }
    ASSERT_TRUE(trace.contains("tty: line lost")) << trace.left(2000).toStdString();
    TClient tcp;
    ASSERT_TRUE(tcp.Connect(sim.Port()));
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(tcp.Exchange(DataRequest()));
    process.terminate();
    ASSERT_TRUE(process.waitForFinished(kPeerTimeoutMs));
    trace += process.readAllStandardError();
    EXPECT_EQ(trace.count("tty: line lost"), 1);
    EXPECT_LE(trace.count("tty: "), 3) << trace.left(2000).toStdString();
}
