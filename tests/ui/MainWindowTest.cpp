#include "support/WindowTestFixture.h"
#include "support/PumpEvents.h"
#include "common/Cp1251.h"
#include "common/ProgramLog.h"
#include "common/UserFolders.h"
#include "catalogue/AcceptedConnections.h"
#include "catalogue/CatalogueObjects.h"
#include "catalogue/ConnectionList.h"
#include "engine/RecordSlots.h"
#include "engine/Engine.h"
#include "engine/MeasurementRecord.h"
#include "protocol/SimProcess.h"
#include "support/LoopbackConnection.h"
#include "ui/connections/ConnectionListFrame.h"
#include "ui/connections/EditConnectionDialog.h"
#include "ui/MeterMainWindow.h"
#include "ui/connections/ConnectionSettingsFrame.h"
#include "ui/ValueFormat.h"
#include "ui/widgets/ThreeValuesFrame.h"
#include "ui/widgets/ValueWithUnitFrame.h"
#include "ui/widgets/LinkStatisticsPanel.h"
#include "ui/pages/HarmonicsPage.h"
#include "ui/pages/MainValuesPage.h"
#include "ui/charts/VectorCalculations.h"
#include "ui/charts/VectorChart.h"
#include "ui/charts/VectorDiagrams.h"
#include "ui/pages/InterharmonicsPage.h"
#include "ui/pages/PowerPage.h"
#include "ui/pages/SignalsFormsFrame.h"
#include "ui/charts/SpectrumDesigns.h"
#include "ui/charts/SpectrumTable.h"
#include "catalogue/ProgramSettingsFile.h"
#include "ui/MessageBoxes.h"
#include "ui/FilePathLabel.h"

#include <QAction>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QTest>
#include <QThread>

#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTcpServer>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QTimer>
#include <QToolBar>
#include <QWindow>
#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <cmath>
#include <numbers>

namespace {

// Runs each test with its own per-user folders and a recording message box.
class MainWindowTest : public testsupport::TWindowTest
{
protected:
    static QString LogPath() { return ProgramDataFolder() + TMonitorR5Logger::DefaultFileName(); }

