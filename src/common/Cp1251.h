#pragma once

// The single-byte Windows-1251 code page of every text file the program
// reads or writes. Bytes 0x00..0x7F are ASCII; the upper half comes from a
// table of our own so the result never depends on what ICU a system has.
// A character the code page lacks is written as '?'.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace Cp1251 {

constexpr char kReplacement = '?';

QChar DecodeByte(unsigned char byte);
// Returns kReplacement for a character outside the code page.
char EncodeChar(QChar ch);

QString Decode(QByteArrayView bytes);
QByteArray Encode(QStringView text);

// True when every character of the text has a byte of its own.
bool CanEncode(QStringView text);

} // namespace Cp1251
