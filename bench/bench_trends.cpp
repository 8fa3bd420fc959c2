// Costs of the trends page over an SQLite archive written straight through
// TArchiveDatabase, each next to baselines measured earlier in the same run
// (x_baseline: CPU time over the median of the baseline's repetitions,
// x_baseline_wall the same for wall time, x_plot the same CPU ratio against
// the bare chart; of_target: the wall time over its target, under 1 meets it):
//   - a week of 10-minute rows of 9 quantities to the painted chart: the
//     page's read (Archive::LoadSeries on an open connection, as its loading
//     thread does), Trends::Build of each series, TTrendsChart::Show (data and
//     one replot) and the chart painted into a pixmap of 1000x500 (the wall
//     time of each step as counters); next to the bare sqlite3 read of the
//     same rows and columns and to a bare QCustomPlot of as many points
//     (for the week with the bands filled, as the chart draws them, and once
//     without) replotted and painted; target 100 ms;
//   - a day of 3-s cycles (28 800) of 3 quantities, the same path; target 300 ms;
//   - one polled cycle reaching a shown page ("1 ч", three voltages): through
//     its cycle feed, one point more, one replot and the paint; next to a bare
//     QCustomPlot with as many points given one more and replotted; target a
//     quarter of a 60 Hz frame (4.2 ms);
//   - the memory of a page showing a week of 9 quantities: the RSS it adds
//     (rss_growth_MB; target 50 MB), measured once, before the other page
//     benchmarks leave their heap behind;
//   - cycles handed to a hidden page: replots counted (must stay 0) and the
//     CPU per cycle next to the same cycles reaching the shown page.
// The machine is shared: compare runs with --benchmark_repetitions=3.

#include "BaselineFigures.h"
#include "archive/ArchiveColumns.h"
#include "archive/ArchiveDatabase.h"
#include "archive/ArchiveSeries.h"
#include "BenchSupport.h"
#include "engine/CycleSink.h"
#include "engine/RecordSlots.h"
#include "report/SyntheticArchive.h"
#include "ui/pages/TrendsChart.h"
#include "ui/pages/TrendsPage.h"
#include "ui/pages/TrendsSeries.h"

#include <benchmark/benchmark.h>
#include <qcustomplot.h>
#include <sqlite3.h>

#include <QElapsedTimer>
#include <QPixmap>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

using namespace benchsupport;

