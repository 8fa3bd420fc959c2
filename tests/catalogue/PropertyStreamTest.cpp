#include "catalogue/PropertyStreamText.h"

#include <QByteArray>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace PropertyStream;

namespace {

QByteArray Bytes(const TStreamValue &value)
{
    QByteArray out;
    WriteValue(out, value);
    return out;
}

TStreamComponent OneProperty(const QByteArray &name, TStreamValue value)
{
    TStreamComponent c;
    c.ClassName = "TTest";
    c.Properties.push_back({name, std::move(value)});
    return c;
}

// The text of the single property's value line(s), without the frame.
QByteArray ValueText(const TStreamValue &value)
{
    const QByteArray text = RenderText(OneProperty("P", value));
    const QByteArray head = "object TTest\r\n  P = ";
    const QByteArray tail = "\r\nend\r\n";
    EXPECT_TRUE(text.startsWith(head) && text.endsWith(tail)) << text.constData();
    return text.mid(head.size(), text.size() - head.size() - tail.size());
}

TEST(PropertyStreamValues, IntegersTakeTheSmallestWidth)
{
    EXPECT_EQ(Bytes(Integer(127)), QByteArray::fromHex("027F"));
    EXPECT_EQ(Bytes(Integer(-128)), QByteArray::fromHex("0280"));
    EXPECT_EQ(Bytes(Integer(128)), QByteArray::fromHex("038000"));
    EXPECT_EQ(Bytes(Integer(-129)), QByteArray::fromHex("037FFF"));
    EXPECT_EQ(Bytes(Integer(32767)), QByteArray::fromHex("03FF7F"));
    EXPECT_EQ(Bytes(Integer(32768)), QByteArray::fromHex("0400800000"));
    EXPECT_EQ(Bytes(Integer(-2147483648LL)), QByteArray::fromHex("0400000080"));
    EXPECT_EQ(Bytes(Integer(2147483648LL)), QByteArray::fromHex("130000008000000000"));
}

TEST(PropertyStreamValues, TextsByTheirContent)
{
    EXPECT_EQ(Bytes(Text(u"COM3"_s)), QByteArray::fromHex("0604") + "COM3");
    // All Cyrillic: wide string, count of UTF-16 units then UTF-16LE.
    EXPECT_EQ(Bytes(Text(u"Щит"_s)), QByteArray::fromHex("1203000000"
                                                         "2904"
                                                         "3804"
                                                         "4204"));
    // Latin and Cyrillic mixed: UTF-8 with its byte count.
    const QByteArray mixed = u"ПС-110 kV"_s.toUtf8();
    EXPECT_EQ(Bytes(Text(u"ПС-110 kV"_s)),
              QByteArray::fromHex("14") + char(mixed.size()) + QByteArray(3, '\0') + mixed);
    // Past 255 ASCII bytes: long string with a 4-byte length.
    const QString longText(300, u'a');
    EXPECT_EQ(Bytes(Text(longText)), QByteArray::fromHex("0C2C010000") + QByteArray(300, 'a'));
    EXPECT_EQ(Text(QString(255, u'b')).Tag, vaString);

    for (const QString &t : {u"COM3"_s, u"Щит"_s, u"ПС-110 kV"_s, longText, u"€ и \u4E2D"_s})
        EXPECT_EQ(ToText(Text(t), u"P"_s), t);
}

TEST(PropertyStreamValues, IdentifiersAndTheirOwnTags)
{
    EXPECT_EQ(Bytes(Ident("true")), QByteArray::fromHex("09"));
    EXPECT_EQ(Bytes(Ident("FALSE")), QByteArray::fromHex("08"));
    EXPECT_EQ(Bytes(Ident("Null")), QByteArray::fromHex("00"));
    EXPECT_EQ(Bytes(Ident("NIL")), QByteArray::fromHex("0D"));
    EXPECT_EQ(Bytes(Ident("dtM7")), QByteArray::fromHex("0704") + "dtM7");
    EXPECT_EQ(ToIdent(Ident("tRUe"), u"P"_s), u"True"_s);
    EXPECT_EQ(ToIdent(Ident("nil"), u"P"_s), u"nil"_s);
}

TEST(PropertyStreamValues, ReadersAcceptOnlyTheirTags)
{
    EXPECT_EQ(ToInteger(Integer(-5), u"P"_s), -5);
    EXPECT_THROW(ToInteger(Integer(1LL << 40), u"P"_s), EPropertyStream); // int64 is not read as an integer
    EXPECT_THROW(ToInteger(Text(u"5"_s), u"P"_s), EPropertyStream);
    EXPECT_THROW(ToText(Ident("abc"), u"P"_s), EPropertyStream);
    EXPECT_THROW(ToIdent(Text(u"abc"_s), u"P"_s), EPropertyStream);
    EXPECT_THROW(ToBinary(Integer(1), u"P"_s), EPropertyStream);
    try {
        ToText(Integer(1), u"CustomDevice.Comment"_s);
        FAIL();
    } catch (const EPropertyStream &e) {
        EXPECT_TRUE(e.Message().contains(u"CustomDevice.Comment"_s));
    }
}

TEST(PropertyStreamText, ValuesRender)
{
    EXPECT_EQ(ValueText(Integer(-42)), "-42");
    EXPECT_EQ(ValueText(Ident("cmtDirect232")), "cmtDirect232");
    EXPECT_EQ(ValueText(Ident("true")), "True");
    EXPECT_EQ(ValueText(Text(QString())), "''");
    EXPECT_EQ(ValueText(Text(u"it's"_s)), "'it'#39's'");
    EXPECT_EQ(ValueText(Text(u"a\r\nb"_s)), "'a'#13#10'b'");
    EXPECT_EQ(ValueText(Text(u"Щит 1"_s)), "#1065#1080#1090' 1'");
    EXPECT_EQ(ValueText(List({Integer(1), List({Integer(2)})})), "(\r\n    1\r\n    (\r\n      2))");
    EXPECT_EQ(ValueText(List({})), "()");

    TStreamValue set;
    set.Tag = vaSet;
    set.SetNames = {"akTop", "akLeft"};
    EXPECT_EQ(ValueText(set), "[akTop, akLeft]");
    set.SetNames.clear();
    EXPECT_EQ(ValueText(set), "[]");

    TStreamValue collection;
    collection.Tag = vaCollection;
    EXPECT_EQ(ValueText(collection), "<>");
    TStreamCollectionItem item;
    item.HasIndex = true;
    item.Index = Integer(3);
    item.Properties.push_back({"A", Integer(1)});
    collection.Collection.push_back(item);
    collection.Collection.push_back(TStreamCollectionItem());
    EXPECT_EQ(ValueText(collection), "<\r\n    item [3]\r\n      A = 1\r\n    end\r\n    item\r\n    end>");
}

TEST(PropertyStreamText, BinaryDataOnItsOwnLinesFrom32Bytes)
{
    QByteArray data31(31, '\xAB');
    EXPECT_EQ(ValueText(Binary(data31)), "{" + QByteArray(62, 'A').replace("AA", "AB") + "}");
    EXPECT_EQ(ValueText(Binary(QByteArray())), "{}");
    QByteArray data32(32, '\x01');
    EXPECT_EQ(ValueText(Binary(data32)), "{\r\n    " + QByteArray("01").repeated(32) + "}");
    QByteArray data33(33, '\x0F');
    EXPECT_EQ(ValueText(Binary(data33)), "{\r\n    " + QByteArray("0F").repeated(32) + "\r\n    0F}");
}

TEST(PropertyStreamText, LongTextsWrapEvery64Characters)
{
    const QString sixtyFour(64, u'x');
    EXPECT_EQ(ValueText(Text(sixtyFour)), "'" + QByteArray(64, 'x') + "'");

    const QString seventy(70, u'y');
    EXPECT_EQ(ValueText(Text(seventy)), "\r\n    '" + QByteArray(64, 'y') + "' +\r\n    '" + QByteArray(6, 'y') + "'");

    // Codes count as one character each.
    QString withCodes = QString(63, u'z') + u'\n' + QString(3, u'z');
    EXPECT_EQ(ValueText(Text(withCodes)), "\r\n    '" + QByteArray(63, 'z') + "'#10 +\r\n    'zzz'");

    const QString cyrillic(65, u'Ж');
    const QByteArray expected = "\r\n    " + QByteArray("#1046").repeated(64) + " +\r\n    #1046";
    EXPECT_EQ(ValueText(Text(cyrillic)), expected);

    for (const QString &t : {seventy, withCodes, cyrillic, QString(200, u'q')}) {
        const TStreamComponent c = OneProperty("P", Text(t));
        EXPECT_EQ(TextToBinary(RenderText(c)), WriteComponent(c));
    }
}

TEST(PropertyStreamText, ReadingIgnoresKeywordCaseAndLayout)
{
    const QByteArray text = "OBJECT x: TThing\n"
                            "  Some.Dotted.Name = 5\n"
                            "  Flag = TRUE\n"
                            "  Str = 'a' +\n   'b'#33\n"
                            "  Str2 = 'it''s'\n"
                            "  Coll = < ITEM [2] A = 1 End item end >\n"
                            "  Data = { 0a0B\n 0c }\n"
                            "  Neg = -129\n"
                            "  Inner = ( 1 ( 2 3 ) )\n"
                            "  Set = [ a , b ]\n"
                            "  inline Child: TKid\n"
                            "  eNd\n"
                            "END\n";
    const TStreamComponent c = ParseText(text);
    EXPECT_EQ(c.ClassName, "TThing");
    EXPECT_EQ(c.ObjectName, "x");
    ASSERT_EQ(c.Properties.size(), 9u);
    EXPECT_EQ(c.Properties[0].Name, "Some.Dotted.Name");
    EXPECT_EQ(c.Properties[0].Value.Tag, vaInt8);
    EXPECT_EQ(c.Properties[1].Value.Tag, vaTrue);
    EXPECT_EQ(DecodeText(c.Properties[2].Value), u"ab!"_s);
    EXPECT_EQ(DecodeText(c.Properties[3].Value), u"it's"_s);
    const TStreamValue &coll = c.Properties[4].Value;
    ASSERT_EQ(coll.Collection.size(), 2u);
    EXPECT_TRUE(coll.Collection[0].HasIndex);
    EXPECT_EQ(coll.Collection[0].Index.Integer, 2);
    EXPECT_FALSE(coll.Collection[1].HasIndex);
    EXPECT_EQ(c.Properties[5].Value.Bytes, QByteArray::fromHex("0A0B0C"));
    EXPECT_EQ(c.Properties[6].Value.Tag, vaInt16);
    EXPECT_EQ(c.Properties[7].Value.Items.size(), 2u);
    EXPECT_EQ(c.Properties[8].Value.SetNames.size(), 2u);
    ASSERT_EQ(c.Children.size(), 1u);
    EXPECT_EQ(c.Children[0].ClassName, "TKid");
}

TEST(PropertyStreamText, EveryTagSurvivesBinaryTextBinary)
{
    TStreamComponent c;
    c.ClassName = "TAll";
    c.ObjectName = "Named";
    auto add = [&](const char *name, TStreamValue v) { c.Properties.push_back({name, std::move(v)}); };
    add("I8", Integer(-7));
    add("I16", Integer(1000));
    add("I32", Integer(-100000));
    add("I64", Integer(-(1LL << 40)));
    TStreamValue ext;
    ext.Tag = vaExtended;
    ext.Bytes = LongDoubleToExtended(0.1L);
    add("Ext", ext);
    TStreamValue extWhole;
    extWhole.Tag = vaExtended;
    extWhole.Bytes = LongDoubleToExtended(2.0L);
    add("ExtWhole", extWhole);
    TStreamValue extHuge;
    extHuge.Tag = vaExtended;
    extHuge.Bytes = LongDoubleToExtended(-1.5e300L);
    add("ExtHuge", extHuge);
    TStreamValue single;
    single.Tag = vaSingle;
    const float f = 3.25f;
    single.Bytes = QByteArray(reinterpret_cast<const char *>(&f), 4);
    add("Single", single);
    TStreamValue date;
    date.Tag = vaDate;
    const double d = 45000.123456789;
    date.Bytes = QByteArray(reinterpret_cast<const char *>(&d), 8);
    add("Date", date);
    TStreamValue currency;
    currency.Tag = vaCurrency;
    currency.Integer = -123456789;
    add("Cur", currency);
    add("Str", Text(u"plain"_s));
    add("LStr", Text(QString(400, u'L')));
    add("WStr", Text(u"Кириллица"_s));
    add("U8", Text(u"Смесь mix"_s));
    add("Id", Ident("SomeIdent"));
    add("F", Ident("False"));
    add("T", Ident("True"));
    add("Nil", Ident("nil"));
    add("Null", Ident("Null"));
    add("Bin", Binary(QByteArray::fromHex("00FF10")));
    add("BigBin", Binary(QByteArray(100, '\x5A')));
    TStreamValue set;
    set.Tag = vaSet;
    set.SetNames = {"a", "b"};
    add("Set", set);
    add("List", List({Integer(1), Text(u"x"_s), List({Ident("y")})}));
    TStreamValue coll;
    coll.Tag = vaCollection;
    TStreamCollectionItem item;
    item.HasIndex = true;
    item.Index = Integer(300);
    item.Properties.push_back({"Inner", List({})});
    coll.Collection.push_back(item);
    add("Coll", coll);
    TStreamComponent child;
    child.ClassName = "TChild";
    child.Properties.push_back({"X", Integer(1)});
    c.Children.push_back(child);

    const QByteArray binary = WriteComponent(c);
    const QByteArray text = BinaryToText(binary);
    EXPECT_EQ(TextToBinary(text), binary) << text.constData();
    EXPECT_EQ(WriteComponent(ReadComponent(binary)), binary);
    EXPECT_EQ(ExtendedToLongDouble(LongDoubleToExtended(0.1L)), 0.1L);
    EXPECT_TRUE(text.contains("Ext = 0.1\r\n"));
    EXPECT_TRUE(text.contains("ExtWhole = 2.0\r\n"));
    EXPECT_TRUE(text.contains("Single = 3.25s\r\n"));
    EXPECT_TRUE(text.contains("Cur = -12345.6789c\r\n"));
    EXPECT_TRUE(text.contains("object Named: TAll\r\n"));
    EXPECT_TRUE(text.contains("  object TChild\r\n    X = 1\r\n  end\r\n"));
}

TEST(PropertyStreamText, NonNumbersCannotBeRendered)
{
    TStreamValue nan;
    nan.Tag = vaExtended;
    nan.Bytes = LongDoubleToExtended(std::numeric_limits<long double>::quiet_NaN());
    EXPECT_THROW(RenderText(OneProperty("P", nan)), EPropertyStream);
}

// --- Malformed input ---------------------------------------------------------------

TStreamComponent RichComponent()
{
    TStreamComponent c;
    c.ClassName = "TRich";
    c.Properties.push_back({"A", Integer(100000)});
    c.Properties.push_back({"B", Text(u"Текст"_s)});
    c.Properties.push_back({"C", List({Integer(1), Binary(QByteArray(40, 'x'))})});
    TStreamValue coll;
    coll.Tag = vaCollection;
    TStreamCollectionItem item;
    item.HasIndex = true;
    item.Index = Integer(1);
    item.Properties.push_back({"D", Text(QString(300, u'q'))});
    coll.Collection.push_back(item);
    c.Properties.push_back({"E", coll});
    TStreamValue set;
    set.Tag = vaSet;
    set.SetNames = {"s1"};
    c.Properties.push_back({"F", set});
    return c;
}

TEST(PropertyStreamMalformed, EveryTruncationOfABlockFails)
{
    const QByteArray binary = WriteComponent(RichComponent());
    for (qsizetype length = 0; length < binary.size(); ++length) {
        // A detached copy, so the sanitizer sees any read past the end.
        const QByteArray cut(binary.constData(), length);
        EXPECT_THROW(ReadComponent(cut), EPropertyStream) << length;
        qsizetype consumed = 0;
        EXPECT_THROW(ReadComponent(cut, &consumed), EPropertyStream) << length;
    }
    EXPECT_NO_THROW(ReadComponent(binary));
}

TEST(PropertyStreamMalformed, EveryTruncationOfTheTextFails)
{
    const QByteArray text = RenderText(RichComponent());
    // Cutting inside the trailing "end\r\n" or right after it is the only
    // way to keep a complete document.
    const qsizetype lastEnd = text.lastIndexOf("end");
    for (qsizetype length = 0; length < lastEnd + 3; ++length)
        EXPECT_THROW(ParseText(QByteArray(text.constData(), length)), EPropertyStream) << length;
    EXPECT_NO_THROW(ParseText(text));
}

TEST(PropertyStreamMalformed, BadTagsLengthsAndSignatures)
{
    EXPECT_THROW(ReadComponent("TPF1"), EPropertyStream);
    EXPECT_THROW(ReadComponent("object TX\r\nend\r\n"), EPropertyStream);
    const QByteArray head = QByteArray("TPF0") + char(1) + 'T' + char(0) + char(1) + 'P';
    EXPECT_THROW(ReadComponent(head + char(21) + QByteArray(2, '\0')), EPropertyStream); // unknown tag
    EXPECT_THROW(ReadComponent(head + char(0xFF) + QByteArray(2, '\0')), EPropertyStream);
    // A length that claims far more than there is.
    EXPECT_THROW(ReadComponent(head + QByteArray::fromHex("0AFFFFFFFF00") + QByteArray(2, '\0')), EPropertyStream);
    EXPECT_THROW(ReadComponent(head + QByteArray::fromHex("12FFFFFF7F41") + QByteArray(2, '\0')), EPropertyStream);
    // A collection item that is not a list.
    EXPECT_THROW(ReadComponent(head + QByteArray::fromHex("0E0205020000") + QByteArray(2, '\0')), EPropertyStream);
    // Extra bytes after the block.
    const QByteArray good = head + QByteArray::fromHex("0201") + QByteArray(2, '\0');
    EXPECT_NO_THROW(ReadComponent(good));
    EXPECT_THROW(ReadComponent(good + 'x'), EPropertyStream);
    qsizetype consumed = 0;
    EXPECT_NO_THROW(ReadComponent(good + 'x', &consumed));
    EXPECT_EQ(consumed, good.size());
}

TEST(PropertyStreamMalformed, DeepNestingIsRefusedNotRecursedInto)
{
    const QByteArray head = QByteArray("TPF0") + char(1) + 'T' + char(0) + char(1) + 'P';
    const QByteArray deepBinary = head + QByteArray(100000, char(vaList));
    EXPECT_THROW(ReadComponent(deepBinary), EPropertyStream);
    const QByteArray deepText = "object T\r\n  P = " + QByteArray(100000, '(');
    EXPECT_THROW(ParseText(deepText), EPropertyStream);
}

TEST(PropertyStreamMalformed, TextSyntaxErrorsNameTheLine)
{
    const char *bad[] = {
        "",
        "objekt T\r\nend\r\n",
        "object T\r\n  P 5\r\nend\r\n",
        "object T\r\n  P = 'open\r\nend\r\n",
        "object T\r\n  P = {ABC}\r\nend\r\n",
        "object T\r\n  P = {GG}\r\nend\r\n",
        "object T\r\n  P = 99999999999999999999\r\nend\r\n",
        "object T\r\n  P = #70000\r\nend\r\n",
        "object T\r\n  P = 'a' +\r\nend\r\n",
        "object T\r\n  P = 1.\r\nend\r\n",
        "object T\r\n  P = 12abc\r\nend\r\n",
        "object T\r\n  P = <item P = 1>\r\nend\r\n",
        "object T\r\n  P = [a,]\r\nend\r\n",
        "object T\r\n  P = ?\r\nend\r\n",
        "object T\r\n  P = 1\r\nend\r\nextra",
        "object T\r\n  P. = 1\r\nend\r\n",
        "object T\r\n  P = (1 Null 2)\r\nend\r\n",
    };
    for (const char *text : bad)
        EXPECT_THROW(ParseText(QByteArray(text)), EPropertyStream) << text;
    // Names are short strings in the binary form.
    EXPECT_THROW(ParseText("object " + QByteArray(300, 'A') + "\r\nend\r\n"), EPropertyStream);
    EXPECT_THROW(ParseText("object T\r\n  " + QByteArray(300, 'P') + " = 1\r\nend\r\n"), EPropertyStream);
    try {
        ParseText("object T\r\n  A = 1\r\n  P = ?\r\nend\r\n");
        FAIL();
    } catch (const EPropertyStream &e) {
        EXPECT_TRUE(e.Message().contains(u"строка 3"_s)) << e.what();
    }
}

TEST(PropertyStreamMalformed, RandomBytesNeverCrashEitherReader)
{
    // A fixed linear congruential sequence: repeatable, no time involved.
    quint32 seed = 12345;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return quint8(seed >> 16);
    };
    const QByteArray valid = WriteComponent(RichComponent());
    const QByteArray validText = RenderText(RichComponent());
    for (int round = 0; round < 2000; ++round) {
        QByteArray mutated = valid;
        QByteArray mutatedText = validText;
        for (int flips = 0; flips < 1 + round % 4; ++flips) {
            mutated[next() % mutated.size()] = char(next());
            mutatedText[(next() << 8 | next()) % mutatedText.size()] = char(next());
        }
        try {
            ReadComponent(mutated);
        } catch (const EPropertyStream &) {
        }
        try {
            ParseText(mutatedText);
        } catch (const EPropertyStream &) {
        }
    }
}

} // namespace
