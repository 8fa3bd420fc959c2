// Cost on the window's thread of the "Формы сигналов" page: one stored
// oscillogram (9 x 1280 samples, 20 periods on screen) taken from the record
// and drawn, the read-out under a moving mouse, and, as the baseline of the
// same run, a repaint of the chart with nothing new. Against a 16.7 ms frame
// of the window thread's CPU time (the page paints on that thread; on a
// shared machine the wall-clock time mostly measures the other processes).

#include "BenchSupport.h"
#include "engine/Engine.h"
#include "engine/MeasurementRecord.h"
#include "engine/PollRun.h"
#include "ui/SignalsFormsFrame.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QSlider>
#include <QTemporaryDir>
#include <qcustomplot.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

using benchsupport::App;

// Distorted waves as the simulator sends them: a fundamental with a 5th
// harmonic, the currents lagging.
std::vector<float> Waves(float scale)
{
    std::vector<float> samples(kAllSignals * kSignalSamples);
    for (int s = 0; s < kAllSignals; ++s) {
        const double peak = (s < 6 ? 325.0 : 5.0) * scale;
        const double shift = s * 2.0 * std::numbers::pi / 3 - (s >= 6 ? 0.5 : 0);
        for (int j = 0; j < kSignalSamples; ++j) {
            const double x = 2 * std::numbers::pi * j / kSamplesPerPeriod + shift;
            samples[s * kSignalSamples + j] = static_cast<float>(peak * (std::sin(x) + 0.08 * std::sin(5 * x)));
        }
    }
    return samples;
}

// The page at the window's size over an engine's record, 20 periods shown,
// scaled to the waves.
struct TShownPage
{
    TShownPage() : commons(&factory, dir.filePath(QStringLiteral("bench.log")))
    {
        frame.ConnectEngine(commons);
        frame.resize(830, 560);
        frame.show();
        frame.trckbr1->setValue(kMaxPeriods);
        Store(1.0f);
        frame.AutoScale();
        Turn();
    }
    void Store(float scale) { commons.Store()->WriteOscillogram(Waves(scale)); }
    // One turn of the event loop as the window lives it: queued signals,
    // then the queued replot, which repaints.
    static void Turn()
    {
        QApplication::processEvents();
        QApplication::processEvents();
    }

    bool appMade = (App(), true); // before the first widget
    QTemporaryDir dir;
    TObjectsFactoryVD factory;
    TCommons commons;
    TSignalsFormsFrame frame;
};

void FrameShare(benchmark::State &state)
{
    state.counters["share_of_16.7ms_frame"] =
        benchmark::Counter(state.iterations() * 16.7e-3, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The oscillogram stored by the polling thread (not timed), then what the
// window does with it: copy the block, hand each series its points, replot
// and repaint once.
void BM_OscillogramToRepaintedChart(benchmark::State &state)
{
    TShownPage page;
    int replots = 0;
    QObject::connect(page.frame.Chart(), &QCustomPlot::afterReplot, [&replots] { ++replots; });
    float scale = 1.0f;
    for (auto _ : state) {
        state.PauseTiming();
        scale = scale > 1.0f ? 0.95f : 1.05f;
        page.Store(scale);
        state.ResumeTiming();
        TShownPage::Turn();
    }
    if (page.frame.lnsrsVoltage[0]->data()->size() != kSignalSamples)
        state.SkipWithError("not 1280 points a curve");
    state.counters["replots_per_oscillogram"] = static_cast<double>(replots) / state.iterations();
    FrameShare(state);
}
BENCHMARK(BM_OscillogramToRepaintedChart)->Unit(benchmark::kMicrosecond);

// Baseline: the same chart replotted and repainted with nothing new.
void BM_ChartRepaintOnly(benchmark::State &state)
{
    TShownPage page;
    for (auto _ : state)
        page.frame.Chart()->replot(QCustomPlot::rpImmediateRefresh);
    FrameShare(state);
}
BENCHMARK(BM_ChartRepaintOnly)->Unit(benchmark::kMicrosecond);

// The mouse moving over the chart: the curve under it looked up among the
// nine, the three values read, the labels set and repainted.
void BM_CursorReadOut(benchmark::State &state)
{
    TShownPage page;
    QCustomPlot *chart = page.frame.Chart();
    const QRect area = chart->axisRect()->rect();
    int step = 0;
    for (auto _ : state) {
        step = (step + 7) % area.width();
        page.frame.CursorReadOut(QPoint(area.left() + step, area.center().y() + (step % 40) - 20));
        QApplication::processEvents();
    }
    FrameShare(state);
}
BENCHMARK(BM_CursorReadOut)->Unit(benchmark::kMicrosecond);

} // namespace
