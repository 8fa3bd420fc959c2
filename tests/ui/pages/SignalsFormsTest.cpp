#include "ui/pages/SignalsForms.h"

#include "common/Contracts.h"
#include "engine/MeasurementRecord.h"
#include "engine/RecordSlots.h"

#include <QLocale>
#include <QStringList>
#include <gtest/gtest.h>

#include <vector>

namespace {

// Notes every call the model makes on its view.
class TRecordingView : public ISignalsFormView
{
public:
    QStringList calls;

    void Attach(TSignalsFormsRepresenter *) override { calls << "Attach"; }
    void Detach() override { calls << "Detach"; }
    void AxisRangeChanged(TAxisInfo *axis) override { calls << "AxisRangeChanged " + axis->Name(); }
    void AxisAdded(TAxisInfo *) override { calls << "AxisAdded"; }
    void GridVisibilityChanged() override { calls << "GridVisibilityChanged"; }
    void CursorInfoChanged(TFormOfOneSignal *, TChartInfoAndSettings *) override { calls << "CursorInfoChanged"; }
    void SignalColorChanged(TFormOfOneSignal *) override { calls << "SignalColorChanged"; }
    void SignalPointChanged(TFormOfOneSignal *signal, int sample) override
    {
        calls << QStringLiteral("SignalPointChanged %1 %2").arg(signal->Name()).arg(sample);
    }
    void SignalNameChanged(TFormOfOneSignal *) override { calls << "SignalNameChanged"; }
    void SignalPointsVisibilityChanged(TFormOfOneSignal *) override { calls << "SignalPointsVisibilityChanged"; }
    void SignalShowingChanged(TFormOfOneSignal *) override { calls << "SignalShowingChanged"; }
    void SignalsSamplesChanged() override { calls << "SignalsSamplesChanged"; }
};

class SignalsFormsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        savedLocale_ = QLocale();
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    }
    void TearDown() override { QLocale::setDefault(savedLocale_); }

    // An oscillogram whose voltages peak at uPeak and currents at iPeak,
    // each peak at the given sample (negative peaks count as well).
    void Store(float uPeak, float iPeak, int at = 5)
    {
        std::vector<float> samples(kAllSignals * kSignalSamples, 0.0f);
        samples[2 * kSignalSamples + at] = -uPeak;
        samples[kSignalSamples + at] = uPeak / 2;
        samples[7 * kSignalSamples + at] = iPeak;
        record.WriteOscillogram(samples);
        representer.UpdateSamples();
    }
    static std::pair<float, float> Range(const TAxisInfo *axis) { return {axis->Minimum(), axis->Maximum()}; }

    TRecordingView view;
    TDataStorageManagerVD record;
    TSignalsFormsRepresenter representer{&view, &record.Values()};
    TChartInfoAndSettings &settings = *representer.Settings();

private:
    QLocale savedLocale_;
};

