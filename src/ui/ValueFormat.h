#pragma once

// How measured values are written on screen: numbers in the operator's
// regional format, unit prefixes chosen from the display scale, and the
// colours that tell how a value stands against its quality limits.

#include <QColor>
#include <QLocale>
#include <QString>

class TFormatUtilities
{
public:
    // Fixed-point with exactly `decimals` digits after the locale's decimal
    // separator, no thousands separator, at most 18 significant digits.
    // decimals is clamped to 0..18. NaN and infinities give "NAN", "INF",
    // "-INF"; a value that rounds to zero has no minus sign. Without a
    // locale: QLocale(), the operator's regional settings unless the
    // program chose another default.
    static QString FormatNumber(double value, int decimals);
    static QString FormatNumber(double value, int decimals, const QLocale &locale);

    // "" below 1000, "к" up to 999999, "М" up to 999999999, "Г" above.
    static QString UnitPrefix(double multiplier);

    // Limit status (0 within limits, 1 above the maximum, 2 above the normal
    // upper limit, 3 below the normal lower, 4 below the maximum lower):
    // black, red bold, red, blue, blue bold.
    static QColor StatusColor(int status);
    static bool StatusBold(int status);

    // Each component moved towards white by percent %, rounded half away
    // from zero.
    static QColor Lighten(const QColor &color, int percent);

    static constexpr int kMaxDecimals = 18;
    static constexpr int kSignificantDigits = 18;
};
