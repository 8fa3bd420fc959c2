#include "ui/widgets/ThreeValuesFrame.h"
#include "ui/widgets/ValueWithUnitFrame.h"
#include "ui/pages/HarmonicsPage.h"
#include "ui/ScaleSpinEdit.h"
#include "ui/charts/SpectrumTable.h"

#include "ui/SpectralPagesSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QHelpEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

namespace {

using namespace VDSlot;

const QColor kYellow(255, 255, 0), kGreen(0, 128, 0), kRed(255, 0, 0), kBlue(0, 0, 255);
const QColor kPhaseA(230, 205, 43);

// Slot of order n of a 49-value array for channel c.
int Order(int base, int c, int n)
{
    return base + HarmonicCount * c + (n - 2);
}

class HarmonicsPageTest : public spectraltest::TBoundPageTest<THarmonicsPage>
{
protected:
    // Nominals 57.7 V / 100 V / 5 A; Ku(n) limits of orders 5, 7 and 11
    // (normal / maximum): 6 / 9, 5 / 7.5, 3.5 / 5.25.
    void WriteLowVoltageNominals()
    {
        WriteNominals(
            57.7f, 100.0f, 5.0f,
            {{81 + 5, 6.0f}, {131 + 5, 9.0f}, {81 + 7, 5.0f}, {131 + 7, 7.5f}, {81 + 11, 3.5f}, {131 + 11, 5.25f}});
        for (int c = 0; c < 6; ++c)
            Store(U1 + c, c < 3 ? 57.7f : 100.0f);
        for (int c = 0; c < 3; ++c)
            Store(I1 + c, 5.0f);
    }

