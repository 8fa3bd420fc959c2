#include "catalogue/PropertyStreamText.h"

#include "common/Cp1251.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

using namespace Qt::StringLiterals;

namespace PropertyStream {

namespace {

constexpr int kTextLineLength = 64;   // characters of a text per line
constexpr int kBinaryLineLength = 32; // bytes of binary data per line

// --- Rendering -------------------------------------------------------------------

class TTextRenderer
{
public:
    QByteArray Result() const { return out_; }

    void Component(const TStreamComponent &component, int level)
    {
        Indent(level);
        out_ += "object ";
        if (!component.ObjectName.isEmpty())
            out_ += component.ObjectName + ": ";
        out_ += component.ClassName;
        out_ += "\r\n";
        for (const TStreamProperty &property : component.Properties)
            Property(property, level + 1);
        for (const TStreamComponent &child : component.Children)
            Component(child, level + 1);
        Indent(level);
        out_ += "end\r\n";
    }

private:
    void Indent(int level) { out_.append(2 * level, ' '); }
    void NewLine(int level)
    {
        out_ += "\r\n";
        Indent(level);
    }

    void Property(const TStreamProperty &property, int level)
    {
        Indent(level);
        out_ += property.Name;
        out_ += " = ";
        Value(property.Value, level);
        out_ += "\r\n";
    }

    void Value(const TStreamValue &value, int level)
    {
        switch (value.Tag) {
        case vaList:
            out_ += '(';
            for (const TStreamValue &item : value.Items) {
                NewLine(level + 1);
                Value(item, level + 1);
            }
            out_ += ')';
            break;
        case vaInt8:
        case vaInt16:
        case vaInt32:
        case vaInt64: out_ += QByteArray::number(value.Integer); break;
        case vaExtended: out_ += FloatText(ExtendedToLongDouble(value.Bytes), true); break;
        case vaSingle: {
            float f;
            std::memcpy(&f, value.Bytes.constData(), 4);
            out_ += FloatText(f, false) + 's';
            break;
        }
        case vaDate: {
            double d;
            std::memcpy(&d, value.Bytes.constData(), 8);
            out_ += FloatText(d, false) + 'd';
            break;
        }
        case vaCurrency: out_ += CurrencyText(value.Integer) + 'c'; break;
        case vaString:
        case vaLString: {
            std::vector<quint32> codes;
            for (char c : value.Bytes)
                codes.push_back(quint8(c));
            Text(codes, true, level);
            break;
        }
        case vaWString:
        case vaUTF8String: {
            const QString text = DecodeText(value);
            std::vector<quint32> codes;
            for (QChar c : text)
                codes.push_back(c.unicode());
            Text(codes, false, level);
            break;
        }
        case vaIdent: out_ += value.Bytes; break;
        case vaFalse: out_ += "False"; break;
        case vaTrue: out_ += "True"; break;
        case vaNil: out_ += "nil"; break;
        case vaNull: out_ += "Null"; break;
        case vaBinary: Binary(value.Bytes, level); break;
        case vaSet:
            out_ += '[';
            for (size_t i = 0; i < value.SetNames.size(); ++i) {
                if (i > 0)
                    out_ += ", ";
                out_ += value.SetNames[i];
            }
            out_ += ']';
            break;
        case vaCollection:
            out_ += '<';
            for (const TStreamCollectionItem &item : value.Collection) {
                NewLine(level + 1);
                out_ += "item";
                if (item.HasIndex) {
                    out_ += " [";
                    Value(item.Index, level + 1);
                    out_ += ']';
                }
                out_ += "\r\n";
                for (const TStreamProperty &property : item.Properties)
                    Property(property, level + 2);
                Indent(level + 1);
                out_ += "end";
            }
            out_ += '>';
            break;
        }
    }

    void Binary(const QByteArray &data, int level)
    {
        out_ += '{';
        const bool multiLine = data.size() >= kBinaryLineLength;
        for (qsizetype start = 0; start < data.size(); start += kBinaryLineLength) {
            if (multiLine)
                NewLine(level + 1);
            out_ += data.mid(start, kBinaryLineLength).toHex().toUpper();
        }
        out_ += '}';
    }

