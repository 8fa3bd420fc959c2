// The drivers over a real loopback TCP link to a scripted meter: exchange
// acceptance rules, the password frame, time-outs and error texts.

#include "protocol/MeterPeer.h"
#include "protocol/R5Commands.h"
#include "protocol/R5Driver.h"
#include "support/LoopbackRecord.h"

#include <gtest/gtest.h>

using testpeer::Answer;
using testpeer::TReply;
using testpeer::TScriptedMeter;
using testsupport::LoopbackRecord;

namespace {

// A TM7 connected to the scripted meter.
struct TConnectedDriver
{
    explicit TConnectedDriver(TScriptedMeter &meter, quint16 deviceNumber = 77) : driver(LoopbackRecord(meter.Start()))
    {
        driver.SetDeviceNumber(deviceNumber);
        connected = driver.Channel()->Connect() == 0;
    }
    TM7 driver;
    bool connected = false;
};

TEST(R5DriverClasses, TypeCodesNamesAndOscillogramSupport)
{
    const TPCASettings none{};
    struct Row
    {
        TR5DriverKind kind;
        int code;
        const char *name;
        bool oscillogram;
    };
    const Row rows[] = {
        {TR5DriverKind::M7, 10, "TM7", false},
        {TR5DriverKind::R5_AS, 11, "TR5_AS", false},
        {TR5DriverKind::M7_SQ, 12, "TM7_SQ", true},
        {TR5DriverKind::M7_L12020, 13, "TM7_L12020", true},
        {TR5DriverKind::M7_L22020, 14, "TM7_L22020", true},
        {TR5DriverKind::R5_AS2020, 15, "TR5_AS2020", true},
    };
    for (const Row &row : rows) {
        auto driver = CreateR5Driver(row.kind, none);
        EXPECT_EQ(driver->DeviceTypeCode(), row.code) << row.name;
        EXPECT_EQ(driver->ClassName(), QString::fromLatin1(row.name));
        auto osc = driver->CreateOscillogramCommand();
        EXPECT_EQ(osc != nullptr, row.oscillogram) << row.name;
        if (osc) {
            EXPECT_EQ(osc->Device(), driver.get());
            EXPECT_EQ(osc->OscPeriods, 2);
        }
        EXPECT_EQ(driver->Channel(), nullptr); // type 0: no channel
    }
    // Every driver puts its own type code and number in the header.
    TM7_SQ sq(none);
    sq.SetDeviceNumber(0xBEEF);
    const auto h = sq.BuildHeader(0, 1, 2, 3, 4, R5Frame::kStartTime, 1);
    EXPECT_EQ(R5Frame::GetU16(h, R5Frame::kOffDeviceNumber), 0xBEEF);
    EXPECT_EQ(R5Frame::GetU16(h, R5Frame::kOffDeviceTypeCode), 12);
}

TEST(R5DriverTimeouts, ByLinkKindAndTheSafeFallback)
{
    TM7 tcp(LoopbackRecord(1));
    EXPECT_EQ(tcp.Timeouts().HeaderMs, 1000);
    EXPECT_EQ(tcp.Timeouts().DataMs, 5000);
    const struct
    {
        quint8 mode;
        int header;
        int data;
    } serial[] = {{cpmDirect, 1000, 5000},
                  {cpmPhoneModem, 2000, 10000},
                  {cpmRadioModem, 15000, 30000},
                  {cpmOptoAttach, 1000, 5000}};
    for (const auto &row : serial) {
        TPCASettings s{};
        s.ComPort.ChannelType = pcaComPort;
        PCASetComPortName(s, QStringLiteral("/dev/null-port"));
        s.ComPort.BaudRate = 9600;
        s.ComPort.Mode = row.mode;
        TM7 driver(s);
        EXPECT_EQ(driver.Timeouts().HeaderMs, row.header) << int(row.mode);
        EXPECT_EQ(driver.Timeouts().DataMs, row.data) << int(row.mode);
    }
    TM7 none(TPCASettings{});
    EXPECT_EQ(none.Timeouts().HeaderMs, 15000);
    EXPECT_EQ(none.Timeouts().DataMs, 30000);
}

TEST(R5DriverErrors, TextsOfMeterAndDriverCodes)
{
    TM7 d(TPCASettings{});
    EXPECT_EQ(d.ErrorText(0), QStringLiteral("Ошибки нет"));
    EXPECT_EQ(d.ErrorText(7), QStringLiteral("Прибор занят"));
    EXPECT_EQ(d.ErrorText(11),
              QStringLiteral("запись коэффициентов возможна только после установки прибора в режим \"Калибровка\""));
    EXPECT_EQ(d.ErrorText(15), QStringLiteral("пароль не снят, посылка отклонена"));
    EXPECT_EQ(d.ErrorText(100), QStringLiteral("нарушение логики работы прибора"));
    EXPECT_EQ(d.ErrorText(247), QStringLiteral("Неверный CRC"));
    EXPECT_EQ(d.ErrorText(251), QStringLiteral("Пароль должен содержать максимум 8 символов"));
    EXPECT_EQ(d.ErrorText(253), QStringLiteral("Нет ответа от измерителя"));
    EXPECT_EQ(d.ErrorText(255),
              QStringLiteral("Ошибка чтения из порта / количество прочитанных данных несоответствует ожидаемому"));
    const QString unknown = QStringLiteral("неизвестная ошибка. обратитесь к разработчикам");
    for (int code : {28, 33, 99, 101, 128, 246})
        EXPECT_EQ(d.ErrorText(code), unknown) << code;
}

TEST(R5DriverExchange, FixedLengthAnswerIsTakenOnlyWithThatLength)
{
    TScriptedMeter meter([](const QByteArray &request, int index) {
        // First right, then one byte short, then right length with a meter
        // code, then garbage before the right answer.
        switch (index) {
        case 0: return TReply{Answer(request, 0, QByteArray(105, 'a'))};
        case 1: return TReply{Answer(request, 0, QByteArray(104, 'b'))};
        case 2: return TReply{Answer(request, 16, QByteArray(105, 'c'))};
        default: return TReply{QByteArray("\x00\x00\x00garbage", 10) + Answer(request, 0, QByteArray(105, 'd'))};
        }
    });
    TConnectedDriver c(meter);
    ASSERT_TRUE(c.connected);
    std::array<quint8, 105> buffer{};

    qint32 expected = 105;
    EXPECT_TRUE(c.driver.Exchange({}, expected, buffer, nullptr, 0x0A, 0x02, 1, 1));
    EXPECT_EQ(c.driver.ErrorCode(), 0);
    EXPECT_EQ(expected, 105);
    EXPECT_EQ(buffer[0], 'a');

    expected = 105;
    buffer.fill(0);
    EXPECT_FALSE(c.driver.Exchange({}, expected, buffer, nullptr, 0x0A, 0x02, 1, 1));
    EXPECT_EQ(c.driver.ErrorCode(), 255);
    EXPECT_EQ(expected, 104);
    EXPECT_EQ(buffer[0], 0); // nothing copied

    // The length decides, whatever the code says.
    expected = 105;
    EXPECT_TRUE(c.driver.Exchange({}, expected, buffer, nullptr, 0x0A, 0x02, 1, 1));
    EXPECT_EQ(c.driver.ErrorCode(), 16);

    expected = 105;
    EXPECT_TRUE(c.driver.Exchange({}, expected, buffer, nullptr, 0x0A, 0x02, 1, 1));
    EXPECT_EQ(buffer[104], 'd');
    EXPECT_EQ(c.driver.Counters().SkippedBytes, 10u);

    // The requests went out as specified: header, device number, checksum.
    const auto requests = meter.Requests();
    ASSERT_EQ(requests.size(), 4u);
    const auto fields = R5Frame::ReadFields(testpeer::Span(requests[0]));
    EXPECT_EQ(requests[0].size(), 25);
    EXPECT_EQ(fields.Cmd, 0x0A);
    EXPECT_EQ(fields.Cmd1, 0x02);
    EXPECT_EQ(fields.DeviceNumber, 77);
    EXPECT_EQ(fields.DeviceTypeCode, 10);
    EXPECT_EQ(fields.Param, 1);
    EXPECT_TRUE(R5Frame::ChecksumValid(testpeer::Span(requests[0])));
}

TEST(R5DriverExchange, AnyLengthAnswerNeedsCode0Or26Or33)
{
    const quint16 codes[] = {0, 26, 33, 1, 15};
    TScriptedMeter meter([&](const QByteArray &request, int index) {
        return TReply{Answer(request, codes[index % 5], QByteArray(3 + index, 'x'))};
    });
    TConnectedDriver c(meter);
    ASSERT_TRUE(c.connected);
    for (int i = 0; i < 5; ++i) {
        qint32 expected = 0;
        QByteArray answer("old");
        const bool ok = c.driver.Exchange({}, expected, {}, &answer, 1, 1, 2, 3);
        EXPECT_EQ(ok, i < 3) << i;
        EXPECT_EQ(c.driver.ErrorCode(), codes[i]) << i;
        EXPECT_EQ(expected, 3 + i) << i; // the received length either way
        if (ok)
            EXPECT_EQ(answer, QByteArray(3 + i, 'x'));
        else
            EXPECT_EQ(answer, QByteArray("old"));
    }
}

TEST(R5DriverExchange, BadParametersAreRefusedWithoutSending)
{
    TScriptedMeter meter([](const QByteArray &request, int) { return TReply{Answer(request, 0, {})}; });
    TConnectedDriver c(meter);
    ASSERT_TRUE(c.connected);
    std::array<quint8, 10> buffer{};
    qint32 expected = 10;
    EXPECT_FALSE(c.driver.Exchange({}, expected, {}, nullptr, 1, 1, 1, 1)); // length without buffer
    EXPECT_EQ(c.driver.ErrorCode(), 249);
    EXPECT_EQ(expected, 0);
    expected = 0;
    EXPECT_FALSE(c.driver.Exchange({}, expected, buffer, nullptr, 1, 1, 1, 1)); // buffer without length
    EXPECT_EQ(c.driver.ErrorCode(), 249);
    expected = 11;
    EXPECT_FALSE(c.driver.Exchange({}, expected, buffer, nullptr, 1, 1, 1, 1)); // buffer too small
    EXPECT_EQ(c.driver.ErrorCode(), 249);
    const std::vector<quint8> huge(R5Frame::kMaxRequestData + 1, 0);
    expected = 0;
    EXPECT_FALSE(c.driver.Exchange(huge, expected, {}, nullptr, 1, 1, 1, 1));
    EXPECT_EQ(c.driver.ErrorCode(), 249);
    c.driver.Channel()->Disconnect();
    meter.Stop();
    EXPECT_EQ(meter.RequestCount(), 0);
}

TEST(R5DriverExchange, LinkFailuresEndWithTheirCodes)
{
    TScriptedMeter meter([](const QByteArray &request, int index) {
        QByteArray answer = Answer(request, 0, QByteArray(20, 'z'));
        switch (index) {
        case 0: return TReply{};                                                       // silence
        case 1: answer[30] = static_cast<char>(answer[30] ^ 1); return TReply{answer}; // bad checksum
        case 2: {
            QByteArray wrong = request; // an answer to another command
            wrong[7] = static_cast<char>(wrong[7] + 1);
            return TReply{Answer(wrong, 0, {})};
        }
        case 3: return TReply{answer.left(30), true}; // announces 20, sends 5, hangs up
        case 4: return TReply{Answer(request, 200, {})};
        default: return TReply{answer};
        }
    });
    TConnectedDriver c(meter);
    ASSERT_TRUE(c.connected);
    auto run = [&] {
        qint32 expected = 0;
        QByteArray answer;
        const bool ok = c.driver.Exchange({}, expected, {}, &answer, 1, 1, 2, 3);
        EXPECT_EQ(expected, ok ? 20 : 0);
        return ok;
    };
    EXPECT_FALSE(run());
    EXPECT_EQ(c.driver.ErrorCode(), 253);
    EXPECT_FALSE(run());
    EXPECT_EQ(c.driver.ErrorCode(), 247);
    EXPECT_FALSE(run());
    EXPECT_TRUE(c.driver.ErrorCode() == 252 || c.driver.ErrorCode() == 253) << int(c.driver.ErrorCode());
    EXPECT_FALSE(run());
    EXPECT_EQ(c.driver.ErrorCode(), 255);

    // The meter hung up: a new connection, then an ErrorField above 127.
    ASSERT_EQ(c.driver.Channel()->Disconnect(), 0);
    ASSERT_EQ(c.driver.Channel()->Connect(), 0);
    EXPECT_FALSE(run());
    EXPECT_EQ(c.driver.ErrorCode(), 255);
    EXPECT_TRUE(run());
    EXPECT_EQ(c.driver.Counters().ChecksumErrors, 1u);

    // Writing into a closed link: 254, nothing read.
    c.driver.Channel()->Disconnect();
    EXPECT_FALSE(run());
    EXPECT_EQ(c.driver.ErrorCode(), 254);

    TM7 noChannel{TPCASettings{}};
    qint32 expected = 0;
    EXPECT_FALSE(noChannel.Exchange({}, expected, {}, nullptr, 1, 1, 1, 1));
    EXPECT_EQ(noChannel.ErrorCode(), 254);
}

TEST(R5DriverExchange, NoiseTrickledForeverEndsTheHeaderSearchWithinTheDataTimeOut)
{
    // One stray byte every 100 ms: each read succeeds, so only a bound on
    // the whole search ends it.
    testpeer::TLoopbackPeer peer([](QTcpSocket &socket, int) {
        testpeer::ReadFrame(socket);
        testpeer::WriteAll(socket, QByteArray(25, '\x5A'));
        while (socket.state() == QAbstractSocket::ConnectedState) {
            testpeer::WriteAll(socket, QByteArray(1, '\x5A'));
            socket.waitForReadyRead(100);
            socket.readAll();
        }
    });
    TM7 driver(LoopbackRecord(peer.Start()));
    ASSERT_EQ(driver.Channel()->Connect(), 0);
    qint32 expected = 0;
    EXPECT_FALSE(driver.Exchange({}, expected, {}, nullptr, 1, 1, 2, 3));
    EXPECT_EQ(driver.ErrorCode(), 252);
    EXPECT_GT(driver.Counters().SkippedBytes, 0u);
    driver.Channel()->Disconnect();
}

TEST(R5DriverExchange, AnAnswerDribbledPastTheExchangeDeadlineIsGivenUp)
{
    // A whole, valid answer of 200 data bytes at one byte every 100 ms: each
    // read gets its byte well within the data time-out, so only a deadline on
    // the whole exchange ends it before the 20 s it would take.
    testpeer::TLoopbackPeer peer([](QTcpSocket &socket, int) {
        const QByteArray request = testpeer::ReadFrame(socket);
        const QByteArray answer = Answer(request, 0, QByteArray(200, 'd'));
        testpeer::WriteAll(socket, answer.left(R5Frame::kHeaderSize));
        for (qsizetype i = R5Frame::kHeaderSize; i < answer.size() && socket.state() == QAbstractSocket::ConnectedState;
             ++i) {
            testpeer::WriteAll(socket, answer.mid(i, 1));
            socket.waitForReadyRead(100);
        }
        testpeer::WaitForClose(socket);
    });
    TM7 driver(LoopbackRecord(peer.Start()));
    ASSERT_EQ(driver.Channel()->Connect(), 0);
    qint32 expected = 0;
    QByteArray answer;
    EXPECT_FALSE(driver.Exchange({}, expected, {}, &answer, 1, 1, 2, 3));
    EXPECT_EQ(driver.ErrorCode(), 255);
    EXPECT_TRUE(answer.isEmpty());
    driver.Channel()->Disconnect();
}

TEST(R5DriverPassword, FrameLayoutAcceptanceAndRefusals)
{
    TScriptedMeter meter([](const QByteArray &request, int index) {
        switch (index) {
        case 0: return TReply{Answer(request, 0, {})};
        case 1: return TReply{Answer(request, 17, {})};
        default: return TReply{Answer(request, 0, QByteArray("?", 1))};
        }
    });
    TConnectedDriver c(meter);
    ASSERT_TRUE(c.connected);

    EXPECT_TRUE(c.driver.RemovePassword(0, QString()));
    EXPECT_EQ(c.driver.ErrorCode(), 0);
    EXPECT_FALSE(c.driver.RemovePassword(4, QStringLiteral("Ab12cD34")));
    EXPECT_EQ(c.driver.ErrorCode(), 17);
    // An answer with data is no acceptance, whatever its code.
    EXPECT_FALSE(c.driver.RemovePassword(7, QStringLiteral("z")));
    EXPECT_NE(c.driver.ErrorCode(), 0);

    // Refused before anything is sent.
    EXPECT_FALSE(c.driver.RemovePassword(0, QStringLiteral("123456789")));
    EXPECT_EQ(c.driver.ErrorCode(), 251);
    EXPECT_EQ(c.driver.ErrorText(251),
              QStringLiteral("Пароль должен содержать максимум ") + "8" + QStringLiteral(" символов"));
    EXPECT_FALSE(c.driver.RemovePassword(0, QStringLiteral("abc_1")));
    EXPECT_EQ(c.driver.ErrorCode(), 250);
    EXPECT_FALSE(c.driver.RemovePassword(0, QStringLiteral("пароль")));
    EXPECT_EQ(c.driver.ErrorCode(), 250);

    c.driver.Channel()->Disconnect();
    meter.Stop();
    const auto requests = meter.Requests();
    ASSERT_EQ(requests.size(), 3u);
    // Empty password: one 0 data byte; CMD 0A, CMD1 by level.
    EXPECT_EQ(requests[0].size(), 26);
    EXPECT_EQ(quint8(requests[0][4]), 1);
    EXPECT_EQ(quint8(requests[0][6]), 0x0A);
    EXPECT_EQ(quint8(requests[0][7]), 0x85);
    EXPECT_EQ(quint8(requests[0][12]), 1);
    EXPECT_EQ(quint8(requests[0][13]), 1);
    EXPECT_EQ(requests[0][24], '\0');
    EXPECT_EQ(quint8(requests[1][7]), 0x86);
    EXPECT_EQ(requests[1].mid(24, 9), QByteArray("Ab12cD34\0", 9));
    EXPECT_EQ(quint8(requests[2][7]), 0x00);
    for (const QByteArray &r : requests)
        EXPECT_TRUE(R5Frame::ChecksumValid(testpeer::Span(r)));
}

} // namespace