    TSpectrumTable *Table(const char *name) { return page.findChild<TSpectrumTable *>(QLatin1String(name)); }
};

TEST_F(HarmonicsPageTest, TablesAreNumberedHeadedAndEmptyAtTheStart)
{
    const char *names[9] = {"ixstrgrdGarmKuf",   "ixstrgrdGarmKumf",  "ixstrgrdGarmKi",
                            "ixstrgrdGarmFazaA", "ixstrgrdGarmFazaB", "ixstrgrdGarmFazaC",
                            "ixstrgrdGarmUf",    "ixstrgrdGarmUmf",   "ixstrgrdGarmI"};
    const QColor face = TParamsControlsManager::ChannelBackground(0);
    for (int k = 0; k < 9; ++k) {
        TSpectrumTable *table = Table(names[k]);
        ASSERT_NE(table, nullptr) << names[k];
        EXPECT_EQ(table, Group().Table(k));
        EXPECT_EQ(table->ColCount(), 4);
        EXPECT_EQ(table->RowCount(), 50);
        EXPECT_EQ(table->FixedCols(), 1);
        EXPECT_EQ(table->FixedRows(), 1);
        EXPECT_TRUE(table->IndexedDrawing());
        EXPECT_FALSE(table->DefaultDrawing());
        EXPECT_EQ(QList<int>({table->ColWidth(0), table->ColWidth(1), table->ColWidth(2), table->ColWidth(3)}),
                  QList<int>({22, 72, 72, 72}));
        EXPECT_EQ(table->RowHeight(49), 24);
        EXPECT_EQ(table->Cell(0, 0), QStringLiteral("n"));
        for (int r = 1; r < 50; ++r) {
            EXPECT_EQ(table->Cell(0, r), QString::number(r + 1));
            EXPECT_EQ(table->AboutCell(0, r).BrushColor, face);
            for (int c = 1; c < 4; ++c)
                EXPECT_EQ(table->Cell(c, r), QStringLiteral("-.--"));
        }
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(table->AboutCell(c, 0).BrushColor, face);
    }
    // headers without a prefix until the nominals are known
    EXPECT_EQ(Table("ixstrgrdGarmKuf")->Cell(1, 0), QStringLiteral("K~U~(~n~)~A, %"));
    EXPECT_EQ(Table("ixstrgrdGarmKumf")->Cell(3, 0), QStringLiteral("K~U~(~n~)~C~A, %"));
    EXPECT_EQ(Table("ixstrgrdGarmFazaB")->Cell(3, 0), QStringLiteral("@j~U~I~(~n~)~B, °"));
    EXPECT_EQ(Table("ixstrgrdGarmUmf")->Cell(2, 0), QStringLiteral("U~s~g~(~n~)~B~C, В"));
    EXPECT_EQ(Table("ixstrgrdGarmI")->Cell(1, 0), QStringLiteral("I~s~g~(~n~)~A, A"));

    QStringList items;
    for (int k = 0; k < Group().Selector()->count(); ++k)
        items << Group().Selector()->itemText(k);
    EXPECT_EQ(items,
              QStringList({"Ku(n)ф", "Ku(n)мф", "Ki(n)", "Фаза A", "Фаза B", "Фаза C", "U(n)ф", "U(n)мф", "I(n)"}));
    EXPECT_EQ(Group().CurrentItem(), 0);
    EXPECT_EQ(Group().FrontTable(), Table("ixstrgrdGarmKuf"));
    EXPECT_EQ(ShownSeries(), QStringList({"serUFazaA", "serUFazaB", "serUFazaC"}));
    EXPECT_EQ(Group().ScaleEdit()->value(), 10);
    EXPECT_EQ(Chart().ValueMaximum(), 10);
    EXPECT_EQ(Chart().ValueTitle(), QStringLiteral("К"));

    // the chart: 18 series of 49 bars at orders 2..50, none in a legend
    ASSERT_EQ(Chart().Series().size(), 18);
    for (const QCPBars *bars : Chart().Series()) {
        ASSERT_EQ(bars->data()->size(), 49);
        EXPECT_EQ(bars->data()->constBegin()->key, 2);
        EXPECT_EQ((bars->data()->constEnd() - 1)->key, 50);
    }
    EXPECT_EQ(Chart().Plot()->xAxis->range(), QCPRange(0, 50));
    EXPECT_EQ(Chart().Plot()->xAxis->label(), QStringLiteral("Номер гармоники"));
    EXPECT_FALSE(Chart().Plot()->legend->visible());
    EXPECT_EQ(SeriesNamed("serUFazaCA")->name(), QStringLiteral("Коэффициент несинусоидальности напряжение. Фаза СА"));
    EXPECT_EQ(SeriesNamed("brsrsSeries_I_B")->name(), QStringLiteral("I. Фаза В"));
    EXPECT_EQ(SeriesNamed("brsrsSeries_I_B")->name().back().unicode(), 0x0412); // Cyrillic В
    EXPECT_EQ(TSpectrumChart::Color(SeriesNamed("serIFazaA")), kYellow);
    EXPECT_EQ(TSpectrumChart::Color(SeriesNamed("serUFazaBC")), kGreen);
    EXPECT_EQ(TSpectrumChart::Color(SeriesNamed("brsrsSeries_U_C")), kRed);
}

TEST_F(HarmonicsPageTest, SelectorShowsTheSeriesAndColoursOfEachItem)
{
    struct TExpected
    {
        const char *table;
        QStringList shown;
    };
    const TExpected expected[9] = {
        {"ixstrgrdGarmKuf", {"serUFazaA", "serUFazaB", "serUFazaC"}},
        {"ixstrgrdGarmKumf", {"serUFazaAB", "serUFazaBC", "serUFazaCA"}},
        {"ixstrgrdGarmKi", {"serIFazaA", "serIFazaB", "serIFazaC"}},
        {"ixstrgrdGarmFazaA", {"serUFazaA", "serIFazaA"}},
        {"ixstrgrdGarmFazaB", {"serUFazaB", "serIFazaB"}},
        {"ixstrgrdGarmFazaC", {"serUFazaC", "serIFazaC"}},
        {"ixstrgrdGarmUf", {"brsrsSeries_U_A", "brsrsSeries_U_B", "brsrsSeries_U_C"}},
        {"ixstrgrdGarmUmf", {"brsrsSeries_U_AB", "brsrsSeries_U_BC", "brsrsSeries_U_CA"}},
        {"ixstrgrdGarmI", {"brsrsSeries_I_A", "brsrsSeries_I_B", "brsrsSeries_I_C"}},
    };
    const auto currentColours = [&] {
        return QList<QColor>({TSpectrumChart::Color(SeriesNamed("serIFazaA")),
                              TSpectrumChart::Color(SeriesNamed("serIFazaB")),
                              TSpectrumChart::Color(SeriesNamed("serIFazaC"))});
    };
    for (int k = 0; k < 8; ++k) {
        Group().SelectItem(k);
        EXPECT_EQ(Group().FrontTable()->objectName(), QLatin1String(expected[k].table)) << k;
        EXPECT_EQ(ShownSeries(), expected[k].shown) << k;
        if (k == 2) {
            EXPECT_EQ(currentColours(), QList<QColor>({kPhaseA, kGreen, kRed}));
        }
        if (k >= 3 && k <= 5) { // the current of the phase turns blue
            EXPECT_EQ(currentColours()[k - 3], kBlue) << k;
        }
    }
    EXPECT_EQ(currentColours(), QList<QColor>({kBlue, kBlue, kBlue})) << "items 6 and 7 recolour nothing";
    Group().SelectItem(8);
    EXPECT_EQ(Group().FrontTable()->objectName(), QLatin1String(expected[8].table));
    EXPECT_EQ(ShownSeries(), expected[8].shown);
    EXPECT_EQ(currentColours(), QList<QColor>({kPhaseA, kGreen, kRed}));
    // the harmonic currents shown by item 8 keep their own colours
    EXPECT_EQ(TSpectrumChart::Color(SeriesNamed("brsrsSeries_I_A")), kYellow);

    // the operator's choice goes the same way
    Group().Selector()->activated(1);
    EXPECT_EQ(Group().FrontTable()->objectName(), QStringLiteral("ixstrgrdGarmKumf"));
}

TEST_F(HarmonicsPageTest, AutoScaleRoundsTheLargestShownBarHalfToEven)
{
    WriteLowVoltageNominals();
    const auto autoWith = [&](std::vector<std::pair<int, float>> values) {
        for (int n = 2; n <= 50; ++n)
            for (int c = 0; c < 6; ++c)
                Store(Order(KUn, c, n), 0.0f);
        for (const auto &[slot, value] : values)
            Store(slot, value);
        RefreshData();
        Group().AutoButton()->click();
        EXPECT_EQ(Group().ScaleEdit()->value(), static_cast<int>(Chart().ValueMaximum()));
        EXPECT_EQ(Chart().ValueMinimum(), 0);
        return Chart().ValueMaximum();
    };
    EXPECT_EQ(autoWith({{Order(KUn, 0, 3), 0.49f}, {Order(KUn, 2, 50), 0.3f}}), 1) << "a stays 0";
    EXPECT_EQ(autoWith({{Order(KUn, 1, 5), 2.5f}}), 3) << "2.5 rounds to 2";
    EXPECT_EQ(autoWith({{Order(KUn, 1, 5), 3.5f}}), 5) << "3.5 rounds to 4";
    // the first bar over a sets it; a later bar below the rounded a does not
    EXPECT_EQ(autoWith({{Order(KUn, 0, 2), 2.4f}, {Order(KUn, 0, 3), 2.3f}}), 3);
    // hidden series do not count
    EXPECT_EQ(autoWith({{Order(KUn, 3, 5), 7.0f}}), 1);
    Group().SelectItem(1); // the line series: selecting scales at once
    EXPECT_EQ(Chart().ValueMaximum(), 8);
}

TEST_F(HarmonicsPageTest, ScaleEditTakesDigitsOnlyAndIgnoresEmptyOrZero)
{
    TScaleSpinEdit *edit = Group().ScaleEdit();
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("1a,2-5 e"));
    EXPECT_EQ(edit->text(), QStringLiteral("125"));
    EXPECT_EQ(Chart().ValueMaximum(), 125);
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(edit->text(), QStringLiteral("125")) << "the backspace is dropped too";

    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete); // empty: no number
    EXPECT_EQ(edit->text(), QString());
    EXPECT_EQ(Chart().ValueMaximum(), 125);
    QTest::keyClicks(edit, QStringLiteral("0"));
    EXPECT_EQ(Chart().ValueMaximum(), 125);
    QTest::keyClicks(edit, QStringLiteral("7"));
    EXPECT_EQ(Chart().ValueMaximum(), 7);
    EXPECT_EQ(Chart().ValueMinimum(), 0);
}