    static QStringList LogTexts()
    {
        QFile file(LogPath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList texts;
        for (const QString &line : Cp1251::Decode(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
            texts << line.mid(26);
        return texts;
    }
};

// The window with its protected parts open to the tests.
class TestWindow : public TMainVondForm
{
public:
    int saves = 0;
    using TMainForm::actExit;
    using TMainForm::actRun;
    using TMainForm::actSaveFile;
    using TMainForm::ConnectionSettingsFrame1;
    using TMainForm::edtPasswordFirstLevel;
    using TMainForm::lblNomerDev;
    using TMainForm::pgctrlMain;
    using TMainForm::statusPanels;
    using TMainVondForm::RefreshDeviceTime;

    TDataStorageManager *Store() { return Commons()->Store(); }
    void CountSavesOnly() { countOnly_ = true; }

protected:
    void SaveMeasurements() override
    {
        ++saves;
        if (!countOnly_)
            TMainVondForm::SaveMeasurements();
    }

private:
    bool countOnly_ = false;
};

std::unique_ptr<TccnConnection> TcpConnection(qint32 port, qint32 factoryNum, int attempts = 1)
{
    return testsupport::LoopbackConnection(port, factoryNum, attempts);
}

// A settings file as a previous run would have left it.
void SeedSettings(const TccnConnection &connection)
{
    TProgramIniFile ini;
    TccnConnectionList list;
    auto copy = connection.Clone();
    ASSERT_TRUE(list.AddConnection(*copy));
    ini.WriteConnectionList(&list);
    ini.WriteSelected(copy->ConID);
    ini.WriteString(QStringLiteral("Своё"), QStringLiteral("ключ"), QStringLiteral("оставить"));
    ASSERT_TRUE(ini.UpdateFile());
}

using testsupport::PumpUntil;

// The program's event loop, as main() runs it; 7 when nothing ended it in time.
int ExecWithin(int ms)
{
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, [] { QCoreApplication::exit(7); });
    limit.start(ms);
    return QApplication::exec();
}

// Shows the window and makes it the active one, as the operator's click would.
void ShowActive(QWidget &window)
{
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

} // namespace

TEST_F(MainWindowTest, StartsWithCaptionPagesAndLogsStartAndClose)
{
    {
        TMainVondForm window;
        window.Initialize();
        window.show();
        EXPECT_EQ(window.windowTitle(), QStringLiteral("Raruzor U7(D5) v " MONITOR_VERSION));
        // a display name of the application's own would be appended by the
        // windowing system to this caption and to every dialog's
        EXPECT_EQ(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
        EXPECT_EQ(window.minimumSize(), QSize(840, 690));
        auto *pages = window.findChild<QTabWidget *>(QStringLiteral("pgctrlMain"));
        ASSERT_NE(pages, nullptr);
        QStringList captions;
        for (int i = 0; i < pages->count(); ++i)
            captions << pages->tabText(i);
        EXPECT_EQ(captions, (QStringList{"Интерфейс", "Основные", "Гармоники", "Интергармоники", "Мощность",
                                         "Формы сигналов", "Тренды"}));
        EXPECT_EQ(pages->currentIndex(), 0);
        EXPECT_EQ(LogTexts(), QStringList{QStringLiteral("Старт программы")});

        window.Commons()->Events().ShowStatus(QStringLiteral("Идет обмен данными"), svInformation);
        QApplication::sendPostedEvents(&window);
        EXPECT_EQ(window.findChild<QLabel *>(QStringLiteral("lblLog"))->text(), QStringLiteral("Идет обмен данными"));

        // message boxes still carry the program's title
        SetMessageDialogHook(nullptr);
        QString boxTitle;
        QTimer::singleShot(0, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                boxTitle = box->windowTitle();
                box->done(QMessageBox::Ok);
            }
        });
        ShowError(QStringLiteral("Проверка"), &window);
        EXPECT_EQ(boxTitle, QStringLiteral("Raruzor U7(D5)"));
        window.close();
    }
    EXPECT_EQ(LogTexts(), (QStringList{QStringLiteral("Старт программы"), QStringLiteral("Закрытие программы")}));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(MainWindowTest, RunsOnWithoutALogWhenItCannotBeOpened)
{
    // a folder where the log file should be makes the file impossible to create
    ASSERT_TRUE(QDir().mkpath(LogPath()));
    {
        TMainVondForm window;
        window.Initialize();
        window.close();
    }
    EXPECT_EQ(messages,
              QStringList{QStringLiteral("Ведение лог-файла невозможно: %1 (на месте файла папка)").arg(LogPath())});
    EXPECT_TRUE(QFileInfo(LogPath()).isDir());
}

// Keys are pressed on the window as the windowing system delivers them: the
// press reaches the window first, then the focused widget and its parents.
TEST_F(MainWindowTest, F2SavesOncePerPressWhereverTheFocusIs)
{
    TestWindow window;
    window.Initialize();
    window.CountSavesOnly();
    ShowActive(window);
    QWindow *keys = window.windowHandle();
    int expected = 0;
    for (int page = 0; page < window.pgctrlMain->count(); ++page) {
        window.pgctrlMain->setCurrentIndex(page);
        window.pgctrlMain->currentWidget()->setFocus();
        QTest::keyClick(keys, Qt::Key_F2);
        EXPECT_EQ(window.saves, ++expected) << "page " << page;
    }

    window.pgctrlMain->setCurrentIndex(0);
    window.edtPasswordFirstLevel->setFocus();
    for (char c : {'a', 'b', 'c'})
        QTest::keyClick(keys, c);
    EXPECT_EQ(window.edtPasswordFirstLevel->text(), QStringLiteral("abc"));
    QTest::keyClick(keys, Qt::Key_F2);
    EXPECT_EQ(window.saves, ++expected) << "F2 right after typing";

    // polling disables the focused password field: the window keeps the focus
    window.SetRunningView(false);
    for (int press = 0; press < 2; ++press) {
        QTest::keyClick(keys, Qt::Key_F2);
        EXPECT_EQ(window.saves, ++expected) << "F2 while polling, press " << press;
    }
    window.SetRunningView(true);
    window.close();
}

// The tool-bar hints: the short part pops up, the long part goes to the
// status line while the mouse is over the button. The last status text
// fills the rest of the tool bar; the password shows as stars.
TEST_F(MainWindowTest, ToolBarHintsStatusTextAndPasswordMask)
{
    TestWindow window;
    window.Initialize();
    window.show();
    QApplication::processEvents();
    auto *bar = window.findChild<QToolBar *>(QStringLiteral("tlbCommonParams"));
    ASSERT_NE(bar, nullptr);
    const std::tuple<QAction *, QString, QString> hints[] = {
        {window.actSaveFile, QStringLiteral("Сохранить в файл"),
         QStringLiteral("Сохранить последние измерения в файл")},
        {window.actExit, QStringLiteral("Выход"), QStringLiteral("Закрыть приложение")}};
    for (const auto &[action, tip, status] : hints) {
        QWidget *button = bar->widgetForAction(action);
        ASSERT_NE(button, nullptr);
        EXPECT_TRUE(button->isVisible());
        EXPECT_EQ(button->toolTip(), tip);
        QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), button->mapToGlobal(QPointF(2, 2)));
        QApplication::sendEvent(button, &enter);
        EXPECT_EQ(window.statusBar()->currentMessage(), status);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(button, &leave);
        EXPECT_EQ(window.statusBar()->currentMessage(), QString());
    }

    // the status text: a row of the tool-bar area to itself, up to the link
    // statistics at its end, whole at the window's usual width and in the
    // tool tip
    auto *log = window.findChild<QLabel *>(QStringLiteral("lblLog"));
    ASSERT_NE(log, nullptr);
    auto *logBar = window.findChild<QToolBar *>(QStringLiteral("tlbLog"));
    ASSERT_NE(logBar, nullptr);
    EXPECT_EQ(window.toolBarArea(logBar), Qt::TopToolBarArea);
    EXPECT_TRUE(window.toolBarBreak(logBar));
    auto *linkPanel = window.findChild<TLinkStatisticsPanel *>(QStringLiteral("LinkStatisticsPanel"));
    ASSERT_NE(linkPanel, nullptr);
    EXPECT_TRUE(logBar->isAncestorOf(linkPanel));
    const QString text = QStringLiteral("Удаленный сервер не найден.");
    window.Commons()->Events().ShowStatus(text, svError);
    QApplication::processEvents();
    EXPECT_LE(logBar->width() - (linkPanel->mapTo(logBar, QPoint(0, 0)).x() + linkPanel->width()), 20);
    const auto rightGap = [&] {
        return linkPanel->mapTo(logBar, QPoint(0, 0)).x() - (log->mapTo(logBar, QPoint(0, 0)).x() + log->width());
    };
    EXPECT_TRUE(log->isVisible());
    EXPECT_GE(rightGap(), 0);
    EXPECT_LE(rightGap(), 20);
    EXPECT_EQ(log->text(), text);
    EXPECT_EQ(log->toolTip(), text);
    EXPECT_LE(log->fontMetrics().horizontalAdvance(log->text()), log->contentsRect().width());
    const int narrow = log->width();
    window.resize(TMainForm::kMinWidth + 400, TMainForm::kMinHeight);
    QApplication::processEvents();
    EXPECT_EQ(log->width(), narrow + 400) << "it follows the tool bar";
    EXPECT_EQ(log->text(), text);
    EXPECT_TRUE(bar->widgetForAction(window.actExit)->isVisible());

