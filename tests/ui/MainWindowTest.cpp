#include "common/Cp1251.h"
#include "common/UnitLog.h"
#include "common/WindowMessages.h"
#include "common/cmnKnownFoldersFunc.h"
#include "ui/FormMainVond.h"
#include "ui/UnitMessage.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QStandardPaths>
#include <QTabWidget>
#include <gtest/gtest.h>

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
