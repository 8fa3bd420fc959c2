#include "ui/ValueFormat.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>

QString TFormatUtilities::FormatNumber(double value, int decimals)
{
    return FormatNumber(value, decimals, QLocale());
}

namespace {

// What a number takes from a locale, asked once per locale: the system
// locale answers every question by asking the system, which costs more than
// the number itself when a data block formats thousands of them.
struct TNumberSymbols
{
    QString DecimalPoint;
    QString NegativeSign;
    QChar Zero;
};

const TNumberSymbols &SymbolsOf(const QLocale &locale)
{
    thread_local bool made = false;
    thread_local QLocale source;
    thread_local TNumberSymbols symbols;
    if (!made || source != locale) {
        made = true;
        source = locale;
        symbols = {locale.decimalPoint(), locale.negativeSign(), locale.zeroDigit().at(0)};
    }
    return symbols;
}

// Whether value * 10^digits is a whole number: the binary fraction of the
// value ends within that many decimals.
bool EndsWithin(double value, int digits)
{
    int exponent = 0;
    const double fraction = std::frexp(value, &exponent);
    const auto mantissa = static_cast<uint64_t>(std::ldexp(std::fabs(fraction), 53));
    return mantissa == 0 || exponent - 53 + std::countr_zero(mantissa) + digits >= 0;
}

// value with `decimals` digits after the point, exactly as QString::number
// writes it. std::to_chars is twice as fast but rounds an exact half to
// even where QString::number rounds it away from zero; an exact half can
// only be a value that ends one decimal further, which goes the slow way.
QString FixedDigits(double value, int decimals)
{
    char buffer[64];
    if (EndsWithin(value, decimals + 1)) {
        const auto [end, error] =
            std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals + 1);
        if (error != std::errc() || end[-1] == '5')
            return QString::number(value, 'f', decimals);
    }
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (error != std::errc())
        return QString::number(value, 'f', decimals);
    return QString::fromLatin1(buffer, end - buffer);
}

} // namespace

QString TFormatUtilities::FormatNumber(double value, int decimals, const QLocale &locale)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    decimals = std::clamp(decimals, 0, kMaxDecimals);

    const double magnitude = std::fabs(value);
    const int integerDigits = magnitude >= 1.0 ? static_cast<int>(std::floor(std::log10(magnitude))) + 1 : 1;
    if (integerDigits > kSignificantDigits) {
        QLocale plain(locale);
        plain.setNumberOptions(plain.numberOptions() | QLocale::OmitGroupSeparator);
        return plain.toString(value, 'E', kSignificantDigits - 1);
    }

    // The digits in the C format ('-', '.', no grouping), then the locale's
    // symbols: the digits and rounding of the locale's own formatting.
    const int shown = std::min(decimals, kSignificantDigits - integerDigits);
    QString text = FixedDigits(value, shown);
    // Digits beyond the 18th significant one are shown as zeros.
    if (shown < decimals) {
        if (shown == 0)
            text += QLatin1Char('.');
        text += QString(decimals - shown, QLatin1Char('0'));
    }
    // -0,00 reads as a negative value that is not there
    if (text.startsWith(QLatin1Char('-')) &&
        std::all_of(text.cbegin() + 1, text.cend(), [](QChar c) { return c == u'0' || c == u'.'; }))
        text.remove(0, 1);

    const TNumberSymbols &symbols = SymbolsOf(locale);
    if (symbols.Zero != u'0') {
        for (QChar &c : text)
            if (c >= u'0' && c <= u'9')
                c = QChar(symbols.Zero.unicode() + (c.unicode() - u'0'));
    }
    if (symbols.DecimalPoint != QLatin1String("."))
        text.replace(QLatin1Char('.'), symbols.DecimalPoint);
    if (symbols.NegativeSign != QLatin1String("-") && text.startsWith(QLatin1Char('-')))
        text.replace(0, 1, symbols.NegativeSign);
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
    case 2: return QColor(255, 0, 0);
    case 3:
    case 4: return QColor(0, 0, 255);
    default: return QColor(0, 0, 0);
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
