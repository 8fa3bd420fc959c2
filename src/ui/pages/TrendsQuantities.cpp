#include "ui/pages/TrendsQuantities.h"

#include "archive/ArchiveColumns.h"
#include "archive/ArchiveSeries.h"
#include "engine/DisplayLimits.h"

#include <QStringList>

namespace Trends {
namespace {

// a, b, c as on the main-values page; the lines as on the waveforms page
const QColor kChannelColors[6] = {QColor(230, 205, 43), QColor(0, 128, 0),     QColor(255, 0, 0),
                                  QColor(102, 69, 0),   QColor(128, 128, 128), QColor(151, 0, 151)};
const char *const kChannelCaptions[6] = {"A", "B", "C", "AB", "BC", "CA"};
const Qt::PenStyle kStyles[4] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine};

std::vector<TQuantity> Make()
{
    const QStringList &g = Groups();
    std::vector<TQuantity> all;
    // the archive's name, the symbol the other pages give it
    const auto perChannel = [&](const char *name, const QString &symbol, const QString &group, TUnit unit, int channels,
                                int style, auto limits) {
        for (int c = 0; c < channels; ++c) {
            TQuantity q;
            q.Name = QLatin1String(name) + QLatin1String(Archive::kChannelSuffixes[c]);
            q.Caption = symbol + u' ' + QLatin1String(kChannelCaptions[c]);
            q.Group = group;
            q.Unit = unit;
            q.Color = kChannelColors[c];
            q.Style = kStyles[style];
            if constexpr (!std::is_same_v<decltype(limits), std::nullptr_t>) {
                q.HasLimits = true;
                q.Limits = limits(c);
            }
            all.push_back(q);
        }
    };
    const auto single = [&](const char *name, const QString &symbol, const QString &group, TUnit unit, QColor color,
                            int style, const TLimitDescriptor *limits = nullptr) {
        TQuantity q;
        q.Name = QLatin1String(name);
        q.Caption = symbol;
        q.Group = group;
        q.Unit = unit;
        q.Color = color;
        q.Style = kStyles[style];
        if (limits) {
            q.HasLimits = true;
            q.Limits = *limits;
        }
        all.push_back(q);
    };
    using enum TUnit;
    const QColor black(0, 0, 0), blue(0, 0, 200), teal(0, 140, 140), purple(128, 0, 128);
    perChannel("Urms", QStringLiteral("U"), g[0], Voltage, 6, 0, nullptr);
    perChannel("U1", QStringLiteral("U(1)"), g[0], Voltage, 6, 1, nullptr);
    perChannel("Irms", QStringLiteral("I"), g[1], Current, 3, 0, nullptr);
    perChannel("I1", QStringLiteral("I(1)"), g[1], Current, 3, 1, nullptr);
    const TLimitDescriptor frequency = DisplayLimits::Frequency();
    const TLimitDescriptor deviation = DisplayLimits::FrequencyDeviation();
    single("F", QStringLiteral("F"), g[2], Frequency, black, 0, &frequency);
    single("dF", QStringLiteral("ΔF"), g[2], Frequency, blue, 0, &deviation);
    // the first block is the whole signal's deviation, the second the fundamental's, as the main page shows them
    perChannel("dU1", QStringLiteral("δU"), g[3], Percent, 6, 0, DisplayLimits::DeviationU1);
    perChannel("dU", QStringLiteral("δU(1)"), g[3], Percent, 6, 1, DisplayLimits::DeviationU);
    const TLimitDescriptor k0u = DisplayLimits::ZeroSequenceUnbalance();
    const TLimitDescriptor k2u = DisplayLimits::NegativeSequenceUnbalance();
    single("K0U", QStringLiteral("K0U"), g[4], Percent, black, 0, &k0u);
    single("K2U", QStringLiteral("K2U"), g[4], Percent, blue, 0, &k2u);
    single("K0I", QStringLiteral("K0I"), g[4], Percent, teal, 1, nullptr);
    single("K2I", QStringLiteral("K2I"), g[4], Percent, purple, 1, nullptr);
    single("U0", QStringLiteral("U0 нулевой посл."), g[4], Voltage, black, 0);
    single("U1seq", QStringLiteral("U1 прямой посл."), g[4], Voltage, blue, 0);
    single("U2", QStringLiteral("U2 обратной посл."), g[4], Voltage, teal, 0);
    single("I0", QStringLiteral("I0 нулевой посл."), g[4], Current, black, 1);
    single("I1seq", QStringLiteral("I1 прямой посл."), g[4], Current, blue, 1);
    single("I2", QStringLiteral("I2 обратной посл."), g[4], Current, teal, 1);
    perChannel("KU", QStringLiteral("KU"), g[5], Percent, 6, 0, [](int) { return DisplayLimits::TotalHarmonics(); });
    perChannel("KI", QStringLiteral("KI"), g[5], Percent, 3, 1, nullptr);
    perChannel("P", QStringLiteral("P"), g[6], Power, 3, 0, nullptr);
    perChannel("Q", QStringLiteral("Q"), g[6], Power, 3, 1, nullptr);
    perChannel("S", QStringLiteral("S"), g[6], Power, 3, 2, nullptr);
    perChannel("Km", QStringLiteral("Km"), g[6], PowerFactor, 3, 3, nullptr);
    single("PSum", QStringLiteral("P 3ф"), g[6], Power, black, 0);
    single("QSum", QStringLiteral("Q 3ф"), g[6], Power, black, 1);
    single("SSum", QStringLiteral("S 3ф"), g[6], Power, black, 2);
    single("KmSum", QStringLiteral("Km 3ф"), g[6], PowerFactor, black, 3);
    return all;
}

} // namespace

