#include "common/Cp1251.h"
#include "common/Contracts.h"
#include "common/ProgramLog.h"
#include "engine/RecordSlots.h"
#include "engine/MeasurementRecord.h"
#include "ui/widgets/ValueWithUnitFrame.h"
#include "ui/widgets/IndexedGrid.h"
#include "ui/RecordBindings.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <array>
#include <stdexcept>
#include <tuple>
#include <vector>

namespace {

using namespace VDSlot;

// Phase voltage limits of the set used outside limit periods: maximum
// upper 22, normal upper 23, maximum lower 24, normal lower 25.
TLimitDescriptor PhaseVoltageLimits()
{
    TLimitDescriptor d;
    d.Kind = 1;
    d.Index = {26, 27, 29, 28, 22, 23, 25, 24};
    return d;
}

struct TLook
{
    QString Value;
    QString Dimension;
    QColor Color;
    bool Bold;
    QColor Background;
};

TLook LookOf(const TValueWithDimensionFrame &frame)
{
    return {frame.ValueText(), frame.DimensionText(), frame.ValueColor(), frame.ValueFont().bold(),
            frame.ValueBackground()};
}

class BindingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        savedLocale = QLocale();
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        WriteNominals(57.7f, 100.0f, 5.0f);
        record.SetDeviceDateTime(45000.5); // noon of a day in 2023
        frame.SetUnit(QStringLiteral("В"));
    }
    void TearDown() override { QLocale::setDefault(savedLocale); }

    void WriteNominals(float phase, float line, float current)
    {
        std::vector<float> block(NominalsCount, 0.0f);
        block[UnomPhase] = phase;
        block[UnomLine] = line;
        block[Inom] = current;
        // phase voltage limits: maximum and normal upper, maximum and normal lower
        block[22] = phase * 1.1f;
        block[23] = phase * 1.05f;
        block[24] = phase * 0.9f;
        block[25] = phase * 0.95f;
        // the set used during limit periods is wider
        block[26] = phase * 1.2f;
        block[27] = phase * 1.15f;
        block[28] = phase * 0.8f;
        block[29] = phase * 0.85f;
        block[KuLimit1] = 8.0f;
        block[KuLimit2] = 12.0f;
        block[KunLimits1 + 1] = 3.0f; // n = 3: normal upper
        block[KunLimits2 + 1] = 5.0f; // n = 3: maximum upper
        record.WriteNominals(block);
    }

    void Store(int slot, float value) { record.StoreValue(slot, value, false); }

    QLocale savedLocale;
    TDataStorageManagerVD record;
    TParamsControlsManager manager{record, nullptr, nullptr};
    TValueWithDimensionFrame frame;
    const QColor face = QApplication::palette().color(QPalette::Button);
};

TEST_F(BindingTest, EverySlotHasItsListFromTheStart)
{
    EXPECT_EQ(manager.AllControls().Count(), Count);
    EXPECT_TRUE(manager.Controls(0).empty());
    EXPECT_TRUE(manager.Controls(Count - 1).empty());
    manager.AddScaledValue(Urms, &frame, 0, 0, 1);
    manager.AddPlainValue(Urms, &frame, 2, 0, 0);
    ASSERT_EQ(manager.Controls(Urms).size(), 2u);
    EXPECT_EQ(manager.Controls(Urms)[0].Kind, TBindingKind::ScaledValue);
    EXPECT_EQ(manager.Controls(Urms)[1].Kind, TBindingKind::PlainValue);
    // slots outside the record are ignored when refreshed, refused when bound
    manager.RefreshParameter(-1);
    manager.RefreshParameter(Count);
    EXPECT_THROW(manager.AddPlainValue(Count, &frame, 2, 0, 0), EPreConditions);
}

