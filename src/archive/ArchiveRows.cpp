#include "archive/ArchiveRows.h"

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

} // namespace Archive
