#include "support/PumpEvents.h"
#include "ui/pages/SignalsFormsFrame.h"

#include "common/Contracts.h"
#include "engine/Engine.h"
#include "engine/MeasurementRecord.h"
#include "engine/PollRun.h"
#include "engine/PollSettings.h"
#include "files/Comtrade.h"
#include "protocol/SimProcess.h"
#include "support/LoopbackConnection.h"
#include "support/WindowTestFixture.h"
#include "ui/FileDialog.h"
#include "ui/MessageBoxes.h"

#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QToolButton>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

using testsupport::PumpUntil;

void Pump()
{
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

// Sine waves of 64 samples a period: voltage s peaks at `volts` (phase
// shifted by s), the currents at `amperes`.
std::vector<float> Waves(float volts, float amperes)
{
    std::vector<float> samples(kAllSignals * kSignalSamples);
    for (int s = 0; s < kAllSignals; ++s)
        for (int j = 0; j < kSignalSamples; ++j)
            samples[s * kSignalSamples + j] =
                (s < 6 ? volts : amperes) * static_cast<float>(std::sin(2 * std::numbers::pi * j / 64 + s));
    return samples;
}

double Y(const QCPGraph *series, int point)
{
    return (series->data()->constBegin() + point)->value;
}

class SignalsFormsFrameTest : public testsupport::TWindowTest
{
protected:
    void SetUp() override
    {
        TWindowTest::SetUp();
        savedLocale_ = QLocale();
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        commons = std::make_unique<TCommons>(&factory, dir.filePath(QStringLiteral("poll.log")));
        frame = std::make_unique<TSignalsFormsFrame>();
        frame->ConnectEngine(*commons);
        frame->resize(830, 560);
    }
    void TearDown() override
    {
        commons->Stop();
        EXPECT_TRUE(commons->WaitForThread(30000));
        frame->DisconnectEngine();
        frame.reset();
        commons.reset();
        QLocale::setDefault(savedLocale_);
        TWindowTest::TearDown();
    }

    // Stores an oscillogram as the polling thread does; the page hears of it.
    void Store(const std::vector<float> &samples)
    {
        commons->Store()->WriteOscillogram(samples);
        Pump();
    }
    void Show()
    {
        frame->show();
        Pump();
    }
    QCustomPlot &Chart() { return *frame->Chart(); }
    QCPRange Bottom() { return Chart().xAxis->range(); }

    QTemporaryDir dir;
    TObjectsFactoryVD factory;
    std::unique_ptr<TCommons> commons;
    std::unique_ptr<TSignalsFormsFrame> frame;

private:
    QLocale savedLocale_;
};

TEST_F(SignalsFormsFrameTest, BuildsTheControlsAndSeriesOfThePage)
{
    Show();
    const QStringList names{QStringLiteral("Ua"),       QStringLiteral("U\u0432"),       QStringLiteral("U\u0441"),
                            QStringLiteral("Ua\u0432"), QStringLiteral("U\u0432\u0441"), QStringLiteral("U\u0441a"),
                            QStringLiteral("Ia"),       QStringLiteral("I\u0432"),       QStringLiteral("I\u0441")};
    const TAllSignalsForms &forms = *frame->Representer()->Forms();
    for (int s = 0; s < kAllSignals; ++s) {
        QCheckBox *box = s < 6 ? frame->chkVoltage[s] : frame->chkCurrent[s - 6];
        QCPGraph *series = s < 6 ? frame->lnsrsVoltage[s] : frame->lnsrsCurrent[s - 6];
        const QColor colour = forms.ReturnSignalForm(s >= 6, s >= 6 ? s - 6 : s)->Color();
        EXPECT_EQ(box->text(), names[s]);
        EXPECT_TRUE(box->font().bold());
        EXPECT_TRUE(box->isChecked());
        EXPECT_EQ(box->palette().color(QPalette::WindowText), colour);
        EXPECT_EQ(series->pen().color(), colour);
        EXPECT_EQ(series->pen().width(), 3);
        EXPECT_EQ(series->pen().style(), s < 6 ? Qt::SolidLine : Qt::DashLine);
        EXPECT_EQ(series->valueAxis(), s < 6 ? Chart().yAxis : Chart().yAxis2);
        EXPECT_EQ(series->scatterStyle().shape(), QCPScatterStyle::ssNone);
        ASSERT_EQ(series->data()->size(), 128) << "two periods of 64 samples";
        EXPECT_EQ(series->data()->constBegin()->key, 1);
        EXPECT_EQ((series->data()->constEnd() - 1)->key, 128);
    }
    EXPECT_EQ(Chart().graphCount(), 11);
    EXPECT_EQ(frame->lnsrsVoltageGrid->name(), QStringLiteral("Напряжение. Сетка."));
    EXPECT_EQ(frame->lnsrsCurrentGrid->valueAxis(), Chart().yAxis2);
    EXPECT_TRUE(frame->lnsrsVoltageGrid->data()->isEmpty());
    EXPECT_EQ(frame->lnsrsVoltage[3]->name(), QStringLiteral("Напряжение. Фаза АВ."));
    EXPECT_EQ(Chart().yAxis->label(), QStringLiteral("Напряжение,  В"));
    EXPECT_EQ(Chart().yAxis2->label(), QStringLiteral("Ток,  А"));
    EXPECT_EQ(Chart().xAxis->label(), QStringLiteral("Отсчёт"));
    EXPECT_EQ(Bottom(), QCPRange(1, 128));
    EXPECT_FALSE(Chart().xAxis2->visible());
    EXPECT_FALSE(frame->chkShowPoints->isChecked());
    EXPECT_TRUE(frame->chkCoordGridVisibility->isChecked());
    EXPECT_FALSE(frame->chkFreeze->isChecked());
    EXPECT_FALSE(frame->chkSaveOscillograms->isChecked());
    EXPECT_EQ(frame->ud1->value(), 2);
    EXPECT_EQ(frame->trckbr1->value(), 2);
    EXPECT_EQ(frame->trckbr1->minimum(), 2);
    EXPECT_EQ(frame->trckbr1->maximum(), 20);
    for (QLabel *label : {frame->lblInfoVoltageValue, frame->lblInfoVoltageData, frame->lblInfoCurrentValue,
                          frame->lblInfoCurrentData, frame->lblInfoPointIndexValue})
        EXPECT_EQ(label->text(), QStringLiteral("-"));
    EXPECT_EQ(commons->OscPeriods(), 2);

    // the bottom axis spans 2 % to 98 % of the width between the vertical axes
    const QRect area = Chart().axisRect()->rect();
    const double between = area.width() + Chart().yAxis->offset() + Chart().yAxis2->offset();
    EXPECT_GT(area.width(), 300);
    EXPECT_NEAR(Chart().yAxis->offset(), 0.02 * between, 0.5);
    EXPECT_NEAR(Chart().yAxis2->offset(), 0.02 * between, 0.5);
    EXPECT_DOUBLE_EQ(Chart().xAxis->coordToPixel(Bottom().lower), area.left());

    // the periods: a horizontal up-down (arrow buttons and keys) in step
    // with the track bar, held within 2 ... 20
    EXPECT_EQ(frame->ud1->LeftButton()->arrowType(), Qt::LeftArrow);
    EXPECT_EQ(frame->ud1->RightButton()->arrowType(), Qt::RightArrow);
    EXPECT_LT(frame->ud1->LeftButton()->x(), frame->ud1->RightButton()->x());
    EXPECT_EQ(frame->ud1->LeftButton()->y(), frame->ud1->RightButton()->y());
    QTest::mouseClick(frame->ud1->RightButton(), Qt::LeftButton);
    EXPECT_EQ(frame->trckbr1->value(), 3);
    EXPECT_EQ(commons->OscPeriods(), 3);
    QTest::keyClick(frame->ud1, Qt::Key_Left);
    QTest::keyClick(frame->ud1, Qt::Key_Left);
    EXPECT_EQ(frame->ud1->value(), 2);
    EXPECT_EQ(frame->trckbr1->value(), 2);
    frame->trckbr1->setValue(20);
    EXPECT_EQ(frame->ud1->value(), 20);
    EXPECT_TRUE(frame->ud1->toolTip().endsWith(QStringLiteral(": 20")));
    QTest::keyClick(frame->ud1, Qt::Key_Right);
    EXPECT_EQ(frame->ud1->value(), 20);
    frame->trckbr1->setValue(2);
    Pump();

    // markers and grid follow their check boxes
    frame->chkShowPoints->click();
    for (QCPGraph *series : frame->lnsrsCurrent) {
        EXPECT_EQ(series->scatterStyle().shape(), QCPScatterStyle::ssCircle);
        EXPECT_EQ(series->scatterStyle().size(), 3);
    }
    frame->chkCoordGridVisibility->click();
    EXPECT_FALSE(frame->Representer()->GridVisible());
    for (QCPAxis *axis : {Chart().xAxis, Chart().yAxis, Chart().yAxis2})
        EXPECT_FALSE(axis->grid()->visible());

    // the separator hides and shows the settings
    QTest::mouseClick(frame->pnlSeparator, Qt::LeftButton);
    EXPECT_EQ(frame->pnlSeparator->text(), QStringLiteral(">>"));
    EXPECT_TRUE(frame->pnlSettings->isHidden());
    QTest::mouseClick(frame->pnlSeparator, Qt::LeftButton);
    EXPECT_EQ(frame->pnlSeparator->text(), QStringLiteral("<<"));
    EXPECT_FALSE(frame->pnlSettings->isHidden());
}

TEST_F(SignalsFormsFrameTest, ShowsEachStoredOscillogramWholeAndOnlyWhenShown)
{
    Show();
    const int interval = 1000; // long beside a slow (sanitized) chart refresh
    frame->SetRefreshInterval(interval);
    QElapsedTimer sinceFirst; // started before the first refresh, however slow it is
    sinceFirst.start();
    Store(Waves(300, 4));
    EXPECT_FLOAT_EQ(Y(frame->lnsrsVoltage[0], 16), 300 * std::sin(std::numbers::pi / 2));
    EXPECT_FLOAT_EQ(Y(frame->lnsrsCurrent[2], 0), 4 * std::sin(8.0));

    // oscillograms coming faster than the refresh interval wait, and the
    // latest of them shows when it is over
    Store(Waves(310, 4));
    Store(Waves(320, 4));
    EXPECT_FLOAT_EQ(Y(frame->lnsrsVoltage[0], 16), 300);
    EXPECT_TRUE(testsupport::PumpUntil([&] { return Y(frame->lnsrsVoltage[0], 16) == 320; }, 10000));
    EXPECT_GE(sinceFirst.elapsed(), interval - 60); // a coarse timer may fire 5 % early
    frame->SetRefreshInterval(0);                   // from here on each one at once

    // a hidden page does no chart work; shown again it draws the latest
    frame->hide();
    Store(Waves(100, 1));
    EXPECT_FLOAT_EQ(Y(frame->lnsrsVoltage[0], 16), 320);
    Show();
    EXPECT_FLOAT_EQ(Y(frame->lnsrsVoltage[0], 16), 100);

    // hiding a signal keeps its points
    QTest::mouseClick(frame->chkVoltage[0], Qt::LeftButton);
    EXPECT_FALSE(frame->lnsrsVoltage[0]->visible());
    EXPECT_FALSE(frame->Representer()->Forms()->GetVoltage(0)->Showing());
    Store(Waves(200, 2));
    EXPECT_FLOAT_EQ(Y(frame->lnsrsVoltage[0], 16), 200);
    QTest::mouseClick(frame->chkVoltage[0], Qt::LeftButton);
    EXPECT_TRUE(frame->lnsrsVoltage[0]->visible());
    EXPECT_FLOAT_EQ(Y(frame->lnsrsVoltage[0], 16), 200);

    // a frozen picture stays while the record moves on
    frame->chkFreeze->click();
    Store(Waves(50, 0.5f));
    Store(Waves(60, 0.6f));
    EXPECT_FLOAT_EQ(Y(frame->lnsrsVoltage[0], 16), 200);
    EXPECT_FLOAT_EQ(Y(frame->lnsrsCurrent[0], 16), 2 * std::sin(std::numbers::pi / 2 + 6));
    frame->chkFreeze->click();
    EXPECT_FLOAT_EQ(Y(frame->lnsrsVoltage[0], 16), 60);
}

TEST_F(SignalsFormsFrameTest, AutoButtonScalesAndTheSampleAxisStaysInTheRecord)
{
    Show();
    std::vector<float> waves = Waves(325, 5);
    waves[6 * kSignalSamples + 100] = -5; // no current crest falls on a sample by itself
    Store(waves);
    QTest::mouseClick(frame->Button1, Qt::LeftButton);
    Pump();
    EXPECT_FLOAT_EQ(Chart().yAxis->range().upper, 357.5f);
    EXPECT_FLOAT_EQ(Chart().yAxis2->range().lower, -5.5f);
    EXPECT_EQ(Bottom(), QCPRange(0, 128));
    // the chart's ranges went back into the model after the redraw
    EXPECT_FLOAT_EQ(frame->Representer()->Settings()->PointsAxis()->Maximum(), 128);

    // a zoom that would start at -5 starts at 1
    Chart().xAxis->setRange(-5, 100);
    EXPECT_EQ(Bottom(), QCPRange(1, 100));
    Chart().xAxis->setRange(50, 1500);
    EXPECT_EQ(Bottom(), QCPRange(50, 1280));
    // a pan beyond either end is held at that end, keeping the span
    Chart().xAxis->setRange(10, 110);
    Chart().xAxis->setRange(-10, 90);
    EXPECT_EQ(Bottom(), QCPRange(1, 101));
    Chart().xAxis->setRange(1200, 1300);
    EXPECT_EQ(Chart().xAxis->range(), QCPRange(1180, 1280));
    EXPECT_EQ(Chart().xAxis2->range(), Bottom());
    // the mouse wheel zooms out past the first sample: held at 1
    QWheelEvent wheel(QPointF(Chart().xAxis->coordToPixel(1200), Chart().yAxis->coordToPixel(0)),
                      Chart().mapToGlobal(QPointF(0, 0)), QPoint(), QPoint(0, -1200), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&Chart(), &wheel);
    EXPECT_GE(Bottom().lower, 1);
    EXPECT_LE(Bottom().upper, 1280);

    // a double click goes back to the range the model set last
    QTest::mouseDClick(&Chart(), Qt::LeftButton, {}, QPoint(Chart().width() / 2, Chart().height() / 2));
    Pump();
    EXPECT_EQ(Bottom(), QCPRange(0, 128));
    EXPECT_FLOAT_EQ(Chart().yAxis->range().upper, 357.5f);
}

TEST_F(SignalsFormsFrameTest, CursorReadOutNamesTheCurveAndReadsDashOutsideTheRanges)
{
    Show();
    Store(Waves(325, 5));
    frame->AutoScale();
    Chart().replot();
    // on the Ua curve at sample 17 (index 16, its crest)
    const QPoint onCurve(static_cast<int>(std::ceil(Chart().xAxis->coordToPixel(17))),
                         qRound(Chart().yAxis->coordToPixel(325)));
    frame->CursorReadOut(onCurve);
    EXPECT_EQ(frame->lblInfoVoltageData->text(), QStringLiteral("Ua"));
    EXPECT_EQ(frame->lblInfoVoltageData->palette().color(QPalette::WindowText), QColor(255, 255, 0));
    EXPECT_EQ(frame->lblInfoCurrentData->text(), QStringLiteral("-"));
    EXPECT_EQ(frame->lblInfoPointIndexValue->text(), QStringLiteral("17"));
    EXPECT_TRUE(frame->lblInfoVoltageValue->text().startsWith(QStringLiteral("32")))
        << frame->lblInfoVoltageValue->text().toStdString();
    EXPECT_TRUE(frame->lblInfoVoltageValue->text().endsWith(QStringLiteral(" В")));
    EXPECT_TRUE(frame->lblInfoCurrentValue->text().endsWith(QStringLiteral(" А")));

    // left of the first sample: every value reads "-"
    const QPoint left(qRound(Chart().xAxis->coordToPixel(-3)), qRound(Chart().yAxis->coordToPixel(0)));
    frame->CursorReadOut(left);
    for (QLabel *label : {frame->lblInfoVoltageValue, frame->lblInfoVoltageData, frame->lblInfoCurrentValue,
                          frame->lblInfoCurrentData, frame->lblInfoPointIndexValue})
        EXPECT_EQ(label->text(), QStringLiteral("-")) << label->objectName().toStdString();
    EXPECT_EQ(frame->lblInfoVoltageData->palette().color(QPalette::WindowText),
              frame->palette().color(QPalette::WindowText));

    // the mouse gone from the chart (never over it here), the next redraw
    // reads "-" where the read-out showed a curve
    frame->CursorReadOut(onCurve);
    ASSERT_EQ(frame->lblInfoPointIndexValue->text(), QStringLiteral("17"));
    Chart().replot();
    for (QLabel *label : {frame->lblInfoVoltageValue, frame->lblInfoVoltageData, frame->lblInfoCurrentValue,
                          frame->lblInfoCurrentData, frame->lblInfoPointIndexValue})
        EXPECT_EQ(label->text(), QStringLiteral("-")) << label->objectName().toStdString();

    // a hidden curve is never the one under the mouse
    QTest::mouseClick(frame->chkVoltage[0], Qt::LeftButton);
    frame->CursorReadOut(onCurve);
    EXPECT_EQ(frame->lblInfoVoltageData->text(), QStringLiteral("-"));
    EXPECT_EQ(frame->lblInfoPointIndexValue->text(), QStringLiteral("17"));
}

// Peak resident memory of this process since the last Reset (Linux).
struct TPeakMemory
{
    static bool Reset()
    {
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
    }
    static qint64 Bytes()
    {
        QFile status(QStringLiteral("/proc/self/status"));
        if (!status.open(QIODevice::ReadOnly))
            return -1;
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
        return -1;
    }
};

// One sample of a million volts on an axis held at ±160 V, then a 1000-fold
// zoom of the vertical axes alone: curves leave the chart by up to a million
// pixels, and painting them takes no more memory than the chart's own size.
TEST_F(SignalsFormsFrameTest, CurvesFarOffTheChartTakeNoMoreMemoryThanTheChart)
{
    constexpr qint64 kAllowed = 20 << 20;
    Show();
    frame->SetRefreshInterval(0);
    Chart().yAxis->setRange(-160, 160);
    Chart().yAxis2->setRange(-5, 5);
    Store(Waves(150, 4));
    Chart().replot();
    const qsizetype before = frame->CurveCanvasBytes();
    const QRect area = Chart().axisRect()->rect();
    ASSERT_GT(before, 0);
    EXPECT_LE(before, kAllSignals * qsizetype(area.width()) * area.height() * 4);
    const bool peakKnown = TPeakMemory::Reset();
    const qint64 peakBefore = TPeakMemory::Bytes();

    std::vector<float> spike = Waves(150, 4);
    spike[40] = 1e6f; // Ua
    Store(spike);
    ASSERT_FLOAT_EQ(Y(frame->lnsrsVoltage[0], 40), 1e6f);
    Chart().replot();
    EXPECT_EQ(Chart().yAxis->range(), QCPRange(-160, 160)) << "the axis held";
    EXPECT_LT(frame->CurveCanvasBytes() - before, kAllowed);

    Store(Waves(150, 4));
    for (QCPAxis *axis : {Chart().yAxis, Chart().yAxis2})
        axis->scaleRange(1e-3);
    Chart().replot();
    EXPECT_LT(frame->CurveCanvasBytes() - before, kAllowed);
    if (peakKnown) {
        EXPECT_LT(TPeakMemory::Bytes() - peakBefore, kAllowed);
    }
}

TEST_F(SignalsFormsFrameTest, LookupsAndHandlersCheckTheirArguments)
{
    TFormsBuisnessAndGUIConformityManager forms(frame.get());
    QLabel label;
    try {
        forms.ConformityBySeries(&label);
        ADD_FAILURE() << "a label taken for a series";
    } catch (const EPreConditions &e) {
        EXPECT_EQ(
            e.Message(),
            QStringLiteral("TFormsBuisnessAndGUIConformityManager.ConformityBySeries. Предусловия не выполнены."));
    }
    EXPECT_THROW(forms.ConformityByCheckBox(nullptr), EPreConditions);
    EXPECT_THROW(forms.ConformityBySignalForm(nullptr), EPreConditions);
    EXPECT_THROW(forms.AddConformity(nullptr, frame->lnsrsVoltage[0], frame->chkVoltage[0], &label), EPreConditions);
    EXPECT_EQ(forms.ConformityBySeries(frame->lnsrsVoltage[0]), nullptr);
    TAxisBuisnessAndGUIConformityManager axes(frame.get());
    EXPECT_THROW(axes.ConformityByAxisInfo(nullptr), EPreConditions);
    EXPECT_THROW(TAxisBuisnessAndGUIConformityManager(nullptr), EPreConditions);
}

TEST_F(SignalsFormsFrameTest, SavedComtradePairReadsBackWithTheSamplesOnScreen)
{
    Show();
    commons->Store()->SetDeviceDateTime(QDateTime(QDate(2024, 6, 15), QTime(13, 45, 10, 123)));
    const std::vector<float> waves = Waves(325.25f, 4.75f);
    Store(waves);
    frame->chkFreeze->click();
    Store(Waves(1, 1)); // not on screen

    TFileDialogRequest asked;
    const QString chosen = dir.filePath(QStringLiteral("saved.cfg"));
    SetFileDialogHook([&](const TFileDialogRequest &request, QString &path) {
        asked = request;
        path = chosen;
        return true;
    });
    ASSERT_TRUE(frame->SaveShownOscillogram()) << messages.join(u'|').toStdString();
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_TRUE(asked.FileName.startsWith(QStringLiteral("osci_"))) << asked.FileName.toStdString();
    EXPECT_TRUE(asked.FileName.endsWith(QStringLiteral("_0_240615_134510123.cfg"))) << asked.FileName.toStdString();
    EXPECT_TRUE(asked.OverwritePrompt);
    EXPECT_EQ(asked.DefaultExtension, QStringLiteral("cfg"));

    QFile cfg(chosen), dat(dir.filePath(QStringLiteral("saved.dat")));
    ASSERT_TRUE(cfg.open(QIODevice::ReadOnly) && dat.open(QIODevice::ReadOnly));
    const TFileCOMTRADE back(dat.readAll(), cfg.readAll());
    EXPECT_EQ(back.AnalogCount(), 9);
    EXPECT_EQ(back.StartMoment(), QDateTime(QDate(2024, 6, 15), QTime(13, 45, 10, 123)));
    EXPECT_EQ(back.Channel(6).Name, QStringLiteral("Ia"));
    EXPECT_EQ(back.Channel(6).Units, QStringLiteral("A"));
    for (int s = 0; s < kAllSignals; ++s) {
        const float step = (s < 6 ? 325.25f : 4.75f) / 32767;
        for (int j = 0; j < 128; ++j)
            ASSERT_NEAR(back.Sample(s, j), waves[s * kSignalSamples + j], step * 0.5f + 1e-6f) << s << " " << j;
        EXPECT_EQ(back.Sample(s, 128), 0.0f) << "only the periods on screen";
    }

    // cancelled: nothing written
    SetFileDialogHook([](const TFileDialogRequest &, QString &) { return false; });
    EXPECT_FALSE(frame->SaveShownOscillogram());
}

// Against the meter simulator: the first oscillogram of a run is scaled at
// once, and a change of periods while polling refills the curves and asks
// the meter for that many periods.
TEST_F(SignalsFormsFrameTest, PeriodsFollowTheTrackBarWhilePolling)
{
    testsim::TSimProcess sim;
    ASSERT_TRUE(sim.Started());
    Show();
    commons->Settings()->SetConnection(testsupport::LoopbackConnection<TccnM7SQDev>(sim.Port(), 77));
    commons->Start();
    ASSERT_TRUE(PumpUntil([&] { return Chart().yAxis->range().upper != 100; })) << "first oscillogram scaled";
    EXPECT_GT(Chart().yAxis2->range().upper, 0.5);
    EXPECT_EQ(Bottom(), QCPRange(0, 128));
    EXPECT_EQ(frame->lnsrsVoltage[0]->data()->size(), 128);
    EXPECT_NE(Y(frame->lnsrsVoltage[0], 10), 0.0);

    frame->trckbr1->setValue(20);
    EXPECT_EQ(frame->ud1->value(), 20);
    EXPECT_EQ(commons->OscPeriods(), 20);
    for (QCPGraph *series : frame->lnsrsCurrent) {
        ASSERT_EQ(series->data()->size(), 1280);
        EXPECT_EQ((series->data()->constEnd() - 1)->key, 1280);
    }
    ASSERT_TRUE(PumpUntil([&] { return Bottom() == QCPRange(0, 1280); }));

    commons->Stop();
    ASSERT_TRUE(commons->WaitForThread(30000));
    ASSERT_TRUE(PumpUntil([&] { return commons->RunState() == rsStopped; }));
    frame->ud1->setValue(5);
    EXPECT_EQ(frame->trckbr1->value(), 5);
    EXPECT_EQ(frame->lnsrsVoltage[0]->data()->size(), 1280) << "stopped: the curves keep their points";
    ASSERT_TRUE(PumpUntil([&] { return Bottom() == QCPRange(0, 320); }));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();
}

} // namespace
