#include "Answers.h"
#include "LayoutReader.h"
#include "Meter.h"

#include <gtest/gtest.h>
#include <set>

using namespace MeterSim;
using namespace MeterSimTest;

namespace {

constexpr double kStart = 1.8e9; // some meter time in 2027

QByteArray DataAt(TMeterModel &model, double t)
{
    return BuildDataAnswer(Evaluate(model.At(t), model.Nominals()));
}

} // namespace

TEST(Answers, DateTimeCarriesClockFirmwareAndNominalCurrent)
{
    const QDateTime clock(QDate(2026, 3, 5), QTime(13, 45, 9));
    const QByteArray d = BuildDateTimeAnswer(clock, FirmwareText(QStringLiteral("2218")), 5);
    ASSERT_EQ(d.size(), kDateTimeAnswerSize);
    EXPECT_EQ(d.left(6), QByteArray("\x05\x03\x1A\x0D\x2D\x09", 6));
    EXPECT_EQ(d.mid(30, 5), "22.18");
    EXPECT_EQ(U8(d, 82), 5);
}

TEST(Answers, FirmwareTextReadsBackAsTheVersionNumber)
{
    EXPECT_EQ(FirmwareText(QStringLiteral("2217")), "22.17");
    EXPECT_EQ(FirmwareNumber(FirmwareText(QStringLiteral("2217"))), 2217);
    EXPECT_EQ(FirmwareNumber(FirmwareText(QStringLiteral("2218"))), 2218);
    // Other texts go out as they are; with the point elsewhere the middle three count.
    EXPECT_EQ(FirmwareText(QStringLiteral("v1")), "v1   ");
    EXPECT_EQ(FirmwareNumber("x221y"), 221);
    EXPECT_EQ(FirmwareNumber("2.2.1"), 409);
    EXPECT_EQ(FirmwareNumber(""), 409);
}

TEST(Answers, SettingsHoldNominalsAndLimitsAtTheirOffsets)
{
    TNominals nominals;
    const QByteArray d = BuildSettingsAnswer(nominals);
    ASSERT_EQ(d.size(), kSettingsAnswerSize);
    EXPECT_FLOAT_EQ(F32(d, 0), 57.7f);
    EXPECT_FLOAT_EQ(F32(d, 58), 100.0f);
    // Four deviation sets, each: maximum upper, normal upper, maximum lower, normal lower, twice.
    for (int base : {4, 20, 62, 78}) {
        EXPECT_EQ(I16(d, base), 1000);
        EXPECT_EQ(I16(d, base + 2), 500);
        EXPECT_EQ(I16(d, base + 4), -1000);
        EXPECT_EQ(I16(d, base + 6), -500);
    }
    EXPECT_EQ(U16(d, 132), 50000);
    // 50 Hz plus the limits gives 50.4, 50.2, 49.8, 49.6 Hz.
    EXPECT_EQ(I16(d, 134), 40);
    EXPECT_EQ(I16(d, 140), -40);
    EXPECT_EQ(U16(d, 150), 800);
    EXPECT_EQ(U16(d, 250), 1200);
    EXPECT_EQ(U16(d, 152 + 2 * 3), 600); // Ku(5) normal 6 %
    EXPECT_EQ(U16(d, 252 + 2 * 3), 900); // maximum 9 %
    // No transformer: the nominal current is taken as it is.
    EXPECT_EQ(U8(d, 131), 1);
    EXPECT_FLOAT_EQ(F32(d, 546), 1.0f);

    nominals.CurrentRatio = 200.0;
    const QByteArray scaled = BuildSettingsAnswer(nominals);
    EXPECT_EQ(U8(scaled, 131), 0);
    EXPECT_FLOAT_EQ(F32(scaled, 546), 200.0f);
}

TEST(Answers, IntervalsListTheLimitPeriodsThenZeros)
{
    const QByteArray d = BuildIntervalsAnswer(DefaultLimitPeriods());
    ASSERT_EQ(d.size(), kIntervalsAnswerSize);
    EXPECT_EQ(d.left(8), QByteArray("\x08\x00\x0B\x00\x11\x00\x15\x00", 8));
    EXPECT_EQ(d.mid(8), QByteArray(kIntervalsAnswerSize - 8, '\0'));
}