TEST_F(BindingTest, ScaledValueTakesColourAndWeightFromItsLimits)
{
    manager.AddScaledValue(Urms, &frame, 0, 0, 1, PhaseVoltageLimits());
    const auto show = [&](float v) {
        Store(Urms, v);
        manager.RefreshParameter(Urms);
        return LookOf(frame);
    };

    TLook look = show(57.735f);
    EXPECT_EQ(look.Value, QStringLiteral("57,735")); // 57.7 V nominal: 3 decimals
    EXPECT_EQ(look.Dimension, QStringLiteral("В"));
    EXPECT_EQ(look.Color, QColor(0, 0, 0));
    EXPECT_FALSE(look.Bold);
    EXPECT_EQ(look.Background, face);

    look = show(61.0f); // above the normal upper limit
    EXPECT_EQ(look.Color, QColor(255, 0, 0));
    EXPECT_FALSE(look.Bold);
    look = show(64.0f); // above both upper limits
    EXPECT_EQ(look.Color, QColor(255, 0, 0));
    EXPECT_TRUE(look.Bold);
    look = show(54.0f); // below the normal lower limit
    EXPECT_EQ(look.Color, QColor(0, 0, 255));
    EXPECT_FALSE(look.Bold);
    look = show(50.0f); // below both lower limits
    EXPECT_EQ(look.Color, QColor(0, 0, 255));
    EXPECT_TRUE(look.Bold);
    look = show(57.7f); // back within limits: black and regular again
    EXPECT_EQ(look.Value, QStringLiteral("57,700"));
    EXPECT_EQ(look.Color, QColor(0, 0, 0));
    EXPECT_FALSE(look.Bold);

    // during a limit period the wider set applies
    const std::array<TTimeInterval, 1> allDay{TTimeInterval{0, 0, 24, 0}};
    record.SetTimeIntervals(allDay);
    look = show(64.0f);
    EXPECT_EQ(look.Color, QColor(0, 0, 0));
}

TEST_F(BindingTest, NotMeaningfulValuesShowThePlaceholder)
{
    manager.AddScaledValue(Urms, &frame, 0, 0, 1, PhaseVoltageLimits());
    Store(Urms, 70.0f);
    record.SetDeviceDateTime(0.0); // nothing read from the meter yet
    manager.RefreshParameter(Urms);
    TLook look = LookOf(frame);
    EXPECT_EQ(look.Value, QStringLiteral("--- "));
    EXPECT_EQ(look.Dimension, QStringLiteral("В"));
    EXPECT_EQ(look.Color, QColor(0, 0, 0));
    EXPECT_FALSE(look.Bold);

    // phase-current coefficient: meaningful only above 0.1 % of the nominal current
    TValueWithDimensionFrame ki;
    ki.SetUnit(QStringLiteral("%"));
    manager.AddPlainValue(KI, &ki, 2, 2, 0);
    Store(KI, 3.25f);
    Store(I1, 0.004f);
    manager.RefreshParameter(KI);
    EXPECT_EQ(ki.ValueText(), QStringLiteral("--- "));
    Store(I1, 0.006f);
    manager.RefreshParameter(KI);
    EXPECT_EQ(ki.ValueText(), QStringLiteral("3,25"));
    EXPECT_EQ(ki.DimensionText(), QStringLiteral("%"));
}

TEST_F(BindingTest, ScaleAndPrefixComeFromTheNominals)
{
    WriteNominals(6000.0f, 10392.0f, 100.0f);
    manager.AddScaledValue(Urms, &frame, 0, 0, 1);
    TValueWithDimensionFrame power;
    power.SetUnit(QStringLiteral("Вт"));
    manager.AddScaledValue(P, &power, 0, 0, 4);
    Store(Urms, 6012.3f);
    Store(P, -1234.0f);
    manager.RefreshParameter(Urms);
    manager.RefreshParameter(P);
    EXPECT_EQ(frame.ValueText(), QStringLiteral("6,0123"));
    EXPECT_EQ(frame.DimensionText(), QStringLiteral("кВ"));
    // 600 kW nominal power: kilo, 3 decimals, whatever the value's size
    EXPECT_EQ(power.ValueText(), QStringLiteral("-1,234"));
    EXPECT_EQ(power.DimensionText(), QStringLiteral("кВт"));

    record.SetDeviceDateTime(0.0);
    manager.RefreshParameter(Urms);
    EXPECT_EQ(frame.DimensionText(), QStringLiteral("В")); // no prefix on the placeholder
}

TEST_F(BindingTest, ChannelStatusLightensTheBackgroundOfEveryValueOfThatChannel)
{
    TValueWithDimensionFrame current, lineVoltage, frequency;
    manager.AddScaledValue(Urms, &frame, 0, 0, 1);
    manager.AddScaledValue(Irms, &current, 0, 0, 3);
    manager.AddScaledValue(Urms + 3, &lineVoltage, 0, 3, 2);
    manager.AddPlainValue(F, &frequency, 3, 0, kNoChannel);
    Store(ChannelStatus + 0, 1.0f);
    Store(ChannelStatus + 3, 2.0f);
    for (int slot : {int(Urms), int(Irms), Urms + 3, int(F)})
        manager.RefreshParameter(slot);
    EXPECT_EQ(LookOf(frame).Background, QColor(198, 198, 140));
    EXPECT_EQ(LookOf(current).Background, QColor(198, 198, 140));
    EXPECT_EQ(LookOf(lineVoltage).Background, QColor(217, 179, 179));
    EXPECT_EQ(LookOf(frequency).Background, face);
    EXPECT_EQ(TParamsControlsManager::ChannelBackground(0), face);
}

