#include "common/Cp1251.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <gtest/gtest.h>

TEST(Cp1251, DecodesEveryByteLikeTheSystemCodec)
{
    QStringDecoder system("windows-1251");
    ASSERT_TRUE(system.isValid());
    for (int b = 0; b < 256; ++b) {
        if (b == 0x98)
            continue; // unassigned in the code page
        const char byte = char(b);
        const QString expected = system.decode(QByteArrayView(&byte, 1));
        EXPECT_EQ(Cp1251::Decode(QByteArrayView(&byte, 1)), expected) << "byte " << b;
    }
}

TEST(Cp1251, RoundTripsEveryAssignedByteAndReplacesTheRest)
{
    for (int b = 0; b < 256; ++b) {
        if (b == 0x98)
            continue;
        const QChar ch = Cp1251::DecodeByte(uchar(b));
        EXPECT_EQ(uchar(Cp1251::EncodeChar(ch)), b) << "byte " << b;
    }
    EXPECT_EQ(Cp1251::Encode(u"Старт программы"),
              QByteArray("\xD1\xF2\xE0\xF0\xF2 \xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xFB"));
    EXPECT_EQ(Cp1251::Encode(u"A\u2013B\u2116"), QByteArray("A\x96"
                                                            "B\xB9"));
    EXPECT_EQ(Cp1251::Encode(u"φδΔ€"), QByteArray("???\x88"));
    EXPECT_FALSE(Cp1251::CanEncode(u"δU"));
    EXPECT_TRUE(Cp1251::CanEncode(u"Ёё?"));
}
