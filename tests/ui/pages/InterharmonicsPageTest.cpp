#include "ui/widgets/ThreeValuesFrame.h"
#include "ui/widgets/ValueWithUnitFrame.h"
#include "ui/pages/InterharmonicsPage.h"

#include "ui/SpectralPagesSupport.h"

#include <QComboBox>

namespace {

using namespace VDSlot;

// Slot of interharmonic group m of a 49-value array for channel c.
int Slot(int base, int c, int m)
{
    return base + HarmonicCount * c + (m - 1);
}

using InterharmonicsPageTest = spectraltest::TBoundPageTest<TInterharmonicsPage>;

TEST_F(InterharmonicsPageTest, GroupsAreNumberedFromOneAndPhaseTablesHaveTwoColumns)
{
    for (int k = 0; k < 9; ++k) {
        TSpectrumTable *table = Group().Table(k);
        EXPECT_EQ(table->Cell(0, 0), QStringLiteral("m"));
        EXPECT_EQ(table->Cell(0, 1), QStringLiteral("1"));
        EXPECT_EQ(table->Cell(0, 49), QStringLiteral("49"));
    }
    EXPECT_EQ(Group().Table(0)->objectName(), QStringLiteral("ixstrngrdIGarmKuf"));
    EXPECT_EQ(Group().Table(8)->objectName(), QStringLiteral("ixstrngrdIGarmIf"));
    EXPECT_EQ(Group().Table(0)->Cell(1, 0), QStringLiteral("K~U~i~g~(~m~)~A, %"));
    EXPECT_EQ(Group().Table(7)->Cell(2, 0), QStringLiteral("U~i~s~g~(~m~)~B~C, В"));
    EXPECT_EQ(Group().Table(8)->Cell(3, 0), QStringLiteral("I~i~s~g~(~m~)~C, A"));
    for (int k = 3; k <= 5; ++k) {
        TSpectrumTable *table = Group().Table(k);
        const QString phase = QStringList({"A", "B", "C"})[k - 3];
        EXPECT_EQ(table->Cell(1, 0), QStringLiteral("K~U~i~g~(~m~)~") + phase + QStringLiteral(", %"));
        EXPECT_EQ(table->Cell(2, 0), QStringLiteral("K~I~i~g~(~m~)~") + phase + QStringLiteral(", %"));
        EXPECT_EQ(table->Cell(3, 0), QString()) << "not \", \"";
        EXPECT_EQ(table->Cell(2, 7), QStringLiteral("-.--"));
        EXPECT_EQ(table->Cell(3, 7), QString());
    }
    QStringList items;
    for (int k = 0; k < Group().Selector()->count(); ++k)
        items << Group().Selector()->itemText(k);
    EXPECT_EQ(items,
              QStringList({"Ku(m)ф", "Ku(m)мф", "Ki(m)", "Фаза A", "Фаза B", "Фаза C", "U(m)ф", "U(m)мф", "I(m)"}));
    EXPECT_EQ(Chart().Plot()->xAxis->label(), QStringLiteral("Номер интергармоники"));
    EXPECT_EQ(Chart().Series().first()->data()->constBegin()->key, 1);
    EXPECT_EQ((Chart().Series().first()->data()->constEnd() - 1)->key, 49);

    Group().SelectItem(4);
    EXPECT_EQ(ShownSeries(), QStringList({"serUFazaBIG", "serIFazaBIG"}));
    EXPECT_EQ(TSpectrumChart::Color(SeriesNamed("serIFazaBIG")), QColor(0, 0, 255));
    EXPECT_EQ(Chart().ValueTitle(), QStringLiteral("Коэффициент, %"));
    Group().SelectItem(6);
    EXPECT_EQ(ShownSeries(), QStringList({"brsrsSeries_Uig_a", "brsrsSeries_Uig_B", "brsrsSeries_Uig_C"}));
}

TEST_F(InterharmonicsPageTest, GroupValuesAgainstTheirOwnLimitsInCellsBarsAndHints)
{
    // group m is compared with slots 181 + m (normal) and 230 + m (maximum)
    WriteNominals(6000.0f, 10392.0f, 100.0f, {{181 + 5, 0.4f}, {230 + 5, 0.6f}});
    page.RenewHeaders(record);
    for (int c = 0; c < 6; ++c)
        Store(U1 + c, c < 3 ? 6000.0f : 10392.0f);
    for (int c = 0; c < 3; ++c)
        Store(I1 + c, 80.0f);
    Store(Slot(KUm, 0, 5), 0.52f);
    Store(Slot(KUm, 5, 5), 0.65f);
    Store(Slot(KIm, 1, 1), 0.8f);
    Store(Slot(Um, 3, 49), 20.0f);
    Store(Irms + 2, 81.25f);
    RefreshData();

    EXPECT_EQ(Group().Table(0)->Cell(1, 5), QStringLiteral("0,52"));
    EXPECT_EQ(Group().Table(0)->AboutCell(1, 5).FontColor, QColor(255, 0, 0));
    EXPECT_EQ(Group().Table(3)->Cell(1, 5), QStringLiteral("0,52"));
    EXPECT_EQ(Group().Table(1)->Cell(3, 5), QStringLiteral("0,65"));
    EXPECT_EQ(Group().Table(1)->AboutCell(3, 5).FontStyle, fsBold);
    EXPECT_EQ(Group().Table(4)->Cell(2, 1), QStringLiteral("0,80"));
    EXPECT_EQ(Group().Table(4)->Cell(3, 1), QString());
    EXPECT_EQ(Group().Table(7)->Cell(1, 49), QStringLiteral("0,020"));
    EXPECT_EQ(Group().Table(7)->Cell(1, 0), QStringLiteral("U~i~s~g~(~m~)~A~B, кВ"));
    EXPECT_EQ(page.tpfIGarmFazes_I->Param(2)->ValueText(), QStringLiteral("81,250"));
    ExpectFieldsFit();
    EXPECT_DOUBLE_EQ(Bar(SeriesNamed("brsrsSeries_Uig_AB"), 48), 0.02);
    EXPECT_DOUBLE_EQ(Bar(SeriesNamed("serUFazaAIG"), 4), 0.52f);

    ShowPage();
    const auto hint = Chart().HintAt(BarMiddle(SeriesNamed("serUFazaAIG"), 4));
    ASSERT_TRUE(hint.has_value());
    EXPECT_EQ(hint->Text, QStringLiteral("Напряжение. Фаза А\nНомер интергармоники: 5\nЗначение: 0,52%"));
}

} // namespace
