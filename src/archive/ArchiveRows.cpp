#include "archive/ArchiveRows.h"

#include "archive/ArchiveColumns.h"
#include "engine/CycleSink.h"
#include "engine/RecordSlots.h"

#include <limits>

#include <cmath>

namespace Archive {

QDateTime MeterTimeFromDayCount(double days)
{
    // Days since 1899-12-30, the fraction the time of day, to the second.
    static const QDateTime epoch(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC);
    if (!std::isfinite(days) || days <= 0)
        return {};
    return epoch.addSecs(std::llround(days * 86400.0));
}

QString TimeText(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QDateTime TimeFromText(const QString &text)
{
    QDateTime time = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    time.setTimeSpec(Qt::UTC);
    return time;
}

QDateTime TimeFromArgument(const QString &text)
{
    QDateTime time = QDateTime::fromString(text, QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    if (!time.isValid()) {
        const QDate day = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
        if (day.isValid())
            time = day.startOfDay(Qt::UTC);
    }
    if (time.isValid())
        time.setTimeSpec(Qt::UTC);
    return time;
}

TCycleRow CycleRowOf(const TCycleCopy &cycle)
{
    TCycleRow row;
    row.MeterTime = MeterTimeFromDayCount(cycle.MeterDateTime);
    row.PcTimeUtc = cycle.PcTimeUtc;
    const auto value = [&](int slot) {
        const size_t at = size_t(slot - VDSlot::DataFirst);
        return at < cycle.Data.size() ? cycle.Data[at] : std::numeric_limits<float>::quiet_NaN();
    };
    row.Values.reserve(Quantities().size());
    for (const TQuantity &quantity : Quantities())
        row.Values.push_back(value(quantity.Slot));
    row.Spectra.reserve(size_t(SpectraValueCount()));
    for (const TSpectrum &spectrum : Spectra())
        for (int i = 0; i < spectrum.Count; ++i)
            row.Spectra.push_back(value(spectrum.Slot + i));
    return row;
}

} // namespace Archive
