#include "FrameCodec.h"

#include <gtest/gtest.h>

using namespace MeterSim;

namespace {

TFrameHeader DateTimeHeader(quint16 device = 1, quint16 type = 12)
{
    TFrameHeader h;
    h.Cmd = 0x0A;
    h.Cmd1 = 0x02;
    h.IType = 1;
    h.ICount = 1;
    h.DeviceNumber = device;
    h.DeviceTypeCode = type;
    return h;
}

} // namespace

TEST(FrameCodec, ChecksumMatchesTheProtocolsKnownFrames)
{
    EXPECT_EQ(Checksum(QByteArray(24, '\0')), 0xEB);
    // Frames computed by an independent implementation of the rule.
    EXPECT_EQ(EncodeFrame(DateTimeHeader(), {}).toHex(), "0000000000000a0201000c0001010000000101070100000074");
    EXPECT_EQ(EncodeFrame(DateTimeHeader(0x0A85 & 0, 0), {}).size(), kMinFrameSize);

    TFrameHeader password = DateTimeHeader(3, 15);
    password.Cmd1 = 0x85;
    EXPECT_EQ(EncodeFrame(password, QByteArray("abc123", 7)).toHex(),
              "0000000007000a8503000f0001010000000101070100000061626331323300a5");
}

TEST(FrameCodec, EveryFlippedBitChangesTheChecksum)
{
    const QByteArray frame = EncodeFrame(DateTimeHeader(), QByteArray("\x01\x02\x03\x04", 4));
    const QByteArrayView body = QByteArrayView(frame).chopped(1);
    const quint8 good = Checksum(body);
    for (qsizetype i = 0; i < body.size(); ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            QByteArray spoiled = body.toByteArray();
            spoiled[i] = static_cast<char>(spoiled[i] ^ (1 << bit));
            EXPECT_NE(Checksum(spoiled), good) << "byte " << i << " bit " << bit;
        }
    }
}

TEST(FrameCodec, HeaderFieldsSurviveEncoding)
{
    TFrameHeader h = DateTimeHeader(0xBEEF, 0x1234);
    h.ErrorField = 33;
    h.Param = 7;
    h.StartTime[5] = 9;
    const QByteArray data(300, 'x');
    const QByteArray frame = EncodeFrame(h, data);
    ASSERT_EQ(frame.size(), kMinFrameSize + 300);
    const TFrameHeader back = DecodeHeader(frame);
    EXPECT_EQ(back.DataLength, 300);
    EXPECT_EQ(back.DeviceNumber, 0xBEEF);
    EXPECT_EQ(back.DeviceTypeCode, 0x1234);
    EXPECT_EQ(back.ErrorField, 33);
    EXPECT_EQ(back.Param, 7);
    EXPECT_EQ(back.StartTime[5], 9);
    // Little-endian on the wire.
    EXPECT_EQ(static_cast<quint8>(frame[4]), 300 & 0xFF);
    EXPECT_EQ(static_cast<quint8>(frame[5]), 300 >> 8);
}

TEST(RequestReader, FindsFramesInAnUntidyStream)
{
    const QByteArray first = EncodeFrame(DateTimeHeader(), {});
    TFrameHeader osc = DateTimeHeader();
    osc.Cmd = 0x01;
    osc.Cmd1 = 0x0C;
    const QByteArray second = EncodeFrame(osc, QByteArray("\0\x10\0\0", 4));
    QByteArray spoiled = first;
    spoiled[10] = 99; // checksum no longer fits

    TRequestReader reader;
    // Garbage, a frame with a wrong checksum, then two good frames fed in small pieces.
    const QByteArray stream = QByteArray("\xFF\x13\x00\x07", 4) + spoiled + first + second;
    for (qsizetype i = 0; i < stream.size(); i += 3)
        reader.Feed(QByteArrayView(stream).sliced(i, std::min<qsizetype>(3, stream.size() - i)));

    auto a = reader.Next();
    ASSERT_TRUE(a);
    EXPECT_EQ(a->Header.Cmd1, 0x02);
    EXPECT_TRUE(a->Data.isEmpty());
    auto b = reader.Next();
    ASSERT_TRUE(b);
    EXPECT_EQ(b->Header.Cmd1, 0x0C);
    EXPECT_EQ(b->Data, QByteArray("\0\x10\0\0", 4));
    EXPECT_FALSE(reader.Next());
    EXPECT_FALSE(reader.HasPartial());
    EXPECT_GE(reader.Counters().ChecksumErrors, 1u);
    EXPECT_EQ(reader.Counters().Frames, 2u);
}

TEST(RequestReader, NeverWaitsForAnImpossibleLength)
{
    // A header announcing more data than any request may carry is not a
    // frame start: the reader moves past it instead of waiting for 65535 bytes.
    QByteArray bogus = EncodeFrame(DateTimeHeader(), {});
    bogus[4] = static_cast<char>(0xFF);
    bogus[5] = static_cast<char>(0xFF);
    TRequestReader reader;
    reader.Feed(bogus.left(kHeaderSize));
    reader.Feed(EncodeFrame(DateTimeHeader(7), {}));
    auto frame = reader.Next();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->Header.DeviceNumber, 7);
}

TEST(RequestReader, ForgetsAnIncompleteFrame)
{
    const QByteArray frame = EncodeFrame(DateTimeHeader(), {});
    TRequestReader reader;
    reader.Feed(frame.left(10));
    EXPECT_FALSE(reader.Next());
    EXPECT_TRUE(reader.HasPartial());
    reader.DiscardPartial();
    EXPECT_FALSE(reader.HasPartial());
    reader.Feed(frame);
    EXPECT_TRUE(reader.Next());
}
