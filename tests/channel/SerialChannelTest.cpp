// The serial channel on real ports: a pseudo-terminal pair made by socat
// stands in for a cable. Ptys carry bytes but refuse the modem-line ioctls, so
// the direct mode must not depend on them. Also the port list.

#include "channel/SerialChannel.h"
#include "channel/PtyPair.h"
#include "channel/SerialLine.h"
#include "common/Exceptions.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

TPCASettings DirectRecord(const QString &port, quint8 linesOn = 1, quint32 rate = 115200)
{
    TPCASettings s{};
    s.ComPort.ChannelType = pcaComPort;
    PCASetComPortName(s, port);
    s.ComPort.BaudRate = rate;
    s.ComPort.Mode = cpmDirect;
    s.ComPort.LinesOn = linesOn;
    return s;
}

// Reads until `n` bytes are in or a read fails.
QByteArray ReadAll(TPCACustom &channel, qsizetype n, int timeoutMs = 15000)
{
    QByteArray out;
    char buffer[512];
    while (out.size() < n) {
        quint32 got = 0;
        if (channel.Read(buffer, sizeof buffer, timeoutMs, got) != 0)
            break;
        out.append(buffer, qsizetype(got));
    }
    return out;
}

TEST(ComPortOnPty, AnUnpluggedPortIsNotFound)
{
    for (const QString &name :
         {QStringLiteral("/dev/ttyUSB-monitor-test-absent"), QStringLiteral("ttyUSB987"), QString()}) {
        auto channel = CreatePCA(DirectRecord(name));
        ASSERT_NE(channel, nullptr);
        EXPECT_EQ(channel->LastError(), 11) << name.toStdString();
        EXPECT_EQ(PCAErrorText(channel->LastError()), QStringLiteral("Com-порт не найден."));
        EXPECT_EQ(channel->Handle(), -1);
        // Connect looks for it again, and still does not find it.
        EXPECT_EQ(channel->Connect(), -1);
        EXPECT_EQ(channel->LastError(), 11);
        quint32 n = 1;
        EXPECT_EQ(channel->Write("x", 1, n), -1);
        EXPECT_EQ(n, 0u);
    }
}