    // Printable runs in apostrophes, everything else as #code; long texts
    // start on a line of their own and wrap every 64 characters with " +".
    void Text(const std::vector<quint32> &codes, bool rawUpperHalf, int level)
    {
        const qsizetype length = qsizetype(codes.size());
        if (length == 0) {
            out_ += "''";
            return;
        }
        const int nested = level + 1;
        if (length > kTextLineLength)
            NewLine(nested);
        auto printable = [&](quint32 code) {
            return code >= 32 && code != 127 && code != '\'' && (rawUpperHalf || code < 127);
        };
        qsizetype i = 0;
        qsizetype lineStart = 0;
        while (i < length) {
            bool lineBreak = false;
            if (printable(codes[i])) {
                const qsizetype runStart = i;
                do
                    ++i;
                while (i < length && printable(codes[i]) && (i - lineStart) < kTextLineLength);
                if (i - lineStart >= kTextLineLength)
                    lineBreak = true;
                out_ += '\'';
                for (qsizetype j = runStart; j < i; ++j)
                    out_ += char(codes[j]);
                out_ += '\'';
            } else {
                out_ += '#';
                out_ += QByteArray::number(codes[i]);
                ++i;
                if (i - lineStart >= kTextLineLength)
                    lineBreak = true;
            }
            if (lineBreak && i < length) {
                out_ += " +";
                NewLine(nested);
                lineStart = i;
            }
        }
    }

    template <class Float>
    static QByteArray FloatText(Float value, bool markAsFloat)
    {
        if (!std::isfinite(value))
            throw EPropertyStream(u"Значение с плавающей точкой не является числом"_s);
        char buffer[64];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
        std::string text(buffer, result.ptr);
        // "1e+20" -> "1E20", "1e-05" -> "1E-5"
        const size_t e = text.find('e');
        if (e != std::string::npos) {
            std::string mantissa = text.substr(0, e);
            std::string exponent = text.substr(e + 1);
            bool negative = false;
            if (!exponent.empty() && (exponent[0] == '+' || exponent[0] == '-')) {
                negative = exponent[0] == '-';
                exponent.erase(0, 1);
            }
            while (exponent.size() > 1 && exponent[0] == '0')
                exponent.erase(0, 1);
            text = mantissa + "E" + (negative ? "-" : "") + exponent;
        } else if (markAsFloat && text.find('.') == std::string::npos) {
            text += ".0"; // otherwise it would read back as an integer
        }
        return QByteArray::fromStdString(text);
    }

    static QByteArray CurrencyText(qint64 scaled)
    {
        const bool negative = scaled < 0;
        const quint64 magnitude = negative ? quint64(0) - quint64(scaled) : quint64(scaled);
        QByteArray text = QByteArray::number(magnitude / 10000);
        QByteArray fraction = QByteArray::number(magnitude % 10000).rightJustified(4, '0');
        while (fraction.endsWith('0'))
            fraction.chop(1);
        if (!fraction.isEmpty())
            text += '.' + fraction;
        return negative ? '-' + text : text;
    }

    QByteArray out_;
};

// --- Parsing ---------------------------------------------------------------------

bool IsIdentStart(QChar c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_';
}

bool IsIdentChar(QChar c)
{
    return IsIdentStart(c) || (c >= u'0' && c <= u'9');
}

bool IsDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

class TTextParser
{
public:
    explicit TTextParser(QByteArrayView text) : text_(Cp1251::Decode(text)) {}

    TStreamComponent Document()
    {
        TStreamComponent component = Object();
        SkipBlanks();
        if (pos_ < text_.size())
            Fail(u"лишний текст после конца объекта"_s);
        return component;
    }

private:
    struct Nest
    {
        explicit Nest(TTextParser &parser) : parser_(parser)
        {
            if (++parser_.depth_ > kMaxNesting)
                parser_.Fail(u"слишком глубокая вложенность"_s);
        }
        ~Nest() { --parser_.depth_; }
        TTextParser &parser_;
    };