TEST(DataAnswer, ValuesAgreeWithEachOther)
{
    TMeterModel model(TNominals{}, 7);
    for (int cycle = 0; cycle < 20; ++cycle) {
        SCOPED_TRACE(cycle);
        const QByteArray d = DataAt(model, kStart + 3.0 * cycle);
        ASSERT_EQ(d.size(), kDataAnswerSize);

        for (int c = 0; c < 6; ++c) {
            const double nominal = c < 3 ? 57.7 : 100.0;
            EXPECT_NEAR(U1(d, c), nominal, 0.05 * nominal);
            // RMS from the fundamental and the coefficients of every component.
            double squares = 1.0, harmonics = 0.0;
            for (int n = 2; n <= 50; ++n) {
                squares += std::pow(Ku(d, c, n) / 100.0, 2) + std::pow(Kum(d, c, n) / 100.0, 2);
                harmonics += std::pow(Ku(d, c, n), 2);
            }
            EXPECT_NEAR(Urms(d, c), U1(d, c) * std::sqrt(squares), 1e-4 * nominal);
            EXPECT_NEAR(U16(d, 54 + 2 * c) / 100.0, std::sqrt(harmonics), 0.02);
            EXPECT_NEAR(I16(d, 6 + 2 * c) / 100.0, (Urms(d, c) - nominal) * 100.0 / nominal, 0.006);
            EXPECT_NEAR(I16(d, 18 + 2 * c) / 100.0, (U1(d, c) - nominal) * 100.0 / nominal, 0.006);
        }

        // Line voltages close the triangle of the phase voltages.
        for (int l = 0; l < 3; ++l) {
            const double a = U1(d, l), b = U1(d, (l + 1) % 3);
            const double expected = std::sqrt(a * a + b * b - 2 * a * b * std::cos(Radians(AngleU(d, l))));
            EXPECT_NEAR(U1(d, 3 + l), expected, 0.002 * expected);
        }
        EXPECT_NEAR(AngleU(d, 0) + AngleU(d, 1) + AngleU(d, 2), 360.0, 0.03);
        EXPECT_NEAR(AngleU(d, 3) + AngleU(d, 4) + AngleU(d, 5), 360.0, 0.03);
        EXPECT_NEAR(AngleU(d, 0), 120.0, 2.0);

        const double f = U16(d, 1258) / 1000.0;
        EXPECT_NEAR(f, 50.0, 0.1);
        EXPECT_NEAR(I16(d, 1260) / 1000.0, f - 50.0, 0.0011);

        // Symmetrical components and unbalance.
        const double u0 = F32(d, 1310), u1seq = F32(d, 1314), u2 = F32(d, 1318);
        EXPECT_NEAR(u1seq, 100.0, 5.0);
        EXPECT_NEAR(U16(d, 656) / 100.0, u0 / u1seq * 100.0, 0.006);
        EXPECT_NEAR(U16(d, 658) / 100.0, u2 / u1seq * 100.0, 0.006);
        EXPECT_NEAR(I16(d, 654) / 100.0, u1seq - 100.0, 0.006);
        EXPECT_NEAR(U16(d, 1970) / 100.0, F32(d, 1350) / F32(d, 1346) * 100.0, 0.006);
        // unbalanced enough to be seen on the vector diagrams
        EXPECT_GT(u2 / u1seq, 0.01);
        EXPECT_GT(F32(d, 1350) / F32(d, 1346), 0.15);

        // Powers: per harmonic from U, I and the angle; totals add up.
        double pSum = 0.0, sSum = 0.0;
        for (int p = 0; p < 3; ++p) {
            const double ui = U1(d, p) * I1(d, p);
            EXPECT_NEAR(Pn(d, p, 1), ui * std::cos(Radians(FiUI(d, p, 1))), 1e-3 * ui);
            EXPECT_NEAR(Qn(d, p, 1), ui * std::sin(Radians(FiUI(d, p, 1))), 1e-3 * ui);
            EXPECT_NEAR(Sn(d, p, 1), ui, 1e-5 * ui);
            const double s = F32(d, 2322 + 4 * p);
            EXPECT_NEAR(s, Urms(d, p) * Irms(d, p), 1e-5 * s);
            EXPECT_NEAR(F32(d, 2374 + 4 * p), F32(d, 2290 + 4 * p) / s, 1e-5);
            EXPECT_GT(FiUI(d, p, 1), 10.0); // an inductive load
            EXPECT_GE(s, std::hypot(F32(d, 2290 + 4 * p), F32(d, 2306 + 4 * p)) * (1 - 1e-6));
            pSum += F32(d, 2290 + 4 * p);
            sSum += s;
        }
        EXPECT_NEAR(F32(d, 2302), pSum, 1e-5 * sSum);
        EXPECT_NEAR(F32(d, 2334), sSum, 1e-5 * sSum);
        EXPECT_NEAR(Sn(d, 3, 1), Sn(d, 0, 1) + Sn(d, 1, 1) + Sn(d, 2, 1), 1e-5 * sSum);
    }
}

