#include "ui/ValueFormat.h"

#include <algorithm>
#include <cmath>

QString TFormatUtilities::FormatNumber(double value, int decimals)
{
    return FormatNumber(value, decimals, QLocale());
}

QString TFormatUtilities::FormatNumber(double value, int decimals, const QLocale &locale)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    decimals = std::clamp(decimals, 0, kMaxDecimals);

    QLocale plain(locale);
    plain.setNumberOptions(plain.numberOptions() | QLocale::OmitGroupSeparator);

    const double magnitude = std::fabs(value);
    const int integerDigits = magnitude >= 1.0 ? static_cast<int>(std::floor(std::log10(magnitude))) + 1 : 1;
    if (integerDigits > kSignificantDigits)
        return plain.toString(value, 'E', kSignificantDigits - 1);

    // Digits beyond the 18th significant one are shown as zeros.
    const int shown = std::min(decimals, kSignificantDigits - integerDigits);
    QString text = plain.toString(value, 'f', shown);
    if (shown < decimals) {
        if (shown == 0)
            text += plain.decimalPoint();
        text += QString(decimals - shown, plain.zeroDigit().at(0));
    }
    // -0,00 reads as a negative value that is not there
    const QString minus = plain.negativeSign();
    if (text.startsWith(minus)) {
        bool allZero = true;
        for (const QChar c : QStringView(text).mid(minus.size()))
            if (c.isDigit() && c.digitValue() != 0)
                allZero = false;
        if (allZero)
            text.remove(0, minus.size());
    }
    return text;
}

QString TFormatUtilities::UnitPrefix(double multiplier)
{
    if (multiplier < 1000)
        return {};
    if (multiplier < 1000000)
        return QStringLiteral("к");
    if (multiplier < 1000000000)
        return QStringLiteral("М");
    return QStringLiteral("Г");
}

QColor TFormatUtilities::StatusColor(int status)
{
    switch (status) {
    case 1:
    case 2:
        return QColor(255, 0, 0);
    case 3:
    case 4:
        return QColor(0, 0, 255);
    default:
        return QColor(0, 0, 0);
    }
}

bool TFormatUtilities::StatusBold(int status)
{
    return status == 1 || status == 4;
}

QColor TFormatUtilities::Lighten(const QColor &color, int percent)
{
    percent = std::clamp(percent, 0, 100);
    const auto lighten = [percent](int c) { return c + ((255 - c) * percent + 50) / 100; };
    return QColor(lighten(color.red()), lighten(color.green()), lighten(color.blue()));
}
