#pragma once

// The quality limits a displayed value is coloured against, as limit slots
// of the measurement record. Several pages and the quality report judge the
// same quantity, so they take its limits from here.

#include "engine/MeasurementRecord.h"

#include <initializer_list>

namespace DisplayLimits {

// One set of limits: maximum upper, normal upper, normal lower, maximum lower.
inline TLimitDescriptor OneSet(int maxUpper, int normalUpper, int normalLower, int maxLower)
{
    TLimitDescriptor d;
    d.Kind = 0;
    d.Index = {-1, -1, -1, -1, maxUpper, normalUpper, normalLower, maxLower};
    return d;
}

// Two sets: the one used during a limit period, then the other, each as
// maximum upper, normal upper, normal lower, maximum lower.
inline TLimitDescriptor TwoSets(std::initializer_list<int> period, std::initializer_list<int> other)
{
    TLimitDescriptor d;
    d.Kind = 1;
    int i = 0;
    for (int v : period)
        d.Index[i++] = v;
    for (int v : other)
        d.Index[i++] = v;
    return d;
}

inline TLimitDescriptor PhaseVoltage()
{
    return TwoSets({26, 27, 29, 28}, {22, 23, 25, 24});
}
inline TLimitDescriptor LineVoltage()
{
    return TwoSets({34, 35, 37, 36}, {30, 31, 33, 32});
}
// The total harmonic coefficient of a voltage.
inline TLimitDescriptor TotalHarmonics()
{
    return OneSet(132, 82, -1, -1);
}
inline TLimitDescriptor Frequency()
{
    return OneSet(74, 75, 76, 77);
}
inline TLimitDescriptor FrequencyDeviation()
{
    return OneSet(70, 71, 72, 73);
}

// The fundamental of a voltage channel 0..5 (phases a, b, c, then lines).
inline TLimitDescriptor FundamentalVoltage(int channel)
{
    return channel < 3 ? TwoSets({58, 59, 61, 60}, {54, 55, 57, 56}) : TwoSets({66, 67, 69, 68}, {62, 63, 65, 64});
}
// The deviation held in slot VDSlot::dU1 of a voltage channel 0..5; the
// positive-sequence deviation takes the lines' set.
inline TLimitDescriptor DeviationU1(int channel)
{
    return channel < 3 ? TwoSets({10, 11, 13, 12}, {6, 7, 9, 8}) : TwoSets({18, 19, 21, 20}, {14, 15, 17, 16});
}
// The deviation held in slot VDSlot::dU of a voltage channel 0..5.
inline TLimitDescriptor DeviationU(int channel)
{
    return channel < 3 ? TwoSets({42, 43, 45, 44}, {38, 39, 41, 40}) : TwoSets({50, 51, 53, 52}, {46, 47, 49, 48});
}
// The voltage unbalance coefficients of the zero and the negative sequence.
inline TLimitDescriptor ZeroSequenceUnbalance()
{
    return OneSet(78, 79, -1, -1);
}
inline TLimitDescriptor NegativeSequenceUnbalance()
{
    return OneSet(80, 81, -1, -1);
}

// Ku(n) of harmonic order n = 2..50.
inline TLimitDescriptor HarmonicOrder(int n)
{
    return OneSet(131 + n, 81 + n, -1, -1);
}
// Ku(m) of interharmonic group m = 1..49.
inline TLimitDescriptor InterharmonicGroup(int m)
{
    return OneSet(230 + m, 181 + m, -1, -1);
}

} // namespace DisplayLimits
