// Cost on the window's thread of one data block for the vector diagrams:
// all four drawn again from the record, then the one in front repainted.
// Against a 16.7 ms frame, next to drawing each diagram once per slot it
// is bound to, as it would be without the bindings' one call per refresh.

#include "BenchSupport.h"
#include "engine/RecordSlots.h"
#include "engine/MeasurementRecord.h"
#include "ui/RecordBindings.h"
#include "ui/charts/VectorChart.h"
#include "ui/charts/VectorDiagrams.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <qcustomplot.h>

#include <cmath>
#include <vector>

namespace {

using benchsupport::App;

// The diagrams at the size they have on the page, bound to a record with
// nominals of 57.7 V, 100 V and 5 A.
struct TBoundDiagrams
{
    TBoundDiagrams() : manager(record, nullptr, nullptr)
    {
        benchsupport::WriteTypicalNominals(record);
        diagrams.CreateBindings(manager);
        diagrams.resize(420, 390);
        diagrams.show();
        QApplication::processEvents();
    }

    // The slots the diagrams are drawn from, all a little changed.
    void StoreBlock(float step)
    {
        using namespace VDSlot;
        const float angles[6] = {0, -120, 121, 0, -119, 120};
        for (int c = 0; c < 6; ++c) {
            record.StoreValue(Urms + c, (c < 3 ? 57.7f : 100.0f) + step, false);
            record.StoreValue(U1 + c, (c < 3 ? 57.5f : 99.6f) + step, false);
            record.StoreValue(VectorAngleU + c, angles[c] + step, false);
        }
        for (int p = 0; p < 3; ++p) {
            record.StoreValue(Irms + p, 3.0f - 0.5f * p + step, false);
            record.StoreValue(I1 + p, 2.9f - 0.5f * p + step, false);
            record.StoreValue(FiUI1 + p, 25.0f + 5 * p + step, false);
        }
        const int others[] = {U0, U1seq, U2, I0, I1seq, I2, FiUI0, FiUI1seq, FiUI2, PSum, QSum, SSum};
        for (int slot : others)
            record.StoreValue(slot, 1.0f + std::fmod(slot * 0.37f, 9.0f) + step, false);
    }

    bool applicationReady = (App(), true); // before the first widget
    TDataStorageManagerVD record;
    TParamsControlsManager manager;
    TVectorDiagrams diagrams;
};

void CountReplots(TBoundDiagrams &bound, int *counter)
{
    for (int d = 0; d < TVectorDiagrams::kDiagramCount; ++d)
        QObject::connect(bound.diagrams.Chart(static_cast<TVectorDiagrams::TDiagram>(d))->Plot(),
                         &QCustomPlot::afterReplot, [counter] { ++*counter; });
}

void Report(benchmark::State &state, int replots)
{
    state.counters["replots_per_block"] = static_cast<double>(replots) / state.iterations();
    state.counters["share_of_16.7ms_frame"] =
        benchmark::Counter(state.iterations() * 16.7e-3, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The block as the window lives it: the whole data range through the
// bindings, then one turn of the event loop. Arg: the diagram in front.
void BM_VectorDiagramsDataBlockWithRepaint(benchmark::State &state)
{
    TBoundDiagrams bound;
    bound.diagrams.ShowDiagram(static_cast<int>(state.range(0)));
    QApplication::processEvents();
    int replots = 0;
    CountReplots(bound, &replots);
    float step = 0;
    for (auto _ : state) {
        step += 0.01f;
        bound.StoreBlock(step);
        bound.manager.RefreshRange(VDSlot::Urms, VDSlot::DataEnd - 1);
        QApplication::processEvents();
    }
    Report(state, replots);
}
BENCHMARK(BM_VectorDiagramsDataBlockWithRepaint)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The drawing alone, without the turn of the event loop that paints it.
void BM_VectorDiagramsDataBlockNoPaint(benchmark::State &state)
{
    TBoundDiagrams bound;
    QApplication::processEvents();
    float step = 0;
    for (auto _ : state) {
        step += 0.01f;
        bound.StoreBlock(step);
        bound.manager.RefreshRange(VDSlot::Urms, VDSlot::DataEnd - 1);
    }
    QApplication::processEvents();
}
BENCHMARK(BM_VectorDiagramsDataBlockNoPaint)->Unit(benchmark::kMicrosecond);

// Baseline: each diagram drawn once for every slot of the block it is bound
// to, then (Arg 1) the same turn of the event loop.
void BM_VectorDiagramsDrawnPerBoundSlot(benchmark::State &state)
{
    TBoundDiagrams bound;
    QApplication::processEvents();
    int replots = 0;
    CountReplots(bound, &replots);
    struct TMethod
    {
        void (TVectorDiagrams::*draw)();
        int boundSlots; // inside the data block
    };
    const TMethod methods[] = {{&TVectorDiagrams::DrawDiagramm_Uf_I, 12},
                               {&TVectorDiagrams::DrawDiagramm_Umf, 6},
                               {&TVectorDiagrams::DrawDiagramm_U0_I2, 15},
                               {&TVectorDiagrams::DrawDiagramm_P_Q, 3}};
    float step = 0;
    for (auto _ : state) {
        step += 0.01f;
        bound.StoreBlock(step);
        for (const TMethod &m : methods)
            for (int i = 0; i < m.boundSlots; ++i)
                (bound.diagrams.*m.draw)();
        if (state.range(0))
            QApplication::processEvents();
    }
    QApplication::processEvents();
    Report(state, replots);
}
BENCHMARK(BM_VectorDiagramsDrawnPerBoundSlot)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The walk over the data block's binding lists with nothing drawn: what the
// block costs the diagrams' bindings before any drawing.
void BM_DataBlockWalkOnly(benchmark::State &state)
{
    App();
    TDataStorageManagerVD record;
    TParamsControlsManager manager(record, nullptr, nullptr);
    for (auto _ : state)
        manager.RefreshRange(VDSlot::Urms, VDSlot::DataEnd - 1);
}
BENCHMARK(BM_DataBlockWalkOnly)->Unit(benchmark::kMicrosecond);

} // namespace