TEST_F(HarmonicsPageTest, NominalsOf6000VoltsPrefixHeadersAndAxisTitle)
{
    WriteNominals(6000.0f, 10392.0f, 100.0f);
    page.RenewHeaders(record);
    EXPECT_EQ(Group().Table(6)->Cell(1, 0), QStringLiteral("U~s~g~(~n~)~A, кВ"));
    EXPECT_EQ(Group().Table(7)->Cell(3, 0), QStringLiteral("U~s~g~(~n~)~C~A, кВ"));
    EXPECT_EQ(Group().Table(8)->Cell(2, 0), QStringLiteral("I~s~g~(~n~)~B, A"));
    EXPECT_EQ(Group().Table(0)->Cell(1, 0), QStringLiteral("K~U~(~n~)~A, %")) << "coefficients keep their headers";
    EXPECT_EQ(Chart().ValueTitle(), QStringLiteral("Коэффициент, %"));
    Group().SelectItem(6);
    EXPECT_EQ(Chart().ValueTitle(), QStringLiteral("Напряжение, кВ"));
    Group().SelectItem(8);
    EXPECT_EQ(Chart().ValueTitle(), QStringLiteral("Ток, A"));
    Group().SelectItem(5);
    EXPECT_EQ(Chart().ValueTitle(), QStringLiteral("Коэффициент, %"));

    // a harmonic voltage in kV, in the table and on the bar
    for (int c = 0; c < 3; ++c)
        Store(U1 + c, 6010.0f);
    Store(Order(Un, 0, 5), 144.0f);
    RefreshData();
    EXPECT_EQ(Group().Table(6)->Cell(1, 4), QStringLiteral("0,1440"));
    EXPECT_DOUBLE_EQ(Bar(SeriesNamed("brsrsSeries_U_A"), 3), 0.144);

    // back to 57.7 V: the prefixes go again
    WriteNominals(57.7f, 100.0f, 5.0f);
    page.RenewHeaders(record);
    EXPECT_EQ(Group().Table(6)->Cell(1, 0), QStringLiteral("U~s~g~(~n~)~A, В"));
    EXPECT_EQ(Chart().ValueTitle(), QStringLiteral("Коэффициент, %"));
}

