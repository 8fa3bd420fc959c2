// The serial channel's line, probe and modem logic over a scripted line:
// opening outcomes, the probe wake-up train and rate byte, modem set-up,
// init, dialling and hang-up, the carrier rule, and settings changes.

#include "channel/SerialChannel.h"
#include "channel/ScriptedSerialLine.h"

#include <gtest/gtest.h>

using testline::TLineScript;
using testline::TScriptedComLine;

namespace {

TPCASettings SerialRecord(quint8 mode, quint32 rate = 9600, const QString &port = QStringLiteral("ttyUSB0"))
{
    TPCASettings s{};
    s.ComPort.ChannelType = pcaComPort;
    PCASetComPortName(s, port);
    s.ComPort.BaudRate = rate;
    s.ComPort.Mode = mode;
    return s;
}

TPCASettings PhoneRecord(int dialKind, bool tone, const QString &number, const QString &init = {})
{
    TPCASettings s = SerialRecord(cpmPhoneModem);
    s.ComPort.InitString.SetText(init);
    s.ComPort.Phone.DialKind = quint8(dialKind);
    s.ComPort.Phone.PhoneNumber.SetText(number);
    s.ComPort.Phone.ToneDial = tone ? 1 : 0;
    return s;
}

TPCASettings RadioRecord(const QString &call, const QString &init = {})
{
    TPCASettings s = SerialRecord(cpmRadioModem);
    s.ComPort.InitString.SetText(init);
    s.ComPort.CallNumber.SetText(call);
    return s;
}

class SerialLine : public ::testing::Test
{
protected:
    void Make(const TPCASettings &settings)
    {
        port = std::make_unique<TPCAComPort>(settings, std::make_unique<TScriptedComLine>(line));
        mark = line->events.size();
    }
    // Events since Make or the last call.
    QStringList Since()
    {
        QStringList events = line->EventsFrom(mark);
        mark = line->events.size();
        return events;
    }
    // A modem that is there and raises the carrier when a dial command goes out.
    void ModemThatConnects(const QByteArray &dialPrefix)
    {
        line->lines.Cts = true;
        line->onWrite = [dialPrefix](TLineScript &s, const QByteArray &bytes) {
            if (bytes.startsWith(dialPrefix))
                s.lines.Carrier = true;
        };
    }

