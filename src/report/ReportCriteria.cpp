#include "report/ReportCriteria.h"

#include "archive/ArchiveColumns.h"
#include "engine/DisplayLimits.h"
#include "engine/RecordSlots.h"

namespace Report {
namespace {

std::vector<TCriterion> MakeCriteria()
{
    using namespace DisplayLimits;
    std::vector<TCriterion> all;
    all.push_back({QStringLiteral("F"), QStringLiteral("F"), -1, 0, TBasis::Cycle, Frequency()});
    all.push_back({QStringLiteral("dF"), QStringLiteral("dF"), -1, 0, TBasis::Cycle, FrequencyDeviation()});
    const auto perChannel = [&](const char *quantity, auto limits) {
        for (int c = 0; c < VDSlot::VoltageChannels; ++c)
            all.push_back({QLatin1String(quantity),
                           QLatin1String(quantity) + QLatin1String(Archive::kChannelSuffixes[c]), c, 0,
                           TBasis::Aggregate, limits(c)});
    };
    perChannel("dU1", DeviationU1);
    perChannel("dU", DeviationU);
    perChannel("KU", [](int) { return TotalHarmonics(); });
    all.push_back({QStringLiteral("K0U"), QStringLiteral("K0U"), -1, 0, TBasis::Aggregate, ZeroSequenceUnbalance()});
    all.push_back(
        {QStringLiteral("K2U"), QStringLiteral("K2U"), -1, 0, TBasis::Aggregate, NegativeSequenceUnbalance()});
    for (int c = 0; c < VDSlot::VoltageChannels; ++c)
        for (int n = 2; n <= 50; ++n)
            all.push_back({QStringLiteral("KUn"), QStringLiteral("KUn"), c, n, TBasis::Aggregate, HarmonicOrder(n)});
    return all;
}

} // namespace

const std::vector<TCriterion> &Criteria()
{
    static const std::vector<TCriterion> all = MakeCriteria();
    return all;
}

QString ChannelName(int channel)
{
    return channel < 0 || channel >= VDSlot::VoltageChannels ? QString()
                                                             : QLatin1String(Archive::kChannelSuffixes[channel] + 1);
}

QString DisplayName(const TCriterion &criterion)
{
    QString name;
    if (criterion.Quantity == QLatin1String("F"))
        name = QStringLiteral("F");
    else if (criterion.Quantity == QLatin1String("dF"))
        name = QStringLiteral("ΔF");
    else if (criterion.Quantity == QLatin1String("dU1"))
        name = QStringLiteral("δU");
    else if (criterion.Quantity == QLatin1String("dU"))
        name = QStringLiteral("δU(1)");
    else if (criterion.Quantity == QLatin1String("KUn"))
        name = QStringLiteral("Ku(%1)").arg(criterion.Order);
    else
        name = criterion.Quantity;
    return criterion.Channel < 0 ? name : name + u' ' + ChannelName(criterion.Channel);
}

QString Unit(const TCriterion &criterion)
{
    return criterion.Quantity == QLatin1String("F") || criterion.Quantity == QLatin1String("dF") ? QStringLiteral("Гц")
                                                                                                 : QStringLiteral("%");
}

} // namespace Report
