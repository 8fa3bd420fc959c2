#pragma once

// Folds the cycles of a run into 10-minute rows of meter time, aligned to the
// clock (hh:00, hh:10, ...). Voltages and currents (RmsMean quantities)
// average as the root of the mean square, everything else arithmetically;
// spectra keep their mean and maximum per harmonic. An interval is handed
// out when a cycle of a later interval arrives or the run ends.

#include "archive/ArchiveRows.h"

#include <optional>

namespace Archive {

class TTenMinuteAggregator
{
public:
    TTenMinuteAggregator();

    // A run starts: the interval of its first cycle is flagged afRunEdge.
    void RunStarted();
    // The row of the interval this cycle ended, if it ended one.
    std::optional<TAggregateRow> Add(const TCycleRow &cycle);
    // The open interval, flagged afRunEdge; nothing when none is open.
    std::optional<TAggregateRow> RunEnded();

private:
    // Running sums of one value over the open interval; non-finite values are
    // left out so that one bad reading does not spoil ten minutes.
    struct TRunning
    {
        double Sum = 0; // of squares for RmsMean quantities
        float Min = 0, Max = 0;
        int Count = 0;
        void Add(float value, bool square);
        float Mean(bool root) const;
    };

    void Open(const QDateTime &start);
    void Accumulate(const TCycleRow &cycle);
    TAggregateRow Finish();

    std::optional<QDateTime> OpenStart;
    std::vector<TRunning> Values, Spectra;
    int ValuesCount = 0;
    int Flags = 0;
    QDateTime LastMeterTime; // of the run's previous cycle, to see the clock jump
    bool RunEdgePending = false;
};

} // namespace Archive