TEST_F(BindingTest, HarmonicCellsShowValuesOnlyWhileBothCoefficientsCount)
{
    TIxStringGrid grid;
    grid.SetColCount(4);
    grid.SetRowCount(50);
    constexpr int n = 3;
    const int offset = 0 * HarmonicCount + (n - 2);
    TLimitDescriptor kuLimits;
    kuLimits.Index[4] = KunLimits2 + (n - 2); // maximum upper 131 + n
    kuLimits.Index[5] = KunLimits1 + (n - 2); // normal upper 81 + n
    manager.AddGridCell(KUn + offset, &grid, 5, kuLimits, 0, 1, n - 1, 1);
    manager.AddGridCell(FiUIn + offset, &grid, 5, {}, 0, 6, n - 1, 3);
    EXPECT_EQ(manager.Controls(FiUIn + offset)[0].HarmonicOrder, n);

    Store(U1, 57.0f);
    Store(I1, 4.0f);
    Store(FiUIn + offset, 12.5f);
    Store(KIn + offset, 0.5f);
    Store(KUn + offset, 0.09f); // too small a voltage harmonic for an angle
    manager.RefreshRange(DataFirst, DataEnd - 1);
    EXPECT_EQ(grid.Cell(3, n - 1), QStringLiteral("-.--"));
    EXPECT_EQ(grid.Cell(1, n - 1), QStringLiteral("0,09"));

    Store(KUn + offset, 4.0f); // above its normal limit 3
    manager.RefreshRange(DataFirst, DataEnd - 1);
    EXPECT_EQ(grid.Cell(3, n - 1), QStringLiteral("12,50"));
    EXPECT_EQ(grid.Cell(1, n - 1), QStringLiteral("4,00"));
    TCellOptions ku = grid.AboutCell(1, n - 1);
    EXPECT_EQ(ku.FontColor, QColor(255, 0, 0));
    EXPECT_EQ(ku.FontStyle, 0);
    EXPECT_EQ(ku.BrushColor, face);

    Store(KUn + offset, 6.0f); // above the maximum 5
    Store(ChannelStatus, 2.0f);
    manager.RefreshParameter(KUn + offset);
    ku = grid.AboutCell(1, n - 1);
    EXPECT_EQ(ku.FontStyle, fsBold);
    EXPECT_EQ(ku.BrushColor, QColor(217, 179, 179));

    Store(KIn + offset, 0.05f);
    manager.RefreshParameter(FiUIn + offset);
    EXPECT_EQ(grid.Cell(3, n - 1), QStringLiteral("-.--"));
    const TCellOptions angle = grid.AboutCell(3, n - 1);
    EXPECT_EQ(angle.FontColor, QColor(0, 0, 0));
    EXPECT_EQ(angle.CellType, TCellType::ctNormal);

    // a cell the grid lost is skipped, not written past the grid
    grid.SetRowCount(2);
    manager.RefreshParameter(FiUIn + offset);
}

TEST_F(BindingTest, BarsTakeScaledMeaningfulValuesOrZero)
{
    QCustomPlot plot;
    auto *bars = new QCPBars(plot.xAxis, plot.yAxis);
    QVector<double> keys, values(49, 0.0);
    for (int n = 2; n <= 50; ++n)
        keys << n;
    bars->setData(keys, values);

    manager.AddBarPoint(Un + 4, bars, 4, 1, 0, 1);
    manager.AddBarPoint(Un + 5, bars, 400, 1, 0, 1); // no such bar
    Store(U1, 57.0f);
    Store(Un + 4, 1.75f);
    Store(Un + 5, 2.0f);
    manager.RefreshRange(Un, Un + 5);
    EXPECT_DOUBLE_EQ((bars->data()->begin() + 4)->value, 1.75);
    EXPECT_EQ(bars->data()->size(), 49);

    Store(U1, 0.1f); // below 1 % of the nominal
    manager.RefreshParameter(Un + 4);
    EXPECT_DOUBLE_EQ((bars->data()->begin() + 4)->value, 0.0);

    plot.removePlottable(bars); // a series gone is skipped
    manager.RefreshParameter(Un + 4);
}

