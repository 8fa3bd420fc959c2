#pragma once

// What a value is judged with against the meter's quality limits: the limit
// slots of the record it is compared to, and the meter's time intervals
// (the limit periods). Plain values, shared by the record and the classifier.

#include <array>
#include <cstdint>

// One entry of the meter's time-interval table (four bytes on the wire).
struct TTimeInterval
{
    uint8_t StartHour = 0;
    uint8_t StartMinute = 0;
    uint8_t EndHour = 0;
    uint8_t EndMinute = 0;

    friend bool operator==(const TTimeInterval &, const TTimeInterval &) = default;
};

// Which limit slots a displayed value is compared with. Kind 0: one set
// (i4..i7); kind 1: i0..i3 during a limit period, i4..i7 otherwise. Within a
// set: maximum upper, normal upper, normal lower, maximum lower; -1 = absent.
struct TLimitDescriptor
{
    uint8_t Kind = 0;
    std::array<int32_t, 8> Index{-1, -1, -1, -1, -1, -1, -1, -1};
};
