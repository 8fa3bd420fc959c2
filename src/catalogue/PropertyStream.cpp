#include "catalogue/PropertyStream.h"

#include "common/Cp1251.h"

#include <QtEndian>
#include <cmath>
#include <cstring>
#include <limits>

using namespace Qt::StringLiterals;

namespace PropertyStream {

namespace {

void AppendLE(QByteArray &out, quint64 value, int size)
{
    for (int i = 0; i < size; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

QString TagMismatch(const QString &what)
{
    return u"Неверный тип значения свойства %1"_s.arg(what);
}

} // namespace

// --- Building values ----------------------------------------------------------

TStreamValue Integer(qint64 value)
{
    TStreamValue v;
    v.Integer = value;
    if (value >= -128 && value <= 127)
        v.Tag = vaInt8;
    else if (value >= -32768 && value <= 32767)
        v.Tag = vaInt16;
    else if (value >= std::numeric_limits<qint32>::min() && value <= std::numeric_limits<qint32>::max())
        v.Tag = vaInt32;
    else
        v.Tag = vaInt64;
    return v;
}

TStreamValue Text(const QString &text)
{
    TStreamValue v;
    const QByteArray utf8 = text.toUtf8();
    const QByteArray ansi = Cp1251::Encode(text);
    const qsizetype chars = text.size();
    if (utf8.size() < 2 * chars && utf8 == ansi) {
        v.Tag = ansi.size() <= 255 ? vaString : vaLString;
        v.Bytes = ansi;
    } else if (utf8.size() < 2 * chars) {
        v.Tag = vaUTF8String;
        v.Bytes = utf8;
    } else {
        v.Tag = vaWString;
        v.Bytes.resize(chars * 2);
        for (qsizetype i = 0; i < chars; ++i) {
            const char16_t unit = text[i].unicode();
            v.Bytes[2 * i] = char(unit & 0xFF);
            v.Bytes[2 * i + 1] = char(unit >> 8);
        }
    }
    return v;
}

TStreamValue Ident(const QByteArray &ident)
{
    TStreamValue v;
    const QByteArray lower = ident.toLower();
    if (lower == "false")
        v.Tag = vaFalse;
    else if (lower == "true")
        v.Tag = vaTrue;
    else if (lower == "null")
        v.Tag = vaNull;
    else if (lower == "nil")
        v.Tag = vaNil;
    else {
        v.Tag = vaIdent;
        v.Bytes = ident;
    }
    return v;
}

TStreamValue Binary(const QByteArray &data)
{
    TStreamValue v;
    v.Tag = vaBinary;
    v.Bytes = data;
    return v;
}

TStreamValue List(std::vector<TStreamValue> items)
{
    TStreamValue v;
    v.Tag = vaList;
    v.Items = std::move(items);
    return v;
}

// --- Reading values ------------------------------------------------------------

qint64 ToInteger(const TStreamValue &value, const QString &what)
{
    if (value.Tag != vaInt8 && value.Tag != vaInt16 && value.Tag != vaInt32)
        throw EPropertyStream(TagMismatch(what));
    return value.Integer;
}

QString DecodeText(const TStreamValue &value)
{
    switch (value.Tag) {
    case vaString:
    case vaLString: return Cp1251::Decode(value.Bytes);
    case vaUTF8String: return QString::fromUtf8(value.Bytes);
    case vaWString: {
        QString text(value.Bytes.size() / 2, Qt::Uninitialized);
        for (qsizetype i = 0; i < text.size(); ++i)
            text[i] = QChar(char16_t(quint8(value.Bytes[2 * i]) | (quint8(value.Bytes[2 * i + 1]) << 8)));
        return text;
    }
    default: return {};
    }
}

QString ToText(const TStreamValue &value, const QString &what)
{
    if (!value.IsText())
        throw EPropertyStream(TagMismatch(what));
    return DecodeText(value);
}

QString ToIdent(const TStreamValue &value, const QString &what)
{
    switch (value.Tag) {
    case vaIdent: return QString::fromLatin1(value.Bytes);
    case vaFalse: return u"False"_s;
    case vaTrue: return u"True"_s;
    case vaNil: return u"nil"_s;
    case vaNull: return u"Null"_s;
    default: throw EPropertyStream(TagMismatch(what));
    }
}

QByteArray ToBinary(const TStreamValue &value, const QString &what)
{
    if (value.Tag != vaBinary)
        throw EPropertyStream(TagMismatch(what));
    return value.Bytes;
}

// --- Extended floats ---------------------------------------------------------------

long double ExtendedToLongDouble(QByteArrayView tenBytes)
{
    if (tenBytes.size() != 10)
        return 0.0L;
    const auto *p = reinterpret_cast<const uchar *>(tenBytes.data());
    const quint64 mantissa = qFromLittleEndian<quint64>(p);
    const quint16 signExponent = qFromLittleEndian<quint16>(p + 8);
    const bool negative = (signExponent & 0x8000) != 0;
    const int exponent = signExponent & 0x7FFF;
    long double result;
    if (exponent == 0x7FFF) {
        result = (mantissa << 1) == 0 ? std::numeric_limits<long double>::infinity()
                                      : std::numeric_limits<long double>::quiet_NaN();
    } else {
        // Denormals share the exponent of the smallest normal number.
        const int e = (exponent == 0 ? 1 : exponent) - 16383 - 63;
        result = std::ldexp(static_cast<long double>(mantissa), e);
    }
    return negative ? -result : result;
}

QByteArray LongDoubleToExtended(long double value)
{
    quint64 mantissa = 0;
    quint16 signExponent = std::signbit(value) ? 0x8000 : 0;
    const long double magnitude = std::fabs(value);
    if (std::isnan(value)) {
        signExponent |= 0x7FFF;
        mantissa = 0xC000000000000000ULL;
    } else if (std::isinf(value)) {
        signExponent |= 0x7FFF;
        mantissa = 0x8000000000000000ULL;
    } else if (magnitude != 0.0L) {
        int e = 0;
        const long double fraction = std::frexp(magnitude, &e); // [0.5, 1)
        int biased = e - 1 + 16383;
        if (biased >= 0x7FFF) {
            signExponent |= 0x7FFF;
            mantissa = 0x8000000000000000ULL;
        } else if (biased <= 0) {
            mantissa = static_cast<quint64>(std::ldexp(magnitude, 16382 + 63));
        } else {
            mantissa = static_cast<quint64>(std::ldexp(fraction, 64));
            signExponent |= quint16(biased);
        }
    }
    QByteArray out;
    AppendLE(out, mantissa, 8);
    AppendLE(out, signExponent, 2);
    return out;
}

// --- Binary writer -------------------------------------------------------------

namespace {

void WriteShortString(QByteArray &out, const QByteArray &text)
{
    // Names and identifiers are short strings by format; a longer one cannot
    // occur in what we build, and is cut rather than corrupting the block.
    const QByteArray cut = text.left(255);
    out.append(char(cut.size()));
    out.append(cut);
}

void WriteProperties(QByteArray &out, const std::vector<TStreamProperty> &properties)
{
    for (const TStreamProperty &property : properties) {
        WriteShortString(out, property.Name);
        WriteValue(out, property.Value);
    }
    out.append(char(vaNull));
}

void WriteComponentBody(QByteArray &out, const TStreamComponent &component)
{
    WriteShortString(out, component.ClassName);
    WriteShortString(out, component.ObjectName);
    WriteProperties(out, component.Properties);
    for (const TStreamComponent &child : component.Children)
        WriteComponentBody(out, child);
    out.append(char(vaNull));
}

} // namespace

void WriteValue(QByteArray &out, const TStreamValue &value)
{
    out.append(char(value.Tag));
    switch (value.Tag) {
    case vaNull:
    case vaFalse:
    case vaTrue:
    case vaNil: break;
    case vaList:
        for (const TStreamValue &item : value.Items)
            WriteValue(out, item);
        out.append(char(vaNull));
        break;
    case vaInt8: AppendLE(out, quint64(value.Integer), 1); break;
    case vaInt16: AppendLE(out, quint64(value.Integer), 2); break;
    case vaInt32: AppendLE(out, quint64(value.Integer), 4); break;
    case vaInt64:
    case vaCurrency: AppendLE(out, quint64(value.Integer), 8); break;
    case vaExtended:
    case vaSingle:
    case vaDate: out.append(value.Bytes); break;
    case vaString:
    case vaIdent: WriteShortString(out, value.Bytes); break;
    case vaBinary:
    case vaLString:
    case vaUTF8String:
        AppendLE(out, quint64(value.Bytes.size()), 4);
        out.append(value.Bytes);
        break;
    case vaWString:
        AppendLE(out, quint64(value.Bytes.size() / 2), 4);
        out.append(value.Bytes.left(value.Bytes.size() / 2 * 2));
        break;
    case vaSet:
        for (const QByteArray &name : value.SetNames)
            WriteShortString(out, name);
        out.append(char(0));
        break;
    case vaCollection:
        for (const TStreamCollectionItem &item : value.Collection) {
            if (item.HasIndex)
                WriteValue(out, item.Index);
            out.append(char(vaList));
            WriteProperties(out, item.Properties);
        }
        out.append(char(vaNull));
        break;
    }
}

QByteArray WriteComponent(const TStreamComponent &component)
{
    QByteArray out(kSignature, 4);
    WriteComponentBody(out, component);
    return out;
}

// --- Binary reader -------------------------------------------------------------

namespace {

class TBinaryReader
{
public:
    explicit TBinaryReader(QByteArrayView data) : data_(data) {}

    qsizetype Position() const { return pos_; }

    void ReadSignature()
    {
        if (data_.size() < 4 || std::memcmp(data_.data(), kSignature, 4) != 0)
            throw EPropertyStream(u"Неверная сигнатура блока данных"_s);
        pos_ = 4;
    }

    TStreamComponent ReadComponentBody()
    {
        Nest nest(*this);
        TStreamComponent component;
        component.ClassName = ReadShortString();
        component.ObjectName = ReadShortString();
        ReadPropertiesInto(component.Properties);
        while (PeekByte() != vaNull)
            component.Children.push_back(ReadComponentBody());
        ++pos_;
        return component;
    }

private:
    struct Nest
    {
        explicit Nest(TBinaryReader &reader) : reader_(reader)
        {
            if (++reader_.depth_ > kMaxNesting)
                throw EPropertyStream(u"Слишком глубокая вложенность данных"_s);
        }
        ~Nest() { --reader_.depth_; }
        TBinaryReader &reader_;
    };

    [[noreturn]] void Truncated() const
    {
        throw EPropertyStream(u"Неожиданный конец данных (позиция %1)"_s.arg(data_.size()));
    }

    void Need(qint64 count) const
    {
        if (count < 0 || count > data_.size() - pos_)
            Truncated();
    }

    quint8 PeekByte() const
    {
        Need(1);
        return quint8(data_[pos_]);
    }

    quint8 ReadByte()
    {
        const quint8 b = PeekByte();
        ++pos_;
        return b;
    }

    QByteArray ReadBytes(qint64 count)
    {
        Need(count);
        QByteArray bytes(data_.data() + pos_, qsizetype(count));
        pos_ += qsizetype(count);
        return bytes;
    }

    quint64 ReadLE(int size)
    {
        Need(size);
        quint64 value = 0;
        for (int i = 0; i < size; ++i)
            value |= quint64(quint8(data_[pos_ + i])) << (8 * i);
        pos_ += size;
        return value;
    }

    QByteArray ReadShortString()
    {
        const quint8 length = ReadByte();
        return ReadBytes(length);
    }

    void ReadPropertiesInto(std::vector<TStreamProperty> &properties)
    {
        while (PeekByte() != vaNull) {
            TStreamProperty property;
            property.Name = ReadShortString();
            property.Value = ReadValue();
            properties.push_back(std::move(property));
        }
        ++pos_;
    }

    TStreamValue ReadValue()
    {
        Nest nest(*this);
        const qsizetype tagPosition = pos_;
        TStreamValue value;
        const quint8 tag = ReadByte();
        if (tag > kLastValueTag)
            throw EPropertyStream(u"Неизвестный тип значения %1 (позиция %2)"_s.arg(tag).arg(tagPosition));
        value.Tag = TValueTag(tag);
        switch (value.Tag) {
        case vaNull:
        case vaFalse:
        case vaTrue:
        case vaNil: break;
        case vaList:
            while (PeekByte() != vaNull)
                value.Items.push_back(ReadValue());
            ++pos_;
            break;
        case vaInt8: value.Integer = qint8(ReadLE(1)); break;
        case vaInt16: value.Integer = qint16(ReadLE(2)); break;
        case vaInt32: value.Integer = qint32(ReadLE(4)); break;
        case vaInt64:
        case vaCurrency: value.Integer = qint64(ReadLE(8)); break;
        case vaExtended: value.Bytes = ReadBytes(10); break;
        case vaSingle: value.Bytes = ReadBytes(4); break;
        case vaDate: value.Bytes = ReadBytes(8); break;
        case vaString:
        case vaIdent: value.Bytes = ReadShortString(); break;
        case vaBinary:
        case vaLString:
        case vaUTF8String: value.Bytes = ReadBytes(qint64(ReadLE(4))); break;
        case vaWString: value.Bytes = ReadBytes(2 * qint64(ReadLE(4))); break;
        case vaSet:
            for (;;) {
                QByteArray name = ReadShortString();
                if (name.isEmpty())
                    break;
                value.SetNames.push_back(std::move(name));
            }
            break;
        case vaCollection:
            while (PeekByte() != vaNull) {
                TStreamCollectionItem item;
                const quint8 next = PeekByte();
                if (next == vaInt8 || next == vaInt16 || next == vaInt32) {
                    item.HasIndex = true;
                    item.Index = ReadValue();
                }
                const qsizetype listPosition = pos_;
                if (ReadByte() != vaList)
                    throw EPropertyStream(u"Ожидался элемент коллекции (позиция %1)"_s.arg(listPosition));
                ReadPropertiesInto(item.Properties);
                value.Collection.push_back(std::move(item));
            }
            ++pos_;
            break;
        }
        return value;
    }

    QByteArrayView data_;
    qsizetype pos_ = 0;
    int depth_ = 0;
};

} // namespace

TStreamComponent ReadComponent(QByteArrayView data, qsizetype *consumed)
{
    TBinaryReader reader(data);
    reader.ReadSignature();
    TStreamComponent component = reader.ReadComponentBody();
    if (consumed)
        *consumed = reader.Position();
    else if (reader.Position() != data.size())
        throw EPropertyStream(u"Лишние данные после конца блока (позиция %1)"_s.arg(reader.Position()));
    return component;
}

} // namespace PropertyStream