QString UnitText(TUnit unit)
{
    switch (unit) {
    case TUnit::Voltage: return QStringLiteral("В");
    case TUnit::Current: return QStringLiteral("А");
    case TUnit::Percent: return QStringLiteral("%");
    case TUnit::Frequency: return QStringLiteral("Гц");
    case TUnit::Power: return QStringLiteral("Вт, вар, В·А");
    case TUnit::PowerFactor: return QStringLiteral("Км");
    }
    return {};
}

const QStringList &Groups()
{
    static const QStringList groups{QStringLiteral("Напряжения"),  QStringLiteral("Токи"),
                                    QStringLiteral("Частота"),     QStringLiteral("Отклонения"),
                                    QStringLiteral("Несимметрия"), QStringLiteral("Гармоники"),
                                    QStringLiteral("Мощности")};
    return groups;
}

const std::vector<TQuantity> &Quantities()
{
    static const std::vector<TQuantity> all = Make();
    return all;
}

TQuantity Harmonic(int channel, int order)
{
    TQuantity q;
    q.Name = Archive::HarmonicQuantity(channel, order);
    q.Caption = QStringLiteral("Ku(%1) %2").arg(order).arg(QLatin1String(kChannelCaptions[channel]));
    q.Group = Groups()[5];
    q.Unit = TUnit::Percent;
    q.Color = kChannelColors[channel];
    q.Style = Qt::DashDotLine;
    q.HasLimits = true;
    q.Limits = DisplayLimits::HarmonicOrder(order);
    return q;
}

TQuantity Find(const QString &name)
{
    for (const TQuantity &q : Quantities())
        if (q.Name == name)
            return q;
    const QStringList parts = name.split(u':');
    if (parts.size() == 3 && Archive::IsSeriesQuantity(name))
        return Harmonic(parts[1].toInt(), parts[2].toInt());
    return {};
}

QString ExportName(const TQuantity &quantity)
{
    QString name = quantity.Caption;
    return name.replace(QChar(0x03B4), u'd').replace(QChar(0x0394), u'D');
}

QString ValueUnit(const TQuantity &quantity)
{
    if (quantity.Unit == TUnit::PowerFactor)
        return {};
    if (quantity.Unit != TUnit::Power)
        return UnitText(quantity.Unit);
    if (quantity.Name.startsWith(u'Q'))
        return QStringLiteral("вар");
    return quantity.Name.startsWith(u'S') ? QStringLiteral("В·А") : QStringLiteral("Вт");
}

} // namespace Trends