TEST(ComPortOnPty, APathThatIsNoSerialLineRefusesTheLineSettings)
{
    QTemporaryDir dir;
    const QString plainFile = dir.filePath(QStringLiteral("not-a-port"));
    QFile file(plainFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    for (const QString &name : {QStringLiteral("/dev/null"), plainFile}) {
        // it opens, but takes no baud rate: the port is there, its set-up failed
        auto channel = CreatePCA(DirectRecord(name));
        ASSERT_NE(channel, nullptr);
        EXPECT_EQ(channel->LastError(), 23) << name.toStdString();
        EXPECT_EQ(PCAErrorText(channel->LastError()), QStringLiteral("Инициализация порта выполнена с ошибкой."));
        EXPECT_EQ(channel->Handle(), -1);
        EXPECT_EQ(channel->Connect(), -1);
        EXPECT_EQ(channel->LastError(), 23);
    }
}

TEST(ComPortOnPty, DirectModeCarriesBytesBothWaysDespiteTheMissingModemLines)
{
    testpty::TPtyPair pair;
    REQUIRE_PTY(pair);
    // The long /dev/pts/N names only work through the full port name.
    auto a = CreatePCA(DirectRecord(pair.First()));
    auto b = CreatePCA(DirectRecord(pair.Second(), 0));
    ASSERT_EQ(a->LastError(), 0) << PCAErrorText(a->LastError()).toStdString();
    ASSERT_EQ(b->LastError(), 0);
    EXPECT_NE(a->Handle(), -1);
    // LinesOn: the pulse train's ioctls fail on a pty; the cable connects anyway.
    ASSERT_EQ(a->Connect(), 0);
    ASSERT_EQ(b->Connect(), 0);

    QByteArray frame(3000, '\0');
    for (int i = 0; i < frame.size(); ++i)
        frame[i] = char(i * 7 + 3);
    quint32 written = 0;
    ASSERT_EQ(a->Write(frame.constData(), quint32(frame.size()), written), 0);
    EXPECT_EQ(written, quint32(frame.size()));
    EXPECT_EQ(ReadAll(*b, frame.size()), frame);

    ASSERT_EQ(b->Write("answer", 6, written), 0);
    EXPECT_EQ(ReadAll(*a, 6), QByteArray("answer"));

    // A read never returns more than it was given room for.
    ASSERT_EQ(a->Write("0123456789", 10, written), 0);
    char small[4] = {};
    quint32 got = 0;
    ASSERT_EQ(b->Read(small, sizeof small, 15000, got), 0);
    EXPECT_GE(got, 1u);
    EXPECT_LE(got, 4u);
    EXPECT_EQ(QByteArray(small, int(got)), QByteArray("0123").left(int(got)));

    EXPECT_EQ(a->Disconnect(), 0);
    EXPECT_EQ(a->LastError(), 0);
}

TEST(ComPortOnPty, ASilentLineReadReturnsAfterTheTimeOutWithNothing)
{
    testpty::TPtyPair pair;
    REQUIRE_PTY(pair);
    auto channel = CreatePCA(DirectRecord(pair.First()));
    ASSERT_EQ(channel->LastError(), 0);
    ASSERT_EQ(channel->Connect(), 0);
    char buffer[64];
    quint32 got = 99;
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(channel->Read(buffer, sizeof buffer, 400, got), -1);
    // Not before the caller's time-out (a little slack for timer rounding; the
    // upper bound is only against a hang).
    EXPECT_GE(timer.elapsed(), 390);
    EXPECT_LT(timer.elapsed(), 30000);
    EXPECT_EQ(channel->LastError(), 13);
    EXPECT_EQ(got, 0u);
}

TEST(ComPortOnPty, AStopEndsAReadThatWaitsForItsFirstByteAtOnce)
{
    // The 30 s of a radio modem's answer; the stop comes 200 ms into it.
    testpty::TPtyPair pair;
    REQUIRE_PTY(pair);
    auto channel = CreatePCA(DirectRecord(pair.First()));
    ASSERT_EQ(channel->Connect(), 0);
    QElapsedTimer timer;
    channel->SetStopCheck([&] { return timer.elapsed() >= 200; });
    char buffer[64];
    quint32 got = 99;
    timer.start();
    EXPECT_EQ(channel->Read(buffer, sizeof buffer, 30000, got), -1);
    std::printf("[ read (30000 ms time-out): stop took %lld ms ]\n", static_cast<long long>(timer.elapsed() - 200));
    EXPECT_LT(timer.elapsed(), 200 + 1000);
    EXPECT_EQ(channel->LastError(), 13);
    EXPECT_EQ(got, 0u);
}

TEST(ComPortOnPty, APortAlreadyHeldIsBusyAndAModemOnAPtyIsNotFound)
{
    testpty::TPtyPair pair;
    REQUIRE_PTY(pair);
    auto first = CreatePCA(DirectRecord(pair.First()));
    ASSERT_EQ(first->LastError(), 0);
    auto second = CreatePCA(DirectRecord(pair.First()));
    EXPECT_EQ(second->LastError(), 10);
    EXPECT_EQ(PCAErrorText(10), QStringLiteral("Порт занят другим приложением."));

    // A pty shows no CTS: no modem answers there.
    TPCASettings modem = DirectRecord(pair.Second());
    modem.ComPort.Mode = cpmPhoneModem;
    modem.ComPort.InitString.Clear();
    auto phone = CreatePCA(modem);
    EXPECT_EQ(phone->LastError(), 14);
    EXPECT_EQ(phone->Handle(), -1);
}

// A pty the user may not open, as a serial device is for a user outside the
// dialout group. Root opens anything, so under root the attempt is made by a
// child that has become nobody.
TEST(ComPortOnPty, APortTheUserMayNotOpenSaysToJoinTheDialoutGroup)
{
    testpty::TPtyPair pair;
    REQUIRE_PTY(pair);
    ASSERT_EQ(::chmod(QFile::encodeName(pair.First()).constData(), 0600), 0);
    const auto openAndTell = [&] { return CreatePCA(DirectRecord(pair.First()))->LastError(); };
    int error = -1;
    if (::geteuid() != 0) {
        error = openAndTell();
    } else {
        const pid_t child = ::fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            ::alarm(20);
            const gid_t nobody = 65534;
            if (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0)
                ::_exit(255);
            ::_exit(openAndTell());
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << status;
        error = WEXITSTATUS(status);
    }
    EXPECT_EQ(error, 26);
    EXPECT_TRUE(PCAErrorText(26).contains(QStringLiteral("группу dialout")));
}

TEST(ComPortOnPty, AVanishedLineFailsWithoutHanging)
{
    auto pair = std::make_unique<testpty::TPtyPair>();
    REQUIRE_PTY(*pair);
    auto channel = CreatePCA(DirectRecord(pair->First()));
    ASSERT_EQ(channel->LastError(), 0);
    ASSERT_EQ(channel->Connect(), 0);
    pair.reset(); // the cable is pulled
    char buffer[16];
    quint32 n = 0;
    QDeadlineTimer bound(30000);
    const int readResult = channel->Read(buffer, sizeof buffer, 1000, n);
    EXPECT_EQ(readResult, -1);
    EXPECT_EQ(n, 0u);
    EXPECT_TRUE(channel->LastError() == 13 || channel->LastError() == 22) << channel->LastError();
    EXPECT_FALSE(bound.hasExpired());
}

// ---------------------------------------------------------------- port list

TEST(COMPortList, SerialDevicesInNaturalOrderWithoutRepeats)
{
    QTemporaryDir dev;
    ASSERT_TRUE(dev.isValid());
    for (const char *name : {"ttyUSB10", "ttyUSB2", "ttyACM1", "ttyACM0", "tty0", "ttyUSBx", "console", "ttyS0"}) {
        QFile file(dev.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    // ttyS devices come from the system's enumeration, which knows the real ones.
    const QStringList reported{"ttyS1", "ttyUSB2", "COM10", "COM9", "COM0", "COMX", "LPT1", "ttyAMA0", ""};
    EXPECT_EQ(COMPortNames(dev.path(), reported),
              (QStringList{"COM9", "COM10", "ttyACM0", "ttyACM1", "ttyAMA0", "ttyS1", "ttyUSB2", "ttyUSB10"}));
    EXPECT_TRUE(COMPortNameLess(QStringLiteral("ttyUSB9"), QStringLiteral("ttyUSB10")));
    EXPECT_FALSE(COMPortNameLess(QStringLiteral("ttyUSB10"), QStringLiteral("ttyUSB9")));
    EXPECT_TRUE(COMPortNameLess(QStringLiteral("COM2"), QStringLiteral("COM10")));
    // A number too long for any integer sorts by its text, without overflow.
    EXPECT_FALSE(COMPortNames(QString(), {"ttyUSB99999999999999999999999"}).isEmpty());
}

TEST(COMPortList, FillReplacesTheListAndRefusesNone)
{
    QStringList list{"stale entry"};
    FillCOMPortList(&list);
    EXPECT_FALSE(list.contains(QStringLiteral("stale entry")));
    for (const QString &name : list)
        EXPECT_FALSE(name.startsWith(u"pts")) << name.toStdString();
    try {
        FillCOMPortList(nullptr);
        FAIL() << "a null list was taken";
    } catch (const Exception &error) {
        EXPECT_EQ(error.Message(), QStringLiteral("FillCOMPortList: параметр COMPortList не может быть nil"));
    }
}

} // namespace
