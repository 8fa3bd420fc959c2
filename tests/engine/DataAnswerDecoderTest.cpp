#include "EngineTestSupport.h"

#include "common/Contracts.h"
#include "engine/MeasurementRecord.h"
#include "engine/DataAnswerDecoder.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace engine_test;
using namespace VDSlot;

namespace {

constexpr TDataDescriptor kData{0x01, 0x01, 0x02, 0x03};

// Byte offsets of the data answer, written out independently of the decoder.
int KunOffset(int c, int n)
{
    return 66 + 98 * c + 2 * (n - 2);
}
int KumOffset(int c, int n)
{
    return 660 + 98 * c + 2 * (n - 2);
}
int KinOffset(int p, int n)
{
    return 1372 + 98 * p + 2 * (n - 2);
}
int KimOffset(int p, int n)
{
    return 1666 + 98 * p + 2 * (n - 2);
}
int FiOffset(int p, int n)
{
    return 1972 + 100 * p + 2 * (n - 1);
}
int PnOffset(int q, int n)
{
    return 2390 + 200 * q + 4 * (n - 1);
}
int QnOffset(int q, int n)
{
    return 3190 + 200 * q + 4 * (n - 1);
}
int SnOffset(int q, int n)
{
    return 3990 + 200 * q + 4 * (n - 1);
}
int H(int channel, int n)
{
    return 49 * channel + (n - 2);
}

std::vector<float> NominalCurrent(float inom)
{
    std::vector<float> block(NominalsCount, 0.0f);
    block[UnomPhase] = 230;
    block[UnomLine] = 400;
    block[Inom] = inom;
    return block;
}

AnswerBuilder SampleAnswer()
{
    AnswerBuilder a(TWriterVD::DataAnswerLength);
    a.U8(0, 0).U8(1, 3).U8(2, 1).U8(5, 2);
    a.I16(6, -123).I16(6 + 10, 456);    // dU1 A, CA
    a.I16(18, 789).I16(18 + 2 * 3, -1); // dU A, AB
    a.U16(54 + 2 * 4, 321);             // KU BC
    a.U16(KunOffset(1, 5), 250);        // Ku(5) phase B
    a.U16(KunOffset(5, 50), 65535);     // Ku(50) CA, the largest raw value
    a.U16(KumOffset(0, 2), 7).U16(KumOffset(5, 50), 99);
    a.I16(654, -250).U16(656, 12).U16(658, 34);
    a.U16(1258, 50012).I16(1260, -12);
    for (int c = 0; c < 6; ++c) {
        a.F32(1262 + 4 * c, 220.0f + c); // Urms
        a.F32(1286 + 4 * c, 219.0f + c); // U1
    }
    a.F32(1286 + 4 * 1, 230.0f); // U1 phase B
    a.F32(1286 + 4 * 5, 400.0f); // U1 CA
    a.F32(1310, 1.5f).F32(1314, 229.5f).F32(1318, 2.5f);
    a.F32(1330, 5.5f).F32(1334, 4.5f).F32(1338, 0.0f);     // Irms
    a.F32(1342, 0.25f).F32(1346, 4.75f).F32(1350, 0.125f); // I0, I1, I2
    a.U16(1354, 500).U16(1356, 600).U16(1358, 700);        // KI
    a.F32(1360, 5.0f).F32(1364, 4.0f).F32(1368, 2.0f);     // I1
    a.U16(KinOffset(0, 3), 1000).U16(KinOffset(2, 50), 300);
    a.U16(KimOffset(1, 2), 40).U16(KimOffset(2, 50), 60);
    a.U16(1968, 111).U16(1970, 222);
    a.I16(FiOffset(0, 1), -3000).I16(FiOffset(1, 1), 1500).I16(FiOffset(2, 1), 18000);
    a.I16(FiOffset(0, 2), 4500).I16(FiOffset(2, 50), -17999);
    a.I16(2272, 100).I16(2274, -200).I16(2276, 300);
    const int16_t angles[6] = {12000, 1, -12050, 12100, 2, 11900};
    for (int k = 0; k < 6; ++k)
        a.I16(2278 + 2 * k, angles[k]);
    for (int q = 0; q < 4; ++q) {
        a.F32(2290 + 4 * q, 1000.0f + q); // P A, B, C, sum
        a.F32(2306 + 4 * q, 2000.0f + q);
        a.F32(2322 + 4 * q, 3000.0f + q);
        a.F32(2374 + 4 * q, 0.5f + 0.1f * q);
    }
    for (int k = 0; k < 9; ++k)
        a.F32(2338 + 4 * k, -10.0f * (k + 1));
    a.F32(PnOffset(0, 1), 30.0f).F32(SnOffset(0, 1), 60.0f); // P1, S1 A
    a.F32(PnOffset(1, 1), 10.0f).F32(SnOffset(1, 1), 0.0f);  // S1 B is 0
    a.F32(QnOffset(2, 1), -7.0f);
    a.F32(PnOffset(3, 1), 90.0f).F32(QnOffset(3, 1), 45.0f).F32(SnOffset(3, 1), 120.0f);
    a.F32(PnOffset(1, 2), 1.25f).F32(QnOffset(2, 50), -2.5f).F32(SnOffset(2, 50), 3.75f);
    // harmonics 2..50 of the sum column are not part of the record
    a.F32(PnOffset(3, 2), 999.0f);
    return a;
}

float Expected(double value)
{
    return static_cast<float>(value);
}

} // namespace

