#include "common/ShortestFloat.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

QString ShortestFloatText(float value, QChar decimalSeparator)
{
    if (!std::isfinite(value))
        return {};
    if (value == 0)
        return QStringLiteral("0");
    char text[32];
    const std::to_chars_result end = std::to_chars(text, text + sizeof text, value);
    const QString shortest = QString::fromLatin1(text, end.ptr - text);
    const qsizetype e = shortest.indexOf(u'e');
    QString mantissa = e < 0 ? shortest : shortest.left(e);
    mantissa.replace(u'.', decimalSeparator);
    if (e < 0)
        return mantissa;
    return mantissa + u'E' + QString::number(std::atoi(text + e + 1));
}