    [[noreturn]] void Fail(const QString &what) const
    {
        throw EPropertyStream(u"Ошибка в тексте, строка %1: %2"_s.arg(line_).arg(what));
    }

    [[noreturn]] void Expected(const QString &what) const { Fail(u"ожидалось %1"_s.arg(what)); }

    bool AtEnd() const { return pos_ >= text_.size(); }
    QChar Peek() const { return AtEnd() ? QChar() : text_[pos_]; }

    void SkipBlanks()
    {
        while (!AtEnd() && text_[pos_].unicode() <= ' ') {
            if (text_[pos_] == u'\n')
                ++line_;
            ++pos_;
        }
    }

    void Expect(QChar c)
    {
        SkipBlanks();
        if (Peek() != c)
            Expected(u"\"%1\""_s.arg(c));
        ++pos_;
    }

    QString Identifier()
    {
        SkipBlanks();
        if (!IsIdentStart(Peek()))
            Expected(u"идентификатор"_s);
        const qsizetype start = pos_;
        while (!AtEnd() && IsIdentChar(text_[pos_]))
            ++pos_;
        return text_.mid(start, pos_ - start);
    }

    QString DottedIdentifier()
    {
        QString name = Identifier();
        while (Peek() == u'.') {
            ++pos_;
            if (!IsIdentStart(Peek()))
                Expected(u"идентификатор после точки"_s);
            name += u'.' + Identifier();
        }
        return name;
    }

    // The keyword at the cursor, if it is one of the given (ignoring case);
    // the cursor does not move.
    bool AtKeyword(QStringView keyword)
    {
        SkipBlanks();
        const qsizetype end = pos_ + keyword.size();
        if (end > text_.size())
            return false;
        if (QStringView(text_).mid(pos_, keyword.size()).compare(keyword, Qt::CaseInsensitive) != 0)
            return false;
        return end == text_.size() || !IsIdentChar(text_[end]);
    }

    bool AtObjectKeyword() { return AtKeyword(u"object") || AtKeyword(u"inherited") || AtKeyword(u"inline"); }

    void Keyword(QStringView keyword)
    {
        if (!AtKeyword(keyword))
            Expected(u"\"%1\""_s.arg(keyword));
        pos_ += keyword.size();
    }

    TStreamComponent Object()
    {
        Nest nest(*this);
        if (!AtObjectKeyword())
            Expected(u"\"object\""_s);
        Identifier(); // object / inherited / inline: no distinction is kept
        TStreamComponent component;
        QString first = Identifier();
        SkipBlanks();
        if (Peek() == u':') {
            ++pos_;
            component.ObjectName = first.toLatin1();
            component.ClassName = Identifier().toLatin1();
        } else {
            component.ClassName = first.toLatin1();
        }
        if (component.ClassName.size() > 255 || component.ObjectName.size() > 255)
            Fail(u"слишком длинное имя объекта или класса"_s);
        for (;;) {
            SkipBlanks();
            if (AtEnd())
                Expected(u"\"end\""_s);
            if (AtKeyword(u"end")) {
                pos_ += 3;
                break;
            }
            if (AtObjectKeyword())
                component.Children.push_back(Object());
            else
                component.Properties.push_back(Property());
        }
        return component;
    }

    TStreamProperty Property()
    {
        TStreamProperty property;
        property.Name = DottedIdentifier().toLatin1();
        if (property.Name.size() > 255)
            Fail(u"слишком длинное имя свойства"_s);
        Expect(u'=');
        property.Value = Value();
        return property;
    }

    TStreamValue Value()
    {
        Nest nest(*this);
        SkipBlanks();
        const QChar c = Peek();
        if (c == u'-' || IsDigit(c))
            return Number();
        if (c == u'\'' || c == u'#')
            return Text(StringExpression());
        if (c == u'[')
            return Set();
        if (c == u'(')
            return List();
        if (c == u'{')
            return BinaryData();
        if (c == u'<')
            return Collection();
        if (IsIdentStart(c)) {
            const QByteArray ident = DottedIdentifier().toLatin1();
            if (ident.size() > 255)
                Fail(u"слишком длинный идентификатор"_s);
            return Ident(ident);
        }
        Expected(u"значение"_s);
    }

