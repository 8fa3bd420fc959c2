#include "engine/DataAnswerDecoder.h"

#include "common/Contracts.h"
#include "engine/EngineEvents.h"

#include <bit>
#include <cstring>

using namespace VDSlot;

namespace {

// Little-endian fields of an answer whose length has been checked already.
class TAnswerReader
{
public:
    explicit TAnswerReader(QByteArrayView answer) : data_(reinterpret_cast<const uint8_t *>(answer.data())) {}

    uint8_t U8(int offset) const { return data_[offset]; }
    uint16_t U16(int offset) const { return uint16_t(data_[offset] | data_[offset + 1] << 8); }
    int16_t I16(int offset) const { return static_cast<int16_t>(U16(offset)); }
    float F32(int offset) const
    {
        const uint32_t bits = uint32_t(data_[offset]) | uint32_t(data_[offset + 1]) << 8 |
                              uint32_t(data_[offset + 2]) << 16 | uint32_t(data_[offset + 3]) << 24;
        return std::bit_cast<float>(bits);
    }
    // Hundredths (coefficients, angles, deviations) as the value itself.
    double Hundredths(int offset) const { return U16(offset) / 100.0; }
    double SignedHundredths(int offset) const { return I16(offset) / 100.0; }

private:
    const uint8_t *data_;
};

// Offsets of the data answer.
constexpr int oStatus = 0;
constexpr int odU1 = 6;
constexpr int odU = 18;
constexpr int oKU = 54;
constexpr int oKUn = 66;
constexpr int odUseq1 = 654;
constexpr int oK0U = 656;
constexpr int oK2U = 658;
constexpr int oKUm = 660;
constexpr int oF = 1258;
constexpr int odF = 1260;
constexpr int oUrms = 1262;
constexpr int oU1 = 1286;
constexpr int oUseq = 1310;
constexpr int oIrms = 1330;
constexpr int oIseq = 1342;
constexpr int oKI = 1354;
constexpr int oI1 = 1360;
constexpr int oKIn = 1372;
constexpr int oKIm = 1666;
constexpr int oK0I = 1968;
constexpr int oK2I = 1970;
constexpr int oFiUI = 1972; // + 100p + 2(n - 1), n = 1..50
constexpr int oFiSeq = 2272;
constexpr int oAngleU = 2278;
constexpr int oP = 2290; // A, B, C, sum
constexpr int oQ = 2306;
constexpr int oS = 2322;
constexpr int oSeqPowers = 2338;
constexpr int oKm = 2374;
constexpr int oPn = 2390; // + 200q + 4(n - 1), q = A, B, C, sum
constexpr int oQn = 3190;
constexpr int oSn = 3990;
constexpr int harmonicStride = 98; // 49 orders x 2 bytes
constexpr int powerTable = 200;    // 50 orders x 4 bytes
constexpr int sumColumn = 3;

static_assert(oKUm == oKUn + VoltageChannels * harmonicStride + 6);
static_assert(oKIm == oKIn + Phases * harmonicStride);
static_assert(oSn + sumColumn * powerTable + 4 == TWriterVD::DataAnswerLength);

float Ratio(double numerator, double denominator)
{
    return denominator == 0.0 ? 0.0f : static_cast<float>(numerator / denominator);
}

} // namespace