TEST_F(SignalsFormsTest, SignalsAndAxesStartWithTheirNamesColoursAndRanges)
{
    const TAllSignalsForms &forms = *representer.Forms();
    // "a" Latin, "в" and "с" Cyrillic
    const QStringList names{QStringLiteral("Ua"),       QStringLiteral("U\u0432"),       QStringLiteral("U\u0441"),
                            QStringLiteral("Ua\u0432"), QStringLiteral("U\u0432\u0441"), QStringLiteral("U\u0441a"),
                            QStringLiteral("Ia"),       QStringLiteral("I\u0432"),       QStringLiteral("I\u0441")};
    const QList<QColor> colours{{255, 255, 0}, {0, 255, 0},   {255, 0, 0}, {102, 69, 0}, {160, 160, 160},
                                {151, 0, 151}, {255, 204, 0}, {0, 128, 0}, {255, 0, 128}};
    for (int s = 0; s < kAllSignals; ++s) {
        const TFormOfOneSignal *signal = forms.ReturnSignalForm(s >= 6, s >= 6 ? s - 6 : s);
        EXPECT_EQ(signal->Name(), names[s]) << s;
        EXPECT_EQ(signal->Color(), colours[s]) << s;
        EXPECT_TRUE(signal->Showing());
        EXPECT_FALSE(signal->PointsVisible());
    }
    EXPECT_EQ(names[0].at(1), QChar(u'a'));
    EXPECT_TRUE(representer.GridVisible());
    EXPECT_EQ(view.calls.first(), QStringLiteral("SignalColorChanged")) << "the colours are set before the names";
    EXPECT_TRUE(view.calls.contains(QStringLiteral("Attach")));

    EXPECT_EQ(Range(settings.VoltageAxis()), std::make_pair(-100.0f, 100.0f));
    EXPECT_EQ(Range(settings.CurrentAxis()), std::make_pair(-1.0f, 1.0f));
    EXPECT_EQ(Range(settings.PointsAxis()), std::make_pair(1.0f, 128.0f));
    EXPECT_EQ(settings.VoltageAxis()->Caption(), QStringLiteral("Напряжение,  В"));
    EXPECT_EQ(settings.CurrentAxis()->Caption(), QStringLiteral("Ток,  А"));
    EXPECT_EQ(settings.PointsAxis()->Caption(), QStringLiteral("Отсчёт"));
    EXPECT_EQ(settings.VoltageAxis()->ValueText(220.5f), QStringLiteral("220,500 В"));
    EXPECT_EQ(settings.CurrentAxis()->ValueText(-1.25f), QStringLiteral("-1,2500 А"));
    EXPECT_EQ(settings.PointsAxis()->ValueText(12.9f), QStringLiteral("12"));
    EXPECT_EQ(settings.PointsAxis()->ValueText(-3.7f), QStringLiteral("-3"));
}

TEST_F(SignalsFormsTest, AutoScaleFollowsThePeaksOfAllSamples)
{
    representer.AutoScale(); // nothing stored yet
    EXPECT_EQ(Range(settings.VoltageAxis()), std::make_pair(-100.0f, 100.0f));
    EXPECT_EQ(Range(settings.CurrentAxis()), std::make_pair(-1.0f, 1.0f));
    EXPECT_EQ(Range(settings.PointsAxis()), std::make_pair(0.0f, 128.0f));

    Store(230, 0); // currents all zero: neither vertical range moves
    representer.AutoScale();
    EXPECT_EQ(Range(settings.VoltageAxis()), std::make_pair(-100.0f, 100.0f));

    Store(325, 5);
    representer.AutoScale();
    EXPECT_EQ(Range(settings.VoltageAxis()), std::make_pair(-357.5f, 357.5f));
    EXPECT_EQ(Range(settings.CurrentAxis()), std::make_pair(-5.5f, 5.5f));

    // a peak beyond the periods shown counts too; the sample axis follows the periods
    Store(100, 2, kSignalSamples - 1);
    representer.SetPeriods(20);
    representer.AutoScale();
    EXPECT_EQ(Range(settings.VoltageAxis()), std::make_pair(-110.0f, 110.0f));
    EXPECT_EQ(Range(settings.CurrentAxis()), std::make_pair(-2.2f, 2.2f));
    EXPECT_EQ(Range(settings.PointsAxis()), std::make_pair(0.0f, 1280.0f));
}

TEST_F(SignalsFormsTest, CursorTextsReadDashOnceAnyValueLeavesItsRange)
{
    representer.CursorMoved(nullptr, 50.25f, 0.5f, 64.9f);
    EXPECT_EQ(view.calls.last(), QStringLiteral("CursorInfoChanged"));
    EXPECT_EQ(settings.AxisValueText(settings.VoltageAxis()), QStringLiteral("50,250 В"));
    EXPECT_EQ(settings.AxisValueText(settings.CurrentAxis()), QStringLiteral("0,5000 А"));
    EXPECT_EQ(settings.AxisValueText(settings.PointsAxis()), QStringLiteral("64"));
    EXPECT_FALSE(representer.NeedsAutoScaleOnUndo());

    representer.CursorMoved(nullptr, 50, 0.5f, 129); // right of the samples shown
    for (const TAxisInfo *axis : {settings.VoltageAxis(), settings.CurrentAxis(), settings.PointsAxis()})
        EXPECT_EQ(settings.AxisValueText(axis), QStringLiteral("-"));

    // below the chart, within the samples: an undo scales anew
    Store(325, 5);
    representer.CursorMoved(nullptr, -150, -2, 10);
    EXPECT_TRUE(representer.NeedsAutoScaleOnUndo());
    representer.UndoZoom();
    EXPECT_EQ(Range(settings.VoltageAxis()), std::make_pair(-357.5f, 357.5f));
    representer.CursorMoved(nullptr, -150, 0, 10);
    view.calls.clear();
    representer.UndoZoom();
    EXPECT_TRUE(view.calls.isEmpty()) << view.calls.join(u'|').toStdString();
}

