#include "LayoutReader.h"
#include "Session.h"

#include <gtest/gtest.h>

using namespace MeterSim;

namespace {

TFrame Request(quint8 cmd, quint8 cmd1, quint8 iType = 1, quint8 iCount = 1, QByteArray data = {},
               quint16 deviceNumber = 1, quint16 deviceType = 12)
{
    TFrame frame;
    frame.Header.Cmd = cmd;
    frame.Header.Cmd1 = cmd1;
    frame.Header.IType = iType;
    frame.Header.ICount = iCount;
    frame.Header.DeviceNumber = deviceNumber;
    frame.Header.DeviceTypeCode = deviceType;
    frame.Data = std::move(data);
    return frame;
}

TFrame DateTime()
{
    return Request(0x0A, 0x02);
}
TFrame Data()
{
    return Request(0x01, 0x01, 2, 3);
}
TFrame Password(const QByteArray &text)
{
    return Request(0x0A, 0x85, 1, 1, text + '\0');
}

TFrame Oscillogram(quint32 offset, quint8 periods = 2, quint16 deviceType = 12)
{
    QByteArray data(4, '\0');
    qToLittleEndian<quint32>(offset, data.data());
    return Request(0x01, 0x0C, 1, periods, data, 1, deviceType);
}

} // namespace

TEST(Session, AnswersEchoTheRequestAndCarryTheirSizes)
{
    TMeter meter{TMeterConfig{}};
    TMeterSession session(meter);
    const struct
    {
        TFrame Frame;
        int Size;
    } cases[] = {{DateTime(), 105}, {Request(0x0A, 0x0F), 551}, {Request(0x0A, 0x15), 192}, {Data(), 4594}};
    for (const auto &c : cases) {
        const TReply reply = session.Handle(c.Frame);
        EXPECT_FALSE(reply.Silent);
        EXPECT_EQ(reply.Header.ErrorField, kErrNone);
        EXPECT_EQ(reply.Data.size(), c.Size);
        EXPECT_EQ(reply.Header.Cmd1, c.Frame.Header.Cmd1);
        EXPECT_EQ(reply.Header.IType, c.Frame.Header.IType);
        EXPECT_EQ(reply.Header.ICount, c.Frame.Header.ICount);
        EXPECT_EQ(reply.Header.DeviceTypeCode, 12);
    }
}

TEST(Session, RejectsWhatItDoesNotKnowWithTheMetersCodes)
{
    TMeter meter{TMeterConfig{}};
    TMeterSession session(meter);
    EXPECT_EQ(session.Handle(Request(0x07, 0x01)).Header.ErrorField, kErrBadCmd);
    EXPECT_EQ(session.Handle(Request(0x0A, 0x55)).Header.ErrorField, kErrBadCmd1);
    EXPECT_EQ(session.Handle(Request(0x01, 0x01, 2, 4)).Header.ErrorField, kErrDataMap);
    EXPECT_EQ(session.Handle(Request(0x0A, 0x0F, 2, 1)).Header.ErrorField, kErrBadFormat);
    EXPECT_EQ(session.Handle(Request(0x0A, 0x02, 1, 1, "x")).Header.ErrorField, kErrBadFormat);
    // Fields with fixed values in every request.
    TFrame withError = DateTime();
    withError.Header.ErrorField = 5;
    EXPECT_EQ(session.Handle(withError).Header.ErrorField, kErrBadFormat);
    TFrame withParam = DateTime();
    withParam.Header.Param = 0;
    EXPECT_EQ(session.Handle(withParam).Header.ErrorField, kErrBadFormat);
    TFrame withStart = DateTime();
    withStart.Header.StartTime[5] = 8;
    EXPECT_EQ(session.Handle(withStart).Header.ErrorField, kErrBadFormat);
    TFrame withLead = DateTime();
    withLead.Header.Lead[2] = 1;
    EXPECT_EQ(session.Handle(withLead).Header.ErrorField, kErrBadFormat);
    EXPECT_TRUE(session.Handle(Request(0x07, 0x01)).Data.isEmpty());
}

TEST(Session, KeepsQuietAboutFramesForAnotherDevice)
{
    TMeterConfig config;
    config.DeviceNumber = 5;
    config.DeviceType = 15;
    TMeter meter(config);
    TMeterSession session(meter);
    EXPECT_TRUE(session.Handle(Request(0x0A, 0x02, 1, 1, {}, 4, 15)).Silent);
    EXPECT_TRUE(session.Handle(Request(0x0A, 0x02, 1, 1, {}, 5, 12)).Silent);
    EXPECT_FALSE(session.Handle(Request(0x0A, 0x02, 1, 1, {}, 5, 15)).Silent);
}

