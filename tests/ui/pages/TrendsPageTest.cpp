// The trends page over a real archive: reading it, growing with each polled
// cycle, the limit lines, the files; and the window polling the simulator.

#include "ui/pages/TrendsPage.h"

#include "archive/SyntheticArchive.h"
#include "catalogue/ConnectionList.h"
#include "catalogue/ProgramSettingsFile.h"
#include "common/Cp1251.h"
#include "common/UserFolders.h"
#include "engine/Engine.h"
#include "files/CsvSnapshot.h"
#include "protocol/SimProcess.h"
#include "support/WindowTestFixture.h"
#include "support/LoopbackConnection.h"
#include "support/PumpEvents.h"
#include "ui/ArchiveGroup.h"
#include "ui/FileDialog.h"
#include "ui/MeterMainWindow.h"
#include "ui/MessageBoxes.h"
#include "ui/pages/TrendsChart.h"

#include <QAction>
#include <QDateTimeEdit>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QPushButton>
#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <cmath>

using testsupport::PumpUntil;
constexpr int kSlowWaitMs = 120000;
constexpr int kStopWaitMs = 10000;

namespace {

const QDateTime kMidnight(QDate(2025, 12, 9), QTime(0, 0), Qt::UTC);
const TMeterIdentity kMeter{QStringLiteral("dtM7SQ"), 4242, 1};

// Half an hour of cycles from 08:00, Urms_a 220, 221, …; limits read at 08:00.
class TrendsPageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        target = TArchiveTarget::File(dir.filePath(QStringLiteral("archive.sqlite")));
        std::vector<TCycleCopy> cycles;
        for (int i = 0; i < 600; ++i) {
            cycles.push_back(synthetic::Cycle(8 * 3600 + i * 3, 220.0f + float(i)));
            // the frequency wanders past its normal limits after the first cycles
            if (i >= 10)
                cycles.back().Data[size_t(VDSlot::F - VDSlot::DataFirst)] = 50.0f + 0.35f * std::sin(float(i) / 40);
        }
        synthetic::Fill(target, {synthetic::Settings(8 * 3600)}, cycles);
        page.resize(1000, 600);
        page.show();
    }

    // Waits for the page's answer from the archive.
    void WaitShown()
    {
        ASSERT_TRUE(PumpUntil([&] { return page.Idle() && !page.Data().Times.empty(); }))
            << page.StatusText().toStdString();
        QApplication::processEvents();
    }
    int LinePoints(int series = 0) { return page.Chart()->Line(series)->data()->size(); }
    double Highest(int series = 0)
    {
        bool found = false;
        return page.Chart()->Line(series)->data()->valueRange(found).upper;
    }

    QTemporaryDir dir;
    TArchiveTarget target;
    TTrendsPage page;
};

} // namespace

