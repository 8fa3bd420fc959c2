#pragma once

// What the bar charts and tables of the harmonics, interharmonics and power
// pages show: their series, selector items, tables, header texts, axis
// titles, and which series each item shows in which colour.

#include "ui/charts/SpectrumGroup.h"

namespace SpectrumDesigns {

TSpectrumGroup::TDesign Harmonics();
TSpectrumGroup::TDesign Interharmonics();
TSpectrumGroup::TDesign Power();

// Indices of the series of the two harmonic charts: Ku phases 0..2, Ku
// lines 3..5, Ki 6..8, U phases 9..11, U lines 12..14, I 15..17.
inline constexpr int kKuPhases = 0;
inline constexpr int kKuLines = 3;
inline constexpr int kKi = 6;
inline constexpr int kUPhases = 9;
inline constexpr int kULines = 12;
inline constexpr int kI = 15;
// Of the power chart: P 0..2, Q 3..5, S 6..8.
inline constexpr int kP = 0;
inline constexpr int kQ = 3;
inline constexpr int kS = 6;

} // namespace SpectrumDesigns
