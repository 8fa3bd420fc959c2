#include "common/Cp1251.h"

#include <array>

namespace {

// 0x80..0xBF; 0x98 is unassigned and maps to U+FFFD on decoding.
constexpr char16_t kUpperTable[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0xFFFD, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};

constexpr char16_t kUnassigned = 0xFFFD;

} // namespace

namespace Cp1251 {

QChar DecodeByte(unsigned char byte)
{
    if (byte < 0x80)
        return QChar(byte);
    if (byte >= 0xC0) // А..я are contiguous
        return QChar(char16_t(0x0410 + (byte - 0xC0)));
    return QChar(kUpperTable[byte - 0x80]);
}

char EncodeChar(QChar ch)
{
    const char16_t u = ch.unicode();
    if (u < 0x80)
        return char(u);
    if (u >= 0x0410 && u <= 0x044F)
        return char(0xC0 + (u - 0x0410));
    if (u == kUnassigned)
        return kReplacement;
    for (int i = 0; i < 64; ++i)
        if (kUpperTable[i] == u)
            return char(0x80 + i);
    return kReplacement;
}

QString Decode(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i)
        out[i] = DecodeByte(static_cast<unsigned char>(bytes[i]));
    return text;
}

QByteArray Encode(QStringView text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char *out = bytes.data();
    for (qsizetype i = 0; i < text.size(); ++i)
        out[i] = EncodeChar(text[i]);
    return bytes;
}

bool CanEncode(QStringView text)
{
    for (QChar ch : text)
        if (EncodeChar(ch) == kReplacement && ch != QLatin1Char(kReplacement))
            return false;
    return true;
}

} // namespace Cp1251
