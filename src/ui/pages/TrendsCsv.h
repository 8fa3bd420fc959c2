#pragma once

// The shown series as a CSV file in the form of the F2 snapshots and the
// archive tool's exports: Windows-1251, ";" after every cell, CR LF, numbers
// in the 15-digit form with the system's decimal mark, an empty cell for a
// value the meter did not give. The first row names the columns as the
// archive does: meter_time (or interval_start and flags) and each series
// (its _avg, _min, _max in the 10-minute view).

#include "archive/ArchiveSeries.h"
#include "ui/pages/TrendsQuantities.h"

#include <vector>

namespace Trends {

// The rows of `data` in [from, to) (seconds); false with why in `error`.
// The file appears under its name only once complete.
bool WriteCsv(const QString &fileName, const Archive::TSeriesResult &data, const std::vector<TQuantity> &quantities,
              double from, double to, QString *error);

} // namespace Trends
