#include "Comtrade.h"
#include "LayoutReader.h"
#include "Quantities.h"

#include "common/Cp1251.h"

#include <QStringList>
#include <complex>
#include <gtest/gtest.h>

using namespace MeterSim;
using namespace MeterSimTest;

namespace {

struct TParsed
{
    QStringList Lines;
    double Multiplier[kAnalogChannels] = {};
    double Primary[kAnalogChannels] = {};
    double Secondary[kAnalogChannels] = {};
};

TParsed Parse(const TComtradeRecord &record)
{
    TParsed parsed;
    parsed.Lines = Cp1251::Decode(record.Configuration).split(QStringLiteral("\r\n"));
    for (int c = 0; c < kAnalogChannels; ++c) {
        const QStringList fields = parsed.Lines.value(2 + c).split(u',');
        parsed.Multiplier[c] = fields.value(5).toDouble();
        parsed.Primary[c] = fields.value(10).toDouble();
        parsed.Secondary[c] = fields.value(11).toDouble();
    }
    return parsed;
}

// Physical value of channel c in record j, as a reader converts it.
double Sample(const TComtradeRecord &record, const TParsed &parsed, int c, int j)
{
    const int raw = I16(record.Data, j * kRecordBytes + 8 + 2 * c);
    return raw * parsed.Multiplier[c] * parsed.Primary[c] / parsed.Secondary[c];
}

// RMS and fundamental phasor over the first two mains periods: the shortest
// window in which interharmonics (half-way between harmonics) are whole cycles.
std::complex<double> Fundamental(const TComtradeRecord &record, const TParsed &parsed, int c, double *rms)
{
    constexpr int kWindow = 2 * kSamplesPerPeriod;
    std::complex<double> sum;
    double squares = 0.0;
    for (int j = 0; j < kWindow; ++j) {
        const double v = Sample(record, parsed, c, j);
        squares += v * v;
        sum += v * std::polar(1.0, -2.0 * 3.14159265358979323846 * 2 * j / kWindow);
    }
    *rms = std::sqrt(squares / kWindow);
    return sum * (std::sqrt(2.0) / kWindow);
}

class ComtradeRecord : public ::testing::Test
{
protected:
    void SetUp() override
    {
        nominals_.CurrentRatio = 200.0;
        TMeterModel model(nominals_, 9);
        spectrum_ = model.At(1.8e9);
        // A whole number of samples per period keeps the one-period analysis exact.
        spectrum_.Frequency = 50.0;
        spectrum_.ChannelStatus[1] = 2;
        quantities_ = Evaluate(spectrum_, nominals_);
        record_ = BuildComtrade(spectrum_, nominals_, QStringLiteral("Tarvel"), 42,
                                QDateTime(QDate(2026, 3, 5), QTime(13, 45, 9, 120)));
        parsed_ = Parse(record_);
    }

    TNominals nominals_;
    TSpectrum spectrum_;
    TQuantities quantities_;
    TComtradeRecord record_;
    TParsed parsed_;
};

} // namespace

TEST_F(ComtradeRecord, ConfigurationFollowsThe1999Layout)
{
    const QStringList &l = parsed_.Lines;
    ASSERT_EQ(l.size(), 23); // 22 lines, each ended by CR LF
    EXPECT_TRUE(l.last().isEmpty());
    EXPECT_EQ(l[0], QStringLiteral("Tarvel,N42,1999"));
    EXPECT_EQ(l[1], QStringLiteral("13,9A,4D"));
    const char *names[] = {"Ua", "Ub", "Uc", "Uab", "Ubc", "Uca", "Ia", "Ib", "Ic"};
    for (int c = 0; c < kAnalogChannels; ++c) {
        const QStringList fields = l[2 + c].split(u',');
        ASSERT_EQ(fields.size(), 13) << c;
        EXPECT_EQ(fields[0].toInt(), c + 1);
        EXPECT_EQ(fields[1], QLatin1String(names[c]));
        EXPECT_EQ(fields[4], c < 6 ? QStringLiteral("V") : QStringLiteral("A"));
        EXPECT_GT(parsed_.Multiplier[c], 0.0);
        EXPECT_EQ(parsed_.Primary[c], c < 6 ? 1.0 : 200.0);
    }
    EXPECT_EQ(l[11], QStringLiteral("1,Статус 1,,,0"));
    EXPECT_EQ(l[15], QStringLiteral("50"));
    EXPECT_EQ(l[17], QStringLiteral("3200.000,1280"));
    EXPECT_EQ(l[18], QStringLiteral("05/03/2026,13:45:09.120000"));
    EXPECT_EQ(l[20], QStringLiteral("BINARY"));
}

TEST_F(ComtradeRecord, DataFileHoldsNumberedTimedRecords)
{
    ASSERT_EQ(record_.Data.size(), kOscillogramRecords * 28);
    for (int j = 0; j < kOscillogramRecords; ++j) {
        const int at = j * kRecordBytes;
        EXPECT_EQ(qFromLittleEndian<quint32>(record_.Data.constData() + at), static_cast<quint32>(j + 1));
        EXPECT_NEAR(qFromLittleEndian<quint32>(record_.Data.constData() + at + 4), j * 1e6 / 3200.0, 1.0);
        EXPECT_EQ(U16(record_.Data, at + 26), 1 << 1); // channel B reports trouble
    }
}

TEST_F(ComtradeRecord, WaveformsMatchTheDataBlock)
{
    for (int c = 0; c < kAnalogChannels; ++c) {
        SCOPED_TRACE(c);
        double rms = 0.0;
        const std::complex<double> fundamental = Fundamental(record_, parsed_, c, &rms);
        const double expectedRms = c < 6 ? quantities_.Urms[c] : quantities_.Irms[c - 6];
        const double expectedU1 = c < 6 ? quantities_.U1[c] : quantities_.I1[c - 6];
        // Orders above 31 are not recorded; they are small.
        EXPECT_NEAR(rms, expectedRms, 0.002 * expectedRms);
        EXPECT_NEAR(std::abs(fundamental), expectedU1, 0.002 * expectedU1);
        // Every channel stays inside the raw range with headroom.
        for (int j = 0; j < kOscillogramRecords; ++j)
            ASSERT_LT(std::abs(I16(record_.Data, j * kRecordBytes + 8 + 2 * c)), 32767);
    }
    double rms = 0.0;
    const double a = std::arg(Fundamental(record_, parsed_, 0, &rms));
    const double b = std::arg(Fundamental(record_, parsed_, 1, &rms));
    const double ia = std::arg(Fundamental(record_, parsed_, 6, &rms));
    EXPECT_NEAR(NormalizeDegrees((a - b) * 180.0 / 3.14159265358979323846), quantities_.AngleU[0], 0.2);
    EXPECT_NEAR(NormalizeDegrees((a - ia) * 180.0 / 3.14159265358979323846), quantities_.FiUI[0][1], 0.2);
}