    QTest::keyClicks(window.edtPasswordFirstLevel, QStringLiteral("abc"));
    EXPECT_EQ(window.edtPasswordFirstLevel->text(), QStringLiteral("abc"));
    EXPECT_EQ(window.edtPasswordFirstLevel->displayText(), QStringLiteral("***"));
    window.close();
}

// A restart clears the record: the nominal values go blank with the rest.
// At the minimum size every page's tab shows whole (none behind the tab
// bar's scroll arrows, whatever the link statistics count) and the meter
// tree shows its type names whole.
TEST_F(MainWindowTest, TabsAndMeterNamesReadableAtTheMinimumSize)
{
    SeedSettings(*TcpConnection(1, 1));
    TestWindow window;
    window.Initialize();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.findChild<TLinkStatisticsPanel *>(QStringLiteral("LinkStatisticsPanel"))
        ->setText(QStringLiteral("Обмен: 1234567 / ошибок 12345"));
    window.resize(window.minimumSize());
    QApplication::processEvents();
    ASSERT_EQ(window.size(), QSize(TMainForm::kMinWidth, TMainForm::kMinHeight));

    QTabBar *tabs = window.pgctrlMain->tabBar();
    for (const QToolButton *arrow : tabs->findChildren<QToolButton *>())
        EXPECT_FALSE(arrow->isVisible());
    for (int i = 0; i < tabs->count(); ++i) {
        const QRect tab = tabs->tabRect(i);
        EXPECT_TRUE(tabs->rect().contains(tab)) << tabs->tabText(i).toStdString();
        EXPECT_GE(tab.width(), tabs->fontMetrics().horizontalAdvance(tabs->tabText(i))) << i;
    }
    EXPECT_LE(tabs->mapTo(&window, tabs->rect().bottomRight()).x(), window.width());

    QTreeWidget *tree = window.ConnectionSettingsFrame1->ListFrame()->DeviceTree();
    tree->expandAll();
    QApplication::processEvents();
    EXPECT_GT(tree->topLevelItem(0)->childCount(), 0);
    EXPECT_GE(tree->viewport()->width(), static_cast<QAbstractItemView *>(tree)->sizeHintForColumn(0));
    window.close();
}

TEST_F(MainWindowTest, NominalValuesAreClearedWithTheRecord)
{
    TestWindow window;
    window.Initialize();
    window.show();
    QList<TValueWithDimensionFrame *> frames;
    for (const char *name : {"vwdfNominal_Uf", "vwdfNominal_Umf", "vwdfNominal_I"}) {
        frames << window.findChild<TValueWithDimensionFrame *>(QLatin1String(name));
        ASSERT_NE(frames.last(), nullptr) << name;
    }
    window.Store()->SetDeviceDateTime(QDateTime::currentDateTime()); // a polled record
    window.Store()->StoreValue(VDSlot::UnomPhase, 57.7f, true);
    window.Store()->StoreValue(VDSlot::UnomLine, 100.0f, true);
    window.Store()->StoreValue(VDSlot::Inom, 5.0f, true);
    QApplication::sendPostedEvents(&window);
    for (TValueWithDimensionFrame *frame : frames)
        EXPECT_NE(frame->ValueText(), TValueWithDimensionFrame::kNotMeaningful) << frame->objectName().toStdString();

    window.Store()->Clear();
    QApplication::sendPostedEvents(&window);
    for (TValueWithDimensionFrame *frame : frames)
        EXPECT_EQ(frame->ValueText(), TValueWithDimensionFrame::kNotMeaningful) << frame->objectName().toStdString();
    window.close();
}

TEST_F(MainWindowTest, PollsTheChosenConnectionAndStopsWithoutADialog)
{
    testsim::TSimProcess sim({"--fast-clock"});
    ASSERT_TRUE(sim.Started());
    SeedSettings(*TcpConnection(sim.Port(), 4242));
    qint32 chosen = -1;
    {
        TestWindow window;
        window.Initialize();
        window.show();
        ASSERT_NE(window.ConnectionSettingsFrame1->ListFrame()->CurrentConnection(), nullptr);

        window.Store()->StoreValue(VDSlot::Urms, 123.0f, false); // left from an earlier run
        window.actRun->trigger();
        EXPECT_EQ(window.Store()->Value(VDSlot::Urms), 0.0f) << "a start clears the record first";
        EXPECT_EQ(window.lblNomerDev->text(), QStringLiteral("4242"));
        ASSERT_TRUE(PumpUntil([&] { return window.actRun->data().toInt() == 1; }));
        EXPECT_FALSE(window.edtPasswordFirstLevel->isEnabled());
        EXPECT_FALSE(window.ConnectionSettingsFrame1->isEnabled());
        ASSERT_TRUE(PumpUntil([&] { return window.Store()->Value(VDSlot::Urms) > 0.0f; }));

        // F2 while polling writes a snapshot and says where: the file's name
        // stays readable in the panel, the whole path is in its tool tip
        const QString prefix = QStringLiteral("Последний файл: ");
        QLabel *panel = window.statusPanels[2];
        panel->clear();
        // the window's usual size: room for the file's name, not for the whole path
        window.resize(TMainForm::kMinWidth, TMainForm::kMinHeight);
        QTest::keyClick(window.windowHandle(), Qt::Key_F2);
        EXPECT_EQ(window.saves, 1);
        ASSERT_TRUE(panel->toolTip().startsWith(prefix));
        const QString path = panel->toolTip().mid(prefix.size());
        EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
        const QString name = QFileInfo(path).fileName();
        // most of the name at the usual size (the folder goes first), all of it when wider
        EXPECT_TRUE(panel->text().startsWith(prefix + name.left(12))) << panel->text().toStdString();
        EXPECT_TRUE(panel->text().endsWith(name.right(12))) << panel->text().toStdString();
        EXPECT_GE(panel->text().size(), prefix.size() + name.size() / 2) << panel->text().toStdString();
        EXPECT_LE(panel->fontMetrics().horizontalAdvance(panel->text()), panel->contentsRect().width());
        window.resize(TMainForm::kMinWidth + 100, TMainForm::kMinHeight);
        QApplication::processEvents();
        EXPECT_EQ(panel->text(), prefix + name);
        EXPECT_TRUE(window.statusPanels[0]->text().startsWith(QStringLiteral("Дата/время начала опроса: ")));

        window.actRun->trigger(); // the operator stops
        ASSERT_TRUE(PumpUntil([&] { return window.actRun->data().toInt() == 0; }));
        EXPECT_TRUE(window.edtPasswordFirstLevel->isEnabled());

        // the link's counters of the run, beside the page tabs and in their tool tip
        auto *linkPanel = window.findChild<TLinkStatisticsPanel *>(QStringLiteral("LinkStatisticsPanel"));
        ASSERT_NE(linkPanel, nullptr);
        const TLinkStatistics &link = linkPanel->Statistics();
        EXPECT_GT(link.Line.Exchanges, 0u);
        EXPECT_GE(link.Cycles, 1u);
        EXPECT_EQ(linkPanel->text(), QStringLiteral("Обмен: %1 / ошибок 0").arg(link.Line.Exchanges));
        EXPECT_TRUE(linkPanel->toolTip().contains(QStringLiteral("Циклов опроса: %1").arg(link.Cycles)));
        // a click lists them in a dialog that leaves the window usable
        QTest::mouseClick(linkPanel, Qt::LeftButton);
        auto *details = window.findChild<QMessageBox *>(QStringLiteral("LinkStatisticsDialog"));
        ASSERT_NE(details, nullptr);
        EXPECT_TRUE(details->text().contains(QStringLiteral("Ответов принято: %1").arg(link.Line.Answers)));
        EXPECT_FALSE(details->isModal());
        if (const QString shots = qEnvironmentVariable("MONITOR_SCREENSHOT_DIR"); !shots.isEmpty()) {
            QPixmap picture = window.grab();
            const QPixmap box = details->grab();
            QPainter painter(&picture);
            painter.drawPixmap(picture.width() - box.width() - 8, picture.height() - box.height() - 32, box);
            painter.end();
            picture.save(QDir(shots).filePath(QStringLiteral("link-statistics.png")));
        }
        details->close();
        EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();
        chosen = window.ConnectionSettingsFrame1->SelectedConID();
        window.close();
    }
    // the settings file is written anew at the end with the same list and choice
    TProgramIniFile ini;
    TccnConnectionList list;
    ini.ReadConnectionList(&list);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Items(0)->CustomDevice()->FactoryNum, 4242);
    EXPECT_EQ(ini.ReadSelected(), chosen);
    EXPECT_EQ(chosen, list.Items(0)->ConID);
}