TEST(WriterVD, VoltageValuesLandAtTheirSlots)
{
    MessageRecorder window;
    TDataStorageManagerVD store(&window.events);
    store.WriteData(kData, SampleAnswer().Bytes());
    EXPECT_EQ(window.TakeNumbers(), std::vector<int>{emDataChanged});

    EXPECT_EQ(store.Value(ChannelStatus + 0), 0.0f);
    EXPECT_EQ(store.Value(ChannelStatus + 1), 2.0f) << "status 3 is shown as 2";
    EXPECT_EQ(store.Value(ChannelStatus + 2), 1.0f);
    EXPECT_EQ(store.Value(ChannelStatus + 5), 2.0f);
    EXPECT_EQ(store.ChannelStatus(1), 2);

    EXPECT_EQ(store.Value(dU1 + 0), Expected(-1.23));
    EXPECT_EQ(store.Value(dU1 + 5), Expected(4.56));
    EXPECT_EQ(store.Value(dU + 0), Expected(7.89));
    EXPECT_EQ(store.Value(dU + 3), Expected(-0.01));
    EXPECT_EQ(store.Value(KU + 4), Expected(3.21));
    EXPECT_EQ(store.Value(Urms + 0), 220.0f);
    EXPECT_EQ(store.Value(Urms + 5), 225.0f);
    EXPECT_EQ(store.Value(U1 + 1), 230.0f);

    EXPECT_EQ(store.Value(KUn + H(1, 5)), 2.5f);
    EXPECT_EQ(store.Value(Un + H(1, 5)), 5.75f);
    EXPECT_EQ(store.Value(KUn + H(5, 50)), Expected(655.35));
    EXPECT_EQ(store.Value(Un + H(5, 50)), Expected(655.35 * 400 / 100));
    EXPECT_EQ(store.Value(KUm + H(0, 2)), Expected(0.07));
    EXPECT_EQ(store.Value(Um + H(0, 2)), Expected(0.07 * 219 / 100));
    EXPECT_EQ(store.Value(KUm + H(5, 50)), Expected(0.99));
    EXPECT_EQ(store.Value(Um + H(5, 50)), Expected(0.99 * 400 / 100));

    EXPECT_EQ(store.Value(dUseq1), Expected(-2.5));
    EXPECT_EQ(store.Value(K0U), Expected(0.12));
    EXPECT_EQ(store.Value(K2U), Expected(0.34));
    EXPECT_EQ(store.Value(F), Expected(50.012));
    EXPECT_EQ(store.Value(dF), Expected(-0.012));
    EXPECT_EQ(store.Value(U0), 1.5f);
    EXPECT_EQ(store.Value(U1seq), 229.5f);
    EXPECT_EQ(store.Value(U2), 2.5f);

    const float angles[6] = {120.0f, 0.01f, -120.5f, 121.0f, 0.02f, 119.0f};
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(store.Value(AngleU + k), angles[k]) << k;
    const float vector[6] = {0.0f, -120.0f, -120.5f, 0.0f, -121.0f, 119.0f};
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(store.Value(VectorAngleU + k), vector[k]) << k;
}

