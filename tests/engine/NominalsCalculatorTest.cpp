#include "EngineTestSupport.h"

#include "common/Contracts.h"
#include "engine/NominalsCalculator.h"
#include "engine/MeasurementRecord.h"

#include <gtest/gtest.h>

#include <limits>

using namespace engine_test;
using namespace VDSlot;

namespace {

const QString kBadNominals = QStringLiteral("Неверный формат данных о номиналах напряжения и тока.");

AnswerBuilder Settings()
{
    AnswerBuilder s(551);
    s.F32(0, 57.7f).F32(58, 100.0f).F32(126, 42.5f).F32(546, 200.0f);
    s.U8(131, 1);
    s.U16(132, 50000);
    return s;
}

AnswerBuilder DateTime(uint8_t nominalCurrent)
{
    AnswerBuilder d(105);
    d.U8(0, 6).U8(1, 12).U8(2, 26).U8(3, 15).U8(4, 24).U8(5, 10);
    d.U8(82, nominalCurrent);
    return d;
}

} // namespace

TEST(Nominals, CalculatorTakesTheNominalCurrentFromTheClockAnswer)
{
    TNominalsCalculator calculator;
    ASSERT_TRUE(calculator.Calculate(Settings().Bytes(), DateTime(5).Bytes()));
    EXPECT_TRUE(calculator.Message().isEmpty());
    const auto &r = calculator.Results();
    EXPECT_EQ(r[0], 57.7f);
    EXPECT_EQ(r[1], 100.0f);
    EXPECT_EQ(r[2], 5.0f) << "byte 131 not 0: the current is not scaled";
    EXPECT_EQ(r[3], 5.0f);
    EXPECT_EQ(r[4], 42.5f);
    EXPECT_EQ(r[5], 200.0f);

    for (uint8_t wrong : {0, 2, 4, 6, 255}) {
        EXPECT_FALSE(calculator.Calculate(Settings().Bytes(), DateTime(wrong).Bytes())) << int(wrong);
        EXPECT_EQ(calculator.Message(), kBadNominals);
    }
    // answers cut short are refused the same way, never read past
    EXPECT_FALSE(calculator.Calculate(Settings().Bytes().left(549), DateTime(1).Bytes()));
    EXPECT_EQ(calculator.Message(), kBadNominals);
    EXPECT_FALSE(calculator.Calculate(Settings().Bytes(), DateTime(1).Bytes().left(82)));
    EXPECT_TRUE(calculator.Calculate(Settings().Bytes().left(550), DateTime(1).Bytes().left(83)));
    EXPECT_TRUE(calculator.Message().isEmpty());
}

TEST(Nominals, ScaledCurrentSetsTheCurrentPrefix)
{
    TNominalsCalculator calculator;
    AnswerBuilder settings = Settings();
    settings.U8(131, 0);
    ASSERT_TRUE(calculator.Calculate(settings.Bytes(), DateTime(5).Bytes()));
    EXPECT_EQ(calculator.Results()[2], 1000.0f);

    MessageRecorder window;
    TDataStorageManagerVD store(&window.events);
    const TNominalsBlock block = BuildNominalsBlock(calculator, settings.Bytes());
    store.WriteNominals(block);
    EXPECT_EQ(store.Value(Inom), 1000.0f);
    EXPECT_EQ(store.Value(InomSecondary), 5.0f);
    EXPECT_EQ(store.Value(CurrentScale), 200.0f);
    EXPECT_EQ(store.Value(SettingsValue126), 42.5f);
    EXPECT_EQ(store.ScaleFactor(3), 1000.0);
    EXPECT_EQ(store.DisplayDigits(3), 5);
    EXPECT_EQ(window.TakeNumbers().back(), emNominalsChanged);
}

