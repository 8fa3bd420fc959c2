#include "ui/ValueFormat.h"

#include <QLocale>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

const QLocale kRussian(QLocale::Russian, QLocale::Russia);
const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);

TEST(FormatNumber, UsesTheLocaleSeparatorAndNoGrouping)
{
    EXPECT_EQ(TFormatUtilities::FormatNumber(220.5, 2, kRussian), QStringLiteral("220,50"));
    EXPECT_EQ(TFormatUtilities::FormatNumber(12345.678, 1, kRussian), QStringLiteral("12345,7"));
    EXPECT_EQ(TFormatUtilities::FormatNumber(12345678.25, 2, kEnglish), QStringLiteral("12345678.25"));
    EXPECT_EQ(TFormatUtilities::FormatNumber(57.735f, 3, kRussian), QStringLiteral("57,735"));
    EXPECT_EQ(TFormatUtilities::FormatNumber(6.0123, 4, kRussian), QStringLiteral("6,0123"));
}

TEST(FormatNumber, DefaultLocaleIsTheProgramOne)
{
    const QLocale saved;
    QLocale::setDefault(kRussian);
    EXPECT_EQ(TFormatUtilities::FormatNumber(-1.5, 2), QStringLiteral("-1,50"));
    QLocale::setDefault(saved);
}

TEST(FormatNumber, SignZeroAndRounding)
{
    EXPECT_EQ(TFormatUtilities::FormatNumber(-250.125, 1, kRussian), QStringLiteral("-250,1"));
    EXPECT_EQ(TFormatUtilities::FormatNumber(0.0, 2, kRussian), QStringLiteral("0,00"));
    // a tiny negative value rounds to zero and must not read as negative
    EXPECT_EQ(TFormatUtilities::FormatNumber(-0.001, 2, kRussian), QStringLiteral("0,00"));
    EXPECT_EQ(TFormatUtilities::FormatNumber(-0.0, 1, kRussian), QStringLiteral("0,0"));
    EXPECT_EQ(TFormatUtilities::FormatNumber(-0.4, 0, kRussian), QStringLiteral("0"));
    EXPECT_EQ(TFormatUtilities::FormatNumber(2.5, 0, kRussian), QStringLiteral("3"));
    EXPECT_EQ(TFormatUtilities::FormatNumber(49.996, 2, kRussian), QStringLiteral("50,00"));
}

TEST(FormatNumber, OutOfRangeDecimalsAndSpecialValues)
{
    EXPECT_EQ(TFormatUtilities::FormatNumber(1.25, -3, kRussian), QStringLiteral("1"));
    // never more than 18 decimals, and at most 18 significant digits
    const QString many = TFormatUtilities::FormatNumber(1.5, 40, kRussian);
    EXPECT_EQ(many, QStringLiteral("1,") + QStringLiteral("5") + QString(17, QLatin1Char('0')));
    const QString big = TFormatUtilities::FormatNumber(123456789012.0, 10, kRussian);
    EXPECT_EQ(big, QStringLiteral("123456789012,0000000000"));
    EXPECT_EQ(TFormatUtilities::FormatNumber(std::numeric_limits<double>::quiet_NaN(), 2, kRussian),
              QStringLiteral("NAN"));
    EXPECT_EQ(TFormatUtilities::FormatNumber(std::numeric_limits<double>::infinity(), 2, kRussian),
              QStringLiteral("INF"));
    EXPECT_EQ(TFormatUtilities::FormatNumber(-std::numeric_limits<double>::infinity(), 2, kRussian),
              QStringLiteral("-INF"));
    // beyond 18 integer digits fixed notation would invent digits
    EXPECT_TRUE(TFormatUtilities::FormatNumber(1e25, 2, kRussian).contains(QLatin1Char('E')));
}

