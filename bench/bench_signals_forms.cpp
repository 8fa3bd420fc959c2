// Cost on the window's thread of the "Формы сигналов" page: one stored
// oscillogram (9 x 1280 samples, 20 periods on screen) taken from the record
// and drawn, the read-out under a moving mouse, and, as the baseline of the
// same run, a repaint of the chart with nothing new, which a repaint with a
// sample spike on a held axis and one under a 1000-fold vertical zoom are
// set against; then the nine curves
// drawn alone by the column stroker against the painter's own 3-px lines.
// Against a 16.7 ms frame of the window thread's CPU time (the page paints on
// that thread; on a shared machine the wall-clock time mostly measures the
// other processes).

#include "BenchSupport.h"
#include "engine/Engine.h"
#include "engine/MeasurementRecord.h"
#include "engine/PollRun.h"
#include "ui/charts/ColumnStroker.h"
#include "ui/pages/SignalsFormsFrame.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPainter>
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
        frame.SetRefreshInterval(0); // the cost of each refresh, not how often
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

// The same repaint with curves far off the chart, against the baseline above:
// one sample of a million volts while the voltage axis is held at ±160 V,
// and the scaled waves under a 1000-fold zoom of both vertical axes (every
// segment thousands of pixels long, the dashed currents too).
void BM_ChartRepaintSpikeOnHeldAxis(benchmark::State &state)
{
    TShownPage page;
    std::vector<float> spike = Waves(1.0f);
    spike[kSignalSamples / 2] = 1e6f;
    page.commons.Store()->WriteOscillogram(spike);
    TShownPage::Turn();
    QCustomPlot *chart = page.frame.Chart();
    chart->yAxis->setRange(-160, 160);
    for (auto _ : state)
        chart->replot(QCustomPlot::rpImmediateRefresh);
    if (page.frame.CurveCanvasBytes() > (20 << 20))
        state.SkipWithError("canvases beyond 20 MB");
    state.counters["canvas_MB"] = page.frame.CurveCanvasBytes() / 1048576.0;
    FrameShare(state);
}
BENCHMARK(BM_ChartRepaintSpikeOnHeldAxis)->Unit(benchmark::kMicrosecond);

void BM_ChartRepaintVerticalZoom1000(benchmark::State &state)
{
    TShownPage page;
    QCustomPlot *chart = page.frame.Chart();
    for (QCPAxis *axis : {chart->yAxis, chart->yAxis2})
        axis->scaleRange(1e-3);
    for (auto _ : state)
        chart->replot(QCustomPlot::rpImmediateRefresh);
    if (page.frame.CurveCanvasBytes() > (20 << 20))
        state.SkipWithError("canvases beyond 20 MB");
    state.counters["canvas_MB"] = page.frame.CurveCanvasBytes() / 1048576.0;
    FrameShare(state);
}
BENCHMARK(BM_ChartRepaintVerticalZoom1000)->Unit(benchmark::kMicrosecond);

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

// The nine curves of 20 periods as pixel strokes over a chart of the page's
// size, for drawing them alone: through the column stroker as the page does,
// and, as the baseline, through the painter as aliased 3-px lines in one call
// per curve.
QVector<QVector<QLineF>> CurveStrokes()
{
    const std::vector<float> waves = Waves(1.0f);
    QVector<QVector<QLineF>> curves(kAllSignals);
    for (int s = 0; s < kAllSignals; ++s)
        for (int j = 1; j < kSignalSamples; ++j) {
            const auto point = [&](int k) {
                return QPointF(k * 470.0 / kSignalSamples, 200 - waves[s * kSignalSamples + k] * (s < 6 ? 0.5 : 30));
            };
            curves[s].append(QLineF(point(j - 1), point(j)));
        }
    return curves;
}

void BM_CurvesThroughTheColumnStroker(benchmark::State &state)
{
    const QVector<QVector<QLineF>> curves = CurveStrokes();
    QImage chart(470, 400, QImage::Format_ARGB32_Premultiplied);
    QImage canvas;
    for (auto _ : state) {
        QPainter painter(&chart);
        for (const QVector<QLineF> &curve : curves) {
            TColumnStroker stroker(3, chart.rect());
            for (const QLineF &stroke : curve)
                stroker.Add(stroke);
            stroker.Paint(&painter, Qt::red, canvas);
        }
    }
    FrameShare(state);
}
BENCHMARK(BM_CurvesThroughTheColumnStroker)->Unit(benchmark::kMicrosecond);

void BM_CurvesThroughThePainter(benchmark::State &state)
{
    const QVector<QVector<QLineF>> curves = CurveStrokes();
    QImage chart(470, 400, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&chart);
        painter.setPen(QPen(Qt::red, 3));
        for (const QVector<QLineF> &curve : curves)
            painter.drawLines(curve);
    }
    FrameShare(state);
}
BENCHMARK(BM_CurvesThroughThePainter)->Unit(benchmark::kMicrosecond);

} // namespace
