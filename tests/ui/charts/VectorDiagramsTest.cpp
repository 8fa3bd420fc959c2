#include "common/Cp1251.h"
#include "common/ProgramLog.h"
#include "engine/RecordSlots.h"
#include "engine/MeasurementRecord.h"
#include "ui/RecordBindings.h"
#include "ui/charts/VectorChart.h"
#include "ui/charts/VectorDiagrams.h"
#include "ui/widgets/IndexedLabel.h"

#include <QApplication>
#include <QFile>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <cmath>
#include <complex>
#include <limits>
#include <map>
#include <numbers>
#include <set>
#include <vector>

namespace {

using namespace VDSlot;

const QColor kA(230, 205, 43), kB(0, 128, 0), kC(255, 0, 0);

QPointF Polar(double length, double degrees)
{
    const double radians = degrees * std::numbers::pi / 180;
    return {length * std::cos(radians), length * std::sin(radians)};
}

void ExpectArrows(const std::vector<TArrow> &arrows, const std::vector<TArrow> &expected)
{
    ASSERT_EQ(arrows.size(), expected.size());
    for (size_t i = 0; i < arrows.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(arrows[i].End.x(), expected[i].End.x(), 1e-5);
        EXPECT_NEAR(arrows[i].End.y(), expected[i].End.y(), 1e-5);
        EXPECT_EQ(arrows[i].Color, expected[i].Color);
    }
}

class VectorDiagramsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(logger.Open());
        diagrams.CreateBindings(manager);
    }

    void WriteNominals(float phase, float line, float current)
    {
        std::vector<float> block(NominalsCount, 0.0f);
        block[UnomPhase] = phase;
        block[UnomLine] = line;
        block[Inom] = current;
        record.WriteNominals(block);
        record.SetDeviceDateTime(45000.5);
    }
    void Store(int slot, float value) { record.StoreValue(slot, value, false); }
    void RefreshData() { manager.RefreshRange(Urms, DataEnd - 1); }

    // Phase B a little low, C leading a little late, the currents unequal.
    void StoreKnownBlock()
    {
        WriteNominals(100.0f, 173.0f, 5.0f);
        const float u1[6] = {100, 90, 110, 173, 160, 180};
        const float angles[6] = {0, -120, 125, 0, -118, 121};
        const float i1[3] = {5, 2.5f, 4};
        const float shifts[3] = {30, 0, -60};
        for (int c = 0; c < 6; ++c) {
            Store(U1 + c, u1[c]);
            Store(Urms + c, u1[c]);
            Store(VectorAngleU + c, angles[c]);
        }
        for (int p = 0; p < 3; ++p) {
            Store(I1 + p, i1[p]);
            Store(FiUI1 + p, shifts[p]);
        }
        Store(U0, 0);
        Store(U1seq, 173);
        Store(U2, 17.3f);
        Store(I0, 0.5f);
        Store(I1seq, 4);
        Store(I2, 1);
        Store(FiUI0, 10);
        Store(FiUI1seq, 20);
        Store(FiUI2, -40);
        Store(PSum, 300);
        Store(QSum, -400);
        Store(SSum, 500);
    }

    std::vector<TArrow> Arrows(TVectorDiagrams::TDiagram diagram, int series = 0)
    {
        return diagrams.Chart(diagram)->Arrows(series);
    }
    QToolButton *Button(const char *name)
    {
        auto *button = diagrams.findChild<QToolButton *>(QLatin1String(name));
        EXPECT_NE(button, nullptr) << name;
        return button;
    }
    QStringList LogTexts()
    {
        QFile file(dir.filePath(QStringLiteral("diagrams.log")));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList texts;
        for (const QString &line : Cp1251::Decode(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
            texts << line.mid(TMonitorR5Logger::kIndent);
        return texts;
    }

    QTemporaryDir dir;
    TMonitorR5Logger logger{dir.filePath(QStringLiteral("diagrams.log"))};
    QStringList statusTexts;
    TDataStorageManagerVD record;
    TParamsControlsManager manager{record, &logger, [this](const QString &text) { statusTexts << text; }};
    TVectorDiagrams diagrams;
};

TEST_F(VectorDiagramsTest, ArrowsOfAKnownBlock)
{
    StoreKnownBlock();
    RefreshData();

    // phase voltages by their nominal, currents by theirs and 1.3, turned by U-I angle
    ExpectArrows(Arrows(TVectorDiagrams::dgPhases, TVectorDiagrams::kVoltageArrows),
                 {{Polar(1.0, 0), kA}, {Polar(0.9, -120), kB}, {Polar(1.1, 125), kC}});
    ExpectArrows(Arrows(TVectorDiagrams::dgPhases, TVectorDiagrams::kCurrentArrows),
                 {{Polar(1.3, -30), kA}, {Polar(0.65, -120), kB}, {Polar(1.04, 185), kC}});
    ExpectArrows(Arrows(TVectorDiagrams::dgLines),
                 {{Polar(1.0, 0), kA}, {Polar(160.0 / 173, -118), kB}, {Polar(180.0 / 173, 121), kC}});

    // the sequences in the colours of A, B, C, pointing where the symmetrical
    // components of the line voltages point
    using TComplex = std::complex<double>;
    const TComplex a = std::polar(1.0, 2 * std::numbers::pi / 3);
    const auto phasor = [](double m, double degrees) { return std::polar(m, degrees * std::numbers::pi / 180); };
    const TComplex ab = phasor(173, 0), bc = phasor(160, -118), ca = phasor(180, 121);
    const double positive = std::arg((ab + a * bc + a * a * ca) / 3.0) * 180 / std::numbers::pi;
    const double negative = std::arg((ab + a * a * bc + a * ca) / 3.0) * 180 / std::numbers::pi;
    const double zero = std::arg(phasor(100, 0) + phasor(90, -120) + phasor(110, 125)) * 180 / std::numbers::pi;
    const std::vector<TArrow> sequenceU = Arrows(TVectorDiagrams::dgSequences, TVectorDiagrams::kVoltageArrows);
    ASSERT_EQ(sequenceU.size(), 3u);
    EXPECT_EQ(sequenceU[0].End, QPointF(0, 0));
    ExpectArrows({sequenceU[1], sequenceU[2]}, {{Polar(1.0, positive), kB}, {Polar(0.1, negative), kC}});
    ExpectArrows(Arrows(TVectorDiagrams::dgSequences, TVectorDiagrams::kCurrentArrows),
                 {{Polar(0.1 * 1.3, zero - 10), kA},
                  {Polar(0.8 * 1.3, positive - 20), kB},
                  {Polar(0.2 * 1.3, negative + 40), kC}});

    // powers by the larger of |P| and |Q|: P blue, Q black, S purple
    ExpectArrows(Arrows(TVectorDiagrams::dgPowers), {{QPointF(0.75, 0), QColor(0, 0, 255)},
                                                     {QPointF(0, -1), QColor(0, 0, 0)},
                                                     {QPointF(0.75, -1), QColor(128, 0, 128)}});
}

TEST_F(VectorDiagramsTest, ZeroNominalsAndPowersGiveArrowsOfLengthZero)
{
    StoreKnownBlock();
    WriteNominals(0, 0, 0);
    Store(PSum, 0);
    Store(QSum, 0);
    RefreshData();
    for (int d = 0; d < TVectorDiagrams::kDiagramCount; ++d) {
        TVectorChart *chart = diagrams.Chart(static_cast<TVectorDiagrams::TDiagram>(d));
        for (int s = 0; s < chart->SeriesCount(); ++s) {
            const std::vector<TArrow> arrows = chart->Arrows(s);
            EXPECT_EQ(arrows.size(), 3u);
            for (const TArrow &arrow : arrows)
                EXPECT_EQ(arrow.End, QPointF(0, 0)) << d << " " << s;
        }
    }
}

TEST_F(VectorDiagramsTest, ActivePowerAloneLiesOnTheHorizontalAxis)
{
    for (float p : {250.0f, -0.002f}) {
        SCOPED_TRACE(p);
        Store(PSum, p);
        Store(QSum, 0);
        manager.RefreshParameter(PSum);
        const double sign = p > 0 ? 1 : -1;
        ExpectArrows(Arrows(TVectorDiagrams::dgPowers), {{QPointF(sign, 0), QColor(0, 0, 255)},
                                                         {QPointF(0, 0), QColor(0, 0, 0)},
                                                         {QPointF(sign, 0), QColor(128, 0, 128)}});
    }
}

TEST_F(VectorDiagramsTest, ScaleButtonsMultiplyOrDivideWithoutBoundsAndRedrawAtOnce)
{
    using S = TVectorDiagrams;
    EXPECT_FLOAT_EQ(diagrams.Factor(S::scPhaseVoltage), 1.0f);
    EXPECT_FLOAT_EQ(diagrams.Factor(S::scPhaseCurrent), 1.3f);
    EXPECT_FLOAT_EQ(diagrams.Factor(S::scLineVoltage), 1.0f);
    EXPECT_FLOAT_EQ(diagrams.Factor(S::scSequenceVoltage), 1.0f);
    EXPECT_FLOAT_EQ(diagrams.Factor(S::scSequenceCurrent), 1.3f);
    EXPECT_FLOAT_EQ(diagrams.Factor(S::scPower), 1.0f);

    StoreKnownBlock();
    RefreshData();
    for (int i = 0; i < 10; ++i)
        Button("btnDiagramManagerFazes_U_Inc")->click();
    EXPECT_NEAR(diagrams.Factor(S::scPhaseVoltage), 2.5937, 1e-4);
    // drawn again without a new block, only the voltages longer
    EXPECT_NEAR(Arrows(S::dgPhases, S::kVoltageArrows)[0].End.x(), 2.5937, 1e-4);
    EXPECT_NEAR(Arrows(S::dgPhases, S::kCurrentArrows)[0].End.x(), Polar(1.3, -30).x(), 1e-5);

    Button("btnDiagramManagerFazes_I_Dec")->click();
    EXPECT_NEAR(diagrams.Factor(S::scPhaseCurrent), 1.3 / 1.1, 1e-6);
    EXPECT_NEAR(Arrows(S::dgPhases, S::kCurrentArrows)[0].End.x(), Polar(1.3 / 1.1, -30).x(), 1e-5);

    const std::pair<const char *, S::TScale> others[] = {{"btnDiagramManagerUnderfazes_U_Inc", S::scLineVoltage},
                                                         {"btnDiagramManagerAsym_U_Inc", S::scSequenceVoltage},
                                                         {"btnDiagramManagerAsym_I_Inc", S::scSequenceCurrent},
                                                         {"btnDiagramManagerPower_Inc", S::scPower}};
    for (const auto &[name, scale] : others) {
        const float before = diagrams.Factor(scale);
        Button(name)->click();
        EXPECT_FLOAT_EQ(diagrams.Factor(scale), before * 1.1f) << name;
    }
    EXPECT_NEAR(Arrows(S::dgPowers)[0].End.x(), 0.75 * 1.1, 1e-5);
    EXPECT_NEAR(Arrows(S::dgLines)[0].End.x(), 1.1, 1e-5);

    for (int i = 0; i < 300; ++i)
        Button("btnDiagramManagerPower_Dec")->click();
    EXPECT_GT(diagrams.Factor(S::scPower), 0.0f);
    EXPECT_LT(diagrams.Factor(S::scPower), 1e-10f);
    EXPECT_TRUE(statusTexts.isEmpty());

    // each strip is named by its quantity alone, in the order of the panel
    const std::pair<const char *, QStringList> strips[] = {{"pnDiagramm_Uf_I", {"I", "U~ф"}},
                                                           {"pnDiagramm_Umf", {"U~м~ф"}},
                                                           {"pnDiagramm_U0_I2", {"I", "U"}},
                                                           {"pnDiagramm_P_Q", {"P, Q, S"}}};
    for (const auto &[panel, expected] : strips) {
        QStringList captions;
        for (const TIxLabel *label : diagrams.findChild<QWidget *>(QLatin1String(panel))->findChildren<TIxLabel *>())
            captions << label->Caption();
        EXPECT_EQ(captions, expected) << panel;
    }
}

TEST_F(VectorDiagramsTest, ArrowsPastTheRangeAreCutAtTheEdge)
{
    StoreKnownBlock();
    diagrams.resize(400, 400);
    diagrams.show();
    RefreshData();
    for (int i = 0; i < 10; ++i)
        Button("btnDiagramManagerFazes_U_Inc")->click();
    QCustomPlot *plot = diagrams.Chart(TVectorDiagrams::dgPhases)->Plot();
    plot->replot();
    const QImage image = plot->toPixmap().toImage();
    const QRect area = plot->axisRect()->rect();
    ASSERT_GT(image.width() - 1, area.right()) << "no margin to look at";
    const int y0 = plot->yAxis->coordToPixel(0);
    const auto yellowish = [](const QColor &c) { return c.red() > 200 && c.green() > 180 && c.blue() < 120; };
    bool inside = false;
    for (int y = y0 - 2; y <= y0 + 2; ++y) {
        inside = inside || yellowish(image.pixelColor(area.right() - 1, y));
        for (int x = area.right() + 1; x < image.width(); ++x)
            EXPECT_EQ(image.pixelColor(x, y), QColor(Qt::white)) << x << " " << y;
    }
    EXPECT_TRUE(inside) << "phase A runs to the edge";
}

TEST_F(VectorDiagramsTest, ChartsAreSquareWithFixedRangesAndCircles)
{
    diagrams.resize(500, 330);
    diagrams.show();
    QApplication::processEvents();
    const struct
    {
        TVectorDiagrams::TDiagram diagram;
        double range, small, big;
    } charts[] = {{TVectorDiagrams::dgPhases, 1.5, 1, 1.3},
                  {TVectorDiagrams::dgLines, 1.5, 0, 0},
                  {TVectorDiagrams::dgSequences, 1.5, 1, 1.3},
                  {TVectorDiagrams::dgPowers, 1.3, 0, 0}};
    for (const auto &c : charts) {
        diagrams.ShowDiagram(c.diagram);
        QApplication::processEvents();
        TVectorChart *chart = diagrams.Chart(c.diagram);
        QCustomPlot *plot = chart->Plot();
        EXPECT_EQ(plot->width(), plot->height());
        EXPECT_EQ(plot->width(), std::min(chart->width(), chart->height()));
        EXPECT_EQ(plot->axisRect()->width(), plot->axisRect()->height());
        EXPECT_EQ(plot->xAxis->range(), QCPRange(-c.range, c.range));
        EXPECT_EQ(plot->yAxis->range(), QCPRange(-c.range, c.range));
        EXPECT_FALSE(plot->xAxis->visible() || plot->yAxis->visible());
        EXPECT_EQ(plot->interactions(), QCP::Interactions());
        EXPECT_EQ(chart->SmallRadius(), c.small);
        EXPECT_EQ(chart->BigRadius(), c.big);
    }
    // currents dashed, voltages and powers two pixels wide
    EXPECT_EQ(diagrams.Chart(TVectorDiagrams::dgPhases)->SeriesPen(TVectorDiagrams::kCurrentArrows).style(),
              Qt::DashLine);
    EXPECT_EQ(diagrams.Chart(TVectorDiagrams::dgSequences)->SeriesPen(TVectorDiagrams::kVoltageArrows).width(), 2);
    EXPECT_EQ(diagrams.Chart(TVectorDiagrams::dgPowers)->SeriesPen(TVectorDiagrams::kPowerArrows).width(), 2);
}

TEST_F(VectorDiagramsTest, RadioButtonsAndTheirCaptionsBringTheirDiagramToTheFront)
{
    diagrams.resize(500, 330);
    diagrams.show();
    auto *stack = diagrams.findChild<QStackedWidget *>();
    ASSERT_NE(stack, nullptr);
    EXPECT_EQ(stack->currentWidget()->objectName(), QStringLiteral("pnDiagramm_Uf_I"));
    EXPECT_TRUE(diagrams.findChild<QRadioButton *>(QStringLiteral("rdbtnDiagramFazes"))->isChecked());

    const std::pair<const char *, const char *> choices[] = {{"rdbtnDiagramPower", "pnDiagramm_P_Q"},
                                                             {"rdbtnDiagramAssimetry", "pnDiagramm_U0_I2"},
                                                             {"rdbtnDiagramUnderfazes", "pnDiagramm_Umf"},
                                                             {"rdbtnDiagramFazes", "pnDiagramm_Uf_I"}};
    for (const auto &[radio, panel] : choices) {
        auto *button = diagrams.findChild<QRadioButton *>(QLatin1String(radio));
        ASSERT_NE(button, nullptr) << radio;
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(stack->currentWidget()->objectName(), QLatin1String(panel));
    }
    // the indexed caption beside a button chooses it as well
    auto *caption = diagrams.findChild<QWidget *>(QStringLiteral("pnDiagramSelector"))->findChildren<TIxLabel *>()[1];
    EXPECT_EQ(caption->Caption(), QStringLiteral("U~м~ф"));
    QTest::mouseClick(caption, Qt::LeftButton);
    EXPECT_EQ(stack->currentWidget()->objectName(), QStringLiteral("pnDiagramm_Umf"));
    EXPECT_TRUE(diagrams.findChild<QRadioButton *>(QStringLiteral("rdbtnDiagramUnderfazes"))->isChecked());
}

TEST_F(VectorDiagramsTest, EachDiagramIsBoundToTheSlotsItIsDrawnFrom)
{
    std::map<QString, std::set<int>> bound;
    for (int slot = 0; slot < Count; ++slot)
        for (const TValueBinding &b : manager.Controls(slot))
            if (b.Kind == TBindingKind::Notification)
                bound[b.MethodName].insert(slot);
    const std::map<QString, std::set<int>> expected = {
        {QStringLiteral("DrawDiagramm_Uf_I"), {0, 2, 286, 287, 288, 908, 909, 910, 1508, 1509, 1510, 2114, 2115, 2116}},
        {QStringLiteral("DrawDiagramm_Umf"), {1, 289, 290, 291, 911, 912, 913}},
        {QStringLiteral("DrawDiagramm_U0_I2"),
         {1, 2, 292, 293, 294, 295, 296, 297, 904, 905, 906, 2111, 2112, 2113, 2264, 2265, 2266}},
        {QStringLiteral("DrawDiagramm_P_Q"), {2291, 2292, 2293}}};
    EXPECT_EQ(bound, expected);
}

TEST_F(VectorDiagramsTest, ADiagramThatCannotBeDrawnKeepsItsArrowsAndIsReported)
{
    StoreKnownBlock();
    RefreshData();
    const std::vector<TArrow> before = Arrows(TVectorDiagrams::dgPhases, TVectorDiagrams::kCurrentArrows);
    const std::vector<TArrow> voltagesBefore = Arrows(TVectorDiagrams::dgPhases, TVectorDiagrams::kVoltageArrows);

    Store(I1 + 2, std::numeric_limits<float>::quiet_NaN());
    Store(U1, 50); // drawn before the current that fails
    Store(PSum, -400);
    RefreshData();
    ExpectArrows(Arrows(TVectorDiagrams::dgPhases, TVectorDiagrams::kCurrentArrows), before);
    ExpectArrows(Arrows(TVectorDiagrams::dgPhases, TVectorDiagrams::kVoltageArrows), voltagesBefore);
    EXPECT_EQ(Arrows(TVectorDiagrams::dgPowers)[0].End, QPointF(-1, 0)); // the others are drawn
    EXPECT_EQ(statusTexts, QStringList{QStringLiteral("Ошибка при расчете диаграмм")});
    EXPECT_EQ(LogTexts(),
              QStringList{QStringLiteral(
                  "Ошибка при расчете диаграмм DrawDiagramm_Uf_I. Недопустимое значение с плавающей точкой")});

    // a scale button reports the same way
    Button("btnDiagramManagerFazes_U_Inc")->click();
    EXPECT_EQ(statusTexts.size(), 2);
    EXPECT_EQ(LogTexts().size(), 2);
}

} // namespace