TEST_F(SignalsFormsTest, SettersTellTheViewOnlyOfChangesAndContractsGuardTheIndices)
{
    TFormOfOneSignal &ua = *representer.Forms()->GetVoltage(0);
    view.calls.clear();
    ua.SetShowing(true);
    ua.SetPointsVisible(false);
    ua.SetName(ua.Name());
    ua.SetColor(ua.Color());
    representer.SetGridVisible(true);
    EXPECT_TRUE(view.calls.isEmpty()) << view.calls.join(u'|').toStdString();
    ua.SetShowing(false);
    representer.Forms()->SetPointsVisibleAll(true);
    representer.SetGridVisible(false);
    representer.UpdatePoint(true, 2, 1279);
    EXPECT_EQ(view.calls.count(QStringLiteral("SignalShowingChanged")), 1);
    EXPECT_EQ(view.calls.count(QStringLiteral("SignalPointsVisibilityChanged")), 9);
    EXPECT_EQ(view.calls.count(QStringLiteral("GridVisibilityChanged")), 1);
    EXPECT_EQ(view.calls.last(), QStringLiteral("SignalPointChanged I\u0441 1279"));

    try {
        ua.GetPoint(kSignalSamples);
        ADD_FAILURE() << "GetPoint(1280) passed";
    } catch (const EPreConditions &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("TFormOfOneSignal.GetPoint. Предусловия не выполнены."));
    }
    EXPECT_THROW(ua.GetPoint(-1), EPreConditions);
    EXPECT_NO_THROW(ua.GetPoint(kSignalSamples - 1));
    EXPECT_THROW(representer.Forms()->GetVoltage(6), EPreConditions);
    EXPECT_THROW(representer.Forms()->GetCurrent(3), EPreConditions);
    EXPECT_THROW(representer.Forms()->ReturnSignalForm(true, 3), EPreConditions);
    EXPECT_NO_THROW(representer.Forms()->ReturnSignalForm(false, 5));
    EXPECT_THROW(settings.VoltageAxis()->SetMinimumAndMaximum(1, 2), EPreConditions);
    EXPECT_THROW(TFormOfOneSignal(nullptr, representer.Samples().data()), EPreConditions);
    EXPECT_THROW(TSignalsFormsRepresenter(&view, nullptr), EPreConditions);
}

TEST_F(SignalsFormsTest, SamplesAreTakenWholeOnceAndKeptWhileFrozen)
{
    Store(100, 1);
    EXPECT_FLOAT_EQ(representer.Forms()->GetVoltage(2)->GetPoint(5), -100.0f);
    view.calls.clear();
    EXPECT_FALSE(representer.UpdateSamples()) << "the same oscillogram again";
    EXPECT_TRUE(view.calls.isEmpty());

    representer.SetFrozen(true);
    Store(200, 2);
    EXPECT_FLOAT_EQ(representer.Forms()->GetVoltage(2)->GetPoint(5), -100.0f);
    EXPECT_FLOAT_EQ(representer.Forms()->GetCurrent(1)->GetPoint(5), 1.0f);
    EXPECT_TRUE(view.calls.isEmpty());

    representer.SetFrozen(false);
    EXPECT_TRUE(representer.UpdateSamples());
    EXPECT_EQ(view.calls, QStringList{QStringLiteral("SignalsSamplesChanged")});
    EXPECT_FLOAT_EQ(representer.Forms()->GetVoltage(2)->GetPoint(5), -200.0f);
    EXPECT_FLOAT_EQ(representer.Forms()->GetCurrent(1)->GetPoint(5), 2.0f);
}

} // namespace