TEST(WriterVD, CurrentAndPowerValuesLandAtTheirSlots)
{
    TDataStorageManagerVD store;
    store.WriteNominals(NominalCurrent(5.0f));
    store.WriteData(kData, SampleAnswer().Bytes());

    EXPECT_EQ(store.Value(Irms + 0), 5.5f);
    EXPECT_EQ(store.Value(Irms + 2), 0.0f);
    EXPECT_EQ(store.Value(I1 + 1), 4.0f);
    EXPECT_EQ(store.Value(dI + 0), 10.0f);
    EXPECT_EQ(store.Value(dI + 2), -100.0f);
    EXPECT_EQ(store.Value(dI1 + 0), 0.0f);
    EXPECT_EQ(store.Value(dI1 + 1), -20.0f);
    EXPECT_EQ(store.Value(I0), 0.25f);
    EXPECT_EQ(store.Value(I1seq), 4.75f);
    EXPECT_EQ(store.Value(I2), 0.125f);
    EXPECT_EQ(store.Value(KI + 2), 7.0f);
    EXPECT_EQ(store.Value(KIn + H(0, 3)), 10.0f);
    EXPECT_EQ(store.Value(In + H(0, 3)), 0.5f);
    EXPECT_EQ(store.Value(KIn + H(2, 50)), 3.0f);
    EXPECT_EQ(store.Value(In + H(2, 50)), 0.06f);
    EXPECT_EQ(store.Value(KIm + H(1, 2)), Expected(0.4));
    EXPECT_EQ(store.Value(Im + H(1, 2)), Expected(0.4 * 4 / 100));
    EXPECT_EQ(store.Value(KIm + H(2, 50)), Expected(0.6));
    EXPECT_EQ(store.Value(K0I), Expected(1.11));
    EXPECT_EQ(store.Value(K2I), Expected(2.22));

    EXPECT_EQ(store.Value(FiUI1 + 0), -30.0f);
    EXPECT_EQ(store.Value(FiUI1 + 1), 15.0f);
    EXPECT_EQ(store.Value(FiUI1 + 2), 180.0f);
    EXPECT_EQ(store.Value(FiUIn + H(0, 2)), 45.0f);
    EXPECT_EQ(store.Value(FiUIn + H(2, 50)), Expected(-179.99));
    EXPECT_EQ(store.Value(FiUI0), 1.0f);
    EXPECT_EQ(store.Value(FiUI1seq), -2.0f);
    EXPECT_EQ(store.Value(FiUI2), 3.0f);

    EXPECT_EQ(store.Value(P + 1), 1001.0f);
    EXPECT_EQ(store.Value(PSum), 1003.0f);
    EXPECT_EQ(store.Value(Q + 2), 2002.0f);
    EXPECT_EQ(store.Value(QSum), 2003.0f);
    EXPECT_EQ(store.Value(S + 0), 3000.0f);
    EXPECT_EQ(store.Value(SSum), 3003.0f);
    EXPECT_EQ(store.Value(Km + 2), 0.5f + 0.1f * 2);
    EXPECT_EQ(store.Value(KmSum), 0.5f + 0.1f * 3);
    for (int k = 0; k < 9; ++k)
        EXPECT_EQ(store.Value(SeqPowers + k), -10.0f * (k + 1)) << k;

    EXPECT_EQ(store.Value(P1 + 0), 30.0f);
    EXPECT_EQ(store.Value(S1 + 0), 60.0f);
    EXPECT_EQ(store.Value(Km1 + 0), 0.5f);
    EXPECT_EQ(store.Value(Km1 + 1), 0.0f) << "S1 = 0 gives 0, not an error";
    EXPECT_EQ(store.Value(Q1 + 2), -7.0f);
    EXPECT_EQ(store.Value(P1Sum), 90.0f);
    EXPECT_EQ(store.Value(Q1Sum), 45.0f);
    EXPECT_EQ(store.Value(S1Sum), 120.0f); // the last bytes of the answer
    EXPECT_EQ(store.Value(Km1Sum), 0.75f);
    EXPECT_EQ(store.Value(Pn + H(1, 2)), 1.25f);
    EXPECT_EQ(store.Value(Qn + H(2, 50)), -2.5f);
    EXPECT_EQ(store.Value(Sn + H(2, 50)), 3.75f);

    // deviations need a nominal current: without one they are 0
    store.WriteNominals(NominalCurrent(0.0f));
    store.WriteData(kData, SampleAnswer().Bytes());
    for (int p = 0; p < 3; ++p) {
        EXPECT_EQ(store.Value(dI + p), 0.0f);
        EXPECT_EQ(store.Value(dI1 + p), 0.0f);
    }
}

