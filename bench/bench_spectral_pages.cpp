// Cost on the window's thread of one data block for the harmonics,
// interharmonics and power pages: every binding of the three pages (about
// 5600 cells and bars) refreshed with values that all change, then the page
// in front repainted with its chart replotted once. Against a 16.7 ms frame.

#include "BenchSupport.h"
#include "engine/RecordSlots.h"
#include "engine/MeasurementRecord.h"
#include "ui/pages/HarmonicsPage.h"
#include "ui/pages/InterharmonicsPage.h"
#include "ui/RecordBindings.h"
#include "ui/pages/PowerPage.h"
#include "ui/charts/SpectrumGroup.h"
#include "ui/charts/SpectrumTable.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTabWidget>
#include <qcustomplot.h>

#include <vector>

namespace {

using benchsupport::App;

// The three pages in tabs as the window holds them, bound to a record with
// nominals of 57.7 V, 100 V and 5 A.
struct TBoundPages
{
    TBoundPages() : manager(record, nullptr, nullptr)
    {
        benchsupport::WriteTypicalNominals(record);
        tabs.addTab(harmonics, QStringLiteral("Гармоники"));
        tabs.addTab(interharmonics, QStringLiteral("Интергармоники"));
        tabs.addTab(power, QStringLiteral("Мощность"));
        harmonics->SetUnits();
        interharmonics->SetUnits();
        power->SetUnits();
        harmonics->CreateBindings(manager);
        interharmonics->CreateBindings(manager);
        power->CreateBindings(manager);
        harmonics->RenewHeaders(record);
        interharmonics->RenewHeaders(record);
        power->RenewHeaders(record);
        tabs.resize(836, 560);
        tabs.show();
        QApplication::processEvents();
    }

    // Every data slot changes, so every cell and bar really changes.
    void RefreshDataBlock(float value)
    {
        for (int slot = VDSlot::Urms; slot < VDSlot::DataEnd; ++slot)
            record.StoreValue(slot, value, false);
        manager.RefreshRange(VDSlot::Urms, VDSlot::DataEnd - 1);
    }

    int BindingCount() const
    {
        int count = 0;
        for (int slot = VDSlot::Urms; slot < VDSlot::DataEnd; ++slot)
            count += static_cast<int>(manager.Controls(slot).size());
        return count;
    }

    bool applicationReady = (App(), true); // before the first widget
    TDataStorageManagerVD record;
    TParamsControlsManager manager;
    QTabWidget tabs;
    THarmonicsPage *harmonics = new THarmonicsPage;
    TInterharmonicsPage *interharmonics = new TInterharmonicsPage;
    TPowerPage *power = new TPowerPage;
};

// The bindings alone, the harmonics page in front (painting deferred).
void BM_SpectralPagesDataBlock(benchmark::State &state)
{
    TBoundPages bound;
    float step = 0;
    for (auto _ : state) {
        step += 0.01f;
        bound.RefreshDataBlock(2.0f + step);
        if (state.range(0))
            QApplication::processEvents();
    }
    QApplication::processEvents();
}
BENCHMARK(BM_SpectralPagesDataBlock)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Painting alone: the page in front repainted with its chart replotted.
void BM_SpectralPageRepaint(benchmark::State &state)
{
    TBoundPages bound;
    bound.tabs.setCurrentIndex(static_cast<int>(state.range(0)));
    bound.RefreshDataBlock(2.5f);
    QApplication::processEvents();
    QCustomPlot *plot = bound.tabs.currentWidget()->findChild<QCustomPlot *>();
    for (auto _ : state) {
        plot->replot(QCustomPlot::rpQueuedRefresh);
        bound.tabs.repaint();
    }
}
BENCHMARK(BM_SpectralPageRepaint)->Arg(0)->Unit(benchmark::kMicrosecond);

// Counts the paint events of a widget.
class TPaintCounter : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

// The whole block as the window lives it: the bindings, then one turn of
// the event loop, which replots the chart in front once and repaints what
// changed. Kept out of line so a profiler can pick it out.
Q_NEVER_INLINE void OneBlockWithRepaint(TBoundPages &bound, float value)
{
    bound.RefreshDataBlock(value);
    QApplication::processEvents();
}

// Arg: the page in front (0 harmonics, 1 interharmonics, 2 power).
void BM_SpectralPagesDataBlockWithRepaint(benchmark::State &state)
{
    TBoundPages bound;
    bound.tabs.setCurrentIndex(static_cast<int>(state.range(0)));
    QApplication::processEvents();
    QWidget *page = bound.tabs.currentWidget();
    QCustomPlot *plot = page->findChild<QCustomPlot *>();
    int replots = 0;
    QObject::connect(plot, &QCustomPlot::afterReplot, [&replots] { ++replots; });
    TPaintCounter tablePaints;
    page->findChild<TSpectrumGroup *>()->FrontTable()->viewport()->installEventFilter(&tablePaints);

    float step = 0;
    for (auto _ : state) {
        step += 0.01f;
        OneBlockWithRepaint(bound, 2.0f + step);
    }
    state.counters["bindings"] = bound.BindingCount();
    state.counters["replots_per_block"] = static_cast<double>(replots) / state.iterations();
    state.counters["table_paints_per_block"] = static_cast<double>(tablePaints.paints) / state.iterations();
    state.counters["share_of_16.7ms_frame"] =
        benchmark::Counter(state.iterations() * 16.7e-3, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SpectralPagesDataBlockWithRepaint)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The bars of one series written as the bindings write them: each value in
// place in the series' data container, against rebuilding the 49 bars.
void BM_BarsWrittenInPlace(benchmark::State &state)
{
    App();
    QCustomPlot plot;
    auto *bars = new QCPBars(plot.xAxis, plot.yAxis);
    QVector<double> keys(49), values(49, 0.0);
    for (int i = 0; i < 49; ++i)
        keys[i] = i + 2;
    bars->setData(keys, values, true);
    double v = 0;
    for (auto _ : state) {
        v += 0.01;
        for (int i = 0; i < 49; ++i)
            (bars->data()->begin() + i)->value = v + i;
    }
}
BENCHMARK(BM_BarsWrittenInPlace);

void BM_BarsRebuilt(benchmark::State &state)
{
    App();
    QCustomPlot plot;
    auto *bars = new QCPBars(plot.xAxis, plot.yAxis);
    QVector<double> keys(49), values(49, 0.0);
    for (int i = 0; i < 49; ++i)
        keys[i] = i + 2;
    double v = 0;
    for (auto _ : state) {
        v += 0.01;
        for (int i = 0; i < 49; ++i)
            values[i] = v + i;
        bars->setData(keys, values, true);
    }
}
BENCHMARK(BM_BarsRebuilt);

} // namespace
