// The window's "Тренды" page over a week of history at the window's normal
// size: a day of 10-minute values with their bands and limit lines, and the
// whole week. The history is the archive MONITOR_TRENDS_ARCHIVE names (the
// simulator's week that scripts/screenshots.sh records; copied first, never
// changed) or else a week of 10-minute rows written here. With
// MONITOR_SCREENSHOT_DIR set the two views are saved as the user guide's
// trends-day.png and trends-week.png.

#include "archive/ArchiveDatabase.h"
#include "catalogue/ProgramSettingsFile.h"
#include "common/UserFolders.h"
#include "report/SyntheticArchive.h"
#include "support/WindowTestFixture.h"
#include "support/PumpEvents.h"
#include "ui/ArchiveGroup.h"
#include "ui/MessageBoxes.h"
#include "ui/MeterMainWindow.h"
#include "ui/pages/TrendsChart.h"
#include "ui/pages/TrendsPage.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <tuple>

using testsupport::PumpUntil;

namespace {

class TestWindow : public TMainVondForm
{
public:
    using TMainForm::pgctrlMain;
};

// A week of 10-minute rows ending at a cycle: phase deviations (dU1) that
// swing with the day past their limits at the evening peak, the frequency
// wandering and K2U rising over its normal limit, with the limits of each.
void WriteWeek(const QString &path)
{
    const QDateTime start = SyntheticArchive::kWeekStart;
    TArchiveDatabase db(TArchiveTarget::File(path));
    ASSERT_TRUE(db.Open() && db.Begin());
    const qint64 meter = *db.MeterId({QStringLiteral("dtM7SQ"), 1, 1}, start);
    std::vector<float> limitSlots(280, 0.0f);
    limitSlots[74] = 50.4f, limitSlots[75] = 50.2f, limitSlots[76] = 49.8f, limitSlots[77] = 49.6f;
    limitSlots[80] = 4, limitSlots[81] = 2; // K2U
    // dU1 of the phases, the same in and outside the limit period: {10, 11, 13, 12} and {6, 7, 9, 8}
    for (size_t base : {10u, 6u})
        limitSlots[base] = 10, limitSlots[base + 1] = 5, limitSlots[base + 3] = -5, limitSlots[base + 2] = -10;
    ASSERT_TRUE(db.AddLimits(meter, SyntheticArchive::Limits(start, limitSlots, {{8, 0, 20, 0}})));
    const char *phases[] = {"a", "b", "c"};
    for (int i = 0; i < 7 * 144; ++i) {
        Archive::TAggregateRow row = SyntheticArchive::EmptyRow(start.addSecs(i * 600LL));
        const double day = 6.2831853 * double(i % 144) / 144;
        for (int p = 0; p < 3; ++p) {
            const float du = float(2.0 - 4.5 * std::sin(day - 1.2 + 0.3 * p) + 0.6 * std::sin(i * 0.7 + p));
            const size_t at = size_t(Archive::QuantityIndex(QStringLiteral("dU1_") + QLatin1String(phases[p])));
            row.Avg[at] = du, row.Min[at] = du - 1.2f, row.Max[at] = du + 1.1f;
        }
        const float f = float(50.0 + 0.12 * std::sin(i * 0.05) + 0.05 * std::sin(i * 0.9));
        const float k2u = float(1.6 + 0.7 * std::sin(day - 2.0) + 0.15 * std::sin(i * 1.3));
        for (auto [name, v, spread] : {std::tuple{"F", f, 0.07f}, std::tuple{"K2U", k2u, 0.4f}}) {
            const size_t at = size_t(Archive::QuantityIndex(QLatin1String(name)));
            row.Avg[at] = v, row.Min[at] = v - spread, row.Max[at] = v + spread;
        }
        ASSERT_TRUE(db.AddAggregate(meter, row));
    }
    ASSERT_TRUE(db.AddCycle(meter, SyntheticArchive::Cycle(start.addDays(7).addSecs(-3), 50.0f), false));
    ASSERT_TRUE(db.Commit());
}

class TrendsPicturesTest : public testsupport::TWindowTest
{};

} // namespace

