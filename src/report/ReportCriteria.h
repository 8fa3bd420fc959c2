#pragma once

// What the quality report judges: each quantity and channel with the archive
// column it is read from and the limits the window colours it against.

#include "engine/MeasurementRecord.h"

#include <QString>
#include <vector>

namespace Report {

// Frequency is judged on the 3-s cycles, everything else on the 10-minute averages.
enum class TBasis { Aggregate, Cycle };

struct TCriterion
{
    QString Quantity; // the archive's name: F, dF, dU1, dU, KU, K0U, K2U, KUn
    QString Column;   // the column read: "F", "dU1_a", ... ; "KUn" for the harmonic blob
    int Channel = -1; // voltage channel 0..5 (a, b, c, ab, bc, ca); -1 none
    int Order = 0;    // harmonic order 2..50; 0 none
    TBasis Basis = TBasis::Aggregate;
    TLimitDescriptor Limits;
};

// F, dF, dU1 and dU of each channel, KU of each channel, K0U, K2U, then
// Ku(n) channel by channel and order by order.
const std::vector<TCriterion> &Criteria();

// "a", "b", "c", "ab", "bc", "ca"; "" for -1.
QString ChannelName(int channel);
// The quantity as a reader knows it, e.g. "δU (весь сигнал) ab", "Ku(5) a".
QString DisplayName(const TCriterion &criterion);
// The quantity's unit: "Гц" or "%".
QString Unit(const TCriterion &criterion);

} // namespace Report
