// The quality report from the "Тренды" page: the simulator polled through
// its excursions into an archive, the report judged, shown and saved; and
// what the user is told when there is nothing to judge.

#include "archive/SyntheticArchive.h"
#include "catalogue/ConnectionList.h"
#include "catalogue/ProgramSettingsFile.h"
#include "common/UserFolders.h"
#include "engine/Engine.h"
#include "protocol/SimProcess.h"
#include "support/WindowTestFixture.h"
#include "support/LoopbackConnection.h"
#include "support/PumpEvents.h"
#include "ui/ArchiveGroup.h"
#include "ui/FileDialog.h"
#include "ui/MessageBoxes.h"
#include "ui/MeterMainWindow.h"
#include "ui/pages/QualityReportDialog.h"
#include "ui/pages/TrendsPage.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>
#include <gtest/gtest.h>

using testsupport::PumpUntil;

namespace {

class QualityReportTest : public testsupport::TWindowTest
{};

class TestWindow : public TMainVondForm
{
public:
    using TMainForm::actRun;
    using TMainForm::pgctrlMain;

    TDataStorageManager *Store() { return Commons()->Store(); }
};

const Report::TCriterionResult *Find(const Report::TQualityReport &report, const QString &quantity)
{
    for (const Report::TCriterionResult &result : report.Results)
        if (result.Criterion->Quantity == quantity)
            return &result;
    return nullptr;
}

} // namespace

// Meter time runs 3 s a cycle: the frequency steps past its maximum (+0.4 Hz)
// for two cycles of every fifty, which the report must find. The meter's
// clock starts on a 10-minute boundary: started from the computer's time, a
// run begun just before one would leave its first interval nearly empty and
// the report without enough data.
TEST_F(QualityReportTest, ThePolledExcursionIsJudgedShownAndSaved)
{
    testsim::TSimProcess sim({"--fast-clock", "--clock-step", "3", "--start-time", "2026-12-07T10:00:00"});
    ASSERT_TRUE(sim.Started());
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    ASSERT_TRUE(WriteSettingsPollingInto(sim.Port(), folder.filePath(QStringLiteral("polled.sqlite"))));
    TestWindow window;
    window.Initialize();
    window.show();
    auto *page = window.findChild<TTrendsPage *>();
    ASSERT_NE(page, nullptr);
    window.pgctrlMain->setCurrentIndex(6);
    window.actRun->trigger();
    ASSERT_TRUE(PumpUntil([&] { return window.Store()->DeviceDateTime() > 0; }));
    const double first = window.Store()->DeviceDateTime();
    // 180 cycles of meter time: three frequency steps. Five cycles more: the
    // first cycle comes up to two after the first reading (the settings come
    // between), and the last reading may not have its data yet.
    ASSERT_TRUE(PumpUntil([&] { return (window.Store()->DeviceDateTime() - first) * 86400 >= 555; }, 120000));
    window.actRun->trigger();
    ASSERT_TRUE(PumpUntil([&] { return window.actRun->data().toInt() == 0; }));

    // the whole archive (under a week: as it is)
    page->findChild<QToolButton *>(QStringLiteral("btnTrendSpan4"))->click();
    ASSERT_TRUE(PumpUntil([&] { return page->Idle() && page->From().secsTo(page->To()) >= 540; }))
        << page->StatusText().toStdString();
    page->findChild<QPushButton *>(QStringLiteral("btnTrendQualityReport"))->click();
    QPointer<TQualityReportDialog> dialog = page->findChild<TQualityReportDialog *>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->StatusText(), QStringLiteral("Отчёт готовится…"));
    EXPECT_FALSE(dialog->findChild<QPushButton *>(QStringLiteral("btnReportSave"))->isEnabled());
    ASSERT_TRUE(PumpUntil([&] { return !dialog || dialog->Ready(); }, 60000));
    ASSERT_TRUE(dialog) << messages.join(u'|').toStdString();

    const Report::TQualityReport &report = *dialog->Report();
    EXPECT_EQ(report.Meter.FactoryNumber, 4242);
    EXPECT_EQ(report.From, page->From());
    EXPECT_EQ(report.To, page->To());
    EXPECT_GE(report.Coverage.Cycles * 100, report.Coverage.ExpectedCycles * 90) << "the clock ran 3 s a cycle";
    const Report::TCriterionResult *frequency = Find(report, QStringLiteral("F"));
    ASSERT_NE(frequency, nullptr);
    EXPECT_GE(frequency->BeyondMax, 4);
    EXPECT_EQ(frequency->Verdict, Report::TVerdict::Fails);
    EXPECT_FALSE(frequency->Worst.empty());
    EXPECT_EQ(report.Verdict, Report::TVerdict::Fails);
    EXPECT_TRUE(dialog->VerdictText().startsWith(QStringLiteral("Заключение: не соответствует (F, ΔF")))
        << dialog->VerdictText().toStdString();
    const QString text = dialog->Browser()->toPlainText();
    EXPECT_TRUE(text.contains(QStringLiteral("Худшие значения"))) << text.left(500).toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("№ 4242"))) << text.left(500).toStdString();
    // the model as the pages name it, not the archive's code
    EXPECT_TRUE(dialog->windowTitle().endsWith(QStringLiteral("№ 4242"))) << dialog->windowTitle().toStdString();
    EXPECT_FALSE(dialog->windowTitle().contains(report.Meter.DeviceType)) << dialog->windowTitle().toStdString();
    if (const QString shots = qEnvironmentVariable("MONITOR_SCREENSHOT_DIR"); !shots.isEmpty())
        dialog->grab().save(QDir(shots).filePath(QStringLiteral("report-preview.png")));

    // "Сохранить…": HTML or PDF, by the name chosen
    const QString html = folder.filePath(QStringLiteral("report.html"));
    const QString pdf = folder.filePath(QStringLiteral("report.pdf"));
    QStringList filters;
    SetFileDialogHook([&](const TFileDialogRequest &request, QString &chosen) {
        filters << request.NameFilters.join(u'|');
        chosen = filters.size() == 1 ? html : pdf;
        return true;
    });
    auto *save = dialog->findChild<QPushButton *>(QStringLiteral("btnReportSave"));
    ASSERT_TRUE(save->isEnabled());
    save->click();
    save->click();
    SetFileDialogHook(nullptr);
    ASSERT_EQ(filters.size(), 2);
    EXPECT_EQ(filters[0], QStringLiteral("Документ HTML (*.html *.htm)|Документ PDF (*.pdf)"));
    QFile htmlFile(html), pdfFile(pdf);
    ASSERT_TRUE(htmlFile.open(QIODevice::ReadOnly));
    const QString saved = QString::fromUtf8(htmlFile.readAll());
    EXPECT_TRUE(saved.startsWith(QStringLiteral("<!DOCTYPE html>")));
    EXPECT_TRUE(saved.contains(QStringLiteral("<b>Заключение:</b> не соответствует")));
    EXPECT_TRUE(saved.contains(QStringLiteral("src=\"data:image/png;base64,")));
    ASSERT_TRUE(pdfFile.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdfFile.read(5) == "%PDF-");
    EXPECT_GT(pdfFile.size(), 10000);
    EXPECT_TRUE(dialog->StatusText().endsWith(QStringLiteral("report.pdf"))) << dialog->StatusText().toStdString();

    dialog->findChild<QPushButton *>(QStringLiteral("btnReportClose"))->click();
    EXPECT_TRUE(PumpUntil([&] { return !dialog; })) << "closed and gone";
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();
    window.close();
}