TEST_F(TrendsPageTest, ShowsTheLastHourAndGrowsOnePointPerPolledCycle)
{
    page.SetArchiveTarget(target);
    WaitShown();
    // "1 ч" by default, ending with the meter's latest cycle: all 600 cycles
    EXPECT_EQ(page.Data().Source, Archive::TSeriesSource::Cycles);
    EXPECT_EQ(page.To(), kMidnight.addSecs(8 * 3600 + 599 * 3 + 1));
    EXPECT_EQ(page.Data().Times.size(), 600u);
    ASSERT_EQ(page.Chart()->SeriesCount(), 3);
    // more cycles than pixel columns: cut to at most two points per column,
    // the highest of all kept
    EXPECT_LE(LinePoints(), 2 * page.Chart()->PixelColumns());
    EXPECT_EQ(Highest(), 819.0);
    EXPECT_TRUE(page.StatusText().contains(QStringLiteral("600"))) << page.StatusText().toStdString();

    // cycles of the run polled now: one point and the interval moves on
    TCycleSink *feed = page.CycleFeed();
    feed->RunStarted(kMeter);
    const int before = LinePoints();
    for (int i = 0; i < 3; ++i) {
        feed->CycleRead(synthetic::Cycle(8 * 3600 + 1800 + i * 3, 900.0f + float(i)));
        QApplication::processEvents();
        EXPECT_EQ(LinePoints(), before + i + 1);
    }
    EXPECT_EQ(page.Chart()->Line(0)->data()->at(LinePoints() - 1)->value, 902.0);
    const double end = Archive::SeriesTime(kMidnight.addSecs(8 * 3600 + 1806 + 1));
    EXPECT_EQ(page.Chart()->Plot()->xAxis->range().upper, end) << "the view follows";

    // a hidden page keeps them and draws them when shown again
    page.hide();
    feed->CycleRead(synthetic::Cycle(8 * 3600 + 1809, 903.0f));
    feed->CycleRead(synthetic::Cycle(8 * 3600 + 1812, 904.0f));
    QApplication::processEvents();
    EXPECT_EQ(LinePoints(), before + 3);
    page.show();
    QApplication::processEvents();
    EXPECT_EQ(LinePoints(), before + 5);

    // the user's zoom stays while points come
    page.Chart()->Plot()->xAxis->scaleRange(0.5);
    const QCPRange zoomed = page.Chart()->Plot()->xAxis->range();
    feed->CycleRead(synthetic::Cycle(8 * 3600 + 1815, 905.0f));
    QApplication::processEvents();
    EXPECT_EQ(LinePoints(), before + 6);
    EXPECT_EQ(page.Chart()->Plot()->xAxis->range(), zoomed);
    page.Chart()->ResetView();
    EXPECT_EQ(page.Chart()->Plot()->xAxis->range().upper, Archive::SeriesTime(kMidnight.addSecs(8 * 3600 + 1816)));

    // a pause in the polling is a break in the line, not a join
    feed->CycleRead(synthetic::Cycle(8 * 3600 + 1875, 906.0f));
    QApplication::processEvents();
    ASSERT_EQ(LinePoints(), before + 8);
    EXPECT_TRUE(std::isnan(page.Chart()->Line(0)->data()->at(LinePoints() - 2)->value));

    // the read-out names the time and every series' value under the mouse
    const QString readout = page.Chart()->ReadoutAt(Archive::SeriesTime(kMidnight.addSecs(8 * 3600 + 1815)));
    EXPECT_TRUE(readout.startsWith(QStringLiteral("09.12.2025 08:30:15"))) << readout.toStdString();
    EXPECT_TRUE(readout.contains(QStringLiteral("U A: 905 В"))) << readout.toStdString();

    // more cycles while hidden than it keeps: read anew when shown, up to the
    // last one polled
    page.hide();
    const int many = TTrendsPage::kHiddenCycles + 1;
    for (int i = 1; i <= many; ++i)
        feed->CycleRead(synthetic::Cycle(8 * 3600 + 1815 + i * 3, 900.0f));
    QApplication::processEvents();
    page.show();
    ASSERT_TRUE(PumpUntil([&] { return page.Idle(); }));
    EXPECT_EQ(page.To(), kMidnight.addSecs(8 * 3600 + 1815 + many * 3 + 1));

    // twelve series at most
    const QStringList more{"Urms_ab", "Urms_bc", "Urms_ca", "U1_a", "U1_b", "U1_c", "Irms_a", "Irms_b", "F"};
    for (const QString &name : more)
        EXPECT_TRUE(page.SetChecked(name, true)) << name.toStdString();
    EXPECT_EQ(page.Shown().size(), 12u);
    EXPECT_FALSE(page.SetChecked(QStringLiteral("Irms_c"), true));
    EXPECT_EQ(page.Shown().size(), 12u);
    EXPECT_TRUE(page.StatusText().contains(QStringLiteral("не более 12"))) << page.StatusText().toStdString();
}