// Closing the window while the engine waits for a meter that went quiet (its
// retries in progress): the window goes within the exchange time-outs, and
// the settings and the log are whole, with nothing half-written beside them.
TEST_F(MainWindowTest, ClosingWhileTheMeterIsSilentEndsPromptlyAndLeavesWholeFiles)
{
    testsim::TSimProcess sim({"--fast-clock", "--fault", "silence,on=data,prob=1"});
    ASSERT_TRUE(sim.Started());
    SeedSettings(*TcpConnection(sim.Port(), 4343));
    {
        TestWindow window;
        window.Initialize();
        window.show();
        window.actRun->trigger();
        ASSERT_TRUE(PumpUntil([&] { return window.Store()->Value(VDSlot::UnomPhase) > 0.0f; }));
        PumpUntil([] { return false; }, 300); // into the unanswered data request
        ASSERT_EQ(window.Commons()->RunState(), rsRunning);
        QDeadlineTimer bound(20000); // one answer time-out and its retry pause, and slack
        window.close();
        EXPECT_FALSE(bound.hasExpired());
        EXPECT_EQ(window.Commons(), nullptr);
    }
    TProgramIniFile ini;
    TccnConnectionList list;
    ini.ReadConnectionList(&list);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Items(0)->CustomDevice()->FactoryNum, 4343);
    EXPECT_EQ(ini.ReadSelected(), list.Items(0)->ConID);
    EXPECT_EQ(ini.ReadString(QStringLiteral("Своё"), QStringLiteral("ключ"), {}), QStringLiteral("оставить"));
    const QStringList files = QDir(ProgramDataFolder()).entryList(QDir::Files);
    EXPECT_EQ(files.size(), 2) << files.join(u' ').toStdString(); // the settings and the log
    const QStringList log = LogTexts();
    ASSERT_FALSE(log.isEmpty());
    // the window says it closes, then the run it stopped has the last word:
    // its stop and the link statistics of the run
    const qsizetype closing = log.lastIndexOf(QStringLiteral("Закрытие программы"));
    const qsizetype stop = log.lastIndexOf(QStringLiteral("Стоп опроса"));
    ASSERT_GE(closing, 0);
    EXPECT_GT(stop, closing);
    EXPECT_EQ(log.indexOf(QStringLiteral("Статистика обмена:"), stop), stop + 2); // after the block's time stamp
    EXPECT_TRUE(log.back().startsWith(QStringLiteral("Циклов опроса: "))) << log.back().toStdString();
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();
}

