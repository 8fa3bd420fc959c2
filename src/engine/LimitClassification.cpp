#include "engine/LimitClassification.h"

std::array<int32_t, 4> LimitSlotsOf(const TLimitDescriptor &limits, bool inLimitPeriod)
{
    const bool firstSet = limits.Kind != 0 && inLimitPeriod;
    const auto &i = limits.Index;
    return firstSet ? std::array<int32_t, 4>{i[0], i[1], i[2], i[3]} : std::array<int32_t, 4>{i[4], i[5], i[6], i[7]};
}

TLimitValues LimitValuesOf(const TLimitDescriptor &limits, bool inLimitPeriod, std::span<const float> limitSlots)
{
    const auto value = [&](int32_t index) {
        return index >= 0 && size_t(index) < limitSlots.size() ? limitSlots[size_t(index)] : 0.0f;
    };
    const std::array<int32_t, 4> inUse = LimitSlotsOf(limits, inLimitPeriod);
    return {value(inUse[0]), value(inUse[1]), value(inUse[2]), value(inUse[3])};
}

int ClassifyAgainst(float d, const TLimitValues &limits)
{
    // A limit takes part only when the meter gave it a value.
    int result = 0;
    if (limits.NormalUpper != 0.0f && d > limits.NormalUpper)
        result = 2;
    if (limits.MaxUpper != 0.0f && d > limits.MaxUpper)
        result = 1;
    if (limits.NormalLower != 0.0f && d < limits.NormalLower)
        result = 3;
    if (limits.MaxLower != 0.0f && d < limits.MaxLower)
        result = 4;
    return result;
}

bool InLimitPeriod(qint64 t, std::span<const TTimeInterval> intervals)
{
    constexpr qint64 msPerDay = 86400000;
    for (const TTimeInterval &interval : intervals) {
        if (interval.EndHour == 0 && interval.EndMinute == 0)
            break;
        // An entry that is no time of day (garbled answer) never matches.
        if (interval.StartHour > 23 || interval.StartMinute > 59 || interval.EndMinute > 59)
            continue;
        const qint64 start = (interval.StartHour * 60 + interval.StartMinute) * qint64(60000);
        const qint64 end =
            interval.EndHour > 23 ? msPerDay - 1 : (interval.EndHour * 60 + interval.EndMinute) * qint64(60000);
        if (t >= start && t < end)
            return true;
    }
    return false;
}
