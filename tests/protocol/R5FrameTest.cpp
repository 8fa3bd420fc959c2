// The frame codec as a pure function over bytes: checksum, layout, the
// sliding header search and every way an answer can be wrong.

#include "protocol/R5Frame.h"

#include <gtest/gtest.h>

#include <random>

using namespace R5Frame;

namespace {

std::span<const quint8> Bytes(const QByteArray &b)
{
    return {reinterpret_cast<const quint8 *>(b.constData()), static_cast<std::size_t>(b.size())};
}

TFields DateTimeRequest()
{
    TFields f;
    f.Cmd = 0x0A;
    f.Cmd1 = 0x02;
    f.DeviceNumber = 0x1234;
    f.DeviceTypeCode = 10;
    f.IType = 1;
    f.ICount = 1;
    return f;
}

THeader RequestHeader(const TFields &f = DateTimeRequest())
{
    return BuildHeader(f);
}

QByteArray AnswerTo(const TFields &request, quint16 errorField, const QByteArray &data)
{
    TFields f = request;
    f.ErrorField = errorField;
    return BuildFrame(f, Bytes(data), kMaxAnswerData);
}

TParseResult Parse(const QByteArray &stream, const TFields &request = DateTimeRequest())
{
    return ParseAnswer(Bytes(stream), RequestHeader(request), HeadersMatch);
}

TEST(R5Checksum, MatchesHandWorkedValuesAndCatchesEverySingleBitError)
{
    const std::array<quint8, 24> zeros{};
    EXPECT_EQ(Checksum(zeros), 0xEB);
    const std::array<quint8, 1> one = {0x01};
    EXPECT_EQ(Checksum(one), 0x75); // 01 -> rotate 80 -> ^1E = 9E -> ^EB
    const std::array<quint8, 2> two = {0x01, 0x00};
    EXPECT_EQ(Checksum(two), 0xA4); // 9E -> rotate 4F -> ^EB
    EXPECT_EQ(Checksum({}), 0xEB);

    const QByteArray frame = AnswerTo(DateTimeRequest(), 0, QByteArray("\x10\x20\x30\x40", 4));
    ASSERT_TRUE(ChecksumValid(Bytes(frame)));
    for (int i = 0; i < frame.size() - 1; ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            QByteArray damaged = frame;
            damaged[i] = static_cast<char>(damaged[i] ^ (1 << bit));
            ASSERT_FALSE(ChecksumValid(Bytes(damaged))) << "byte " << i << " bit " << bit;
        }
    }
    EXPECT_FALSE(ChecksumValid({}));
}

TEST(R5Checksum, EqualsTheBytewiseRuleForEveryLengthAndContent)
{
    // The rule as the meter states it, one byte at a time; the codec folds
    // eight bytes per step, so lengths around multiples of 8 matter.
    auto rule = [](std::span<const quint8> bytes) {
        quint8 c = 0;
        for (quint8 b : bytes) {
            c ^= b;
            c = static_cast<quint8>((c >> 1) | ((c & 1) << 7));
            if (c & 0x80)
                c ^= 0x1E;
        }
        return static_cast<quint8>(c ^ 0xEB);
    };
    std::mt19937 rng(7);
    std::vector<quint8> bytes;
    for (int length = 0; length <= 70; ++length) {
        for (int round = 0; round < 20; ++round) {
            bytes.resize(length);
            for (auto &b : bytes)
                b = static_cast<quint8>(rng());
            ASSERT_EQ(Checksum(bytes), rule(bytes)) << "length " << length;
        }
    }
    bytes.assign(4619, 0xFF);
    EXPECT_EQ(Checksum(bytes), rule(bytes));
}

TEST(R5FrameLayout, HeaderFieldsSitAtTheirOffsetsLittleEndian)
{
    TFields f = DateTimeRequest();
    const THeader h = BuildHeader(f);
    const std::array<quint8, 25> expected = {0x00, 0x00, 0x00, 0x00,             // byte 0 and three unused
                                             0x00, 0x00,                         // DataLength 0
                                             0x0A, 0x02,                         // CMD, CMD1
                                             0x34, 0x12,                         // DeviceNumber
                                             0x0A, 0x00,                         // DeviceTypeCode
                                             0x01, 0x01,                         // iType, iCount
                                             0x00, 0x00, 0x00, 0x01, 0x01, 0x07, // StartTime
                                             0x01, 0x00,                         // Param
                                             0x00, 0x00,                         // ErrorField
                                             0x00};
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(h[i], expected[i]) << i;
    EXPECT_EQ(h[24], Checksum(std::span<const quint8>(h).first(24)));

    const QByteArray data("\x01\x02\x03", 3);
    const QByteArray frame = BuildFrame(f, Bytes(data));
    ASSERT_EQ(frame.size(), 28);
    EXPECT_EQ(quint8(frame[4]), 3);
    EXPECT_EQ(frame.mid(24, 3), data);
    EXPECT_TRUE(ChecksumValid(Bytes(frame)));
    const TFields back = ReadFields(Bytes(frame));
    EXPECT_EQ(back.DataLength, 3);
    EXPECT_EQ(back.DeviceNumber, 0x1234);
    EXPECT_EQ(back.StartTime, kStartTime);
}