namespace {

constexpr int kWidth = 1000, kHeight = 500;
constexpr int kIntervalsPerWeek = 7 * 24 * 6; // 1008
constexpr int kCyclesPerDay = 28800;
const QDateTime kStart = SyntheticArchive::kWeekStart;
const QStringList kWeekQuantities{"Urms_a", "Urms_b", "Urms_c", "Irms_a", "Irms_b", "Irms_c", "F", "dF", "K2U"};
const QStringList kDayQuantities{"Urms_a", "Urms_b", "Urms_c"};

void Require(bool ok, const std::string &what)
{
    if (!ok)
        throw std::runtime_error(what);
}

// Runs the loop, `one` being an iteration, and returns the mean figure of one.
template <class F>
TFigure Measure(benchmark::State &state, F &&one)
{
    TStopwatch watch;
    for (auto _ : state)
        one();
    const double n = double(std::max<benchmark::IterationCount>(state.iterations(), 1));
    return {watch.WallSeconds() / n, watch.CpuSeconds() / n, state.iterations()};
}

void ReportBaseline(const std::string &name, TFigure figure)
{
    Baselines()[name].push_back(figure);
}

void ReportAgainst(benchmark::State &state, TFigure figure, const std::string &baseline,
                   const std::string &plotBaseline, double targetSeconds)
{
    double wall = 0, cpu = 0;
    if (BaselineMedian(baseline, wall, cpu)) {
        state.counters["x_baseline"] = figure.Cpu / cpu;
        state.counters["x_baseline_wall"] = figure.Wall / wall;
    }
    if (!plotBaseline.empty() && BaselineMedian(plotBaseline, wall, cpu))
        state.counters["x_plot"] = figure.Cpu / cpu;
    if (targetSeconds > 0)
        state.counters["of_target"] = figure.Wall / targetSeconds;
}

// --- the archive ---

QTemporaryDir &Folder()
{
    static QTemporaryDir dir;
    return dir;
}

float Wave(int i, int period, float amplitude, float phase = 0)
{
    return amplitude * std::sin(6.2831853f * float(i) / float(period) + phase);
}

void SetRange(Archive::TAggregateRow &row, const QString &name, float avg, float spread)
{
    const size_t at = size_t(Archive::QuantityIndex(name));
    Require(int(at) >= 0 && at < row.Avg.size(), "no quantity " + name.toStdString());
    row.Avg[at] = avg;
    row.Min[at] = avg - spread;
    row.Max[at] = avg + spread;
}

// A week of 10-minute rows (voltages, currents, F, dF and K2U wandering over
// a day, some beyond their limits) and a day of cycles of the three voltages
// at its end, with one limits row.
const TArchiveTarget &TrendsArchive()
{
    static const TArchiveTarget target = [] {
        Require(Folder().isValid(), "no temporary folder");
        const TArchiveTarget t = TArchiveTarget::File(Folder().filePath(QStringLiteral("trends.sqlite")));
        TArchiveDatabase db(t);
        Require(db.Open() && db.Begin(), "archive not opened");
        const std::optional<qint64> meter = db.MeterId({QStringLiteral("dtM7SQ"), 1, 1}, kStart);
        Require(meter.has_value(), "no meter row");
        std::vector<float> limitSlots(280, 0.0f);
        limitSlots[74] = 50.4f, limitSlots[75] = 50.2f, limitSlots[76] = 49.8f, limitSlots[77] = 49.6f;
        db.AddLimits(*meter, SyntheticArchive::Limits(kStart, limitSlots, {{8, 0, 20, 0}}));
        for (int i = 0; i < kIntervalsPerWeek; ++i) {
            Archive::TAggregateRow row = SyntheticArchive::EmptyRow(kStart.addSecs(i * 600LL));
            const char *phases[] = {"a", "b", "c"};
            for (int p = 0; p < 3; ++p) {
                SetRange(row, QStringLiteral("Urms_") + QLatin1String(phases[p]),
                         230.0f + Wave(i, 144, 6, float(p)) + Wave(i, 7, 1), 2.0f);
                SetRange(row, QStringLiteral("Irms_") + QLatin1String(phases[p]), 5.0f + Wave(i, 144, 2, float(p) + 1),
                         0.5f);
            }
            const float f = 50.0f + Wave(i, 37, 0.25f) + Wave(i, 5, 0.05f);
            SetRange(row, QStringLiteral("F"), f, 0.05f);
            SetRange(row, QStringLiteral("dF"), f - 50.0f, 0.05f);
            SetRange(row, QStringLiteral("K2U"), 1.0f + Wave(i, 144, 0.6f), 0.2f);
            Require(db.AddAggregate(*meter, row), "aggregate row not written");
        }
        const QDateTime dayStart = kStart.addDays(6);
        for (int i = 0; i < kCyclesPerDay; ++i) {
            Archive::TCycleRow cycle = SyntheticArchive::Cycle(dayStart.addSecs(i * 3LL), 50.0f + Wave(i, 997, 0.3f));
            for (int p = 0; p < 3; ++p)
                cycle.Values[size_t(Archive::QuantityIndex(kDayQuantities[p]))] =
                    230.0f + Wave(i, 28800, 6, float(p)) + Wave(i, 61, 1.5f);
            Require(db.AddCycle(*meter, cycle, false), "cycle row not written");
        }
        Require(db.Commit(), "archive not committed");
        return t;
    }();
    return target;
}

qint64 MeterId()
{
    TArchiveDatabase db(TrendsArchive());
    Require(db.Open(TArchiveDatabase::TMode::Read), "archive not opened");
    Archive::TSummary summary = db.Summary();
    Require(!summary.Meters.empty(), "no meter");
    return summary.Meters.front().Id;
}

Archive::TSeriesRequest WeekRequest()
{
    Archive::TSeriesRequest request;
    request.Target = TrendsArchive();
    request.MeterId = MeterId();
    request.From = kStart;
    request.To = kStart.addDays(7);
    request.Source = Trends::SourceFor(request.From, request.To);
    request.Quantities = kWeekQuantities;
    return request;
}

Archive::TSeriesRequest DayRequest()
{
    Archive::TSeriesRequest request = WeekRequest();
    request.From = kStart.addDays(6);
    request.To = kStart.addDays(7);
    request.Source = Archive::TSeriesSource::Cycles; // a day of cycles, as a fixed interval of them would be
    request.Quantities = kDayQuantities;
    return request;
}

// --- memory, first: later benchmarks leave freed heap a page would reuse ---

long RssBytes()
{
    long pages = 0, resident = 0;
    if (FILE *f = fopen("/proc/self/statm", "r")) {
        if (fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        fclose(f);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

bool WaitFor(const std::function<bool()> &done, int ms = 30000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// A page over the archive with the given quantities shown, its interval
// chosen, loaded and shown at the window's size.
std::unique_ptr<TTrendsPage> LoadedPage(const QStringList &quantities, const QDateTime &from, const QDateTime &to,
                                        bool anchored)
{
    auto page = std::make_unique<TTrendsPage>();
    page->resize(1280, 720);
    page->show();
    page->SetArchiveTarget(TrendsArchive());
    Require(WaitFor([&] { return page->Idle() && !page->Data().Times.empty(); }), "page not loaded");
    for (const Trends::TQuantity &q : page->Shown())
        page->SetChecked(q.Name, false);
    for (const QString &q : quantities)
        Require(page->SetChecked(q, true), "quantity refused: " + q.toStdString());
    if (anchored)
        page->ChooseSpan(TTrendsPage::TSpan::Hour);
    else
        page->ChooseInterval(from, to);
    Require(WaitFor([&] { return page->Idle() && !page->Data().Times.empty(); }), "page not loaded");
    QCoreApplication::processEvents();
    return page;
}

// The RSS a page adds with a week of 9 quantities shown (once per process:
// freed heap is not given back, so a second page would cost less).
void BM_Trends_Week9_Memory(benchmark::State &state)
{
    benchsupport::App();
    static const double growthMb = [] {
        static std::unique_ptr<TTrendsPage> page; // kept: its memory is what is measured
        {
            // what the program has without the page: a painted chart (fonts, styles)
            QCustomPlot plot;
            plot.resize(kWidth, kHeight);
            plot.addGraph()->addData(0, 1);
            plot.show();
            plot.replot();
            QPixmap shot = plot.grab();
        }
        QCoreApplication::processEvents();
        const long before = RssBytes();
        page = LoadedPage(kWeekQuantities, kStart, kStart.addDays(7), false);
        Require(page->Data().Source == Archive::TSeriesSource::Aggregates, "not the 10-minute rows");
        QPixmap shot = page->grab();
        QCoreApplication::processEvents();
        return double(RssBytes() - before) / (1024.0 * 1024.0);
    }();
    for (auto _ : state)
        benchmark::DoNotOptimize(growthMb);
    state.counters["rss_growth_MB"] = growthMb;
    state.counters["of_target"] = growthMb / 50.0;
}
BENCHMARK(BM_Trends_Week9_Memory)->Iterations(1)->Unit(benchmark::kMillisecond);

// --- baselines ---

// The same statement as the page's read, with the sqlite3 C API: each value
// fetched into vectors.
void BareRead(benchmark::State &state, const Archive::TSeriesRequest &request, const std::string &name)
{
    const bool aggregates = request.Source == Archive::TSeriesSource::Aggregates;
    const QString time = aggregates ? QStringLiteral("interval_start") : QStringLiteral("meter_time");
    QStringList columns{time};
    if (aggregates)
        columns << QStringLiteral("flags");
    for (const QString &q : request.Quantities)
        columns << (aggregates ? QStringList{q + "_avg", q + "_min", q + "_max"} : QStringList{q});
    const QByteArray sql =
        QStringLiteral("SELECT %1 FROM %2 WHERE meter_id = ? AND %3 >= ? AND %3 < ? ORDER BY %3")
            .arg(columns.join(u','), aggregates ? QStringLiteral("aggregates_10min") : QStringLiteral("cycles"), time)
            .toUtf8();
    const QByteArray from = request.From.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
    const QByteArray to = request.To.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
    sqlite3 *db = nullptr;
    Require(sqlite3_open_v2(TrendsArchive().Path().toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
                SQLITE_OK,
            "sqlite3 open");
    sqlite3_stmt *stmt = nullptr;
    Require(sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &stmt, nullptr) == SQLITE_OK, sqlite3_errmsg(db));
    size_t rows = 0;
    const TFigure figure = Measure(state, [&] {
        std::vector<std::string> times;
        std::vector<std::vector<double>> values(size_t(columns.size() - 1));
        sqlite3_bind_int64(stmt, 1, request.MeterId);
        sqlite3_bind_text(stmt, 2, from.constData(), -1, SQLITE_STATIC);
        sqlite3_bind_text(stmt, 3, to.constData(), -1, SQLITE_STATIC);
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            times.emplace_back(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
            for (size_t c = 0; c < values.size(); ++c)
                values[c].push_back(sqlite3_column_double(stmt, int(c) + 1));
        }
        sqlite3_reset(stmt);
        rows = times.size();
        benchmark::DoNotOptimize(values.data());
    });
    sqlite3_finalize(stmt);
    sqlite3_close_v2(db);
    state.counters["rows"] = double(rows);
    ReportBaseline(name, figure);
}

void BM_Baseline_SqliteWeek(benchmark::State &state)
{
    BareRead(state, WeekRequest(), "sqlite_week");
}
BENCHMARK(BM_Baseline_SqliteWeek)->Unit(benchmark::kMillisecond);

void BM_Baseline_SqliteDay(benchmark::State &state)
{
    BareRead(state, DayRequest(), "sqlite_day");
}
BENCHMARK(BM_Baseline_SqliteDay)->Unit(benchmark::kMillisecond);

// A bare QCustomPlot of `lines` lines of `points` points each, given its
// data, replotted and painted into a pixmap of the chart's size; with
// `bands`, each line has two more (its minimum and maximum) filled between
// them with a translucent brush, as the 10-minute view draws them.
void BarePlot(benchmark::State &state, int lines, int points, bool bands, const std::string &name)
{
    benchsupport::App();
    QCustomPlot plot;
    plot.resize(kWidth, kHeight);
    plot.show();
    QVector<double> keys(points);
    std::vector<QVector<double>> values{size_t(lines), QVector<double>(points)};
    for (int l = 0; l < lines; ++l)
        for (int i = 0; i < points; ++i)
            keys[i] = i, values[size_t(l)][i] = 230.0 + 3 * l + Wave(i, 144, 6, float(l));
    const auto shifted = [](QVector<double> v, double by) {
        for (double &x : v)
            x += by;
        return v;
    };
    QPixmap pixmap(kWidth, kHeight);
    const TFigure figure = Measure(state, [&] {
        plot.clearGraphs();
        for (int l = 0; l < lines; ++l) {
            const QVector<double> &v = values[size_t(l)];
            if (bands) {
                QCPGraph *min = plot.addGraph();
                QCPGraph *max = plot.addGraph();
                min->setData(keys, shifted(v, -2), true);
                max->setData(keys, shifted(v, 2), true);
                max->setBrush(QColor(255, 160, 160, 160));
                max->setChannelFillGraph(min);
            }
            plot.addGraph()->setData(keys, v, true);
        }
        plot.rescaleAxes();
        plot.replot();
        plot.render(&pixmap);
    });
    ReportBaseline(name, figure);
}

// the week: 9 averages with their bands, each line of 1008 points
void BM_Baseline_PlotWeek(benchmark::State &state)
{
    BarePlot(state, 9, kIntervalsPerWeek, true, "plot_week");
}
BENCHMARK(BM_Baseline_PlotWeek)->Unit(benchmark::kMillisecond);

// the same lines without the bands' fill (for telling the fill's share)
void BM_Baseline_PlotWeekUnfilled(benchmark::State &state)
{
    BarePlot(state, 27, kIntervalsPerWeek, false, "plot_week_unfilled");
}
BENCHMARK(BM_Baseline_PlotWeekUnfilled)->Unit(benchmark::kMillisecond);

// the day: 3 lines of 28 800 points
void BM_Baseline_PlotDay(benchmark::State &state)
{
    BarePlot(state, 3, kCyclesPerDay, false, "plot_day");
}
BENCHMARK(BM_Baseline_PlotDay)->Unit(benchmark::kMillisecond);

// --- the page's path ---

// Read, build, show and paint, as the page does with an answer.
void ToPaintedChart(benchmark::State &state, const Archive::TSeriesRequest &request, const std::string &baseline,
                    const std::string &plotBaseline, double target)
{
    benchsupport::App();
    TArchiveDatabase db(TrendsArchive());
    Require(db.Open(TArchiveDatabase::TMode::Read), "archive not opened");
    TTrendsChart chart;
    chart.resize(kWidth, kHeight);
    chart.show();
    QCoreApplication::processEvents();
    std::vector<Trends::TQuantity> quantities;
    for (const QString &name : request.Quantities)
        quantities.push_back(Trends::Find(name));
    const double from = Archive::SeriesTime(request.From), to = Archive::SeriesTime(request.To);
    QPixmap pixmap(chart.size());
    size_t rows = 0, points = 0;
    // where the time goes: wall seconds of each step, summed over the iterations
    double load = 0, build = 0, show = 0, paint = 0;
    const TFigure figure = Measure(state, [&] {
        TStopwatch step;
        const Archive::TSeriesResult result = Archive::LoadSeries(db, request);
        load += step.WallSeconds();
        step.Restart();
        std::vector<Trends::TBuiltSeries> series;
        for (const Trends::TQuantity &q : quantities)
            series.push_back(Trends::Build(result, q, from, to, chart.PixelColumns()));
        build += step.WallSeconds();
        step.Restart();
        rows = result.Times.size();
        points = series.front().Line.Size();
        chart.Show(std::move(series), result.Source == Archive::TSeriesSource::Aggregates, from, to);
        show += step.WallSeconds();
        step.Restart();
        chart.render(&pixmap);
        paint += step.WallSeconds();
    });
    Require(rows > 0, "nothing read");
    const double n = double(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["rows"] = double(rows);
    state.counters["line_points"] = double(points);
    state.counters["load_ms"] = load / n * 1e3;
    state.counters["build_ms"] = build / n * 1e3;
    state.counters["show_replot_ms"] = show / n * 1e3;
    state.counters["paint_ms"] = paint / n * 1e3;
    ReportAgainst(state, figure, baseline, plotBaseline, target);
}

void BM_Trends_Week9_ToPaintedChart(benchmark::State &state)
{
    ToPaintedChart(state, WeekRequest(), "sqlite_week", "plot_week", 0.100);
}
BENCHMARK(BM_Trends_Week9_ToPaintedChart)->Unit(benchmark::kMillisecond);

void BM_Trends_DayCycles3_ToPaintedChart(benchmark::State &state)
{
    ToPaintedChart(state, DayRequest(), "sqlite_day", "plot_day", 0.300);
}
BENCHMARK(BM_Trends_DayCycles3_ToPaintedChart)->Unit(benchmark::kMillisecond);

// A cycle of the run polled now, `seconds` after the archive's last one.
TCycleCopy LiveCycle(int seconds)
{
    static const QDateTime last = kStart.addDays(7).addSecs(-3);
    TCycleCopy cycle;
    cycle.MeterDateTime = SyntheticArchive::DayCount(last.addSecs(seconds));
    cycle.PcTimeUtc = last.addSecs(seconds);
    cycle.Data.assign(size_t(VDSlot::DataEnd - VDSlot::DataFirst), 0.5f);
    cycle.Data[size_t(VDSlot::Urms - VDSlot::DataFirst)] = 230.0f + Wave(seconds, 300, 3);
    cycle.Data[size_t(VDSlot::F - VDSlot::DataFirst)] = 50.0f;
    return cycle;
}

// A bare QCustomPlot with 3 lines of as many points as the page shows, one
// point more on each, replotted and painted.
void BM_Baseline_PlotAppend(benchmark::State &state)
{
    benchsupport::App();
    QCustomPlot plot;
    plot.resize(kWidth, kHeight);
    plot.show();
    const int points = 2400; // about the page's line after the archive's hour is cut to its columns
    for (int g = 0; g < 3; ++g) {
        QCPGraph *graph = plot.addGraph();
        for (int i = 0; i < points; ++i)
            graph->addData(i, 230.0 + Wave(i, 300, 3, float(g)));
    }
    plot.rescaleAxes();
    int key = points;
    const TFigure figure = Measure(state, [&] {
        for (int g = 0; g < plot.graphCount(); ++g)
            plot.graph(g)->addData(key, 230.0 + Wave(key, 300, 3));
        ++key;
        plot.xAxis->setRange(key - points, key);
        plot.replot();
        plot.repaint();
    });
    ReportBaseline("plot_append", figure);
}
BENCHMARK(BM_Baseline_PlotAppend)->Unit(benchmark::kMicrosecond);

struct TLivePage
{
    std::unique_ptr<TTrendsPage> Page;
    TCycleSink *Feed = nullptr;
    int Seconds = 0;
    int Replots = 0;

    TLivePage()
    {
        Page = LoadedPage(kDayQuantities, {}, {}, true);
        Require(Page->Data().Source == Archive::TSeriesSource::Cycles, "not the cycles");
        QObject::connect(Page->Chart()->Plot(), &QCustomPlot::afterReplot, [this] { ++Replots; });
        Feed = Page->CycleFeed();
        Feed->RunStarted({QStringLiteral("dtM7SQ"), 1, 1});
    }
    // Hands n cycles over and lets the page handle them.
    void Hand(int n)
    {
        for (int i = 0; i < n; ++i)
            Feed->CycleRead(LiveCycle(Seconds += 3));
        QCoreApplication::processEvents();
    }
};

TLivePage &LivePage()
{
    static TLivePage live;
    return live;
}

void BM_Trends_LiveAppend(benchmark::State &state)
{
    benchsupport::App();
    TLivePage &live = LivePage();
    live.Page->show();
    live.Hand(1);
    const int before = live.Page->Chart()->Line(0)->data()->size();
    const int replotsBefore = live.Replots;
    const TFigure figure = Measure(state, [&] {
        live.Feed->CycleRead(LiveCycle(live.Seconds += 3));
        // the cycle's event, then the queued replot
        const int replots = live.Replots;
        while (live.Replots == replots)
            QCoreApplication::processEvents();
        live.Page->Chart()->Plot()->repaint();
    });
    state.counters["points_added"] = double(live.Page->Chart()->Line(0)->data()->size() - before);
    state.counters["replots"] = double(live.Replots - replotsBefore);
    ReportAgainst(state, figure, "plot_append", "", 0.0167 / 4);
}
BENCHMARK(BM_Trends_LiveAppend)->Unit(benchmark::kMicrosecond);

// Cycles reaching the page 100 at a time, shown (the baseline) and hidden.
constexpr int kBatch = 100;

void BM_Baseline_CyclesToShownPage(benchmark::State &state)
{
    benchsupport::App();
    TLivePage &live = LivePage();
    live.Page->show();
    live.Hand(1);
    const TFigure figure = Measure(state, [&] { live.Hand(kBatch); });
    ReportBaseline("shown_page", figure);
    state.counters["cpu_us_per_cycle"] = figure.Cpu / kBatch * 1e6;
}
BENCHMARK(BM_Baseline_CyclesToShownPage)->Unit(benchmark::kMicrosecond);

void BM_Trends_CyclesToHiddenPage(benchmark::State &state)
{
    benchsupport::App();
    TLivePage &live = LivePage();
    live.Page->show();
    live.Hand(1);
    live.Page->hide();
    QCoreApplication::processEvents();
    const int replots = live.Replots;
    const int points = live.Page->Chart()->Line(0)->data()->size();
    const TFigure figure = Measure(state, [&] { live.Hand(kBatch); });
    state.counters["cycles"] = double(state.iterations() * kBatch);
    state.counters["replots_hidden"] = double(live.Replots - replots);
    state.counters["points_added_hidden"] = double(live.Page->Chart()->Line(0)->data()->size() - points);
    state.counters["cpu_us_per_cycle"] = figure.Cpu / kBatch * 1e6;
    ReportAgainst(state, figure, "shown_page", "", 0);
    live.Page->show();
    QCoreApplication::processEvents();
}
BENCHMARK(BM_Trends_CyclesToHiddenPage)->Unit(benchmark::kMicrosecond);

} // namespace
