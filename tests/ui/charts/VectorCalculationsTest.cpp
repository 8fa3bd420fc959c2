#include "ui/charts/VectorCalculations.h"

#include <gtest/gtest.h>

namespace {

TEST(VectorCalculationsTest, BalancedPhasorsHaveOnlyAPositiveSequenceAlongPhaseA)
{
    const TThreePhasors direct = {{{100, 0}, {100, -120}, {100, 120}}};
    const TCalculations::TSequences s = TCalculations::Sequences(direct);
    EXPECT_NEAR(s.Positive.AngleDegrees, 0.0f, 1e-4);
    EXPECT_NEAR(s.Positive.Magnitude, 100.0f, 1e-3);
    EXPECT_NEAR(s.Negative.Magnitude, 0.0f, 1e-3);
    EXPECT_NEAR(s.Zero.Magnitude, 0.0f, 1e-3);
    EXPECT_EQ(TCalculations::PositiveNegativeAngles(direct)[0], s.Positive.AngleDegrees);

    // the reverse order turns the same phasors into a negative sequence
    const TThreePhasors reverse = {{{100, 30}, {100, 150}, {100, -90}}};
    const TCalculations::TSequences r = TCalculations::Sequences(reverse);
    EXPECT_NEAR(r.Negative.AngleDegrees, 30.0f, 1e-4);
    EXPECT_NEAR(r.Positive.Magnitude, 0.0f, 1e-3);

    // three equal phasors are all zero sequence
    const TThreePhasors same = {{{10, 45}, {10, 45}, {10, 45}}};
    EXPECT_NEAR(TCalculations::ZeroSequenceAngle(same), 45.0f, 1e-4);
    EXPECT_NEAR(TCalculations::Sequences(same).Zero.Magnitude, 10.0f, 1e-4);
}

TEST(VectorCalculationsTest, ARealPartOfZeroPointsUpWhateverTheImaginaryPart)
{
    EXPECT_EQ(TCalculations::ComponentAngle(0, -5), 90);
    EXPECT_EQ(TCalculations::ComponentAngle(-1e-17L, -5), 90);
    EXPECT_EQ(TCalculations::ComponentAngle(0, 0), 90);
    EXPECT_NEAR(static_cast<double>(TCalculations::ComponentAngle(1e-15L, -5)), -90.0, 1e-9);
    // cos(-90°) leaves a real part far below the threshold
    const TThreePhasors down = {{{100, -90}, {100, -90}, {100, -90}}};
    EXPECT_EQ(TCalculations::ZeroSequenceAngle(down), 90.0f);
}

TEST(VectorCalculationsTest, AnglesAreBroughtIntoTheHalfOpenTurnFromMinus180)
{
    EXPECT_EQ(TCalculations::NormalizedDegrees(180), -180);
    EXPECT_EQ(TCalculations::NormalizedDegrees(540), -180);
    EXPECT_EQ(TCalculations::NormalizedDegrees(-180), -180);
    EXPECT_EQ(TCalculations::NormalizedDegrees(-181), 179);
    EXPECT_EQ(TCalculations::NormalizedDegrees(179.5L), 179.5L);
    EXPECT_EQ(TCalculations::NormalizedDegrees(370), 10);
    EXPECT_EQ(TCalculations::NormalizedDegrees(-530), -170);
    EXPECT_EQ(TCalculations::ComponentAngle(-1, 0), -180);

    // a positive sequence straight along the negative axis: atan2 gives 180
    const TThreePhasors back = {{{-100, 0}, {0, 0}, {0, 0}}};
    EXPECT_EQ(TCalculations::PositiveNegativeAngles(back)[0], -180.0f);
    EXPECT_EQ(TCalculations::PositiveNegativeAngles(back)[1], -180.0f);
}

} // namespace