TEST_F(TrendsPageTest, TenMinuteViewHasBandsLimitLinesAndPointsBeyond)
{
    page.SetArchiveTarget(target);
    WaitShown();
    for (const char *name : {"Urms_a", "Urms_b", "Urms_c"})
        page.SetChecked(QLatin1String(name), false);
    page.SetChecked(QStringLiteral("F"), true);
    page.SetChecked(QStringLiteral("Irms_a"), true);
    page.ChooseSpan(TTrendsPage::TSpan::Day);
    ASSERT_TRUE(PumpUntil([&] { return page.Idle() && page.Data().Source == Archive::TSeriesSource::Aggregates; }));
    EXPECT_EQ(page.Data().Times.size(), 3u); // 08:00, 08:10, 08:20
    QCustomPlot *plot = page.Chart()->Plot();
    // in the list's order: the current on the right, the frequency on the
    // left (no voltage shown)
    EXPECT_EQ(page.Chart()->Line(0)->name(), QStringLiteral("I A"));
    EXPECT_EQ(page.Chart()->Line(0)->valueAxis(), plot->yAxis2);
    EXPECT_EQ(page.Chart()->Line(1)->valueAxis(), plot->yAxis);
    EXPECT_EQ(plot->yAxis->label(), QStringLiteral("Гц"));
    // the band: a graph filled towards another
    int bands = 0;
    std::vector<double> limits;
    for (int i = 0; i < plot->graphCount(); ++i) {
        QCPGraph *g = plot->graph(i);
        bands += g->channelFillGraph() != nullptr;
        if (g->pen().style() == Qt::DashLine && g->lineStyle() == QCPGraph::lsStepLeft)
            limits.push_back(g->data()->at(0)->value);
    }
    EXPECT_EQ(bands, 2);
    std::sort(limits.begin(), limits.end());
    EXPECT_EQ(limits, (std::vector<double>{49.6f, 49.8f, 50.2f, 50.4f}));
    // each limit line named in the legend by its quantity
    QStringList legend;
    for (int i = 0; i < plot->legend->itemCount(); ++i)
        if (auto *item = qobject_cast<QCPPlottableLegendItem *>(plot->legend->item(i)))
            legend << item->plottable()->name();
    EXPECT_EQ(legend, (QStringList{"I A", "F", "F: предельно допустимое ↑", "F: нормально допустимое ↑",
                                   "F: нормально допустимое ↓", "F: предельно допустимое ↓"}));
    const QString shots = qEnvironmentVariable("MONITOR_SCREENSHOT_DIR");
    if (!shots.isEmpty())
        page.grab().save(QDir(shots).filePath(QStringLiteral("trends-aggregates.png")));

    // the last hour's cycles: the frequency's points beyond its normal limits
    page.ChooseSpan(TTrendsPage::TSpan::Hour);
    ASSERT_TRUE(PumpUntil([&] { return page.Idle() && page.Data().Source == Archive::TSeriesSource::Cycles; }));
    QApplication::processEvents();
    int above = 0, below = 0;
    for (int i = 0; i < plot->graphCount(); ++i) {
        QCPGraph *g = plot->graph(i);
        if (g->lineStyle() == QCPGraph::lsNone)
            (g->scatterStyle().pen().color() == QColor(255, 0, 0) ? above : below) += g->data()->size();
    }
    EXPECT_GT(above, 0);
    EXPECT_GT(below, 0);
    if (!shots.isEmpty())
        page.grab().save(QDir(shots).filePath(QStringLiteral("trends-cycles.png")));

    // Ku(n) of cycles kept without their spectra: the 10-minute values, said so
    page.SetChecked(Archive::HarmonicQuantity(0, 3), true);
    ASSERT_TRUE(PumpUntil([&] { return page.Idle() && page.Data().Source == Archive::TSeriesSource::Aggregates; }));
    EXPECT_TRUE(page.StatusText().contains(QStringLiteral("Ku(n) по 10-минутным"))) << page.StatusText().toStdString();
    bool found = false;
    EXPECT_FLOAT_EQ(page.Chart()->Line(2)->data()->valueRange(found).upper, 0.3f);
}