TEST(FormatNumber, DigitForDigitWhatTheLocaleWrites)
{
    // the locale's symbols put on the C digits: measured values, exact halves
    // and whole numbers, in both signs
    QLocale plain(kRussian);
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    std::mt19937 random(17);
    std::uniform_real_distribution<double> spread(-30000.0, 30000.0);
    std::vector<double> values = {
        0.125,  2.5,    -2.5, 0.375, 1.0 / 1024, 1e-9,  123456.5,          0.5,          1.5,
        99.995, -0.125, 4.35, -4.35, -0.0,       -1e-7, 999999999.1234565, 2000000000.5, 1125899906.8426245};
    for (int i = 0; i < 3000; ++i) {
        const double v = spread(random);
        values.push_back(v);
        values.push_back(static_cast<float>(v / 1000));
        values.push_back(std::round(v * 8) / 8);
    }
    for (double v : values) {
        for (int decimals = 0; decimals <= 6; ++decimals) {
            QString expected = plain.toString(v, 'f', decimals);
            if (expected.startsWith(u'-') && expected.count(u'0') + expected.count(u',') == expected.size() - 1)
                expected.remove(0, 1);
            ASSERT_EQ(TFormatUtilities::FormatNumber(v, decimals, kRussian), expected) << v << " " << decimals;
        }
    }
}

TEST(UnitPrefix, BoundariesAndCyrillicLetters)
{
    EXPECT_EQ(TFormatUtilities::UnitPrefix(0), QString());
    EXPECT_EQ(TFormatUtilities::UnitPrefix(1), QString());
    EXPECT_EQ(TFormatUtilities::UnitPrefix(999.9), QString());
    EXPECT_EQ(TFormatUtilities::UnitPrefix(1000), QStringLiteral("к"));
    EXPECT_EQ(TFormatUtilities::UnitPrefix(999999), QStringLiteral("к"));
    EXPECT_EQ(TFormatUtilities::UnitPrefix(1000000), QStringLiteral("М"));
    EXPECT_EQ(TFormatUtilities::UnitPrefix(999999999), QStringLiteral("М"));
    EXPECT_EQ(TFormatUtilities::UnitPrefix(1000000000), QStringLiteral("Г"));
    EXPECT_EQ(TFormatUtilities::UnitPrefix(1000).at(0).unicode(), 0x043A);
    EXPECT_EQ(TFormatUtilities::UnitPrefix(1e6).at(0).unicode(), 0x041C);
    EXPECT_EQ(TFormatUtilities::UnitPrefix(1e9).at(0).unicode(), 0x0413);
}

TEST(StatusLook, ColoursWeightsAndLightening)
{
    EXPECT_EQ(TFormatUtilities::StatusColor(0), QColor(0, 0, 0));
    EXPECT_EQ(TFormatUtilities::StatusColor(1), QColor(255, 0, 0));
    EXPECT_EQ(TFormatUtilities::StatusColor(2), QColor(255, 0, 0));
    EXPECT_EQ(TFormatUtilities::StatusColor(3), QColor(0, 0, 255));
    EXPECT_EQ(TFormatUtilities::StatusColor(4), QColor(0, 0, 255));
    EXPECT_EQ(TFormatUtilities::StatusColor(17), QColor(0, 0, 0));
    const bool bold[5] = {false, true, false, false, true};
    for (int s = 0; s < 5; ++s)
        EXPECT_EQ(TFormatUtilities::StatusBold(s), bold[s]) << s;

    // 255 * 0.7 = 178.5 rounds away from zero
    EXPECT_EQ(TFormatUtilities::Lighten(QColor(128, 0, 0), 70), QColor(217, 179, 179));
    EXPECT_EQ(TFormatUtilities::Lighten(QColor(128, 128, 0), 55), QColor(198, 198, 140));
    EXPECT_EQ(TFormatUtilities::Lighten(QColor(10, 20, 30), 0), QColor(10, 20, 30));
    EXPECT_EQ(TFormatUtilities::Lighten(QColor(10, 20, 30), 100), QColor(255, 255, 255));
}

} // namespace
