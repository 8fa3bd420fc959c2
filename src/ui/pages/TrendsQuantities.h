#pragma once

// What the trends page can show: each quantity of the archive by group and
// channel, with its unit (which axis it goes on), its colour and line style
// (the phase colours of the other pages) and the limits it is coloured
// against on the main-values and harmonics pages.

#include "engine/MeasurementRecord.h"

#include <QColor>
#include <QString>
#include <vector>

namespace Trends {

enum class TUnit { Voltage, Current, Percent, Frequency, Power, PowerFactor };
inline constexpr int kUnitCount = 6;
QString UnitText(TUnit unit);

struct TQuantity
{
    QString Name;    // the archive's name: "Urms_a", or Archive::HarmonicQuantity(channel, order)
    QString Caption; // the other pages' symbol and the channel: "U A", "δU(1) B"
    QString Group;   // "Напряжения"
    TUnit Unit = TUnit::Voltage;
    QColor Color;
    Qt::PenStyle Style = Qt::SolidLine;
    bool HasLimits = false;
    TLimitDescriptor Limits;
};

// The list's groups in order.
const QStringList &Groups();
// Every quantity but the harmonic orders, in list order.
const std::vector<TQuantity> &Quantities();
// Ku(n) of voltage channel 0..5.
TQuantity Harmonic(int channel, int order);
inline constexpr int kHarmonicChannels = 6;
// By name (Ku(n) too); an empty Name when none.
TQuantity Find(const QString &name);

// The column name a CSV export gives it: its caption in the file's code page
// (Windows-1251 has no Greek letters: "dU(1) B", "DF").
QString ExportName(const TQuantity &quantity);
// The unit a value of it is read in ("В", "вар", "%"; "" for Km).
QString ValueUnit(const TQuantity &quantity);

} // namespace Trends