    std::shared_ptr<TLineScript> line = std::make_shared<TLineScript>();
    std::unique_ptr<TPCAComPort> port;
    qsizetype mark = 0;
};

// ---------------------------------------------------------------- opening

TEST_F(SerialLine, OpeningOutcomes)
{
    line->openResult = TComOpenResult::AccessDenied;
    Make(SerialRecord(cpmDirect));
    EXPECT_EQ(port->LastError(), 10);
    EXPECT_EQ(port->Handle(), -1);
    EXPECT_EQ(line->events, QStringList{QStringLiteral("open ttyUSB0")});

    line = std::make_shared<TLineScript>();
    line->openResult = TComOpenResult::Failed;
    Make(SerialRecord(cpmDirect));
    EXPECT_EQ(port->LastError(), 11);
    EXPECT_EQ(PCAErrorText(port->LastError()), QStringLiteral("Com-порт не найден."));

    line = std::make_shared<TLineScript>();
    line->configureAccepted = false;
    Make(SerialRecord(cpmDirect));
    EXPECT_EQ(port->LastError(), 23);
    EXPECT_FALSE(line->open);
    EXPECT_EQ(port->Handle(), -1);

    // A TCP record opens nothing.
    line = std::make_shared<TLineScript>();
    TPCASettings tcp{};
    tcp.Ethernet.ChannelType = pcaEthernetTCP;
    Make(tcp);
    EXPECT_EQ(port->LastError(), 4);
    EXPECT_TRUE(line->events.isEmpty());
    EXPECT_EQ(port->Connect(), -1);
    EXPECT_EQ(port->LastError(), 4);
}

TEST_F(SerialLine, LineFormatAndReadIntervalFollowTheMode)
{
    Make(SerialRecord(cpmDirect, 115200));
    EXPECT_EQ(port->LastError(), 0);
    EXPECT_EQ(port->Handle(), 77);
    EXPECT_EQ(line->events, (QStringList{"open ttyUSB0", "configure 115200 hold=0", "interval 25", "wait 250"}));

    line = std::make_shared<TLineScript>();
    Make(SerialRecord(cpmOptoAttach, 19200));
    EXPECT_EQ(line->events, (QStringList{"open ttyUSB0", "configure 19200 hold=1", "interval 25", "wait 250"}));

    line = std::make_shared<TLineScript>();
    line->lines.Cts = true;
    Make(SerialRecord(cpmPhoneModem));
    EXPECT_EQ(port->LastError(), 0);
    EXPECT_EQ(line->events,
              (QStringList{"open ttyUSB0", "configure 9600 hold=0", "interval 500", "RTS 1", "DTR 1", "wait 250"}));

    line = std::make_shared<TLineScript>();
    line->lines.Cts = true;
    Make(SerialRecord(cpmRadioModem));
    EXPECT_EQ(line->readInterval, 1000);
}

TEST_F(SerialLine, AModemWithoutCtsIsNotFoundAtCreationAndAtConnect)
{
    Make(SerialRecord(cpmPhoneModem));
    EXPECT_EQ(port->LastError(), 14);
    EXPECT_EQ(PCAErrorText(14), QStringLiteral("Модем не найден."));
    EXPECT_FALSE(line->open);
    EXPECT_EQ(port->Handle(), -1);
    // The settling wait comes after the failure too.
    EXPECT_EQ(line->events.back(), QStringLiteral("wait 250"));

    // Connect tries the port again; the modem is still silent.
    EXPECT_EQ(port->Connect(), -1);
    EXPECT_EQ(port->LastError(), 14);

    // Opened with CTS, then the modem goes away before Connect.
    line = std::make_shared<TLineScript>();
    line->lines.Cts = true;
    Make(SerialRecord(cpmRadioModem));
    ASSERT_EQ(port->LastError(), 0);
    line->lines.Cts = false;
    EXPECT_EQ(port->Connect(), -1);
    EXPECT_EQ(port->LastError(), 14);
    EXPECT_TRUE(line->writes.isEmpty());
}

TEST_F(SerialLine, TheFullPortNameIsTheOneOpened)
{
    Make(SerialRecord(cpmDirect, 9600, QStringLiteral("/dev/serial/by-id/usb-Probe-if00-port0")));
    EXPECT_EQ(line->events.first(), QStringLiteral("open /dev/serial/by-id/usb-Probe-if00-port0"));
    EXPECT_EQ(port->PortName(), QStringLiteral("/dev/serial/by-id/usb-Probe-if00-port0"));

    // A record without the full name (an old one) opens its six characters.
    line = std::make_shared<TLineScript>();
    TPCASettings old = SerialRecord(cpmDirect);
    old.ComPort.PortName.SetText(u"COM3");
    old.ComPort.FullPortName.Clear();
    Make(old);
    EXPECT_EQ(line->events.first(), QStringLiteral("open COM3"));
}

// ---------------------------------------------------------------- cable and probe

TEST_F(SerialLine, DirectCableConnectsWithOrWithoutThePulseTrain)
{
    Make(SerialRecord(cpmDirect));
    EXPECT_EQ(port->Connect(), 0);
    EXPECT_EQ(Since(), QStringList{"interval 25"});
    EXPECT_FALSE(line->dtr);
    EXPECT_FALSE(line->rts);

    TPCASettings on = SerialRecord(cpmDirect);
    on.ComPort.LinesOn = 1;
    line = std::make_shared<TLineScript>();
    Make(on);
    EXPECT_EQ(port->Connect(), 0);
    EXPECT_EQ(port->LastError(), 0);
    EXPECT_EQ(Since(), (QStringList{"RTS 1", "wait 5", "DTR 1", "wait 25", "RTS 0", "wait 5", "DTR 0", "wait 25",
                                    "RTS 1", "wait 5", "DTR 1", "wait 10", "interval 25"}));
    EXPECT_TRUE(line->dtr);
    EXPECT_TRUE(line->rts);

    EXPECT_EQ(port->Disconnect(), 0);
    EXPECT_EQ(Since(), (QStringList{"DTR 0", "RTS 0", "wait 250"}));
    // The port stays open: Connect works again without reopening it.
    EXPECT_EQ(port->Connect(), 0);
    EXPECT_FALSE(Since().contains(QStringLiteral("open ttyUSB0")));
}

TEST_F(SerialLine, OpticalProbeGetsItsRateByteAt9600)
{
    TPCASettings s = SerialRecord(cpmOptoAttach, 38400);
    s.ComPort.LinesOn = 1;
    Make(s);
    EXPECT_EQ(port->Connect(), 0);
    EXPECT_EQ(port->LastError(), 0);
    const QStringList events = Since();
    const QStringList tail = events.mid(12); // after the six-step pulse train
    EXPECT_EQ(events.first(), QStringLiteral("RTS 1"));
    EXPECT_EQ(tail, (QStringList{"rate 9600", "RTS 0", "wait 100", "write \\x16", "wait 100", "RTS 1", "wait 100",
                                 "rate 38400"}));
    EXPECT_EQ(line->rate, 38400u);

    // Every rate of the table, and the fallback for the rest.
    const std::pair<quint32, quint8> table[] = {{2400, 0x1A},   {9600, 0x16},  {19200, 0x13}, {57600, 0x11},
                                                {115200, 0x10}, {38400, 0x16}, {4800, 0x16},  {0, 0x16}};
    for (const auto &[rate, code] : table) {
        EXPECT_EQ(TPCAComPort::ProbeRateCode(rate), code) << rate;
        line = std::make_shared<TLineScript>();
        Make(SerialRecord(cpmOptoAttach, rate == 0 ? 1200 : rate));
        ASSERT_EQ(port->Connect(), 0);
        ASSERT_FALSE(line->writes.isEmpty());
        EXPECT_EQ(line->writes.back(), QByteArray(1, char(rate == 0 ? 0x16 : code))) << rate;
    }
}

TEST_F(SerialLine, AProbeRateByteThatCannotBeWrittenIsReported)
{
    Make(SerialRecord(cpmOptoAttach, 19200));
    line->writeResult = TComIoResult::Failed;
    EXPECT_EQ(port->Connect(), -1);
    EXPECT_EQ(port->LastError(), 25);
    EXPECT_EQ(PCAErrorText(25), QStringLiteral("Нет соединения с оптической приставкой."));
    // The line is back at its own rate all the same.
    EXPECT_EQ(line->rate, 19200u);
}

TEST_F(SerialLine, WriteClearsTheQueuesAndATimedOutReadPurges)
{
    Make(SerialRecord(cpmDirect));
    quint32 n = 0;
    EXPECT_EQ(port->Write("abc", 3, n), 0);
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(Since(), (QStringList{"clear", "write abc"}));

    char buffer[16];
    line->answers = {QByteArray("xy")};
    EXPECT_EQ(port->Read(buffer, sizeof buffer, 700, n), 0);
    EXPECT_EQ(n, 2u);
    EXPECT_EQ(QByteArray(buffer, 2), QByteArray("xy"));

    EXPECT_EQ(port->Read(buffer, sizeof buffer, 700, n), -1);
    EXPECT_EQ(port->LastError(), 13);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(Since(), (QStringList{"read 700", "read 700", "clear"}));

    line->writeResult = TComIoResult::TimedOut;
    EXPECT_EQ(port->Write("abc", 3, n), -1);
    EXPECT_EQ(port->LastError(), 12);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(Since(), (QStringList{"clear", "write abc", "clear"}));
}

// ---------------------------------------------------------------- phone modem

TEST(ModemAnswers, SetUpAnswerAcceptance)
{
    const std::pair<QByteArray, bool> cases[] = {
        {QByteArray("0\r"), true}, // numeric OK
        {QByteArray("0"), false},  // '0' needs more than one byte
        {QByteArray("OK\r"), true},
        {QByteArray("Ox"), false}, // 'O' needs more than two bytes
        {QByteArray("Oxx"), true},
        {QByteArray("ATV0\r"), false}, // 'A' needs more than five bytes
        {QByteArray("ATV0\r0"), true},
        {QByteArray("\r\n\r"), false}, // CR needs more than three bytes
        {QByteArray("\r\nOK"), true},
        {QByteArray("\r\nX\r"), true},
        {QByteArray("~#OK"), true},        // noise before OK: found by the search
        {QByteArray("~#O\0OK", 6), false}, // the search stops at a NUL
        {QByteArray("4\r"), false},        // numeric ERROR
        {QByteArray(), false},
    };
    for (const auto &[answer, accepted] : cases)
        EXPECT_EQ(ModemSetupAccepted(answer), accepted) << testline::Printable(answer).toStdString();
}

TEST(ModemAnswers, InitAnswerAcceptance)
{
    const std::pair<QByteArray, bool> cases[] = {
        {QByteArray("0"), true},      // '0' alone is enough here
        {QByteArray("ATZ\r"), false}, // 'A' needs at least five bytes
        {QByteArray("ATZ\r0"), true},  {QByteArray("\r\n\r"), false},
        {QByteArray("\r\n0\r"), true}, {QByteArray("Ox"), false}, // no rule for 'O' but the search
        {QByteArray("OK"), true},      {QByteArray("xxOKxx"), true},
        {QByteArray("4\r"), false},    {QByteArray(), false},
    };
    for (const auto &[answer, accepted] : cases)
        EXPECT_EQ(ModemInitAccepted(answer), accepted) << testline::Printable(answer).toStdString();
}

TEST_F(SerialLine, PhoneModemSetUpInitAndToneDial)
{
    ModemThatConnects("ATdt");
    Make(PhoneRecord(1, true, QStringLiteral("8-812-5551234"), QStringLiteral("ATX3")));
    line->answers = {QByteArray("0\r"), QByteArray("OK\r\n")};
    EXPECT_EQ(port->Connect(), 0);
    EXPECT_EQ(port->LastError(), 0);
    EXPECT_EQ(Since(), (QStringList{"write ATV0E0Q0&C1&D2\\r", "read 2500", "write ATX3\\r", "read 2500",
                                    "write ATdt8-812-5551234\\r", "read 45000", "clear"}));
    ASSERT_EQ(line->writes.size(), 3);
    EXPECT_EQ(line->writes[0].size(), 15);

    // With the carrier up the line is still there: nothing is sent again.
    EXPECT_EQ(port->Connect(), 0);
    EXPECT_TRUE(Since().isEmpty());
}

TEST_F(SerialLine, PhoneModemPulseAndBareDialCommands)
{
    ModemThatConnects("ATd");
    Make(PhoneRecord(1, false, QStringLiteral("123")));
    line->answers = {QByteArray("OK")};
    EXPECT_EQ(port->Connect(), 0);
    // No init string, no init exchange.
    EXPECT_EQ(line->writes, (QList<QByteArray>{"ATV0E0Q0&C1&D2\r", "ATdp123\r"}));

    line = std::make_shared<TLineScript>();
    ModemThatConnects("ATd");
    Make(PhoneRecord(0, true, QStringLiteral("123")));
    line->answers = {QByteArray("OK")};
    EXPECT_EQ(port->Connect(), 0);
    EXPECT_EQ(line->writes.back(), QByteArray("ATd\r"));
}

TEST_F(SerialLine, PhoneModemRefusalsAndNoCarrier)
{
    // Silence to the set-up command.
    ModemThatConnects("ATd");
    Make(PhoneRecord(1, true, QStringLiteral("5")));
    EXPECT_EQ(port->Connect(), -1);
    EXPECT_EQ(port->LastError(), 17);
    EXPECT_EQ(line->writes.size(), 1);

    // The init string answered with an error.
    line = std::make_shared<TLineScript>();
    ModemThatConnects("ATd");
    Make(PhoneRecord(1, true, QStringLiteral("5"), QStringLiteral("AT&F")));
    line->answers = {QByteArray("0\r"), QByteArray("4\r")};
    EXPECT_EQ(port->Connect(), -1);
    EXPECT_EQ(port->LastError(), 17);
    EXPECT_EQ(line->writes.size(), 2);

    // Dialled, but no carrier: the modem is hung up before the failure.
    line = std::make_shared<TLineScript>();
    line->lines.Cts = true;
    Make(PhoneRecord(1, true, QStringLiteral("5")));
    line->answers = {QByteArray("0\r"), QByteArray("3\r")};
    EXPECT_EQ(port->Connect(), -1);
    EXPECT_EQ(port->LastError(), 16);
    EXPECT_EQ(PCAErrorText(16), QStringLiteral("Не удалось установить соединение с модемом."));
    EXPECT_EQ(Since().mid(4), (QStringList{"interval 25", "read 500", "clear", "write +++", "read 1000", "DTR 0",
                                           "RTS 0", "interval 500"}));
}

// Without a stop, a modem that never answers the dial gives up within the
// stated time-outs and leaves the line hung up.
TEST_F(SerialLine, ADialNeverAnsweredEndsWithinTheStatedTimeOuts)
{
    line->lines.Cts = true;
    Make(PhoneRecord(1, true, QStringLiteral("5"), QStringLiteral("AT&F")));
    const qint64 start = line->clockMs;
    line->answers = {QByteArray("0\r"), QByteArray("0\r")}; // set-up and init; the dial: nothing
    EXPECT_EQ(port->Connect(), -1);
    EXPECT_EQ(port->LastError(), 16);
    const qint64 bound = 2 * TPCAComPort::kModemCommandMs + TPCAComPort::kDialMs + TPCAComPort::kHangUpReadMs;
    EXPECT_LE(line->clockMs - start, bound);
    EXPECT_FALSE(line->dtr);
    EXPECT_FALSE(line->rts);
    EXPECT_TRUE(Since().contains(QStringLiteral("read %1").arg(TPCAComPort::kDialMs)));
}

// A stop 2 s into the dial (a call takes up to 45 s) ends the wait at once;
// the modem is hung up with the whole usual sequence (the line let go quiet,
// each answer waited for: at most 1.5 s for a phone modem, 3 s for a radio
// modem that never answers), and the connect fails with 16.
TEST_F(SerialLine, AStopDuringDiallingEndsTheWaitAndHangsUpWhole)
{
    // After the dial's read (purged like any that timed out).
    const QStringList phoneHangUp{"clear",     "interval 25", "read 500", "clear",       "write +++",
                                  "read 1000", "DTR 0",       "RTS 0",    "interval 500"};
    const QStringList radioHangUp{"clear",        "interval 25", "read 1000", "clear", "write \\x03\\x03\\x03",
                                  "read 1000",    "write D\\r",  "read 1000", "DTR 0", "RTS 0",
                                  "interval 1000"};
    struct TCase
    {
        TPCASettings Record;
        std::deque<QByteArray> Answers; // before the dial
        QByteArray Dial;
        QStringList HangUp;
        qint64 HangUpMs;
    };
    for (const TCase &c : {TCase{PhoneRecord(1, true, QStringLiteral("5"), QStringLiteral("AT&F")),
                                 {QByteArray("0\r"), QByteArray("0\r")},
                                 "ATdt",
                                 phoneHangUp,
                                 1500},
                           TCase{RadioRecord(QStringLiteral("RK-17")), {}, "c ", radioHangUp, 3000}}) {
        line = std::make_shared<TLineScript>();
        line->lines.Cts = true;
        qint64 stopAt = -1;
        line->onWrite = [&](TLineScript &s, const QByteArray &bytes) {
            if (bytes.startsWith(c.Dial))
                stopAt = s.clockMs + 2000;
        };
        Make(c.Record);
        port->SetStopCheck([&] { return stopAt >= 0 && line->clockMs >= stopAt; });
        line->answers = c.Answers;
        EXPECT_EQ(port->Connect(), -1);
        EXPECT_EQ(port->LastError(), 16);
        ASSERT_GE(stopAt, 0);
        std::printf("[ dial %s: stop took %lld ms ]\n", c.Dial.constData(),
                    static_cast<long long>(line->clockMs - stopAt));
        EXPECT_EQ(line->clockMs - stopAt, c.HangUpMs);
        const QStringList events = Since();
        const qsizetype dial = events.indexOf(QStringLiteral("read %1").arg(TPCAComPort::kDialMs));
        ASSERT_GE(dial, 0);
        EXPECT_EQ(events.mid(dial + 1), c.HangUp);
        EXPECT_FALSE(line->dtr);
        EXPECT_FALSE(line->rts);

        // Called again: the lines the hang-up dropped come up first (a modem
        // with DTR low takes no command). Connected, then stopped: the
        // hang-up still waits for each answer.
        line->lines.Carrier = true;
        ASSERT_EQ(port->Connect(), 0);
        EXPECT_EQ(Since(), (QStringList{"RTS 1", "DTR 1", QStringLiteral("wait %1").arg(TPCAComPort::kSettleMs)}));
        const qint64 before = line->clockMs;
        EXPECT_EQ(port->Disconnect(), 0);
        EXPECT_EQ(line->clockMs - before, c.HangUpMs);
        EXPECT_EQ(Since(), c.HangUp.mid(1));
        port.reset();
    }

    // A stop while the modem is set up: no call is made, so none is hung up.
    line = std::make_shared<TLineScript>();
    line->lines.Cts = true;
    bool stop = false;
    line->onWrite = [&](TLineScript &, const QByteArray &) { stop = true; };
    Make(PhoneRecord(1, true, QStringLiteral("5")));
    port->SetStopCheck([&] { return stop; });
    line->answers = {QByteArray("0\r")};
    EXPECT_EQ(port->Connect(), -1);
    EXPECT_EQ(port->LastError(), 16);
    EXPECT_EQ(line->writes, QList<QByteArray>{"ATV0E0Q0&C1&D2\r"});
}

TEST_F(SerialLine, CarrierLossFailsReadsAndWritesAtOnce)
{
    ModemThatConnects("ATd");
    Make(PhoneRecord(0, true, QString()));
    line->answers = {QByteArray("0\r")};
    ASSERT_EQ(port->Connect(), 0);
    quint32 n = 99;
    EXPECT_EQ(port->Write("frame", 5, n), 0);

    line->lines.Carrier = false;
    const qsizetype writes = line->writes.size();
    n = 99;
    EXPECT_EQ(port->Write("frame", 5, n), -1);
    EXPECT_EQ(port->LastError(), 22);
    EXPECT_EQ(PCAErrorText(22), QStringLiteral("Соединение потеряно."));
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(line->writes.size(), writes);

    char buffer[8];
    line->answers = {QByteArray("late")};
    n = 99;
    EXPECT_EQ(port->Read(buffer, sizeof buffer, 2000, n), -1);
    EXPECT_EQ(port->LastError(), 22);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(line->answers.size(), 1u); // the port was not read
}

TEST_F(SerialLine, PhoneModemHangUpOnDisconnectAndDestruction)
{
    ModemThatConnects("ATd");
    Make(PhoneRecord(0, true, QString()));
    line->answers = {QByteArray("0\r")};
    ASSERT_EQ(port->Connect(), 0);
    Since();
    EXPECT_EQ(port->Disconnect(), 0);
    // The escape goes unanswered: still a clean hang-up.
    EXPECT_EQ(port->LastError(), 0);
    const QStringList hangUp{"interval 25", "read 500", "clear", "write +++",
                             "read 1000",   "DTR 0",    "RTS 0", "interval 500"};
    EXPECT_EQ(Since(), hangUp);

    // Hung up already: the end of the channel only closes the port.
    port.reset();
    EXPECT_EQ(Since(), QStringList{"close"});

    // In a call: the end of the channel hangs up first.
    line = std::make_shared<TLineScript>();
    ModemThatConnects("ATd");
    Make(PhoneRecord(0, true, QString()));
    line->answers = {QByteArray("0\r")};
    ASSERT_EQ(port->Connect(), 0);
    Since();
    port.reset();
    EXPECT_EQ(Since(), hangUp + QStringList{"close"});
}

// ---------------------------------------------------------------- radio modem

TEST_F(SerialLine, RadioModemCallsWithAndWithoutInit)
{
    ModemThatConnects("c ");
    Make(RadioRecord(QStringLiteral("RK-17")));
    EXPECT_EQ(port->Connect(), 0);
    EXPECT_EQ(Since(), (QStringList{"write c RK-17\\r", "read 45000", "clear"}));

    line = std::make_shared<TLineScript>();
    ModemThatConnects("c ");
    Make(RadioRecord(QStringLiteral("RK-17"), QStringLiteral("MYCALL BASE")));
    line->answers = {QByteArray("MYCALL was ...\r\ncmd:")};
    EXPECT_EQ(port->Connect(), 0);
    EXPECT_EQ(Since(), (QStringList{"write MYCALL BASE\\r", "read 5000", "write c RK-17\\r", "read 45000", "clear"}));

    line = std::make_shared<TLineScript>();
    ModemThatConnects("c ");
    Make(RadioRecord(QStringLiteral("RK-17"), QStringLiteral("MYCALL BASE")));
    line->answers = {QByteArray("?\r\n")};
    EXPECT_EQ(port->Connect(), -1);
    EXPECT_EQ(port->LastError(), 17);
    EXPECT_EQ(line->writes.size(), 1);
}

TEST_F(SerialLine, RadioModemHangUpSequence)
{
    line->lines.Cts = true;
    Make(RadioRecord(QStringLiteral("RK-17")));
    // No carrier after the call: hung up, then 16.
    EXPECT_EQ(port->Connect(), -1);
    EXPECT_EQ(port->LastError(), 16);
    const QStringList hangUp{"interval 25", "read 1000", "clear", "write \\x03\\x03\\x03", "read 1000", "write D\\r",
                             "read 1000",   "DTR 0",     "RTS 0", "interval 1000"};
    EXPECT_EQ(Since().mid(3), hangUp);
    // Hung up already: nothing more to do.
    EXPECT_EQ(port->Disconnect(), 0);
    EXPECT_EQ(Since(), QStringList{});
    line->lines.Carrier = true;
    ASSERT_EQ(port->Connect(), 0);
    Since();
    EXPECT_EQ(port->Disconnect(), 0);
    EXPECT_EQ(Since(), hangUp);
}

// ---------------------------------------------------------------- settings

TEST_F(SerialLine, SettingsTargetAndChanges)
{
    line->lines.Cts = true;
    const TPCASettings base = PhoneRecord(1, true, QStringLiteral("100"), QStringLiteral("ATZ"));
    Make(base);
    TPCASettings got{};
    EXPECT_EQ(port->GetSettings(got), 0);
    EXPECT_TRUE(got == base);

    EXPECT_TRUE(port->IsSameTarget(base));
    EXPECT_FALSE(port->IsSettingsChanged(base));
    TPCASettings other = base;
    PCASetComPortName(other, QStringLiteral("ttyusb0"));
    EXPECT_FALSE(port->IsSameTarget(other)); // case matters
    // ttyUSB10 and ttyUSB11 share their six-character cut but not their device.
    TPCASettings a = SerialRecord(cpmDirect, 9600, QStringLiteral("ttyUSB10"));
    TPCASettings b = SerialRecord(cpmDirect, 9600, QStringLiteral("ttyUSB11"));
    ASSERT_EQ(a.ComPort.PortName.Bytes(), b.ComPort.PortName.Bytes());
    line = std::make_shared<TLineScript>();
    Make(a);
    EXPECT_TRUE(port->IsSameTarget(a));
    EXPECT_FALSE(port->IsSameTarget(b));
    EXPECT_EQ(port->ApplySettings(b), -1);
    EXPECT_EQ(port->LastError(), 15);

    line = std::make_shared<TLineScript>();
    line->lines.Cts = true;
    Make(base);
    TPCASettings changed = base;
    changed.ComPort.InitString.SetText(u"AT&F");
    changed.ComPort.Phone.ToneDial = 0;
    EXPECT_FALSE(port->IsSettingsChanged(changed)); // init and tone are not compared
    changed.ComPort.Phone.PhoneNumber.SetText(u"101");
    EXPECT_TRUE(port->IsSettingsChanged(changed));
    changed = base;
    changed.ComPort.BaudRate = 19200;
    EXPECT_TRUE(port->IsSettingsChanged(changed));
    TPCASettings bare = base;
    bare.ComPort.Phone.DialKind = 0;
    EXPECT_TRUE(port->IsSettingsChanged(bare));
    TPCASettings tcp{};
    tcp.Ethernet.ChannelType = pcaEthernetTCP;
    EXPECT_FALSE(port->IsSettingsChanged(tcp));
    EXPECT_EQ(port->ApplySettings(tcp), -1);
    EXPECT_EQ(port->LastError(), 4);
}

TEST_F(SerialLine, ApplySettingsReconfiguresWithoutReopening)
{
    Make(SerialRecord(cpmDirect, 9600));
    TPCASettings next = SerialRecord(cpmDirect, 57600);
    next.ComPort.LinesOn = 1;
    EXPECT_EQ(port->ApplySettings(next), 0);
    EXPECT_EQ(Since(), (QStringList{"configure 57600 hold=0", "RTS 1", "DTR 1", "interval 25"}));
    TPCASettings got{};
    port->GetSettings(got);
    EXPECT_EQ(got.ComPort.BaudRate, 57600u);

    // A rate the port refuses is reported and not taken.
    line->refusedRate = 12345;
    next.ComPort.BaudRate = 12345;
    EXPECT_EQ(port->ApplySettings(next), -1);
    EXPECT_EQ(port->LastError(), 23);
    port->GetSettings(got);
    EXPECT_EQ(got.ComPort.BaudRate, 57600u);
    EXPECT_EQ(line->rate, 57600u);
    Since();

    // Another mode drops both lines and takes its read interval.
    TPCASettings probe = SerialRecord(cpmOptoAttach, 57600);
    EXPECT_EQ(port->ApplySettings(probe), 0);
    EXPECT_EQ(Since(), (QStringList{"DTR 0", "RTS 0", "interval 25"}));
    EXPECT_FALSE(line->events.contains(QStringLiteral("close")));
}

TEST_F(SerialLine, CheckDeviceReadsDsr)
{
    Make(SerialRecord(cpmDirect));
    EXPECT_EQ(port->CheckDevice(), 24);
    line->lines.Dsr = true;
    EXPECT_EQ(port->CheckDevice(), 0);
}

TEST_F(SerialLine, DestructionDisconnectsThenCloses)
{
    Make(SerialRecord(cpmOptoAttach));
    port.reset();
    EXPECT_EQ(Since(), (QStringList{"DTR 0", "RTS 0", "wait 250", "close"}));
}

} // namespace