TEST_F(TrendsPageTest, ExportsTheShownIntervalAsCsvAndSavesTheImage)
{
    page.SetArchiveTarget(target);
    WaitShown();
    page.SetChecked(QStringLiteral("Urms_b"), false);
    page.SetChecked(QStringLiteral("Urms_c"), false);
    page.SetChecked(QStringLiteral("F"), true);
    // a later run's values as the meter gave them, float32
    synthetic::Fill(target, {},
                    {synthetic::Cycle(12 * 3600, -0.04f), synthetic::Cycle(12 * 3600 + 3, 230.1f),
                     synthetic::Cycle(12 * 3600 + 6, 1e-5f)});
    page.ChooseInterval(kMidnight.addSecs(12 * 3600), kMidnight.addSecs(12 * 3600 + 9));
    ASSERT_TRUE(PumpUntil([&] { return page.Idle() && page.Data().Times.size() == 3; }));

    const QString csv = dir.filePath(QStringLiteral("out/trends.csv"));
    const QString png = dir.filePath(QStringLiteral("trends.png"));
    const QString pdf = dir.filePath(QStringLiteral("trends.pdf"));
    QStringList filters;
    SetFileDialogHook([&](const TFileDialogRequest &request, QString &chosen) {
        filters << request.NameFilters.join(u'|');
        chosen = filters.size() == 1 ? csv : (filters.size() == 2 ? png : pdf);
        return true;
    });
    page.ExportCsv();
    page.SaveImage();
    page.SaveImage();
    SetFileDialogHook(nullptr);
    EXPECT_EQ(filters, (QStringList{QStringLiteral("Файлы CSV (*.csv)"),
                                    QStringLiteral("Изображение PNG (*.png)|Документ PDF (*.pdf)"),
                                    QStringLiteral("Изображение PNG (*.png)|Документ PDF (*.pdf)")}));
    QFile paper(pdf);
    ASSERT_TRUE(paper.open(QIODevice::ReadOnly));
    EXPECT_TRUE(paper.readAll().contains("/MediaBox [0 0 842.000000 595.000000]")) << "an A4 page across";

    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << page.StatusText().toStdString();
    // the pages' names; each number the shortest that reads back to the meter's float
    const QString expected = QStringLiteral("Время счетчика;U A;F;\r\n"
                                            "2025-12-09 12:00:00;-0.04;50;\r\n"
                                            "2025-12-09 12:00:03;230.1;50;\r\n"
                                            "2025-12-09 12:00:06;1E-5;50;\r\n")
                                 .replace(u'.', TCsvFile::SystemDecimalSeparator());
    EXPECT_EQ(Cp1251::Decode(file.readAll()), expected);
    EXPECT_GT(QFile(png).size(), 1000);
    if (const QString shots = qEnvironmentVariable("MONITOR_SCREENSHOT_DIR"); !shots.isEmpty())
        QFile::copy(png, QDir(shots).filePath(QStringLiteral("trends-saved.png")));
    EXPECT_TRUE(page.StatusText().endsWith(QStringLiteral("trends.pdf"))) << page.StatusText().toStdString();
}

TEST_F(TrendsPageTest, FollowsTheArchiveAsItGrowsAndTakesTypedIntervals)
{
    page.SetArchiveTarget(target);
    WaitShown();
    page.ChooseSpan(TTrendsPage::TSpan::All);
    ASSERT_TRUE(PumpUntil([&] { return page.Idle(); }));
    EXPECT_EQ(page.To(), kMidnight.addSecs(8 * 3600 + 599 * 3 + 1));

    // another run written while the page is open (the poller's): the page
    // sees it when shown again and when "Весь архив" is pressed
    std::vector<TCycleCopy> later;
    for (int i = 0; i < 20; ++i)
        later.push_back(synthetic::Cycle(10 * 3600 + i * 3, 300.0f));
    synthetic::Fill(target, {}, later);
    const QDateTime end = kMidnight.addSecs(10 * 3600 + 19 * 3 + 1);
    page.hide();
    page.show();
    ASSERT_TRUE(PumpUntil([&] { return page.Idle() && page.To() == end; })) << page.To().toString().toStdString();
    EXPECT_EQ(page.From(), kMidnight.addSecs(8 * 3600));
    later.clear();
    for (int i = 0; i < 20; ++i)
        later.push_back(synthetic::Cycle(11 * 3600 + i * 3, 300.0f));
    synthetic::Fill(target, {}, later);
    page.findChild<QToolButton *>(QStringLiteral("btnTrendSpan4"))->click();
    ASSERT_TRUE(PumpUntil([&] { return page.Idle() && page.To() == end.addSecs(3600); }))
        << page.To().toString().toStdString();
    EXPECT_EQ(page.Data().Times.size(), 640u);
    EXPECT_TRUE(page.StatusText().contains(QStringLiteral("640"))) << page.StatusText().toStdString();

    // a date typed over the selected field is that date; six hours typed are
    // drawn from the cycles as the "6 ч" button draws them
    auto *from = page.findChild<QDateTimeEdit *>(QStringLiteral("dteTrendFrom"));
    auto *to = page.findChild<QDateTimeEdit *>(QStringLiteral("dteTrendTo"));
    for (auto [edit, text] : {std::pair{from, "09.12.2025 05:00"}, std::pair{to, "09.12.2025 11:00"}}) {
        edit->setDateTime(kMidnight.addDays(5).addSecs(edit == to ? 41 : 0)); // another day shown before
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, QLatin1String(text));
    }
    page.findChild<QPushButton *>(QStringLiteral("btnTrendShow"))->click();
    ASSERT_TRUE(PumpUntil([&] { return page.Idle(); }));
    EXPECT_EQ(page.From(), kMidnight.addSecs(5 * 3600));
    EXPECT_EQ(page.To(), kMidnight.addSecs(11 * 3600));
    EXPECT_EQ(page.Data().Source, Archive::TSeriesSource::Cycles);
    EXPECT_EQ(page.Data().Times.size(), 620u);
}