TEST(DataAnswer, SpectraLookLikeARealNetwork)
{
    TMeterModel model(TNominals{}, 3);
    const QByteArray d = DataAt(model, kStart);
    int zeros = 0, tiny = 0;
    for (int c = 0; c < 6; ++c)
        for (int n = 2; n <= 50; ++n) {
            const double k = Ku(d, c, n);
            zeros += k == 0.0;
            tiny += k > 0.0 && k <= 0.1;
        }
    EXPECT_GT(zeros, 0);
    EXPECT_GT(tiny, 0);
    for (int p = 0; p < 3; ++p) {
        EXPECT_GT(Ku(d, p, 5), Ku(d, p, 4));
        EXPECT_GT(Ki(d, p, 3), 5.0);
        EXPECT_GT(Kim(d, p, 2), 0.0);
        EXPECT_NEAR(I1(d, p), 5.0 * 0.55, 5.0 * 0.4);
    }
    // Triplen harmonics are in phase in the three phases and cancel between them.
    EXPECT_LT(Ku(d, 3, 3), Ku(d, 0, 3) / 5);
}

TEST(DataAnswer, ValuesDriftSlowlyFromCycleToCycle)
{
    TMeterModel model(TNominals{}, 11);
    QByteArray previous = DataAt(model, kStart);
    std::set<float> seen;
    for (int cycle = 1; cycle < 10; ++cycle) {
        const QByteArray d = DataAt(model, kStart + 3.0 * cycle);
        for (int c = 0; c < 6; ++c)
            EXPECT_NEAR(Urms(d, c), Urms(previous, c), 0.005 * Urms(previous, c));
        EXPECT_NEAR(Irms(d, 0), Irms(previous, 0), 0.02 * Irms(previous, 0));
        seen.insert(F32(d, 1262));
        previous = d;
    }
    EXPECT_EQ(seen.size(), 9u);
}

TEST(DataAnswer, TheLoadIsLightAtNightAndHeavyInTheEvening)
{
    // Fifteen minutes of cycles each: a whole period of the load's quicker swing.
    TMeterModel model(TNominals{}, 13);
    const double midnight = kStart - 8 * 3600.0; // kStart is 08:00
    const auto meanCurrent = [&](double hour) {
        double sum = 0.0;
        for (int cycle = 0; cycle < 300; ++cycle)
            sum += I1(DataAt(model, midnight + hour * 3600.0 + 3.0 * cycle), 0);
        return sum / 300;
    };
    EXPECT_GT(meanCurrent(21.25), 1.2 * meanCurrent(2.75));
}