    TStreamValue Number()
    {
        const qsizetype start = pos_;
        if (Peek() == u'-')
            ++pos_;
        if (!IsDigit(Peek()))
            Expected(u"число"_s);
        bool isFloat = false;
        while (IsDigit(Peek()))
            ++pos_;
        if (Peek() == u'.') {
            isFloat = true;
            ++pos_;
            if (!IsDigit(Peek()))
                Expected(u"цифра после точки"_s);
            while (IsDigit(Peek()))
                ++pos_;
        }
        if (Peek() == u'e' || Peek() == u'E') {
            isFloat = true;
            ++pos_;
            if (Peek() == u'+' || Peek() == u'-')
                ++pos_;
            if (!IsDigit(Peek()))
                Expected(u"порядок числа"_s);
            while (IsDigit(Peek()))
                ++pos_;
        }
        const std::string digits = text_.mid(start, pos_ - start).toStdString();
        char suffix = 0;
        const QChar next = Peek().toLower();
        if (next == u's' || next == u'c' || next == u'd') {
            suffix = char(next.unicode());
            ++pos_;
        }
        if (IsIdentChar(Peek()))
            Fail(u"неверное число"_s);

        const char *first = digits.data();
        const char *last = digits.data() + digits.size();
        if (!isFloat && suffix == 0) {
            qint64 value = 0;
            const auto result = std::from_chars(first, last, value);
            if (result.ec != std::errc() || result.ptr != last)
                Fail(u"целое число вне допустимого диапазона"_s);
            return Integer(value);
        }
        long double value = 0;
        const auto result = std::from_chars(first, last, value);
        if (result.ec != std::errc() || result.ptr != last || !std::isfinite(value))
            Fail(u"число вне допустимого диапазона"_s);
        TStreamValue v;
        switch (suffix) {
        case 's': {
            v.Tag = vaSingle;
            const float f = float(value);
            if (!std::isfinite(f))
                Fail(u"число вне допустимого диапазона"_s);
            v.Bytes = QByteArray(reinterpret_cast<const char *>(&f), 4);
            break;
        }
        case 'd': {
            v.Tag = vaDate;
            const double d = double(value);
            if (!std::isfinite(d))
                Fail(u"число вне допустимого диапазона"_s);
            v.Bytes = QByteArray(reinterpret_cast<const char *>(&d), 8);
            break;
        }
        case 'c': {
            v.Tag = vaCurrency;
            const long double scaled = std::round(value * 10000.0L);
            if (!(std::fabs(scaled) < 9.2e18L))
                Fail(u"число вне допустимого диапазона"_s);
            v.Integer = qint64(scaled);
            break;
        }
        default:
            v.Tag = vaExtended;
            v.Bytes = LongDoubleToExtended(value);
            break;
        }
        return v;
    }

    // 'abc'#13#10'def' + 'ghi' ...
    QString StringExpression()
    {
        QString text = StringPieces();
        for (;;) {
            const qsizetype savedPos = pos_;
            const int savedLine = line_;
            SkipBlanks();
            if (Peek() != u'+') {
                pos_ = savedPos;
                line_ = savedLine;
                return text;
            }
            ++pos_;
            SkipBlanks();
            if (Peek() != u'\'' && Peek() != u'#')
                Expected(u"строка после \"+\""_s);
            text += StringPieces();
        }
    }

    QString StringPieces()
    {
        QString text;
        for (;;) {
            if (Peek() == u'\'') {
                ++pos_;
                for (;;) {
                    if (AtEnd() || Peek() == u'\r' || Peek() == u'\n')
                        Fail(u"незакрытая строка"_s);
                    if (Peek() == u'\'') {
                        if (pos_ + 1 < text_.size() && text_[pos_ + 1] == u'\'') {
                            text += u'\'';
                            pos_ += 2;
                            continue;
                        }
                        ++pos_;
                        break;
                    }
                    text += text_[pos_++];
                }
            } else if (Peek() == u'#') {
                ++pos_;
                if (!IsDigit(Peek()))
                    Expected(u"код символа"_s);
                quint32 code = 0;
                while (IsDigit(Peek())) {
                    code = code * 10 + quint32(Peek().digitValue());
                    if (code > 0xFFFF)
                        Fail(u"код символа вне допустимого диапазона"_s);
                    ++pos_;
                }
                text += QChar(char16_t(code));
            } else {
                return text;
            }
        }
    }

