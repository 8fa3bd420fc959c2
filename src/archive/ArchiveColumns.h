#pragma once

// The quantities the archive keeps, named as its tables' columns. The names
// are the archive's interface (trends, report, exports, MQTT): never rename.

#include <QString>
#include <span>

namespace Archive {

struct TQuantity
{
    QString Name;         // column name, e.g. "Urms_a"
    QString Group;        // the record's group name, e.g. "Urms"
    int Slot = 0;         // the value's slot in the measurement record
    bool RmsMean = false; // a 10-minute average is the root of the mean square
};

// Every quantity of a cycle row, in column order.
std::span<const TQuantity> Quantities();
// Its index in Quantities(), -1 when none is so named.
int QuantityIndex(const QString &name);

// The spectra kept as blobs of float32: KUn, KUm (6 x 49), KIn (3 x 49).
struct TSpectrum
{
    QString Name;
    int Slot = 0;
    int Count = 0;
};
std::span<const TSpectrum> Spectra();
// All spectra values end to end (735).
int SpectraValueCount();

// Channel suffixes: voltages a, b, c, ab, bc, ca; currents and powers a, b, c.
inline constexpr const char *kChannelSuffixes[6] = {"_a", "_b", "_c", "_ab", "_bc", "_ca"};

} // namespace Archive