// The window system takes the window away without a close request: polling
// stops, the settings and the log are written, the program ends; once only.
TEST_F(MainWindowTest, AWindowDestroyedWithoutACloseEndsTheProgramAsACloseDoes)
{
    testsim::TSimProcess sim({"--fast-clock"});
    ASSERT_TRUE(sim.Started());
    SeedSettings(*TcpConnection(sim.Port(), 4444));
    {
        TestWindow window;
        window.Initialize();
        window.show();
        window.actRun->trigger();
        ASSERT_TRUE(PumpUntil([&] { return window.Commons()->RunState() == rsRunning; }));
        QTimer::singleShot(0, &window, [&] { window.windowHandle()->destroy(); });
        EXPECT_EQ(ExecWithin(20000), 0);
        EXPECT_EQ(window.Commons(), nullptr) << "polling stopped, the engine gone";
        window.close(); // nothing more to do
    }
    TProgramIniFile ini;
    EXPECT_EQ(ini.ReadString(QStringLiteral("Своё"), QStringLiteral("ключ"), {}), QStringLiteral("оставить"));
    EXPECT_TRUE(ini.ValueExists(QStringLiteral("FORMPOSITION"), QStringLiteral("MainForm")));
    EXPECT_EQ(LogTexts().count(QStringLiteral("Закрытие программы")), 1);
    EXPECT_TRUE(LogTexts().contains(QStringLiteral("Стоп опроса")));

    // a window deleted while the program runs
    QDir(ProgramDataFolder()).removeRecursively();
    auto *deleted = new TestWindow;
    deleted->Initialize();
    deleted->show();
    QTimer::singleShot(0, deleted, [&] { delete deleted; });
    EXPECT_EQ(ExecWithin(20000), 0);
    EXPECT_EQ(LogTexts(), (QStringList{QStringLiteral("Старт программы"), QStringLiteral("Закрытие программы")}));
    EXPECT_TRUE(TProgramIniFile().ValueExists(QStringLiteral("FORMPOSITION"), QStringLiteral("MainForm")));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();
}

TEST_F(MainWindowTest, ARunThatFailsByItselfShowsItsErrorOnce)
{
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();
    SeedSettings(*TcpConnection(port, 7, 2));
    TestWindow window;
    window.Initialize();
    window.show();
    window.actRun->trigger();
    ASSERT_TRUE(PumpUntil([&] { return window.Commons()->RunState() == rsStopped && !messages.isEmpty(); }));
    PumpUntil([] { return false; }, 200);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], window.Commons()->StatusText());
    EXPECT_EQ(window.actRun->data().toInt(), 0);
    window.close();
}

// A port out of range stops the run inside its start: both state messages
// are read in the stopped state.
TEST_F(MainWindowTest, ARunThatCannotStartShowsItsErrorOnce)
{
    SeedSettings(*TcpConnection(70000, 7));
    TestWindow window;
    window.Initialize();
    window.show();
    window.actRun->trigger();
    ASSERT_TRUE(PumpUntil([&] { return !messages.isEmpty(); }));
    PumpUntil([] { return false; }, 200);
    EXPECT_EQ(messages.size(), 1) << messages.join(u'|').toStdString();
    EXPECT_EQ(window.actRun->data().toInt(), 0);
    EXPECT_TRUE(window.edtPasswordFirstLevel->isEnabled());

    // the window starts again after it
    messages.clear();
    window.actRun->trigger();
    ASSERT_TRUE(PumpUntil([&] { return !messages.isEmpty(); }));
    PumpUntil([] { return false; }, 200);
    EXPECT_EQ(messages.size(), 1);
    window.close();
}

