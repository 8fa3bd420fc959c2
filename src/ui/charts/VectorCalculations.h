#pragma once

// Directions of the symmetrical components of three phasors, for the
// sequence diagram. The meter sends the sizes of the components but not
// their directions, so the display works them out from the voltage phasors.

#include <array>

struct TPhasor
{
    float Magnitude = 0;
    float AngleDegrees = 0; // counter-clockwise from the horizontal axis
};

using TThreePhasors = std::array<TPhasor, 3>; // A, B, C (or AB, BC, CA)

class TCalculations
{
public:
    struct TComponent
    {
        float AngleDegrees = 0;
        float Magnitude = 0;
    };
    struct TSequences
    {
        TComponent Zero, Positive, Negative;
    };

    static float ZeroSequenceAngle(const TThreePhasors &phasors);
    // (positive-sequence angle, negative-sequence angle)
    static std::array<float, 2> PositiveNegativeAngles(const TThreePhasors &phasors);
    static TSequences Sequences(const TThreePhasors &phasors);

    // Angle of the component Re + j Im in degrees, in [-180, 180); 90 when
    // the real part is too small to tell a direction.
    static long double ComponentAngle(long double re, long double im);
    // An angle in degrees brought into [-180, 180).
    static long double NormalizedDegrees(long double degrees);

    // A real part this small counts as zero.
    static constexpr long double kZeroRealPart = 1e-16L;
};