    TStreamValue Set()
    {
        TStreamValue v;
        v.Tag = vaSet;
        Expect(u'[');
        SkipBlanks();
        if (Peek() == u']') {
            ++pos_;
            return v;
        }
        for (;;) {
            const QByteArray name = Identifier().toLatin1();
            if (name.size() > 255)
                Fail(u"слишком длинное имя элемента множества"_s);
            v.SetNames.push_back(name);
            SkipBlanks();
            if (Peek() == u']') {
                ++pos_;
                return v;
            }
            Expect(u',');
        }
    }

    TStreamValue List()
    {
        TStreamValue v;
        v.Tag = vaList;
        Expect(u'(');
        for (;;) {
            SkipBlanks();
            if (AtEnd())
                Expected(u"\")\""_s);
            if (Peek() == u')') {
                ++pos_;
                return v;
            }
            TStreamValue item = Value();
            // In the binary form the Null tag ends a list: as an element it
            // would cut the list short and corrupt what follows.
            if (item.Tag == vaNull)
                Fail(u"Null не может быть элементом списка"_s);
            v.Items.push_back(std::move(item));
        }
    }

    TStreamValue BinaryData()
    {
        Expect(u'{');
        QByteArray hex;
        for (;;) {
            SkipBlanks();
            if (AtEnd())
                Expected(u"\"}\""_s);
            const QChar c = Peek();
            if (c == u'}') {
                ++pos_;
                break;
            }
            const bool hexDigit = IsDigit(c) || (c.toUpper() >= u'A' && c.toUpper() <= u'F');
            if (!hexDigit)
                Expected(u"шестнадцатеричная цифра"_s);
            hex += char(c.unicode());
            ++pos_;
        }
        if (hex.size() % 2 != 0)
            Fail(u"нечетное число шестнадцатеричных цифр"_s);
        return PropertyStream::Binary(QByteArray::fromHex(hex));
    }

    TStreamValue Collection()
    {
        TStreamValue v;
        v.Tag = vaCollection;
        Expect(u'<');
        for (;;) {
            SkipBlanks();
            if (AtEnd())
                Expected(u"\">\""_s);
            if (Peek() == u'>') {
                ++pos_;
                return v;
            }
            Keyword(u"item");
            TStreamCollectionItem item;
            SkipBlanks();
            if (Peek() == u'[') {
                ++pos_;
                SkipBlanks();
                item.Index = Value();
                if (item.Index.Tag != vaInt8 && item.Index.Tag != vaInt16 && item.Index.Tag != vaInt32)
                    Expected(u"номер элемента"_s);
                item.HasIndex = true;
                Expect(u']');
            }
            for (;;) {
                SkipBlanks();
                if (AtEnd())
                    Expected(u"\"end\""_s);
                if (AtKeyword(u"end")) {
                    pos_ += 3;
                    break;
                }
                item.Properties.push_back(Property());
            }
            v.Collection.push_back(std::move(item));
        }
    }

    QString text_;
    qsizetype pos_ = 0;
    int line_ = 1;
    int depth_ = 0;
};

} // namespace

QByteArray RenderText(const TStreamComponent &component)
{
    TTextRenderer renderer;
    renderer.Component(component, 0);
    return renderer.Result();
}

TStreamComponent ParseText(QByteArrayView text)
{
    return TTextParser(text).Document();
}

QByteArray BinaryToText(QByteArrayView binary)
{
    return RenderText(ReadComponent(binary));
}

QByteArray TextToBinary(QByteArrayView text)
{
    return WriteComponent(ParseText(text));
}

} // namespace PropertyStream