// The list window names what the operator can put right; a start it lets
// through that still cannot be used has the one general text. Either way
// there is one dialog and no start.
TEST_F(MainWindowTest, ARefusedStartSaysWhyOnce)
{
    {
        TestWindow window; // no saved connections at all
        window.Initialize();
        window.show();
        window.actRun->trigger();
        EXPECT_EQ(messages, QStringList{QStringLiteral("Таблица подключений пуста")});
        EXPECT_EQ(window.Commons()->RunState(), rsStopped);
        window.close();
    }
    messages.clear();
    SeedSettings(*testsupport::LoopbackConnection<TccnKL2Dev>(1, 7));
    {
        TestWindow window;
        window.Initialize();
        window.show();
        window.actRun->trigger();
        EXPECT_EQ(messages, QStringList{QStringLiteral("Заданный тип измерителя не поддерживается")});
        EXPECT_EQ(window.Commons()->RunState(), rsStopped);
        window.close();
    }
}

// The meter's time in the system's short date and long time formats, as the
// operator reads dates everywhere else (no time zone: the meter has none).
TEST_F(MainWindowTest, DeviceTimeFollowsTheLocalesFormats)
{
    TestWindow window;
    window.Initialize();
    window.Store()->SetDeviceDateTime(QDateTime(QDate(2024, 3, 5), QTime(13, 4, 5)));
    const auto shown = [&](QLocale::Language language, QLocale::Country country) {
        QLocale::setDefault(QLocale(language, country));
        window.RefreshDeviceTime();
        QLocale::setDefault(QLocale::system());
        return window.statusPanels[0]->text().replace(QChar(0x202F), u' ');
    };
    EXPECT_EQ(shown(QLocale::English, QLocale::UnitedStates),
              QStringLiteral("Дата/время начала опроса: 3/5/24 1:04:05 PM"));
    EXPECT_EQ(shown(QLocale::Russian, QLocale::Russia),
              QStringLiteral("Дата/время начала опроса: 05.03.2024 13:04:05"));
}

// A settings file that cannot be written costs the session's connection
// edits: the operator is told which file and why.
TEST_F(MainWindowTest, SaysWhenTheSettingsFileCannotBeWritten)
{
    const QString iniPath = ProgramDataFolder() + TProgramIniFile::DefaultFileName();
    ASSERT_TRUE(QDir().mkpath(iniPath)); // a folder where the file should be
    {
        TestWindow window;
        window.Initialize();
        window.show();
        window.close();
    }
    ASSERT_EQ(messages.size(), 1) << messages.join(u'|').toStdString();
    const QString shownPath = QDir::toNativeSeparators(iniPath);
    EXPECT_TRUE(messages[0].contains(shownPath)) << messages[0].toStdString();
    EXPECT_GT(messages[0].size() - messages[0].indexOf(shownPath) - shownPath.size(), 2) << "a reason after the name";
    EXPECT_TRUE(QFileInfo(iniPath).isDir());
}

TEST_F(MainWindowTest, SettingsFileIsWrittenOnceAtTheEndAndKeepsForeignSections)
{
    const QString iniPath = ProgramDataFolder() + TProgramIniFile::DefaultFileName();
    {
        TestWindow window;
        window.Initialize();
        window.show();
        EXPECT_FALSE(QFile::exists(iniPath)) << "nothing is written before the end";
        window.close();
    }
    TProgramIniFile written;
    EXPECT_TRUE(written.ValueExists(QStringLiteral("Подключения"), QStringLiteral("Список")));
    EXPECT_EQ(written.ReadSelected(), -1);
    EXPECT_TRUE(written.ValueExists(QStringLiteral("FORMPOSITION"), QStringLiteral("MainForm")));
    EXPECT_EQ(written.Sections().first(), QStringLiteral("FORMPOSITION"));

    SeedSettings(*TcpConnection(5000, 1));
    {
        TestWindow window;
        window.Initialize();
        window.show();
        window.close();
    }
    TProgramIniFile again;
    EXPECT_EQ(again.ReadString(QStringLiteral("Своё"), QStringLiteral("ключ"), {}), QStringLiteral("оставить"));
    TccnConnectionList list;
    again.ReadConnectionList(&list);
    EXPECT_EQ(list.Count(), 1);
}