TEST(Nominals, BlockMapsEveryLimitTable)
{
    AnswerBuilder s = Settings();
    for (int k = 0; k < 8; ++k) {
        s.I16(4 + 2 * k, int16_t(1000 + k));  // phase, set A: 10.00 % ...
        s.I16(20 + 2 * k, int16_t(-500 - k)); // phase, set B
        s.I16(62 + 2 * k, int16_t(2000 + k)); // line, set A
        s.I16(78 + 2 * k, int16_t(-k));       // line, set B
    }
    s.I16(4 + 2 * 3, 0); // an unset limit
    const int16_t frequency[4] = {-20, 20, -40, 40};
    for (int k = 0; k < 4; ++k) {
        s.I16(134 + 2 * k, frequency[k]);
        s.U16(142 + 2 * k, uint16_t(200 + k));
    }
    s.U16(150, 800).U16(250, 1200);
    for (int h = 0; h < 49; ++h) {
        s.U16(152 + 2 * h, uint16_t(h + 1));
        s.U16(252 + 2 * h, uint16_t(100 + h));
        s.U16(350 + 2 * h, uint16_t(200 + h));
        s.U16(448 + 2 * h, uint16_t(300 + h));
    }
    TNominalsCalculator calculator;
    ASSERT_TRUE(calculator.Calculate(s.Bytes(), DateTime(1).Bytes()));
    const TNominalsBlock b = BuildNominalsBlock(calculator, s.Bytes());

    EXPECT_EQ(b[UnomPhase], 57.7f);
    EXPECT_EQ(b[UnomLine], 100.0f);
    EXPECT_EQ(b[Inom], 1.0f);
    EXPECT_EQ(b[DevLimitsPhaseA + 0], 10.0f);
    EXPECT_EQ(b[DevLimitsPhaseA + 7], 10.07f);
    EXPECT_EQ(b[DevLimitsPhaseA + 3], 0.0f);
    EXPECT_EQ(b[AbsLimitsPhaseA + 0], float(57.7f * 1.1));
    EXPECT_EQ(b[AbsLimitsPhaseA + 3], 0.0f) << "an unset limit stays 0, never a nominal";
    EXPECT_EQ(b[DevLimitsPhaseB + 1], -5.01f);
    EXPECT_EQ(b[AbsLimitsPhaseB + 1], float(57.7f * (1 - 0.0501)));
    EXPECT_EQ(b[DevLimitsLineA + 7], 20.07f);
    EXPECT_EQ(b[AbsLimitsLineA + 0], 120.0f);
    EXPECT_EQ(b[DevLimitsLineB + 0], 0.0f);
    EXPECT_EQ(b[AbsLimitsLineB + 0], 0.0f);
    EXPECT_EQ(b[AbsLimitsLineB + 7], float(100.0 * (1 - 0.0007)));

    EXPECT_EQ(b[FreqDevLimits + 0], -0.2f);
    EXPECT_EQ(b[FreqAbsLimits + 0], 49.8f);
    EXPECT_EQ(b[FreqAbsLimits + 3], 50.4f);
    EXPECT_EQ(b[UnbalanceLimits + 0], 2.0f);
    EXPECT_EQ(b[UnbalanceLimits + 3], 2.03f);
    EXPECT_EQ(b[KuLimit1], 8.0f);
    EXPECT_EQ(b[KuLimit2], 12.0f);
    EXPECT_EQ(b[KunLimits1 + 0], 0.01f);
    EXPECT_EQ(b[KunLimits1 + 48], 0.49f);
    EXPECT_EQ(b[KunLimits2 + 48], 1.48f);
    EXPECT_EQ(b[HarmLimits3 + 0], 2.0f);
    EXPECT_EQ(b[HarmLimits4 + 48], 3.48f);
    EXPECT_EQ(b[NominalsCount - 1], 3.48f);
}

TEST(Nominals, LimitsThatAreNoNumberEndTheConversion)
{
    AnswerBuilder s = Settings();
    s.F32(0, 3.0e38f);
    s.I16(4, 5000); // +50 % of 3e38 is beyond single precision
    TNominalsCalculator calculator;
    ASSERT_TRUE(calculator.Calculate(s.Bytes(), DateTime(5).Bytes()));
    try {
        BuildNominalsBlock(calculator, s.Bytes());
        FAIL() << "an overflowing limit was accepted";
    } catch (const ENominalsConversion &e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("TRequestThreadVD.VDSetingsToMainSetings: ")));
    }
    s.F32(58, std::numeric_limits<float>::quiet_NaN()).I16(4, 0).I16(62, 1);
    ASSERT_TRUE(calculator.Calculate(s.Bytes(), DateTime(5).Bytes()));
    EXPECT_THROW(BuildNominalsBlock(calculator, s.Bytes()), ENominalsConversion);

    EXPECT_THROW(BuildNominalsBlock(calculator, s.Bytes().left(549)), EPreConditions);
}
