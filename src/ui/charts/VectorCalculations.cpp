#include "ui/charts/VectorCalculations.h"

#include <cmath>
#include <numbers>

namespace {

constexpr long double kPi = std::numbers::pi_v<long double>;
constexpr long double kTwoSqrt3 = 2 * std::numbers::sqrt3_v<long double>;

struct TPoint
{
    long double X, Y;
};

std::array<TPoint, 3> Cartesian(const TThreePhasors &phasors)
{
    std::array<TPoint, 3> points;
    for (int k = 0; k < 3; ++k) {
        const long double m = phasors[k].Magnitude;
        const long double radians = static_cast<long double>(phasors[k].AngleDegrees) * kPi / 180;
        points[k] = {m * std::cos(radians), m * std::sin(radians)};
    }
    return points;
}

TCalculations::TComponent Component(long double re, long double im)
{
    return {static_cast<float>(TCalculations::ComponentAngle(re, im)),
            static_cast<float>(std::sqrt(re * re + im * im))};
}

} // namespace

long double TCalculations::NormalizedDegrees(long double x)
{
    if (x >= 180)
        return x - 360 * std::trunc((x + 180) / 360);
    if (x < -180)
        return x - 360 * std::trunc((x - 180) / 360);
    return x;
}

long double TCalculations::ComponentAngle(long double re, long double im)
{
    if (std::fabs(re) <= kZeroRealPart)
        return 90;
    return NormalizedDegrees(std::atan2(im, re) * 180 / kPi);
}

TCalculations::TSequences TCalculations::Sequences(const TThreePhasors &phasors)
{
    const auto [a, b, c] = Cartesian(phasors);
    // the part common to both rotating sequences, and the part that turns
    const long double reCommon = (a.X - (b.X + c.X) / 2) / 3;
    const long double imCommon = (a.Y - (b.Y + c.Y) / 2) / 3;
    const long double reTurn = (b.Y - c.Y) / kTwoSqrt3;
    const long double imTurn = (b.X - c.X) / kTwoSqrt3;

    TSequences s;
    s.Zero = Component((a.X + b.X + c.X) / 3, (a.Y + b.Y + c.Y) / 3);
    s.Positive = Component(reCommon - reTurn, imCommon + imTurn);
    s.Negative = Component(reCommon + reTurn, imCommon - imTurn);
    return s;
}

float TCalculations::ZeroSequenceAngle(const TThreePhasors &phasors)
{
    return Sequences(phasors).Zero.AngleDegrees;
}

std::array<float, 2> TCalculations::PositiveNegativeAngles(const TThreePhasors &phasors)
{
    const TSequences s = Sequences(phasors);
    return {s.Positive.AngleDegrees, s.Negative.AngleDegrees};
}