TEST_F(MainWindowTest, SpectralPagesShowWhatTheSimulatorSent)
{
    testsim::TSimProcess sim; // the meter's own clock: one data block every 3 s
    ASSERT_TRUE(sim.Started());
    SeedSettings(*TcpConnection(sim.Port(), 1));
    TestWindow window;
    window.Initialize();
    window.show();
    auto *harmonics = window.findChild<THarmonicsPage *>();
    auto *interharmonics = window.findChild<TInterharmonicsPage *>();
    auto *power = window.findChild<TPowerPage *>();
    ASSERT_TRUE(harmonics && interharmonics && power);
    EXPECT_EQ(harmonics->parentWidget(), window.pgctrlMain->widget(2));
    EXPECT_EQ(interharmonics->parentWidget(), window.pgctrlMain->widget(3));
    EXPECT_EQ(power->parentWidget(), window.pgctrlMain->widget(4));

    const TDataStorageManager &record = *window.Store();
    window.pgctrlMain->setCurrentIndex(2);
    window.actRun->trigger();
    ASSERT_TRUE(PumpUntil([&] { return record.Value(VDSlot::KUn + 1) > 0.0f; }));

    const QString shots = qEnvironmentVariable("MONITOR_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
        const std::pair<int, const char *> pages[] = {
            {2, "harmonics-page.png"}, {3, "interharmonics-page.png"}, {4, "power-page.png"}};
        for (const auto &[index, file] : pages) {
            window.pgctrlMain->setCurrentIndex(index);
            PumpUntil([] { return false; }, 3500); // a block arrives while the page is up
            for (TSpectrumGroup *group : window.pgctrlMain->widget(index)->findChildren<TSpectrumGroup *>())
                group->AutoScale();
            PumpUntil([] { return false; }, 100);
            window.grab().save(QDir(shots).filePath(QLatin1String(file)));
        }
        window.pgctrlMain->setCurrentIndex(2);
    }

    // stopped after a block, every message of it has been handled
    window.actRun->trigger();
    ASSERT_TRUE(PumpUntil([&] { return window.actRun->data().toInt() == 0; }));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();

    // the nominals of the simulator (57.7 V, 100 V, 5 A) bring no prefixes
    EXPECT_EQ(harmonics->Spectrum()->Table(6)->Cell(1, 0), QStringLiteral("U~s~g~(~n~)~A, В"));
    EXPECT_EQ(harmonics->Spectrum()->Chart()->ValueTitle(), QStringLiteral("Коэффициент, %"));
    EXPECT_EQ(power->Spectrum()->Chart()->ValueTitle(), QStringLiteral("Мощность, Вт"));

    const auto value = [&](int slot, int decimals) {
        return TFormatUtilities::FormatNumber(record.Value(slot), decimals);
    };
    const auto bar = [](TSpectrumGroup *group, int series, int position) {
        return (group->Series(series)->data()->constBegin() + position)->value;
    };
    for (int n : {3, 5, 7, 9, 11}) {
        const int ku = VDSlot::KUn + (n - 2), ki = VDSlot::KIn + VDSlot::HarmonicCount + (n - 2);
        EXPECT_EQ(harmonics->Spectrum()->Table(0)->Cell(1, n - 1), value(ku, 2)) << n;
        EXPECT_EQ(harmonics->Spectrum()->Table(4)->Cell(2, n - 1), value(ki, 2)) << n;
        EXPECT_FLOAT_EQ(bar(harmonics->Spectrum(), SpectrumDesigns::kKuPhases, n - 2), record.Value(ku)) << n;
        EXPECT_GT(record.Value(ku), 0.0f);
    }
    for (int m : {1, 5, 11}) {
        const int kum = VDSlot::KUm + 2 * VDSlot::HarmonicCount + (m - 1);
        EXPECT_EQ(interharmonics->Spectrum()->Table(0)->Cell(3, m), value(kum, 2)) << m;
        EXPECT_FLOAT_EQ(bar(interharmonics->Spectrum(), SpectrumDesigns::kKuPhases + 2, m - 1), record.Value(kum));
    }
    const int q5 = VDSlot::Qn + (5 - 2);
    EXPECT_EQ(power->Spectrum()->Table(1)->Cell(1, 4), value(q5, record.DisplayDigits(4)));
    EXPECT_FLOAT_EQ(bar(power->Spectrum(), SpectrumDesigns::kQ, 3), record.Value(q5));
    EXPECT_EQ(power->tpfFazaPowerP->Param(0)->ValueText(), value(VDSlot::P, record.DisplayDigits(4)));
    window.close();
}

TEST_F(MainWindowTest, SignalsFormsPageShowsTheSimulatorsOscillogram)
{
    testsim::TSimProcess sim;
    ASSERT_TRUE(sim.Started());
    SeedSettings(*testsupport::LoopbackConnection<TccnM7SQDev>(sim.Port(), 1));
    TestWindow window;
    window.Initialize();
    window.show();
    auto *page = window.findChild<TSignalsFormsFrame *>();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->parentWidget(), window.pgctrlMain->widget(5));
    window.pgctrlMain->setCurrentIndex(5);
    window.actRun->trigger();
    // the first oscillogram of the run is scaled at once
    QCustomPlot *chart = page->Chart();
    ASSERT_TRUE(PumpUntil([&] { return chart->yAxis->range().upper != 100; }));
    // the line voltages of 100 V have the largest peaks
    EXPECT_GT(chart->yAxis->range().upper, 1.1 * 100 * std::sqrt(2.0) * 0.9);
    EXPECT_LT(chart->yAxis->range().upper, 1.1 * 100 * std::sqrt(2.0) * 1.2);
    EXPECT_EQ(chart->xAxis->range(), QCPRange(0, 128));
    EXPECT_NE(page->lnsrsCurrent[0]->data()->constBegin()->value, 0.0);

    const QString shots = qEnvironmentVariable("MONITOR_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
        PumpUntil([] { return false; }, 1500);
        window.grab().save(QDir(shots).filePath(QStringLiteral("signals-page.png")));
        page->trckbr1->setValue(4);
        PumpUntil([] { return false; }, 1500);
        page->chkShowPoints->click();
        chart->xAxis->setRange(20, 84);
        chart->yAxis->setRange(-60, 90);
        chart->yAxis2->setRange(-4, 6);
        page->chkFreeze->click(); // the read-out below is for this picture
        chart->replot();
        PumpUntil([] { return false; }, 100);
        // as if the mouse were there: taken right away, before a redraw finds
        // it is not (there is no mouse here)
        const auto *ua = page->lnsrsVoltage[0]->data().data();
        const auto point = ua->constBegin() + 40;
        page->CursorReadOut(
            QPoint(qRound(chart->xAxis->coordToPixel(point->key)), qRound(chart->yAxis->coordToPixel(point->value))));
        window.grab().save(QDir(shots).filePath(QStringLiteral("signals-zoomed.png")));
        EXPECT_EQ(page->lblInfoVoltageData->text(), QStringLiteral("Ua"));
        page->chkFreeze->click();
    }

    window.actRun->trigger();
    ASSERT_TRUE(PumpUntil([&] { return window.actRun->data().toInt() == 0; }));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();
    window.close();
}

