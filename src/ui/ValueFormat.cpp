#include "ui/ValueFormat.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>

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
    // whether the locale writes the C symbol, asked once, not per number
    bool CPoint = true;
    bool CSign = true;
};

const TNumberSymbols &SymbolsOf(const QLocale &locale)
{
    thread_local bool made = false;
    thread_local QLocale source;
    thread_local TNumberSymbols symbols;
    if (!made || source != locale) {
        made = true;
        source = locale;
        symbols = {locale.decimalPoint(), locale.negativeSign(), locale.zeroDigit().at(0), false, false};
        symbols.CPoint = symbols.DecimalPoint == QLatin1String(".");
        symbols.CSign = symbols.NegativeSign == QLatin1String("-");
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

// value * 10^digits rounded to a whole number, when that is sure without
// writing the value out: the product is taken with a 64-bit mantissa, so
// below 2^50 it is within 2^-14 of the exact one, and its rounding is the
// exact one unless it lies near a half. Near a half (and for large values)
// the answer is left to the exact way.
bool RoundedScaled(double value, int digits, long long &scaled)
{
    static constexpr long double kPowers[] = {1e0L, 1e1L, 1e2L,  1e3L,  1e4L,  1e5L,  1e6L,  1e7L,
                                              1e8L, 1e9L, 1e10L, 1e11L, 1e12L, 1e13L, 1e14L, 1e15L};
    // where long double is no wider than double the bound does not hold
    if constexpr (std::numeric_limits<long double>::digits < 64)
        return false;
    if (digits < 0 || digits >= static_cast<int>(std::size(kPowers)))
        return false;
    const long double product = static_cast<long double>(value) * kPowers[digits];
    if (!(std::fabs(product) < 0x1p50L))
        return false;
    const long double below = std::floor(product);
    if (std::fabs(product - below - 0.5L) < 0x1p-8L)
        return false;
    scaled = static_cast<long long>(product - below < 0.5L ? below : below + 1);
    return true;
}

// value with `decimals` digits after the point, exactly as QString::number
// writes it. Most values take RoundedScaled; of the rest, std::to_chars is
// twice as fast as QString::number but rounds an exact half to even where
// QString::number rounds it away from zero; an exact half can only be a
// value that ends one decimal further, which goes the slow way.
QString FixedDigits(double value, int decimals)
{
    char buffer[64];
    long long scaled = 0;
    if (RoundedScaled(value, decimals, scaled)) {
        // the digits backwards, then the sign, as std::to_chars writes them
        char *begin = buffer + sizeof buffer;
        char *const end = begin;
        unsigned long long rest = scaled < 0 ? 0ULL - static_cast<unsigned long long>(scaled) : scaled;
        for (int i = 0; i <= decimals || rest != 0; ++i) {
            if (i == decimals && decimals > 0)
                *--begin = '.';
            *--begin = static_cast<char>('0' + rest % 10);
            rest /= 10;
        }
        if (std::signbit(value))
            *--begin = '-';
        return QString::fromLatin1(begin, end - begin);
    }
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
    if (!symbols.CPoint) {
        if (symbols.DecimalPoint.size() == 1)
            text.replace(QLatin1Char('.'), symbols.DecimalPoint.front()); // in place
        else
            text.replace(QLatin1Char('.'), symbols.DecimalPoint);
    }
    if (!symbols.CSign && text.startsWith(QLatin1Char('-')))
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
