#include "ui/widgets/ThreeValuesFrame.h"
#include "ui/widgets/ValueWithUnitFrame.h"
#include "ui/widgets/IndexedLabel.h"
#include "ui/pages/PowerPage.h"
#include "ui/ScaleSpinEdit.h"

#include "ui/SpectralPagesSupport.h"

#include <QComboBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>

#include <limits>

namespace {

using namespace VDSlot;

int Order(int base, int phase, int n)
{
    return base + HarmonicCount * phase + (n - 2);
}

using PowerPageTest = spectraltest::TBoundPageTest<TPowerPage>;

TEST_F(PowerPageTest, SelectorBringsTheFirstHarmonicFramesAndLabelsToTheFront)
{
    const auto front = [](QWidget *w) {
        auto *stack = qobject_cast<QStackedWidget *>(w->parentWidget());
        return stack && stack->currentWidget() == w;
    };
    const QList<QWidget *> whole = {page.tpfFazaPowerP, page.tpfFazaPowerQ, page.tpfFazaPowerS, page.tpfFazaPowerKm,
                                    page.pnPower3f};
    const QList<QWidget *> first = {page.tpfFazaPowerP1, page.tpfFazaPowerQ1, page.tpfFazaPowerS1, page.tpfFazaPowerKM1,
                                    page.pnPower3f_1};
    const auto captions = [&] {
        return QStringList(
            {page.ixlb1->Caption(), page.ixlb4->Caption(), page.ixlb5->Caption(), page.ixlb6->Caption()});
    };
    EXPECT_EQ(page.cb3->itemText(0), QStringLiteral("весь сигнал"));
    EXPECT_EQ(page.cb3->itemText(1), QStringLiteral("первая гармоника"));
    for (QWidget *w : whole)
        EXPECT_TRUE(front(w)) << w->objectName().toStdString();
    EXPECT_EQ(captions(), QStringList({"P", "Q", "S", "K~m"}));

    page.cb3->activated(1);
    for (QWidget *w : first)
        EXPECT_TRUE(front(w)) << w->objectName().toStdString();
    EXPECT_EQ(captions(), QStringList({"P~(~1~)", "Q~(~1~)", "S~(~1~)", "K~m~(~1~)"}));
    page.cb3Select(0);
    EXPECT_FALSE(page.FirstHarmonicShown());
    EXPECT_EQ(captions(), QStringList({"P", "Q", "S", "K~m"}));

    // the three-phase rows are captioned without indexes
    const auto panelCaptions = [](QWidget *panel) {
        QStringList texts;
        for (const TIxLabel *label : panel->findChildren<TIxLabel *>())
            texts << label->Caption();
        return texts;
    };
    EXPECT_EQ(panelCaptions(page.pnPower3f), QStringList({"P", "Q", "S", "Km"}));
    EXPECT_EQ(panelCaptions(page.pnPower3f_1), QStringList({"P(1)", "Q(1)", "S(1)", "Km(1)"}));
}

TEST_F(PowerPageTest, UpperPartShowsPhaseThreePhaseAndSequencePowers)
{
    EXPECT_EQ(page.tpfFazaPowerS->Param(0)->DimensionText(), QStringLiteral("В*A"));
    EXPECT_EQ(page.tpfFazaPowerS->Param(0)->Unit().at(2).unicode(), 0x0041) << "Latin A";
    EXPECT_EQ(page.vwdfPowerKm3f->DimensionText(), QString());
    EXPECT_EQ(page.tpfNesimPowerQ->Param(1)->ValueText(), QStringLiteral("--- "));

    WriteNominals(6000.0f, 10392.0f, 100.0f); // 600 kW: powers in kilo
    Store(P + 1, 123456.0f);
    Store(Q1 + 2, -54321.0f);
    Store(Km, 0.905f);
    Store(PSum, 370000.0f);
    Store(Km1Sum, 0.95f);
    Store(SeqPowers + 4, 3000.0f); // Q1
    RefreshData();
    EXPECT_EQ(page.tpfFazaPowerP->Param(1)->ValueText(), QStringLiteral("123,456"));
    EXPECT_EQ(page.tpfFazaPowerP->Param(1)->DimensionText(), QStringLiteral("кВт"));
    EXPECT_EQ(page.tpfFazaPowerQ1->Param(2)->ValueText(), QStringLiteral("-54,321"));
    EXPECT_EQ(page.tpfFazaPowerKm->Param(0)->ValueText(), QStringLiteral("0,905"));
    EXPECT_EQ(page.vwdfPowerP3f->ValueText(), QStringLiteral("370,000"));
    EXPECT_EQ(page.vwdfPowerKm3f_1->ValueText(), QStringLiteral("0,950"));
    EXPECT_EQ(page.tpfNesimPowerQ->Param(1)->ValueText(), QStringLiteral("3,000"));
    EXPECT_EQ(page.tpfNesimPowerQ->Param(1)->DimensionText(), QStringLiteral("квар"));
    ExpectFieldsFit();
}

TEST_F(PowerPageTest, HarmonicPowersInTablesAndOnASymmetricAxis)
{
    QStringList items;
    for (int k = 0; k < Group().Selector()->count(); ++k)
        items << Group().Selector()->itemText(k);
    EXPECT_EQ(items, QStringList({"P(n)", "Q(n)", "S(n)", "Фаза A", "Фаза B", "Фаза C"}));
    EXPECT_EQ(Group().Table(0)->objectName(), QStringLiteral("ixstrngrd1"));
    EXPECT_EQ(Group().Table(5)->objectName(), QStringLiteral("ixstrngrd6"));
    EXPECT_EQ(Group().Table(3)->Cell(3, 0), QStringLiteral("S(n)~A, В*A"));
    EXPECT_EQ(Group().Table(2)->Cell(0, 1), QStringLiteral("2"));
    EXPECT_EQ(Chart().ValueTitle(), QStringLiteral("Мощность, Вт/вар"));
    EXPECT_EQ(Chart().ValueMinimum(), -10);
    // item 0 at the start: the P series in the phase colours
    EXPECT_EQ(ShownSeries(), QStringList({"serPFazaA", "serPFazaB", "serPFazaC"}));
    EXPECT_EQ(TSpectrumChart::Color(SeriesNamed("serPFazaA")), QColor(230, 205, 43));

    WriteNominals(6000.0f, 10392.0f, 100.0f);
    page.RenewHeaders(record);
    EXPECT_EQ(Group().Table(1)->Cell(2, 0), QStringLiteral("Q(n)~B, квар"));
    EXPECT_EQ(Group().Table(4)->Cell(1, 0), QStringLiteral("P(n)~B, кВт"));
    EXPECT_EQ(Chart().ValueTitle(), QStringLiteral("Мощность, кВт"));

    Store(Order(Pn, 0, 5), 1500.0f);
    Store(Order(Qn, 0, 5), -7600.0f);
    Store(Order(Sn, 0, 5), 7746.6f);
    RefreshData();
    EXPECT_EQ(Group().Table(0)->Cell(1, 4), QStringLiteral("1,500"));
    EXPECT_EQ(Group().Table(1)->Cell(1, 4), QStringLiteral("-7,600"));
    EXPECT_EQ(Group().Table(3)->Cell(2, 4), QStringLiteral("-7,600"));
    EXPECT_EQ(Group().Table(3)->Cell(3, 4), QStringLiteral("7,747"));
    EXPECT_DOUBLE_EQ(Bar(SeriesNamed("serQFazaA"), 3), -7600.0 / 1000);

    Group().SelectItem(1); // Q: the largest |Q| 7.6 gives a = 8
    EXPECT_EQ(Chart().ValueMaximum(), 9);
    EXPECT_EQ(Chart().ValueMinimum(), -9);
    EXPECT_EQ(Chart().ValueTitle(), QStringLiteral("Мощность, квар"));
    Group().SelectItem(3);
    EXPECT_EQ(ShownSeries(), QStringList({"serPFazaA", "serQFazaA", "serSFazaA"}));
    EXPECT_EQ(TSpectrumChart::Color(SeriesNamed("serSFazaA")), QColor(0, 0, 255));
    EXPECT_EQ(Chart().ValueTitle(), QStringLiteral("Мощность, кВт/ квар/ кВ*A"));

    Group().ScaleEdit()->selectAll();
    QTest::keyClicks(Group().ScaleEdit(), QStringLiteral("25"));
    EXPECT_EQ(Chart().ValueMaximum(), 25);
    EXPECT_EQ(Chart().ValueMinimum(), -25);

    ShowPage();
    const auto hint = Chart().HintAt(BarMiddle(SeriesNamed("serQFazaA"), 3));
    ASSERT_TRUE(hint.has_value());
    EXPECT_EQ(hint->Text, QStringLiteral("Q. Фаза А\nНомер гармоники: 5\nЗначение: -7,60%"));
    EXPECT_EQ(hint->Color, QColor(230, 205, 43)) << "Q of phase A: coloured by item 1";
}

TEST_F(PowerPageTest, AutoScalePassesOverNaNAndInfiniteBarsAndStaysInTheIntRange)
{
    const auto autoWith = [&](std::initializer_list<double> values) {
        QCPBars *bars = SeriesNamed("serPFazaB");
        auto bar = bars->data()->begin();
        for (double value : values)
            (bar++)->value = value;
        Group().AutoButton()->click();
        EXPECT_EQ(Group().ScaleEdit()->value(), static_cast<int>(Chart().ValueMaximum()));
        EXPECT_EQ(Chart().ValueMinimum(), -Chart().ValueMaximum());
        return Chart().ValueMaximum();
    };
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(autoWith({nan, -2.6, inf, -inf}), 4) << "only the finite bars count";
    EXPECT_EQ(autoWith({nan, -3e38, inf, 1}), std::numeric_limits<int>::max());
    EXPECT_EQ(autoWith({3e38, 0, 0, 0}), std::numeric_limits<int>::max());
}

} // namespace