TEST(Session, PasswordGuardsEveryRequestUntilGiven)
{
    TMeterConfig config;
    config.Password = QStringLiteral("Ab12");
    TMeter meter(config);
    TMeterSession session(meter);
    EXPECT_EQ(session.Handle(DateTime()).Header.ErrorField, kErrPasswordNeeded);
    EXPECT_EQ(session.Handle(Data()).Header.ErrorField, kErrPasswordNeeded);
    EXPECT_EQ(session.Handle(Password("ab12")).Header.ErrorField, kErrWrongPassword);
    EXPECT_EQ(session.Handle(Password("123456789")).Header.ErrorField, kErrBadFormat);
    EXPECT_EQ(session.Handle(Request(0x0A, 0x85, 1, 1, "Ab12")).Header.ErrorField, kErrBadFormat);
    const TReply accepted = session.Handle(Password("Ab12"));
    EXPECT_EQ(accepted.Header.ErrorField, kErrNone);
    EXPECT_TRUE(accepted.Data.isEmpty());
    EXPECT_EQ(session.Handle(Data()).Header.ErrorField, kErrNone);
    // A wrong password later locks the meter again.
    EXPECT_EQ(session.Handle(Password("nope")).Header.ErrorField, kErrWrongPassword);
    EXPECT_EQ(session.Handle(DateTime()).Header.ErrorField, kErrPasswordNeeded);

    // Each connection has to give it anew.
    TMeterSession next(meter);
    EXPECT_EQ(next.Handle(DateTime()).Header.ErrorField, kErrPasswordNeeded);

    // Without protection any password, the empty one too, is taken.
    TMeter open{TMeterConfig{}};
    TMeterSession free(open);
    EXPECT_EQ(free.Handle(Password("")).Header.ErrorField, kErrNone);
}

TEST(Session, OscillogramArrivesInPartsThenTheConfiguration)
{
    TMeterConfig config;
    config.OscillogramChunk = 5000;
    TMeter meter(config);
    TMeterSession session(meter);

    QByteArray parts;
    int answers = 0;
    for (;;) {
        const TReply reply = session.Handle(Oscillogram(static_cast<quint32>(parts.size())));
        ASSERT_LT(++answers, 100);
        if (reply.Header.ErrorField == kErrMoreParts) {
            ASSERT_FALSE(reply.Data.isEmpty());
            ASSERT_LE(reply.Data.size(), 5000);
            parts += reply.Data;
            continue;
        }
        ASSERT_EQ(reply.Header.ErrorField, kErrNone);
        EXPECT_TRUE(reply.Data.startsWith("Tarvel,N1,1999\r\n13,9A,4D\r\n"));
        EXPECT_TRUE(reply.Data.endsWith("BINARY\r\n1\r\n"));
        break;
    }
    EXPECT_EQ(parts.size(), kOscillogramRecords * kRecordBytes);
    EXPECT_EQ(answers, 8 + 1);
    // The last request may be repeated; beyond the end is an error.
    EXPECT_EQ(session.Handle(Oscillogram(static_cast<quint32>(parts.size()))).Header.ErrorField, kErrNone);
    EXPECT_EQ(session.Handle(Oscillogram(static_cast<quint32>(parts.size() + 1))).Header.ErrorField, kErrBadFormat);
    // A repeated part is the same part of the same record.
    EXPECT_EQ(session.Handle(Oscillogram(5000)).Data, parts.mid(5000, 5000));
}

TEST(Session, OscillogramNeedsAVariantAndFirmwareThatRecordIt)
{
    TMeter meter{TMeterConfig{}};
    TMeterSession session(meter);
    EXPECT_EQ(session.Handle(Oscillogram(0, 2, kTypeM7)).Header.ErrorField, kErrBadCmd1);
    EXPECT_EQ(session.Handle(Oscillogram(0, 2, kTypeR5AS)).Header.ErrorField, kErrBadCmd1);
    EXPECT_EQ(session.Handle(Oscillogram(0, 2, kTypeR5AS2020)).Header.ErrorField, kErrMoreParts);
    EXPECT_EQ(session.Handle(Oscillogram(0, 0)).Header.ErrorField, kErrBadFormat);
    EXPECT_EQ(session.Handle(Oscillogram(0, 21)).Header.ErrorField, kErrBadFormat);
    EXPECT_EQ(session.Handle(Request(0x01, 0x0C, 1, 2, "abc")).Header.ErrorField, kErrBadFormat);

    TMeter freshMeter{TMeterConfig{}};
    TMeterSession fresh(freshMeter);
    EXPECT_EQ(fresh.Handle(Oscillogram(4096)).Header.ErrorField, kErrBadFormat); // no record begun

    TMeterConfig old;
    old.Firmware = QStringLiteral("2217");
    TMeter oldMeter(old);
    TMeterSession oldSession(oldMeter);
    EXPECT_EQ(oldSession.Handle(Oscillogram(0)).Header.ErrorField, kErrVersion);
}

TEST(Session, FastClockMovesOneSecondPerReadingUnlessFrozen)
{
    TMeterConfig config;
    config.FastClock = true;
    TMeter meter(config);
    TMeterSession session(meter);
    auto seconds = [&](bool frozen) {
        const QByteArray d = session.Handle(DateTime(), frozen).Data;
        return MeterSimTest::U8(d, 3) * 3600 + MeterSimTest::U8(d, 4) * 60 + MeterSimTest::U8(d, 5);
    };
    const int first = seconds(false);
    EXPECT_EQ((seconds(false) - first + 86400) % 86400, 1);
    EXPECT_EQ((seconds(true) - first + 86400) % 86400, 1);
    EXPECT_EQ((seconds(true) - first + 86400) % 86400, 1);
    EXPECT_EQ((seconds(false) - first + 86400) % 86400, 2);
}
