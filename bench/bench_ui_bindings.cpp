// Cost on the window's thread of one data block: refreshing the bindings of
// slots 286..2754 of the "Основные" page (every value changing, so each
// frame really redraws its text), alone and with what changed repainted,
// against repainting the whole page; and measuring indexed text as the
// grids do for every cell they paint.

#include "BenchSupport.h"
#include "engine/RecordSlots.h"
#include "engine/MeasurementRecord.h"
#include "ui/widgets/IndexedText.h"
#include "ui/RecordBindings.h"
#include "ui/pages/MainValuesPage.h"

#include <benchmark/benchmark.h>

#include <QApplication>

#include <vector>

namespace {

using benchsupport::App;

// The main page bound to a record with nominals of 57.7 V, 100 V and 5 A.
struct TBoundPage
{
    TBoundPage() : manager(record, nullptr, nullptr)
    {
        benchsupport::WriteTypicalNominals(record);
        page.SetUnits();
        page.CreateBindings(manager);
    }

    // Every data slot changes, so each frame really redraws its text.
    void RefreshDataBlock(float value)
    {
        for (int slot = VDSlot::Urms; slot < VDSlot::DataEnd; ++slot)
            record.StoreValue(slot, value, false);
        manager.RefreshRange(VDSlot::Urms, VDSlot::DataEnd - 1);
    }

    bool applicationReady = (App(), true); // before the first widget
    TDataStorageManagerVD record;
    TParamsControlsManager manager;
    TParamsMainPage page;
};

void BM_MainPageDataBlock(benchmark::State &state)
{
    TBoundPage bound;
    float step = 0;
    for (auto _ : state) {
        step += 0.01f;
        bound.RefreshDataBlock(50.0f + step);
    }
}
BENCHMARK(BM_MainPageDataBlock)->Unit(benchmark::kMicrosecond);

// Shares of a 16.7 ms frame: the time of one iteration against a frame.
void ReportFrameShare(benchmark::State &state)
{
    state.counters["share_of_16.7ms_frame"] =
        benchmark::Counter(state.iterations() * 16.7e-3, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The whole block as the window lives it: the bindings, then one turn of
// the event loop, which repaints what changed. Kept out of line so a
// profiler can pick it out.
Q_NEVER_INLINE void OneBlockWithRepaint(TBoundPage &bound, float value)
{
    bound.RefreshDataBlock(value);
    QApplication::processEvents();
}

void BM_MainPageDataBlockWithRepaint(benchmark::State &state)
{
    TBoundPage bound;
    bound.page.resize(836, 560);
    bound.page.show();
    QApplication::processEvents();

    float step = 0;
    for (auto _ : state) {
        step += 0.01f;
        OneBlockWithRepaint(bound, 50.0f + step);
    }
    ReportFrameShare(state);
}
BENCHMARK(BM_MainPageDataBlockWithRepaint)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The baseline in the same run: the whole page painted again with nothing
// changed, as after an expose. A block must cost less than this.
void BM_MainPageWholeRepaint(benchmark::State &state)
{
    TBoundPage bound;
    bound.page.resize(836, 560);
    bound.page.show();
    bound.RefreshDataBlock(50.0f);
    QApplication::processEvents();
    for (auto _ : state)
        bound.page.repaint();
    ReportFrameShare(state);
}
BENCHMARK(BM_MainPageWholeRepaint)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_IndexedTextMeasure(benchmark::State &state)
{
    App();
    const TStringWithIndexesDraw draw;
    const QFont font = QApplication::font();
    const QString header = QStringLiteral("U~s~g~(~n~)~A~B, кВ");
    for (auto _ : state) {
        benchmark::DoNotOptimize(draw.IndexedTextWidth(font, header));
        benchmark::DoNotOptimize(draw.IndexedTextHeight(font, header));
    }
}
BENCHMARK(BM_IndexedTextMeasure);

} // namespace
