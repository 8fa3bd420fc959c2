#include "common/Cp1251.h"
#include "common/Exceptions.h"
#include "common/Contracts.h"
#include "common/ProgramLog.h"
#include "common/UserFolders.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>

namespace {

QStringList ReadLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString text = Cp1251::Decode(file.readAll());
    QStringList lines = text.split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

const QRegularExpression kStamp(QStringLiteral(R"(^\[\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d\.\d{3}\] )"));

} // namespace

TEST(ProgramLog, WritesStampedCp1251EntriesAndBlocksWithCrLf)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("monitor.log"));
    {
        TMonitorR5Logger log(path);
        ASSERT_TRUE(log.Open());
        log.LogProgramStart();
        log.LogLines({QStringLiteral("Старт опроса"), QStringLiteral("Настройки:")});
        log.LogLines({});
        log.LogProgramClose();
    }
    QFile raw(path);
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    const QByteArray bytes = raw.readAll();
    EXPECT_EQ(bytes.count("\r\n"), 6);
    EXPECT_EQ(bytes.count('\n'), 6);

    const QStringList lines = ReadLines(path);
    ASSERT_EQ(lines.size(), 6);
    for (int i : {0, 1, 4, 5})
        EXPECT_TRUE(kStamp.match(lines[i]).hasMatch()) << lines[i].toStdString();
    EXPECT_EQ(lines[0].mid(26), QStringLiteral("Старт программы"));
    EXPECT_EQ(lines[1].size(), 26); // the stamp alone, with its trailing blank
    EXPECT_EQ(lines[2], QString(26, u' ') + QStringLiteral("Старт опроса"));
    EXPECT_EQ(lines[3], QString(26, u' ') + QStringLiteral("Настройки:"));
    EXPECT_EQ(lines[4].size(), 26); // an empty block is its stamp line only
    EXPECT_EQ(lines[5].mid(26), QStringLiteral("Закрытие программы"));
}

TEST(ProgramLog, EachStartReplacesThePreviousLog)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("monitor.log"));
    for (int run = 0; run < 2; ++run) {
        TMonitorR5Logger log(path);
        ASSERT_TRUE(log.Open());
        log.Log(QStringLiteral("run %1").arg(run));
    }
    const QStringList lines = ReadLines(path);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("run 1")));
}

// A missing folder is made, as a service's first run makes its own; a log
// that cannot be made says which file and why, and drops its entries.
TEST(ProgramLog, AMissingFolderIsMadeAndAnUnopenableLogSaysWhyAndBadNamesBreakTheContract)
{
    QTemporaryDir dir;
    TMonitorR5Logger made(dir.filePath(QStringLiteral("new/folder/monitor.log")));
    ASSERT_TRUE(made.OpenOwn());
    made.Log(QStringLiteral("kept"));
    EXPECT_EQ(ReadLines(made.FileName()).size(), 1);

    QFile plain(dir.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    const QString path = dir.filePath(QStringLiteral("plain/folder/monitor.log"));
    TMonitorR5Logger log(path);
    EXPECT_FALSE(log.OpenOwn());
    EXPECT_EQ(log.OpenError(),
              QStringLiteral("Ведение лог-файла невозможно: %1 (%2 — не папка)").arg(path, plain.fileName()));
    EXPECT_NO_THROW(log.Log(QStringLiteral("dropped")));
    EXPECT_FALSE(QFile::exists(log.FileName()));

    EXPECT_THROW(TFileLogger(dir.filePath(QStringLiteral("monitor.LOG"))), EPreConditions);
    EXPECT_THROW(TFileLogger(dir.filePath(QStringLiteral("monitor.txt"))), EPreConditions);
}

TEST(ProgramLog, AWriteThatFailsAfterOpeningRaisesAnIoError)
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full";
    // /dev/full has no .log extension: go through a symlink that has one
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("full.log"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), link));
    TFileLogger logger(link);
    ASSERT_TRUE(logger.Open());
    EXPECT_THROW(logger.WriteLine(QStringLiteral("x")), EInOutError);
}

TEST(ProgramLog, EntriesFromTwoThreadsNeverMix)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("monitor.log"));
    {
        TMonitorR5Logger log(path);
        ASSERT_TRUE(log.Open());
        auto writer = [&log](const QString &tag) {
            for (int i = 0; i < 200; ++i)
                log.LogLines({tag + QStringLiteral(" 1"), tag + QStringLiteral(" 2")});
        };
        std::thread a(writer, QStringLiteral("window"));
        std::thread b(writer, QStringLiteral("poll"));
        a.join();
        b.join();
    }
    const QStringList lines = ReadLines(path);
    ASSERT_EQ(lines.size(), 1200);
    for (int i = 0; i < lines.size(); i += 3) {
        ASSERT_TRUE(kStamp.match(lines[i]).hasMatch());
        const QString tag = lines[i + 1].trimmed().section(u' ', 0, 0);
        EXPECT_EQ(lines[i + 1].trimmed(), tag + QStringLiteral(" 1"));
        EXPECT_EQ(lines[i + 2].trimmed(), tag + QStringLiteral(" 2"));
    }
}

// Two runs at once (two pollers): the second neither truncates nor joins the
// first's log but writes one of its own beside it; once the first has ended
// its name is free again.
TEST(ProgramLog, ARunKeepsItsLogToItselfWhileAnotherHoldsTheName)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("raruzor-poll.log"));
    auto first = std::make_unique<TMonitorR5Logger>(path);
    ASSERT_TRUE(first->OpenOwn());
    EXPECT_EQ(first->FileName(), path);
    first->Log(QStringLiteral("первый"));
    {
        TMonitorR5Logger second(path);
        ASSERT_TRUE(second.OpenOwn());
        EXPECT_EQ(second.FileName(),
                  dir.filePath(QStringLiteral("raruzor-poll-%1.log").arg(QCoreApplication::applicationPid())));
        second.Log(QStringLiteral("второй"));
        first->Log(QStringLiteral("первый ещё"));
        const QStringList lines = ReadLines(path);
        ASSERT_EQ(lines.size(), 2);
        EXPECT_TRUE(lines[0].endsWith(QStringLiteral("] первый")));
        EXPECT_TRUE(lines[1].endsWith(QStringLiteral("] первый ещё")));
        EXPECT_EQ(ReadLines(second.FileName()).size(), 1);
    }
    first.reset();
    TMonitorR5Logger third(path);
    ASSERT_TRUE(third.OpenOwn());
    EXPECT_EQ(third.FileName(), path);
    EXPECT_TRUE(ReadLines(path).isEmpty()); // a new run's log starts empty
}

TEST(Folders, ProgramSubfoldersSitBelowThePerUserFolders)
{
    QStandardPaths::setTestModeEnabled(true);
    const QString data = GetLocalAppDataFolder();
    const QString docs = GetDocumentsFolder();
    ASSERT_FALSE(data.isEmpty());
    EXPECT_TRUE(data.endsWith(u'/'));
    EXPECT_TRUE(docs.endsWith(u'/'));
    EXPECT_EQ(ProgramDataFolder(), data + QStringLiteral("VD/Raruzor U7(D5)/"));
    EXPECT_EQ(ProgramDocumentsFolder(), docs + QStringLiteral("VD/Raruzor U7(D5)/"));
    EXPECT_EQ(GetProgramSubFolder(QStringLiteral("/base"), QStringLiteral("P")), QStringLiteral("/base/VD/P/"));
    EXPECT_EQ(GetProgramSubFolder(QString(), QStringLiteral("P")), QStringLiteral("VD/P/"));
    QStandardPaths::setTestModeEnabled(false);
}