TEST_F(HarmonicsPageTest, DataBlockFillsFieldsCellsAndBarsWithLimitColoursAndTheAngleRule)
{
    WriteLowVoltageNominals();
    Store(Urms, 57.71f);
    Store(KU + 3, 3.27f);
    Store(F, 50.008f);
    Store(Order(KUn, 0, 5), 2.4f);
    Store(Order(KIn, 0, 5), 8.5f);
    Store(Order(FiUIn, 0, 5), 12.34f);
    Store(Order(KUn, 0, 7), 5.9f);  // above the normal limit
    Store(Order(KUn, 0, 11), 6.0f); // above the maximum
    Store(Order(KUn, 0, 3), 0.05f); // too small for an angle
    Store(Order(KIn, 0, 3), 11.0f);
    Store(Order(FiUIn, 0, 3), 40.0f);
    Store(Order(KUn, 0, 9), 1.0f);
    Store(Order(KIn, 0, 9), 0.1f); // 0.1 % is too small as well
    Store(Order(FiUIn, 0, 9), 50.0f);
    Store(Order(KUn, 4, 5), 1.25f); // line BC
    Store(Order(In, 2, 50), 0.125f);
    RefreshData();

    EXPECT_EQ(page.tpfGarmFazes_U->Param(0)->ValueText(), QStringLiteral("57,710"));
    EXPECT_EQ(page.tpfGarmUnderfazes_Ku->Param(0)->ValueText(), QStringLiteral("3,27"));
    EXPECT_EQ(page.vwdfGarmFreq->ValueText(), QStringLiteral("50,008"));
    EXPECT_EQ(page.tpfGarm_I->Param(0)->DimensionText(), QStringLiteral("А"));
    ExpectFieldsFit();

    TSpectrumTable *kuf = Group().Table(0), *phaseA = Group().Table(3);
    EXPECT_EQ(kuf->Cell(1, 4), QStringLiteral("2,40"));
    EXPECT_EQ(kuf->AboutCell(1, 4).FontColor, QColor(0, 0, 0));
    EXPECT_EQ(kuf->Cell(1, 6), QStringLiteral("5,90"));
    EXPECT_EQ(kuf->AboutCell(1, 6).FontColor, kRed);
    EXPECT_EQ(kuf->AboutCell(1, 6).FontStyle, 0);
    EXPECT_EQ(kuf->AboutCell(1, 10).FontColor, kRed);
    EXPECT_EQ(kuf->AboutCell(1, 10).FontStyle, fsBold);
    EXPECT_EQ(phaseA->Cell(1, 4), QStringLiteral("2,40"));
    EXPECT_EQ(phaseA->Cell(2, 4), QStringLiteral("8,50"));
    EXPECT_EQ(phaseA->Cell(3, 4), QStringLiteral("12,34"));
    EXPECT_EQ(phaseA->Cell(3, 2), QStringLiteral("-.--")) << "Ku(3) 0.05 %";
    EXPECT_EQ(phaseA->Cell(3, 8), QStringLiteral("-.--")) << "Ki(9) 0.1 %";
    EXPECT_EQ(Group().Table(1)->Cell(2, 4), QStringLiteral("1,25"));
    EXPECT_EQ(Group().Table(8)->Cell(3, 49), QStringLiteral("0,12500"));

    EXPECT_DOUBLE_EQ(Bar(SeriesNamed("serUFazaA"), 3), 2.4f);
    EXPECT_DOUBLE_EQ(Bar(SeriesNamed("serIFazaA"), 3), 8.5);
    EXPECT_DOUBLE_EQ(Bar(SeriesNamed("serUFazaBC"), 3), 1.25);
    EXPECT_DOUBLE_EQ(Bar(SeriesNamed("brsrsSeries_I_C"), 48), 0.125);

    // no fundamental on phase A: its cells and bars are empty again
    Store(U1, 0.1f);
    RefreshData();
    EXPECT_EQ(kuf->Cell(1, 4), QStringLiteral("-.--"));
    EXPECT_EQ(Bar(SeriesNamed("serUFazaA"), 3), 0.0);
    EXPECT_EQ(Group().Table(1)->Cell(2, 4), QStringLiteral("1,25"));
}