// Every slot of the data block is written by each answer, and nothing outside
// it: the data block is preset to NaN, the rest to markers, then a zero
// answer is decoded.
TEST(WriterVD, WritesTheWholeDataBlockAndNothingElse)
{
    TDataStorageManagerVD store;
    // no nominal current, so that the current deviations decode to 0 as well
    auto marker = [](int i) { return i == Inom ? 0.0f : float(i); };
    for (int i = 0; i < Count; ++i)
        store.StoreValue(i, i < DataFirst || i >= DataEnd ? marker(i) : std::nanf(""), false);
    store.WriteData(kData, QByteArray(TWriterVD::DataAnswerLength, '\0'));
    for (int i = 0; i < Count; ++i) {
        if (i >= DataFirst && i < DataEnd)
            ASSERT_EQ(store.Value(i), 0.0f) << "slot " << i << " is not written";
        else
            ASSERT_EQ(store.Value(i), marker(i)) << "slot " << i << " is overwritten";
    }
}

TEST(WriterVD, RefusedAnswersLeaveTheRecordUntouched)
{
    MessageRecorder window;
    TDataStorageManagerVD store(&window.events);
    store.WriteNominals(NominalCurrent(5.0f));
    store.WriteData(kData, SampleAnswer().Bytes());
    window.Take();
    const std::vector<float> before = store.SnapshotData();
    const uint32_t version = store.Values().Version(TRecordBlock::Data);

    QByteArray other(TWriterVD::DataAnswerLength, '\x11');
    // cut by one byte: the high byte of the three-phase S(1) is missing
    try {
        store.WriteData(kData, QByteArrayView(other).first(TWriterVD::DataAnswerLength - 1));
        FAIL() << "a short answer was accepted";
    } catch (const EShortDataAnswer &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Неполный ответ с данными: получено 4593 байт из 4594."));
    }
    EXPECT_THROW(store.WriteData(kData, QByteArrayView()), EShortDataAnswer);
    EXPECT_THROW(store.WriteData(kData, QByteArrayView(other).first(24)), EShortDataAnswer);

    try {
        store.WriteData(TDataDescriptor{2, 1, 2, 3}, other);
        FAIL() << "a wrong CMD was accepted";
    } catch (const EWrongDataIndex &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Неверный индекс CMD данных: 2."));
    }
    EXPECT_THROW(store.WriteData(TDataDescriptor{0, 1, 2, 3}, other), EDataAnswer);

    EXPECT_EQ(store.SnapshotData(), before);
    EXPECT_EQ(store.Values().Version(TRecordBlock::Data), version);
    EXPECT_TRUE(window.Take().empty());

    // a longer answer (the meter's sum-column tail) is fine
    QByteArray longer = SampleAnswer().Bytes();
    longer.append(25, '\x7F');
    store.WriteData(kData, longer);
    EXPECT_EQ(store.Value(S1Sum), 120.0f);
    EXPECT_EQ(window.TakeNumbers(), std::vector<int>{emDataChanged});
}

TEST(WriterVD, BareWriterHasNoDecoder)
{
    TRecordValues values;
    TDataStorageWriter writer(values, nullptr);
    EXPECT_THROW(writer.WriteData(kData, SampleAnswer().Bytes()), EPseudoAbstract);
    EXPECT_THROW(writer.WriteOscillogram(std::vector<float>(9 * 1280)), EPseudoAbstract);
}
