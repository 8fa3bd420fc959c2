#pragma once

// The tagged property stream in which connection lists are saved: a tree of
// component blocks made of named, tagged values. This module holds the value
// tree, the writing rules for integers, texts and identifiers, and the binary
// form; PropertyStreamText renders and parses the equivalent text form.
//
// Values keep their tag and their raw payload, so a block read and written
// again gives the same bytes, and the text form can carry every value one to
// one. Readers take a plain byte span, never read past it and raise
// EPropertyStream for any malformed input.

#include "common/Exceptions.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <vector>

class EPropertyStream : public Exception
{
public:
    using Exception::Exception;
};

enum TValueTag : quint8 {
    vaNull = 0, // end of a list; also the identifier "Null"
    vaList = 1,
    vaInt8 = 2,
    vaInt16 = 3,
    vaInt32 = 4,
    vaExtended = 5,
    vaString = 6,
    vaIdent = 7,
    vaFalse = 8,
    vaTrue = 9,
    vaBinary = 10,
    vaSet = 11,
    vaLString = 12,
    vaNil = 13,
    vaCollection = 14,
    vaSingle = 15,
    vaCurrency = 16,
    vaDate = 17,
    vaWString = 18,
    vaInt64 = 19,
    vaUTF8String = 20,
};
inline constexpr int kLastValueTag = vaUTF8String;

struct TStreamProperty;
struct TStreamCollectionItem;

struct TStreamValue
{
    TValueTag Tag = vaNull;
    // vaInt8..vaInt32, vaInt64, and vaCurrency (value × 10000).
    qint64 Integer = 0;
    // The payload as stored: string bytes (cp1251, UTF-16LE or UTF-8 by tag),
    // identifier, binary data, or the raw bytes of a float (10, 4 or 8).
    QByteArray Bytes;
    std::vector<QByteArray> SetNames;              // vaSet
    std::vector<TStreamValue> Items;               // vaList
    std::vector<TStreamCollectionItem> Collection; // vaCollection

    bool IsInteger() const { return Tag == vaInt8 || Tag == vaInt16 || Tag == vaInt32 || Tag == vaInt64; }
    bool IsText() const { return Tag == vaString || Tag == vaLString || Tag == vaWString || Tag == vaUTF8String; }
    bool IsIdent() const { return Tag == vaIdent || Tag == vaFalse || Tag == vaTrue || Tag == vaNil || Tag == vaNull; }
};

struct TStreamProperty
{
    QByteArray Name;
    TStreamValue Value;
};

struct TStreamCollectionItem
{
    bool HasIndex = false;
    TStreamValue Index; // an integer value when HasIndex
    std::vector<TStreamProperty> Properties;
};

struct TStreamComponent
{
    QByteArray ClassName;
    QByteArray ObjectName;
    std::vector<TStreamProperty> Properties;
    std::vector<TStreamComponent> Children;
};

namespace PropertyStream {

inline constexpr char kSignature[4] = {'T', 'P', 'F', '0'};
// Lists, collections and child components nest; anything deeper than this is
// refused rather than risking the stack on hostile input.
inline constexpr int kMaxNesting = 64;

// --- Building values by the writing rules -----------------------------------
// Smallest of int8, int16, int32; int64 only beyond 32 bits.
TStreamValue Integer(qint64 value);
// ASCII as string (long string past 255 bytes), other texts that are shorter
// in UTF-8 as UTF-8 string, the rest (e.g. all-Cyrillic) as wide string.
TStreamValue Text(const QString &text);
// "False", "True", "Null", "nil" (any case) become their own tags.
TStreamValue Ident(const QByteArray &ident);
TStreamValue Binary(const QByteArray &data);
TStreamValue List(std::vector<TStreamValue> items);

// --- Reading values ----------------------------------------------------------
// Each raises EPropertyStream when the tag is not one of its kind; `what`
// names the property in the message.
qint64 ToInteger(const TStreamValue &value, const QString &what);    // tags 2, 3, 4
QString ToText(const TStreamValue &value, const QString &what);      // tags 6, 12, 18, 20
QString ToIdent(const TStreamValue &value, const QString &what);     // tags 7, 8, 9, 13, 0
QByteArray ToBinary(const TStreamValue &value, const QString &what); // tag 10

// The text of a text value whatever its tag (no check).
QString DecodeText(const TStreamValue &value);

// --- Binary form ---------------------------------------------------------------
QByteArray WriteComponent(const TStreamComponent &component);
void WriteValue(QByteArray &out, const TStreamValue &value);

// Reads one component block starting with the signature. `consumed`, when
// given, receives the block's length and bytes after it are left alone;
// without it, bytes after the block are an error.
TStreamComponent ReadComponent(QByteArrayView data, qsizetype *consumed = nullptr);

// 80-bit extended float payload <-> long double (exact where long double is
// the x87 format, rounded elsewhere).
long double ExtendedToLongDouble(QByteArrayView tenBytes);
QByteArray LongDoubleToExtended(long double value);

} // namespace PropertyStream