TEST_F(QualityReportTest, NothingToJudgeIsToldInWords)
{
    TTrendsPage page;
    EXPECT_EQ(page.OpenQualityReport(), nullptr);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("Архив не задан"))) << messages[0].toStdString();

    // an interval the archive holds nothing of: the reading thread's error
    QTemporaryDir dir;
    const TArchiveTarget target = TArchiveTarget::File(dir.filePath(QStringLiteral("archive.sqlite")));
    synthetic::Fill(target, {synthetic::Settings(8 * 3600)}, {synthetic::Cycle(8 * 3600, 220.0f)});
    page.SetArchiveTarget(target);
    ASSERT_TRUE(PumpUntil([&] { return page.Idle() && !page.Data().Times.empty(); }));
    const QDateTime empty = page.From().addDays(-3);
    page.ChooseInterval(empty, empty.addDays(1));
    ASSERT_TRUE(PumpUntil([&] { return page.Idle(); }));
    QPointer<TQualityReportDialog> dialog = page.OpenQualityReport();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return !dialog; })) << "closed after telling";
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(
        messages[1].startsWith(QStringLiteral("Отчёт о качестве не составлен: в архиве нет данных счетчика 4242 за ")))
        << messages[1].toStdString();

    // closed while the archive is read: the read ends unseen
    page.ChooseSpan(TTrendsPage::TSpan::Hour);
    ASSERT_TRUE(PumpUntil([&] { return page.Idle(); }));
    dialog = page.OpenQualityReport();
    ASSERT_NE(dialog, nullptr);
    dialog->close();
    EXPECT_TRUE(PumpUntil([&] { return !dialog; }));
    QTest::qWait(200);
    EXPECT_EQ(messages.size(), 2) << messages.join(u'|').toStdString();
}
