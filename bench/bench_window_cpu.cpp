// What a page on screen costs while the window polls the meter simulator at
// the meter's own pace (a data block every 3 s): the program's CPU time
// with the "Интерфейс" page in front against the same span with another
// page in front, in one run. The simulator is a process of its own, so its
// time is not counted; the polling thread's time is in both spans alike.
//
// Arg: the page compared with "Интерфейс" (its tab index). Each span lasts
// BENCH_SPAN_S seconds (30 by default); BENCH_LINE_RATE=115200 makes the
// simulator answer at the pace of that serial line:
//   QT_QPA_PLATFORM=offscreen bench/bench_window_cpu --benchmark_filter=/2

#include "BenchSupport.h"
#include "catalogue/CatalogueObjects.h"
#include "catalogue/ConnectionList.h"
#include "protocol/SimProcess.h"
#include "support/LoopbackConnection.h"
#include "engine/Engine.h"
#include "ui/MeterMainWindow.h"
#include "catalogue/ProgramSettingsFile.h"

#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSlider>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTimer>

#include <sys/resource.h>

namespace {

using benchsupport::App;

// User and system time of the whole program, all threads.
double ProcessCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// Runs the event loop as the program does for `seconds`; returns the share
// of one core the program took meanwhile, in percent.
double CpuPercentOver(double seconds)
{
    const double cpuBefore = ProcessCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    return 100.0 * (ProcessCpuSeconds() - cpuBefore) / (static_cast<double>(wall.nsecsElapsed()) * 1e-9);
}

constexpr int kSignalsFormsPage = 5;

// The settings file of a program whose chosen connection is the simulator:
// a meter that records oscillograms for the signal-forms page (the
// "Интерфейс" span of that run then polls them as well), else one without.
bool SeedSettings(quint16 port, bool oscillograms)
{
    std::unique_ptr<TccnConnection> connection = oscillograms ? testsupport::LoopbackConnection<TccnM7SQDev>(port)
                                                              : testsupport::LoopbackConnection<TccnM7Dev>(port);
    TProgramIniFile ini;
    TccnConnectionList list;
    if (!list.AddConnection(*connection))
        return false;
    ini.WriteConnectionList(&list);
    ini.WriteSelected(connection->ConID);
    return ini.UpdateFile();
}

void BM_PageCpuWhilePolling(benchmark::State &state)
{
    App();
    const double span =
        qEnvironmentVariableIsSet("BENCH_SPAN_S") ? qEnvironmentVariable("BENCH_SPAN_S").toDouble() : 30.0;
    // the program's folders for this run only
    QStandardPaths::setTestModeEnabled(true);
    // BENCH_LINE_RATE=115200 paces the simulator like the real serial line
    QStringList simArguments;
    if (qEnvironmentVariableIsSet("BENCH_LINE_RATE"))
        simArguments << QStringLiteral("--line-rate") << qEnvironmentVariable("BENCH_LINE_RATE");
    testsim::TSimProcess sim(simArguments);
    if (!sim.Started() || !SeedSettings(sim.Port(), state.range(0) == kSignalsFormsPage)) {
        state.SkipWithError("meter simulator not started");
        return;
    }
    TMainVondForm window;
    window.Initialize();
    window.resize(1000, 700);
    window.show();
    auto *pages = window.findChild<QTabWidget *>(QStringLiteral("pgctrlMain"));
    auto *run = window.findChild<QAction *>(QStringLiteral("actRun"));
    if (!pages || !run) {
        state.SkipWithError("window without pages or run action");
        return;
    }
    // the signal-forms page at its most: 20 periods, 1280 points a curve
    if (auto *periods = window.findChild<QSlider *>(QStringLiteral("trckbr1"));
        periods && state.range(0) == kSignalsFormsPage)
        periods->setValue(20);
    run->trigger();
    // the first blocks in and the page shown once (its first showing lays
    // it out), so both spans see the steady cycle
    CpuPercentOver(4.0);
    pages->setCurrentIndex(static_cast<int>(state.range(0)));
    CpuPercentOver(4.0);

    double interfacePercent = 0, pagePercent = 0;
    int oscillograms = 0;
    QObject::connect(&window.Commons()->Events(), &TEngineEvents::OscillogramChanged,
                     [&oscillograms] { ++oscillograms; });
    for (auto _ : state) {
        pages->setCurrentIndex(0);
        interfacePercent = CpuPercentOver(span);
        pages->setCurrentIndex(static_cast<int>(state.range(0)));
        oscillograms = 0;
        pagePercent = CpuPercentOver(span);
    }
    run->trigger();
    QDeadlineTimer stop(5000);
    while (run->data().toInt() != 0 && !stop.hasExpired())
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    window.close();
    QStandardPaths::setTestModeEnabled(false);

    state.SetLabel(pages->tabText(static_cast<int>(state.range(0))).toStdString());
    state.counters["cpu_pct_interface"] = interfacePercent;
    state.counters["cpu_pct_page"] = pagePercent;
    state.counters["cpu_pct_difference"] = pagePercent - interfacePercent;
    state.counters["oscillograms_per_s_page_span"] = oscillograms / span;
}
// 1 main values, 2 harmonics, 3 interharmonics, 4 power, 5 signal forms
BENCHMARK(BM_PageCpuWhilePolling)->DenseRange(1, 5)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