TEST_F(HarmonicsPageTest, HintsExplainOnlyTheBarUnderTheMouse)
{
    WriteLowVoltageNominals();
    Store(Order(KUn, 0, 5), 4.0f);
    Store(Order(KUn, 1, 5), 3.0f);
    Store(Order(KUn, 3, 5), 3.0f); // a hidden series
    RefreshData();
    ShowPage();

    const QPoint onA = BarMiddle(SeriesNamed("serUFazaA"), 3);
    const auto hint = Chart().HintAt(onA);
    ASSERT_TRUE(hint.has_value());
    EXPECT_EQ(hint->Text, QStringLiteral("Коэффициент несинусоидальности напряжение. Фаза А\nНомер гармоники: 5\n"
                                         "Значение: 4,00"));
    EXPECT_EQ(hint->Color, kYellow);
    const auto onB = Chart().HintAt(BarMiddle(SeriesNamed("serUFazaB"), 3));
    ASSERT_TRUE(onB.has_value());
    EXPECT_TRUE(onB->Text.endsWith(QStringLiteral("Значение: 3,00")));
    EXPECT_EQ(onB->Color, kGreen);
    // above the bar, on an empty bar and on a hidden series: nothing
    EXPECT_FALSE(Chart().HintAt(onA - QPoint(0, 80)).has_value());
    EXPECT_FALSE(Chart().HintAt(BarMiddle(SeriesNamed("serUFazaA"), 10)).has_value());
    const auto onHidden = Chart().HintAt(BarMiddle(SeriesNamed("serUFazaAB"), 3));
    EXPECT_TRUE(!onHidden || !onHidden->Text.contains(QStringLiteral("АВ")));

    // the hint the application asks the chart for
    QHelpEvent help(QEvent::ToolTip, onA, Chart().Plot()->mapToGlobal(onA));
    QApplication::sendEvent(Chart().Plot(), &help);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), hint->Text);
    // drawn on the series colour
    QWidget *tip = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->inherits("QTipLabel") && w->isVisible())
            tip = w;
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(tip->grab().toImage().pixelColor(tip->width() / 2, 3), kYellow);
    QToolTip::hideText();
}

TEST_F(HarmonicsPageTest, OnlyTheVisibleChartIsReplottedOncePerBlock)
{
    WriteLowVoltageNominals();
    ShowPage();
    QSignalSpy replots(Chart().Plot(), &QCustomPlot::afterReplot);

    Store(Order(KUn, 0, 5), 2.0f);
    RefreshData();
    QApplication::processEvents();
    EXPECT_EQ(replots.count(), 1) << "one replot for the whole block";

    page.hide();
    replots.clear();
    Store(Order(KUn, 0, 5), 3.0f);
    RefreshData();
    QApplication::processEvents();
    EXPECT_EQ(replots.count(), 0) << "a hidden chart waits";
    page.show();
    QApplication::processEvents();
    EXPECT_GE(replots.count(), 1) << "and catches up when shown";
}

} // namespace