TEST(R5FrameLayout, RequestDataIsLimitedSoTheFrameFitsIn65535Bytes)
{
    const std::vector<quint8> most(kMaxRequestData, 0x5A);
    const QByteArray frame = BuildFrame(DateTimeRequest(), most);
    EXPECT_EQ(frame.size(), 65535);
    EXPECT_TRUE(ChecksumValid(Bytes(frame)));
    const std::vector<quint8> tooMany(kMaxRequestData + 1, 0);
    EXPECT_THROW(BuildFrame(DateTimeRequest(), tooMany), ERangeError);
}

TEST(R5AnswerParse, TakesAValidAnswerWithAndWithoutData)
{
    const QByteArray data(105, '\x07');
    TParseResult r = Parse(AnswerTo(DateTimeRequest(), 0, data));
    EXPECT_TRUE(r.Received);
    EXPECT_EQ(r.ErrorCode, 0);
    EXPECT_EQ(r.DataLength, 105);
    EXPECT_EQ(r.Data, data);
    EXPECT_EQ(r.Consumed, 130u);

    r = Parse(AnswerTo(DateTimeRequest(), 15, {}));
    EXPECT_TRUE(r.Received);
    EXPECT_EQ(r.ErrorCode, 15);
    EXPECT_EQ(r.DataLength, 0);
    EXPECT_TRUE(r.Data.isEmpty());
    EXPECT_EQ(r.Consumed, 25u);

    // Header bytes 1-3, iType, iCount, StartTime and Param of an answer are
    // not compared.
    QByteArray odd = AnswerTo(DateTimeRequest(), 0, data);
    odd[1] = 'x';
    odd[12] = 9;
    odd[15] = 9;
    odd[20] = 9;
    odd[odd.size() - 1] = static_cast<char>(Checksum(Bytes(odd).first(odd.size() - 1)));
    EXPECT_TRUE(Parse(odd).Received);
}

TEST(R5AnswerParse, SkipsGarbageBeforeTheHeaderOneByteAtATime)
{
    const QByteArray answer = AnswerTo(DateTimeRequest(), 0, QByteArray(10, 'd'));
    // Garbage that itself looks like the start of a header.
    const QByteArray garbage = QByteArray(3, '\0') + QByteArray("\x0A\x02", 2) + QByteArray(40, '\xFF');
    const TParseResult r = Parse(garbage + answer + QByteArray("trailing"));
    EXPECT_TRUE(r.Received);
    EXPECT_EQ(r.Skipped, static_cast<std::size_t>(garbage.size()));
    EXPECT_EQ(r.Data, QByteArray(10, 'd'));
    EXPECT_EQ(r.Consumed, static_cast<std::size_t>(garbage.size() + answer.size())); // nothing read past the frame
}

TEST(R5AnswerParse, ForeignHeadersAreNeverTaken)
{
    for (int field : {0, 1, 2, 3}) {
        TFields other = DateTimeRequest();
        switch (field) {
        case 0: other.Cmd1 = 0x03; break;
        case 1: other.Cmd = 0x01; break;
        case 2: other.DeviceNumber = 0x1235; break;
        case 3: other.DeviceTypeCode = 11; break;
        }
        const QByteArray answer = AnswerTo(other, 0, {});
        EXPECT_EQ(Parse(answer).ErrorCode, kCodeNotHeader) << field; // 25 bytes, then silence while sliding
        EXPECT_FALSE(Parse(answer).Received);
        EXPECT_EQ(Parse(answer.left(20)).ErrorCode, kCodeNoAnswer) << field;
    }
    QByteArray firstByte = AnswerTo(DateTimeRequest(), 0, {});
    firstByte[0] = 1;
    EXPECT_FALSE(Parse(firstByte).Received);
    EXPECT_EQ(Parse({}).ErrorCode, kCodeNoAnswer);
}

TEST(R5AnswerParse, ShortDataBadChecksumAndBadErrorFieldFailWithTheirCodes)
{
    const QByteArray full = AnswerTo(DateTimeRequest(), 0, QByteArray(100, 'a'));
    // Announces 100 bytes, 50 arrive.
    TParseResult r = Parse(full.left(25 + 50));
    EXPECT_FALSE(r.Received);
    EXPECT_EQ(r.ErrorCode, kCodeReadError);
    EXPECT_TRUE(r.Data.isEmpty());

    QByteArray bad = full;
    bad[60] = static_cast<char>(bad[60] ^ 0x10);
    r = Parse(bad);
    EXPECT_FALSE(r.Received);
    EXPECT_EQ(r.ErrorCode, kCodeBadChecksum);
    EXPECT_TRUE(r.Data.isEmpty());

    QByteArray badEmpty = AnswerTo(DateTimeRequest(), 0, {});
    badEmpty[24] = static_cast<char>(badEmpty[24] + 1);
    EXPECT_EQ(Parse(badEmpty).ErrorCode, kCodeBadChecksum);

    for (quint16 field : {128, 200, 0xFFFF}) {
        r = Parse(AnswerTo(DateTimeRequest(), field, QByteArray(4, 'x')));
        EXPECT_FALSE(r.Received) << field;
        EXPECT_EQ(r.ErrorCode, kCodeReadError) << field;
    }
    EXPECT_TRUE(Parse(AnswerTo(DateTimeRequest(), 127, {})).Received);
}