TEST_F(TrendsPicturesTest, ADayAndAWeekOfHistoryAtTheWindowsSize)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("archive.sqlite"));
    const QString recorded = qEnvironmentVariable("MONITOR_TRENDS_ARCHIVE");
    if (!recorded.isEmpty())
        ASSERT_TRUE(QFile::copy(recorded, path)) << recorded.toStdString();
    else
        WriteWeek(path);
    {
        TProgramIniFile ini;
        TArchiveSettings settings;
        settings.Target = path;
        settings.KeepDays = 0;
        settings.Write(ini);
        ASSERT_TRUE(ini.UpdateFile());
    }
    TestWindow window;
    window.Initialize();
    window.resize(TMainForm::kMinWidth, TMainForm::kMinHeight);
    window.show();
    auto *page = window.findChild<TTrendsPage *>();
    ASSERT_NE(page, nullptr);
    window.pgctrlMain->setCurrentIndex(window.pgctrlMain->indexOf(page->parentWidget()));
    ASSERT_EQ(window.pgctrlMain->currentWidget(), page->parentWidget());
    const auto show = [&](const QStringList &names, TTrendsPage::TSpan span) {
        for (const Trends::TQuantity &q : page->Shown())
            page->SetChecked(q.Name, false);
        for (const QString &name : names)
            EXPECT_TRUE(page->SetChecked(name, true)) << name.toStdString();
        // the list opened at the groups of what is shown
        auto *tree = page->findChild<QTreeWidget *>();
        ASSERT_NE(tree, nullptr);
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            QTreeWidgetItem *group = tree->topLevelItem(i);
            group->setExpanded(std::any_of(names.begin(), names.end(), [&](const QString &name) {
                return Trends::Find(name).Group == group->text(0);
            }));
        }
        page->ChooseSpan(span);
        ASSERT_TRUE(PumpUntil([&] { return page->Idle() && !page->Data().Times.empty(); }))
            << page->StatusText().toStdString();
        PumpUntil([] { return false; }, 200);
    };
    // the limit lines and the bands drawn: dashed step lines, graphs filled towards another
    const auto count = [&](int &limits, int &bands) {
        limits = bands = 0;
        QCustomPlot *plot = page->Chart()->Plot();
        for (int i = 0; i < plot->graphCount(); ++i) {
            QCPGraph *g = plot->graph(i);
            bands += g->channelFillGraph() != nullptr;
            limits += g->pen().style() == Qt::DashLine && g->lineStyle() == QCPGraph::lsStepLeft;
        }
    };
    const QString shots = qEnvironmentVariable("MONITOR_SCREENSHOT_DIR");
    int limits = 0, bands = 0;

    // "Сутки": longer than six hours, so the 10-minute rows with their band;
    // one phase, so that its band hides none of its limits
    show({"dU1_b"}, TTrendsPage::TSpan::Day);
    EXPECT_EQ(page->Data().Source, Archive::TSeriesSource::Aggregates);
    EXPECT_GE(page->Data().Times.size(), 140u);
    count(limits, bands);
    EXPECT_EQ(bands, 1);
    EXPECT_EQ(limits, 4);
    if (!shots.isEmpty())
        window.grab().save(QDir(shots).filePath(QStringLiteral("trends-day.png")));

    // "7 суток": the frequency
    show({"F"}, TTrendsPage::TSpan::Week);
    EXPECT_EQ(page->Data().Source, Archive::TSeriesSource::Aggregates);
    EXPECT_GE(page->Data().Times.size(), 7u * 144 - 2);
    count(limits, bands);
    EXPECT_EQ(bands, 1);
    EXPECT_GE(limits, 4);
    if (!shots.isEmpty())
        window.grab().save(QDir(shots).filePath(QStringLiteral("trends-week.png")));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();
    window.close();
}