void TWriterVD::WriteData(const TDataDescriptor &descriptor, QByteArrayView answer)
{
    if (descriptor[0] != 1)
        throw EWrongDataIndex(QStringLiteral("Неверный индекс CMD данных: %1.").arg(descriptor[0]));
    // Checked before anything is stored: a cut answer must not leave a
    // record in which half the values belong to an older cycle.
    if (answer.size() < DataAnswerLength)
        throw EShortDataAnswer(QStringLiteral("Неполный ответ с данными: получено %1 байт из %2.")
                                   .arg(answer.size())
                                   .arg(DataAnswerLength));

    const TAnswerReader in(answer);
    {
        TRecordValues::TBlockWrite out(values_, TRecordBlock::Data);
        auto put = [&out](int slot, double value) { out.Put(slot, static_cast<float>(value)); };

        for (int c = 0; c < VoltageChannels; ++c) {
            const uint8_t status = in.U8(oStatus + c);
            put(VDSlot::ChannelStatus + c, status == 3 ? 2 : status);
            put(dU1 + c, in.SignedHundredths(odU1 + 2 * c));
            put(dU + c, in.SignedHundredths(odU + 2 * c));
            put(Urms + c, in.F32(oUrms + 4 * c));
            const float u1 = in.F32(oU1 + 4 * c);
            put(U1 + c, u1);
            put(KU + c, in.Hundredths(oKU + 2 * c));
            put(AngleU + c, in.SignedHundredths(oAngleU + 2 * c));
            for (int h = 0; h < HarmonicCount; ++h) {
                const int slot = HarmonicCount * c + h;
                const double kun = in.Hundredths(oKUn + harmonicStride * c + 2 * h);
                const double kum = in.Hundredths(oKUm + harmonicStride * c + 2 * h);
                put(KUn + slot, kun);
                put(KUm + slot, kum);
                put(Un + slot, kun * u1 / 100.0);
                put(Um + slot, kum * u1 / 100.0);
            }
        }

        // Vector diagram: A and AB are the references; B and BC lag, C and
        // CA lead by the angles the meter sends.
        put(VectorAngleU + 0, 0.0);
        put(VectorAngleU + 1, -in.SignedHundredths(oAngleU + 0));
        put(VectorAngleU + 2, in.SignedHundredths(oAngleU + 4));
        put(VectorAngleU + 3, 0.0);
        put(VectorAngleU + 4, -in.SignedHundredths(oAngleU + 6));
        put(VectorAngleU + 5, in.SignedHundredths(oAngleU + 10));

        put(F, in.U16(oF) / 1000.0);
        put(dF, in.I16(odF) / 1000.0);
        put(dUseq1, in.SignedHundredths(odUseq1));
        put(K0U, in.Hundredths(oK0U));
        put(K2U, in.Hundredths(oK2U));
        put(U0, in.F32(oUseq));
        put(U1seq, in.F32(oUseq + 4));
        put(U2, in.F32(oUseq + 8));
        put(FiUI0, in.SignedHundredths(oFiSeq));
        put(FiUI1seq, in.SignedHundredths(oFiSeq + 2));
        put(FiUI2, in.SignedHundredths(oFiSeq + 4));
        put(I0, in.F32(oIseq));
        put(I1seq, in.F32(oIseq + 4));
        put(I2, in.F32(oIseq + 8));
        for (int k = 0; k < 9; ++k)
            put(SeqPowers + k, in.F32(oSeqPowers + 4 * k));

        put(PSum, in.F32(oP + 4 * sumColumn));
        put(QSum, in.F32(oQ + 4 * sumColumn));
        put(SSum, in.F32(oS + 4 * sumColumn));
        put(KmSum, in.F32(oKm + 4 * sumColumn));
        const float p1Sum = in.F32(oPn + powerTable * sumColumn);
        const float s1Sum = in.F32(oSn + powerTable * sumColumn);
        put(P1Sum, p1Sum);
        put(Q1Sum, in.F32(oQn + powerTable * sumColumn));
        put(S1Sum, s1Sum);
        put(Km1Sum, Ratio(p1Sum, s1Sum));

        put(K0I, in.Hundredths(oK0I));
        put(K2I, in.Hundredths(oK2I));

        // Deviations are taken against the nominal current already in the
        // record (written once per run, before the first data cycle).
        const double inom = values_.Get(Inom);
        for (int p = 0; p < Phases; ++p) {
            const float irms = in.F32(oIrms + 4 * p);
            const float i1 = in.F32(oI1 + 4 * p);
            put(Irms + p, irms);
            put(I1 + p, i1);
            put(dI + p, inom == 0.0 ? 0.0 : (irms - inom) * 100.0 / inom);
            put(dI1 + p, inom == 0.0 ? 0.0 : (i1 - inom) * 100.0 / inom);
            put(KI + p, in.Hundredths(oKI + 2 * p));

            const int fiBase = oFiUI + 100 * p;
            put(FiUI1 + p, in.SignedHundredths(fiBase));

            put(P + p, in.F32(oP + 4 * p));
            put(Q + p, in.F32(oQ + 4 * p));
            put(S + p, in.F32(oS + 4 * p));
            put(Km + p, in.F32(oKm + 4 * p));
            const float p1 = in.F32(oPn + powerTable * p);
            const float s1 = in.F32(oSn + powerTable * p);
            put(P1 + p, p1);
            put(Q1 + p, in.F32(oQn + powerTable * p));
            put(S1 + p, s1);
            put(Km1 + p, Ratio(p1, s1));

            for (int h = 0; h < HarmonicCount; ++h) {
                const int slot = HarmonicCount * p + h;
                const int n = h + 2;
                const double kin = in.Hundredths(oKIn + harmonicStride * p + 2 * h);
                const double kim = in.Hundredths(oKIm + harmonicStride * p + 2 * h);
                put(KIn + slot, kin);
                put(KIm + slot, kim);
                put(In + slot, kin * i1 / 100.0);
                put(Im + slot, kim * i1 / 100.0);
                put(FiUIn + slot, in.SignedHundredths(fiBase + 2 * (n - 1)));
                put(Pn + slot, in.F32(oPn + powerTable * p + 4 * (n - 1)));
                put(Qn + slot, in.F32(oQn + powerTable * p + 4 * (n - 1)));
                put(Sn + slot, in.F32(oSn + powerTable * p + 4 * (n - 1)));
            }
        }
    }
    if (Observer())
        Observer()->RecordDataChanged();
}

void TWriterVD::WriteOscillogram(std::span<const float> samples)
{
    CheckPreConditions(samples.size() == static_cast<size_t>(OscSignals * OscSamples), "TWriterVD.WriteOscillogram");
    {
        // Signals 1..6 and 7..9 lie back to back in the record, so the whole
        // block is one copy.
        static_assert(OscEnd - OscFirst == OscSignals * OscSamples);
        TRecordValues::TBlockWrite out(values_, TRecordBlock::Oscillogram);
        for (int i = 0; i < OscSignals * OscSamples; ++i)
            out.Put(OscFirst + i, samples[i]);
    }
    if (Observer())
        Observer()->RecordOscillogramChanged();
}

TDataStorageManagerVD::TDataStorageManagerVD(TRecordObserver *observer) : TDataStorageManager(observer)
{
    SetWriter(std::make_unique<TWriterVD>(MutableValues(), observer));
}
