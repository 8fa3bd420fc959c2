#pragma once

// The quality limits a displayed value is coloured against, as limit slots
// of the measurement record. Several pages show the same quantity, so they
// take its limits from here.

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