namespace {

class WindowTest : public testsupport::TWindowTest
{};

class TestWindow : public TMainVondForm
{
public:
    using TMainForm::actRun;
    using TMainForm::pgctrlMain;
};

} // namespace

TEST_F(WindowTest, PollingTheSimulatorShowsItsSeriesOnTheTrendsPage)
{
    testsim::TSimProcess sim({"--fast-clock", "--clock-step", "3"});
    ASSERT_TRUE(sim.Started());
    QTemporaryDir folder;
    ASSERT_TRUE(WriteSettingsPollingInto(sim.Port(), folder.filePath(QStringLiteral("polled.sqlite"))));
    TestWindow window;
    window.Initialize();
    window.show();
    auto *page = window.findChild<TTrendsPage *>();
    ASSERT_NE(page, nullptr);
    window.pgctrlMain->setCurrentIndex(6);
    // the page fits the window's least size
    window.resize(TMainForm::kMinWidth, TMainForm::kMinHeight);
    QApplication::processEvents();
    EXPECT_LE(page->minimumSizeHint().width(), page->width());
    EXPECT_LE(page->minimumSizeHint().height(), page->height());
    window.actRun->trigger();
    // the polled cycles reach the page, whether or not the archive had them yet
    ASSERT_TRUE(PumpUntil(
        [&] {
            TTrendsChart *chart = page->Chart();
            return chart->SeriesCount() == 3 && chart->Line(0)->data()->size() >= 4 &&
                   std::isfinite(chart->Line(0)->data()->at(chart->Line(0)->data()->size() - 1)->value);
        },
        kSlowWaitMs))
        << page->StatusText().toStdString();
    bool found = false;
    EXPECT_GT(page->Chart()->Line(0)->data()->valueRange(found).upper, 0);
    QApplication::processEvents(); // the queued replot, which fits the axes to the new points
    // the chart follows the cycles: the last one lies in its time range, its value in the axis's
    const auto *line = page->Chart()->Line(0);
    const double lastKey = line->data()->at(line->data()->size() - 1)->key;
    const double lastValue = line->data()->at(line->data()->size() - 1)->value;
    EXPECT_TRUE(line->keyAxis()->range().contains(lastKey));
    EXPECT_TRUE(line->valueAxis()->range().contains(lastValue));
    const QList<QDateTimeEdit *> edits = page->findChildren<QDateTimeEdit *>();
    EXPECT_TRUE(std::any_of(edits.begin(), edits.end(), [&](const QDateTimeEdit *edit) {
        return edit->dateTime() == Archive::SeriesDateTime(lastKey).addSecs(1);
    })) << "the interval's end follows the cycles";
    if (const QString shots = qEnvironmentVariable("MONITOR_SCREENSHOT_DIR"); !shots.isEmpty())
        window.grab().save(QDir(shots).filePath(QStringLiteral("trends-window.png")));
    window.actRun->trigger();
    // fast-clock cycles come faster than a window under the sanitizers draws
    // them: it draws the latest, never a backlog, and sees the stop at once
    ASSERT_TRUE(PumpUntil([&] { return window.actRun->data().toInt() == 0; }, kStopWaitMs));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();
    window.close();
}
