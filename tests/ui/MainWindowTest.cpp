#include "common/Cp1251.h"
#include "common/UnitLog.h"
#include "common/WindowMessages.h"
#include "common/cmnKnownFoldersFunc.h"
#include "catalogue/CcnCatalogueObjects.h"
#include "catalogue/CcnConnectionClasses.h"
#include "engine/DataStorageIndex.h"
#include "engine/RequestThreadManager.h"
#include "engine/UnitCommons.h"
#include "engine/UnitDataStorage.h"
#include "protocol/SimProcess.h"
#include "ui/CcnConnectionListUI.h"
#include "ui/FormMainVond.h"
#include "ui/FrameConnectionSettings.h"
#include "ui/FormatUtilities.h"
#include "ui/FrameThreeParams.h"
#include "ui/FrameValueWithDimension.h"
#include "ui/HarmonicsPage.h"
#include "ui/InterharmonicsPage.h"
#include "ui/PowerPage.h"
#include "ui/SpectrumDesigns.h"
#include "ui/SpectrumTable.h"
#include "ui/ProgramIniFile.h"
#include "ui/UnitMessage.h"

#include <QAction>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QTest>
#include <QThread>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTabWidget>
#include <gtest/gtest.h>
#include <qcustomplot.h>

namespace {

// Runs each test with its own per-user folders and a recording message box.
class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QStandardPaths::setTestModeEnabled(true);
        QDir(ProgramDataFolder()).removeRecursively();
        SetMessageDialogHook([this](const QString &text, QMessageBox::Icon) {
            messages << text;
            return QMessageBox::Ok;
        });
    }
    void TearDown() override
    {
        SetMessageDialogHook(nullptr);
        QDir(ProgramDataFolder()).removeRecursively();
        QStandardPaths::setTestModeEnabled(false);
    }

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

    QStringList messages;
};

// The window with its protected parts open to the tests.
class TestWindow : public TMainVondForm
{
public:
    int saves = 0;
    using TMainForm::actRun;
    using TMainForm::ConnectionSettingsFrame1;
    using TMainForm::edtPasswordFirstLevel;
    using TMainForm::lblNomerDev;
    using TMainForm::pgctrlMain;
    using TMainForm::statusPanels;

    TRequestThreadManager *Manager() { return Commons()->Manager(); }
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

std::unique_ptr<TccnConnection> TcpConnection(quint16 port, qint32 factoryNum, int attempts = 1)
{
    auto connection = std::make_unique<TccnConnection>();
    auto device = std::make_unique<TccnM7Dev>();
    device->FactoryNum = factoryNum;
    connection->SetCustomDevice(std::move(device));
    connection->SetCustomDeviceProtocol(std::make_unique<TccnTarvelProtocol>());
    auto mode = std::make_unique<TccnDirectTCPIPConMode>();
    mode->TCPIPInterface().IpAddress = QStringLiteral("127.0.0.1");
    mode->TCPIPInterface().IpPort = port;
    mode->MaxAttemptCountOnConnect = attempts;
    connection->SetCustomConMode(std::move(mode));
    return connection;
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

bool PumpUntil(const std::function<bool()> &condition, int ms = 30000)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QApplication::processEvents();
        if (condition())
            return true;
        QThread::msleep(5);
    }
    return condition();
}

} // namespace

TEST_F(MainWindowTest, StartsWithCaptionPagesAndLogsStartAndClose)
{
    {
        TMainVondForm window;
        window.Initialize();
        window.show();
        EXPECT_EQ(window.windowTitle(), QStringLiteral("Raruzor U7(D5) v %1.%2.%3")
                                            .arg(MONITOR_VERSION_MAJOR)
                                            .arg(MONITOR_VERSION_MINOR)
                                            .arg(MONITOR_VERSION_PATCH));
        EXPECT_EQ(window.minimumSize(), QSize(840, 665));
        auto *pages = window.findChild<QTabWidget *>(QStringLiteral("pgctrlMain"));
        ASSERT_NE(pages, nullptr);
        QStringList captions;
        for (int i = 0; i < pages->count(); ++i)
            captions << pages->tabText(i);
        EXPECT_EQ(captions, (QStringList{"Интерфейс", "Основные", "Гармоники", "Интергармоники", "Мощность",
                                         "Формы сигналов"}));
        EXPECT_EQ(pages->currentIndex(), 0);
        EXPECT_EQ(LogTexts(), QStringList{QStringLiteral("Старт программы")});

        PostWindowMessage(&window, WM_STATUS_TEXT, 0, QStringLiteral("Идет обмен данными"));
        QApplication::sendPostedEvents(&window);
        EXPECT_EQ(window.findChild<QLabel *>(QStringLiteral("lblLog"))->text(), QStringLiteral("Идет обмен данными"));
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
    EXPECT_EQ(messages, QStringList{QStringLiteral("Ведение лог-файла невозможно")});
    EXPECT_TRUE(QFileInfo(LogPath()).isDir());
}

TEST_F(MainWindowTest, F2SavesOnceFromEveryPageAndControl)
{
    TestWindow window;
    window.Initialize();
    window.CountSavesOnly();
    window.show();
    for (int page = 0; page < window.pgctrlMain->count(); ++page) {
        window.pgctrlMain->setCurrentIndex(page);
        QTest::keyClick(window.pgctrlMain->currentWidget(), Qt::Key_F2);
    }
    QTest::keyClick(window.edtPasswordFirstLevel, Qt::Key_F2);
    EXPECT_EQ(window.saves, window.pgctrlMain->count() + 1);
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

        // F2 while polling writes a snapshot and says where
        window.statusPanels[2]->clear();
        QTest::keyClick(&window, Qt::Key_F2);
        EXPECT_TRUE(window.statusPanels[2]->text().startsWith(QStringLiteral("Последний файл: ")));
        EXPECT_TRUE(window.statusPanels[0]->text().startsWith(QStringLiteral("Дата/время начала опроса: ")));

        window.actRun->trigger(); // the operator stops
        ASSERT_TRUE(PumpUntil([&] { return window.actRun->data().toInt() == 0; }));
        EXPECT_TRUE(window.edtPasswordFirstLevel->isEnabled());
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
    ASSERT_TRUE(PumpUntil([&] { return window.Manager()->RunState() == rsStopped && !messages.isEmpty(); }));
    PumpUntil([] { return false; }, 200);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], window.Manager()->StatusText());
    EXPECT_EQ(window.actRun->data().toInt(), 0);
    window.close();
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