namespace {

TEST(SerialRecord, TheFullPortNameFollowsTheFixedPartAndLeavesItAsItWas)
{
    TPCASettings s{};
    s.ComPort.ChannelType = pcaComPort;
    PCASetComPortName(s, QStringLiteral("/dev/ttyUSB10"));
    // The six-character field keeps its cut; the whole name starts at byte 527.
    EXPECT_EQ(s.Bytes[1], 6);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(s.Bytes + 2), 6), QByteArray("/dev/t"));
    EXPECT_EQ(s.Bytes[527], 13);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(s.Bytes + 528), 13), QByteArray("/dev/ttyUSB10"));
    for (std::size_t i = 8; i < kPCARecordSize; ++i)
        ASSERT_EQ(s.Bytes[i], 0) << i;
    EXPECT_EQ(PCAComPortName(s), QStringLiteral("/dev/ttyUSB10"));

    // Without the full name the short field is the name; a TCP record names no port.
    s.ComPort.FullPortName.Clear();
    EXPECT_EQ(PCAComPortName(s), QStringLiteral("/dev/t"));
    TPCASettings tcp{};
    tcp.Ethernet.ChannelType = pcaEthernetTCP;
    EXPECT_TRUE(PCAComPortName(tcp).isEmpty());
}

} // namespace