TEST_F(BindingTest, FailingNotificationIsLoggedReportedAndDoesNotStopTheList)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TMonitorR5Logger logger(dir.filePath(QStringLiteral("bindings.log")));
    ASSERT_TRUE(logger.Open());
    QStringList statusTexts;
    TParamsControlsManager guarded(record, &logger, [&](const QString &text) { statusTexts << text; });

    int calls = 0;
    guarded.AddNotification(
        PSum,
        [&] {
            ++calls;
            throw Exception(QStringLiteral("деление на ноль"));
        },
        QStringLiteral("DrawDiagramm_P_Q"));
    guarded.AddPlainValue(PSum, &frame, 1, 0, kNoChannel);
    guarded.AddNotification(
        QSum, [&] { ++calls; }, QStringLiteral("DrawDiagramm_Umf"));
    guarded.AddNotification(
        SSum,
        [&] {
            ++calls;
            throw std::runtime_error("bad");
        },
        QStringLiteral("DrawDiagramm_U0_I2"));
    Store(PSum, 12.5f);
    guarded.RefreshRange(PSum, SSum);

    EXPECT_EQ(calls, 3);
    EXPECT_EQ(frame.ValueText(), QStringLiteral("12,5")); // bound after the failing method
    EXPECT_EQ(statusTexts, (QStringList{QStringLiteral("Ошибка при расчете диаграмм"),
                                        QStringLiteral("Ошибка при расчете диаграмм")}));
    QFile file(dir.filePath(QStringLiteral("bindings.log")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = Cp1251::Decode(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].mid(26), QStringLiteral("Ошибка при расчете диаграмм DrawDiagramm_P_Q. деление на ноль"));
    EXPECT_EQ(lines[1].mid(26), QStringLiteral("Ошибка при расчете диаграмм DrawDiagramm_U0_I2. bad"));
}

TEST_F(BindingTest, AMethodBoundToManySlotsRunsOncePerRefreshAfterTheValues)
{
    QStringList statusTexts;
    TParamsControlsManager guarded(record, nullptr, [&](const QString &text) { statusTexts << text; });
    QStringList seen; // what the frame showed each time the method ran
    int failing = 0;
    const auto method = [&] { seen << frame.ValueText(); };
    for (int slot : {UnomPhase, Urms, Urms + 1, PSum, QSum})
        guarded.AddNotification(slot, method, QStringLiteral("DrawDiagramm_Uf_I"));
    guarded.AddPlainValue(QSum, &frame, 1, 0, kNoChannel);
    for (int slot : {PSum, QSum})
        guarded.AddNotification(
            slot,
            [&] {
                ++failing;
                throw Exception(QStringLiteral("нет"));
            },
            QStringLiteral("DrawDiagramm_P_Q"));

    Store(QSum, 7.5f);
    guarded.RefreshRange(Urms, DataEnd - 1);
    EXPECT_EQ(seen, QStringList{QStringLiteral("7,5")});
    EXPECT_EQ(failing, 1);
    EXPECT_EQ(statusTexts.size(), 1);

    guarded.RefreshParameter(UnomPhase);
    guarded.RefreshParameter(QSum);
    EXPECT_EQ(seen.size(), 3);
    EXPECT_EQ(failing, 2);
    EXPECT_EQ(statusTexts.size(), 2);
}

TEST_F(BindingTest, SignalSamplesReachTheViewAndAreCheckedWhenBound)
{
    std::vector<std::tuple<int, int, int>> points;
    manager.SetSignalPointHandler([&](int g, int s, int j) { points.emplace_back(g, s, j); });
    manager.AddShowingSignalForm(OscA + 1280 * 5 + 1279, 0, 5, 1279);
    manager.AddShowingSignalForm(OscB + 1280 * 2, 1, 2, 0);
    manager.RefreshRange(OscFirst, OscEnd - 1);
    EXPECT_EQ(points, (std::vector<std::tuple<int, int, int>>{{0, 5, 1279}, {1, 2, 0}}));

    const auto refused = [&](int group, int signal, int sample) {
        try {
            manager.AddShowingSignalForm(OscA, group, signal, sample);
        } catch (const EPreConditions &e) {
            return e.Message();
        }
        return QString();
    };
    const QString expected = QStringLiteral("TParamsControlsManager.AddShowingSignalForm. Предусловия не выполнены.");
    EXPECT_EQ(refused(0, 6, 0), expected);
    EXPECT_EQ(refused(1, 3, 0), expected);
    EXPECT_EQ(refused(0, 0, 1280), expected);
    EXPECT_EQ(refused(2, 0, 0), expected);
    EXPECT_EQ(manager.Controls(OscA).size(), 0u);
}

TEST_F(BindingTest, DestroyedFramesAreSkipped)
{
    auto *gone = new TValueWithDimensionFrame;
    manager.AddPlainValue(F, gone, 3, 0, kNoChannel);
    delete gone;
    manager.RefreshParameter(F);
}

} // namespace