TEST_F(MainWindowTest, VectorDiagramsShowTheSimulatorsPhasors)
{
    testsim::TSimProcess sim;
    ASSERT_TRUE(sim.Started());
    SeedSettings(*TcpConnection(sim.Port(), 1));
    TestWindow window;
    window.Initialize();
    window.show();
    auto *page = window.findChild<TParamsMainPage *>();
    ASSERT_NE(page, nullptr);
    TVectorDiagrams *diagrams = page->VectorDiagrams();
    ASSERT_EQ(diagrams->parentWidget(), page->VectorDiagramGroup());

    const TDataStorageManager &record = *window.Store();
    window.pgctrlMain->setCurrentIndex(1);
    window.actRun->trigger();
    ASSERT_TRUE(PumpUntil([&] { return record.Value(VDSlot::VectorAngleU + 1) != 0.0f; }));
    PumpUntil([] { return false; }, 100);

    const auto degrees = [](const TArrow &arrow) {
        return std::atan2(arrow.End.y(), arrow.End.x()) * 180 / std::numbers::pi;
    };
    const auto length = [](const TArrow &arrow) { return std::hypot(arrow.End.x(), arrow.End.y()); };
    // A, B, C clockwise a third of a turn apart, each current lagging its voltage
    const std::vector<TArrow> u = diagrams->Chart(TVectorDiagrams::dgPhases)->Arrows(TVectorDiagrams::kVoltageArrows);
    const std::vector<TArrow> i = diagrams->Chart(TVectorDiagrams::dgPhases)->Arrows(TVectorDiagrams::kCurrentArrows);
    ASSERT_EQ(u.size(), 3u);
    ASSERT_EQ(i.size(), 3u);
    EXPECT_NEAR(degrees(u[0]), 0, 0.01);
    EXPECT_NEAR(degrees(u[1]), -120, 3);
    EXPECT_NEAR(degrees(u[2]), 120, 4);
    for (int k = 0; k < 3; ++k) {
        // nominal, or 87 % in the simulator's dip of a phase (two cycles of 33)
        EXPECT_GE(length(u[k]), 0.8) << k;
        EXPECT_LE(length(u[k]), 1.06) << k;
        const double lag = TCalculations::NormalizedDegrees(degrees(u[k]) - degrees(i[k]));
        EXPECT_GT(lag, 10) << k;
        EXPECT_LT(lag, 60) << k;
    }
    // unequal loads: the currents differ and a negative sequence shows
    EXPECT_GT(length(i[0]), 1.15 * length(i[2]));
    const std::vector<TArrow> sequenceI =
        diagrams->Chart(TVectorDiagrams::dgSequences)->Arrows(TVectorDiagrams::kCurrentArrows);
    ASSERT_EQ(sequenceI.size(), 3u);
    EXPECT_GT(length(sequenceI[2]), 0.08 * length(sequenceI[1]));
    const std::vector<TArrow> powers =
        diagrams->Chart(TVectorDiagrams::dgPowers)->Arrows(TVectorDiagrams::kPowerArrows);
    ASSERT_EQ(powers.size(), 3u);
    EXPECT_DOUBLE_EQ(powers[0].End.x(), 1.0); // P is larger than Q on an inductive load
    EXPECT_GT(powers[1].End.y(), 0.2);

    const QString shots = qEnvironmentVariable("MONITOR_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
        const char *files[TVectorDiagrams::kDiagramCount] = {"vector-phases.png", "vector-lines.png",
                                                             "vector-sequences.png", "vector-powers.png"};
        for (int d = 0; d < TVectorDiagrams::kDiagramCount; ++d) {
            diagrams->ShowDiagram(d);
            PumpUntil([] { return false; }, 3500); // a block arrives while the diagram is up
            QGroupBox *group = page->VectorDiagramGroup();
            window.grab(QRect(group->mapTo(&window, QPoint(0, 0)), group->size()))
                .save(QDir(shots).filePath(QLatin1String(files[d])));
        }
        // the whole main page, then the interface page and the dialog that
        // edits the connection being polled
        diagrams->ShowDiagram(TVectorDiagrams::dgPhases);
        PumpUntil([] { return false; }, 3500);
        window.grab().save(QDir(shots).filePath(QStringLiteral("main-page.png")));
        window.pgctrlMain->setCurrentIndex(0);
        PumpUntil([] { return false; }, 300);
        window.grab().save(QDir(shots).filePath(QStringLiteral("connections.png")));
        TccnConnectionListUIOptions options;
        ConfigureMonitorOptions(options);
        const auto connection = TcpConnection(sim.Port(), 1);
        TccnEditConnectionForm form(&window, false, &options, connection.get());
        form.show();
        PumpUntil([] { return false; }, 300);
        form.grab().save(QDir(shots).filePath(QStringLiteral("edit-connection.png")));
        form.close();
    }

    window.actRun->trigger();
    ASSERT_TRUE(PumpUntil([&] { return window.actRun->data().toInt() == 0; }));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();
    window.close();
}
