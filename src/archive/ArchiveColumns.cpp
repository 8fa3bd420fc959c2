#include "archive/ArchiveColumns.h"

#include "engine/RecordSlots.h"

#include <vector>

namespace Archive {
namespace {

std::vector<TQuantity> MakeQuantities()
{
    std::vector<TQuantity> all;
    const auto perChannel = [&](const char *group, int base, int channels, bool rms) {
        for (int c = 0; c < channels; ++c)
            all.push_back(
                {QLatin1String(group) + QLatin1String(kChannelSuffixes[c]), QLatin1String(group), base + c, rms});
    };
    const auto single = [&](const char *name, int slot) {
        all.push_back({QLatin1String(name), QLatin1String(name), slot, false});
    };
    using namespace VDSlot;
    perChannel("Urms", Urms, VoltageChannels, true);
    perChannel("U1", U1, VoltageChannels, true);
    perChannel("dU1", dU1, VoltageChannels, false);
    perChannel("dU", dU, VoltageChannels, false);
    perChannel("KU", KU, VoltageChannels, false);
    perChannel("Irms", Irms, Phases, true);
    perChannel("I1", I1, Phases, true);
    perChannel("KI", KI, Phases, false);
    perChannel("P", P, Phases, false);
    perChannel("Q", Q, Phases, false);
    perChannel("S", S, Phases, false);
    perChannel("Km", Km, Phases, false);
    single("PSum", PSum);
    single("QSum", QSum);
    single("SSum", SSum);
    single("KmSum", KmSum);
    single("F", F);
    single("dF", dF);
    single("K0U", K0U);
    single("K2U", K2U);
    single("K0I", K0I);
    single("K2I", K2I);
    single("U0", U0);
    single("U1seq", U1seq);
    single("U2", U2);
    single("I0", I0);
    single("I1seq", I1seq);
    single("I2", I2);
    return all;
}

} // namespace

std::span<const TQuantity> Quantities()
{
    static const std::vector<TQuantity> all = MakeQuantities();
    return all;
}

int QuantityIndex(const QString &name)
{
    const std::span<const TQuantity> all = Quantities();
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i].Name == name)
            return int(i);
    return -1;
}

std::span<const TSpectrum> Spectra()
{
    using namespace VDSlot;
    static const TSpectrum all[] = {
        {QStringLiteral("KUn"), KUn, VoltageChannels * HarmonicCount},
        {QStringLiteral("KUm"), KUm, VoltageChannels * HarmonicCount},
        {QStringLiteral("KIn"), KIn, Phases * HarmonicCount},
    };
    return all;
}

int SpectraValueCount()
{
    int count = 0;
    for (const TSpectrum &spectrum : Spectra())
        count += spectrum.Count;
    return count;
}

} // namespace Archive