TEST(R5AnswerParse, LargestAnswerFitsAndAHugeLengthFromTheWireIsOnlyReadAsFarAsItArrives)
{
    const QByteArray data(65535, '\x42');
    TParseResult r = Parse(AnswerTo(DateTimeRequest(), 0, data));
    EXPECT_TRUE(r.Received);
    EXPECT_EQ(r.DataLength, 65535);
    EXPECT_EQ(r.Data.size(), 65535);

    // A header that announces 65535 bytes followed by ten: a failed read,
    // never a read past the stream.
    QByteArray liar = AnswerTo(DateTimeRequest(), 0, {});
    liar[4] = '\xFF';
    liar[5] = '\xFF';
    r = Parse(liar + QByteArray(10, 'q'));
    EXPECT_FALSE(r.Received);
    EXPECT_EQ(r.ErrorCode, kCodeReadError);
    EXPECT_EQ(r.Consumed, 35u);
}

TEST(R5AnswerParse, EndlessNoiseEndsTheSearchInsteadOfGrowingForever)
{
    const QByteArray noise(static_cast<qsizetype>(TAnswerScanner::kMaxSkipped + 5000), '\x55');
    const TParseResult r = Parse(noise);
    EXPECT_FALSE(r.Received);
    EXPECT_EQ(r.ErrorCode, kCodeNotHeader);
    EXPECT_LE(r.Skipped, TAnswerScanner::kMaxSkipped);
}

TEST(R5AnswerScanner, PiecesOfAnySizeGiveTheSameResultAsOneStream)
{
    const QByteArray stream = QByteArray("junk!") + AnswerTo(DateTimeRequest(), 26, QByteArray(300, 'p'));
    for (std::size_t piece : {1u, 2u, 7u, 24u, 25u, 26u, 1000u}) {
        TAnswerScanner scanner(RequestHeader(), HeadersMatch);
        std::size_t pos = 0;
        while (!scanner.Finished() && pos < static_cast<std::size_t>(stream.size())) {
            const std::size_t n = std::min({piece, scanner.Wanted(), static_cast<std::size_t>(stream.size()) - pos});
            scanner.Feed(Bytes(stream).subspan(pos, n));
            pos += n;
        }
        ASSERT_TRUE(scanner.Received()) << piece;
        EXPECT_EQ(scanner.ErrorCode(), 26);
        EXPECT_EQ(scanner.Skipped(), 5u);
        EXPECT_EQ(scanner.Data().size(), 300u);
        EXPECT_EQ(scanner.Wanted(), 0u);
    }
}

TEST(R5AnswerParse, SurvivesRandomAndMutatedStreams)
{
    // Whatever arrives, the parser neither crashes nor reads past the
    // stream, and whatever it takes is a matching frame with a good checksum.
    std::mt19937 rng(20261207);
    const QByteArray valid = AnswerTo(DateTimeRequest(), 0, QByteArray(40, 'v'));
    for (int round = 0; round < 3000; ++round) {
        QByteArray stream;
        const int prefix = static_cast<int>(rng() % 60);
        for (int i = 0; i < prefix; ++i)
            stream.append(static_cast<char>(rng() % 4 == 0 ? 0 : rng()));
        QByteArray frame = valid;
        const int flips = static_cast<int>(rng() % 4);
        for (int i = 0; i < flips; ++i)
            frame[static_cast<int>(rng() % frame.size())] = static_cast<char>(rng());
        stream += frame.left(static_cast<int>(rng() % (frame.size() + 1)));
        const TParseResult r = Parse(stream);
        ASSERT_LE(r.Consumed, static_cast<std::size_t>(stream.size()));
        if (r.Received) {
            const QByteArray taken = stream.mid(static_cast<qsizetype>(r.Consumed - 25 - r.DataLength));
            ASSERT_TRUE(ChecksumValid(Bytes(taken.left(25 + r.DataLength))));
            ASSERT_TRUE(HeadersMatch(Bytes(taken), RequestHeader()));
            ASSERT_EQ(r.Data.size(), r.DataLength);
        } else {
            ASSERT_TRUE(r.ErrorCode == kCodeNoAnswer || r.ErrorCode == kCodeNotHeader ||
                        r.ErrorCode == kCodeReadError || r.ErrorCode == kCodeBadChecksum)
                << int(r.ErrorCode);
        }
    }
}

} // namespace