TEST(DataAnswer, SomeOrdersPassTheirLimitsAndSpectraChangeEveryCycle)
{
    // Limits as the settings answer states them, percent: the harmonic pair
    // at 152/252, the interharmonic pair at 350/448.
    const QByteArray limits = BuildSettingsAnswer(TNominals{});
    const auto limit = [&](int table, int n) { return U16(limits, table + 2 * (n - 2)) / 100.0; };

    TMeterModel model(TNominals{}, 5);
    std::set<int> aboveNormal, aboveMaximum, interAboveNormal, interAboveMaximum;
    int changedKu = 0, changedKum = 0, changedPn = 0, cycles = 0;
    QByteArray previous = DataAt(model, kStart);
    for (double t = kStart + 3.0; t < kStart + 300.0; t += 3.0, ++cycles) {
        const QByteArray d = DataAt(model, t);
        for (int n = 2; n <= 50; ++n) {
            if (Ku(d, 0, n) > limit(152, n))
                aboveNormal.insert(n);
            if (Ku(d, 0, n) > limit(252, n))
                aboveMaximum.insert(n);
            if (Kum(d, 0, n) > limit(350, n))
                interAboveNormal.insert(n);
            if (Kum(d, 0, n) > limit(448, n))
                interAboveMaximum.insert(n);
        }
        changedKu += Ku(d, 0, 5) != Ku(previous, 0, 5);
        changedKum += Kum(d, 0, 3) != Kum(previous, 0, 3);
        changedPn += Pn(d, 0, 5) != Pn(previous, 0, 5);
        previous = d;
    }
    // a few orders, not the whole spectrum
    EXPECT_GE(aboveNormal.size(), 2u);
    EXPECT_LE(aboveNormal.size(), 5u);
    EXPECT_GE(aboveMaximum.size(), 1u);
    EXPECT_GE(interAboveNormal.size(), 2u);
    EXPECT_LE(interAboveNormal.size(), 5u);
    EXPECT_GE(interAboveMaximum.size(), 1u);
    EXPECT_GT(changedKu, cycles / 2);
    EXPECT_GT(changedKum, cycles / 2);
    EXPECT_EQ(changedPn, cycles);
}

TEST(DataAnswer, ChannelsReportTroubleNowAndThen)
{
    TMeterModel lively(TNominals{}, 1, true), steady(TNominals{}, 1, false);
    std::set<int> statuses;
    int troubled = 0;
    for (int cycle = 0; cycle < 300; ++cycle) {
        const double t = kStart + 3.0 * cycle;
        const QByteArray d = DataAt(lively, t);
        bool any = false;
        for (int c = 0; c < 6; ++c) {
            statuses.insert(U8(d, c));
            any = any || U8(d, c) != 0;
        }
        troubled += any;
        const QByteArray calm = DataAt(steady, t);
        for (int c = 0; c < 6; ++c)
            EXPECT_EQ(U8(calm, c), 0);
    }
    EXPECT_EQ(statuses, (std::set<int>{0, 1, 2, 3}));
    EXPECT_LT(troubled, 300 / 10);
}

TEST(DataAnswer, VoltageDipsAndFrequencyStepsPassTheLimitsNowAndThen)
{
    // Phase deviations (hundredths of a percent) below the maximum lower
    // limit of -10 %, and the frequency's deviation (thousandths of a hertz)
    // above its maximum of 0.4 Hz, in a few cycles only.
    TMeterModel model(TNominals{}, 3);
    std::set<int> dippedPhases;
    int dipCycles = 0, stepCycles = 0;
    constexpr int kCycles = 300;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        const QByteArray d = DataAt(model, kStart + 3.0 * cycle);
        bool dipped = false;
        for (int p = 0; p < 3; ++p)
            if (I16(d, 6 + 2 * p) < -1000) {
                dippedPhases.insert(p);
                dipped = true;
            }
        dipCycles += dipped;
        stepCycles += I16(d, 1260) > 400;
    }
    EXPECT_EQ(dippedPhases, (std::set<int>{0, 1, 2}));
    EXPECT_GE(stepCycles, 2);
    EXPECT_LT(dipCycles + stepCycles, kCycles / 8);
}

TEST(DataAnswer, PrimaryCurrentsFollowTheTransformerRatio)
{
    TNominals nominals;
    nominals.CurrentRatio = 200.0;
    TMeterModel model(nominals, 5);
    const QByteArray d = DataAt(model, kStart);
    for (int p = 0; p < 3; ++p)
        EXPECT_NEAR(I1(d, p), 1000.0 * 0.55, 1000.0 * 0.4);
}
