#pragma once

// How a value is judged against the meter's quality limits, apart from the
// live record: the window colours the record's values with it and the quality
// report judges archived values with it, so both give the same verdict.

#include "engine/LimitDescriptor.h"

#include <QtGlobal>
#include <array>
#include <span>

// The four limits of the set a descriptor picks; 0 = not set by the meter
// (or absent from the descriptor).
struct TLimitValues
{
    float MaxUpper = 0;
    float NormalUpper = 0;
    float NormalLower = 0;
    float MaxLower = 0;
};

// The slots of the set in use: maximum upper, normal upper, normal lower,
// maximum lower (-1 = absent). Kind 1 takes i0..i3 inside a limit period.
std::array<int32_t, 4> LimitSlotsOf(const TLimitDescriptor &limits, bool inLimitPeriod);
// The set's values from the record's slots 0..279 (a slot past the block is absent).
TLimitValues LimitValuesOf(const TLimitDescriptor &limits, bool inLimitPeriod, std::span<const float> limitSlots);
// 0 within limits, 1 above the maximum, 2 above the normal upper limit,
// 3 below the normal lower limit, 4 below the maximum lower limit. A limit of
// 0 takes no part; NaN never leaves the limits.
int ClassifyAgainst(float value, const TLimitValues &limits);
inline int ClassifyValue(float value, const TLimitDescriptor &limits, bool inLimitPeriod,
                         std::span<const float> limitSlots)
{
    return ClassifyAgainst(value, LimitValuesOf(limits, inLimitPeriod, limitSlots));
}
// Whether a moment (milliseconds since the meter's midnight) lies in one of
// the meter's time intervals; the table ends at the first entry ending 00:00.
bool InLimitPeriod(qint64 msOfDay, std::span<const TTimeInterval> intervals);
