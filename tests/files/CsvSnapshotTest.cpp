#include "common/Cp1251.h"
#include "common/Contracts.h"
#include "common/UserFolders.h"
#include "files/CsvSnapshot.h"
#include "support/FileSizeLimit.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace {

QStringList ReadCsv(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = Cp1251::Decode(file.readAll()).split(QStringLiteral("\r\n"));
    lines.removeLast(); // after the final line end
    return lines;
}

class LocaleGuard
{
public:
    explicit LocaleGuard(const QLocale &locale) { QLocale::setDefault(locale); }
    ~LocaleGuard() { QLocale::setDefault(QLocale::system()); }
};

const QDateTime kMoment(QDate(2026, 12, 6), QTime(15, 24, 10, 123));

} // namespace

TEST(CsvNumbers, GeneralFormatOfWidenedSingles)
{
    const QChar comma(u',');
    EXPECT_EQ(TCsvFile::FormatFloat(220.1f, comma), QStringLiteral("220,100006103516"));
    EXPECT_EQ(TCsvFile::FormatFloat(0.1f, comma), QStringLiteral("0,100000001490116"));
    EXPECT_EQ(TCsvFile::FormatFloat(50.0f, comma), QStringLiteral("50"));
    EXPECT_EQ(TCsvFile::FormatFloat(49.98f - 50.0f, comma), QStringLiteral("-0,0200004577636719"));
    EXPECT_EQ(TCsvFile::FormatFloat(0.0, comma), QStringLiteral("0"));
    EXPECT_EQ(TCsvFile::FormatFloat(0.00001, comma), QStringLiteral("0,00001"));
    EXPECT_EQ(TCsvFile::FormatFloat(0.0000015, comma), QStringLiteral("1,5E-6"));
    EXPECT_EQ(TCsvFile::FormatFloat(1e15, comma), QStringLiteral("1E15"));
    EXPECT_EQ(TCsvFile::FormatFloat(123456789012345.0, comma), QStringLiteral("123456789012345"));
    EXPECT_EQ(TCsvFile::FormatFloat(-1.25e20, QChar(u'.')), QStringLiteral("-1.25E20"));
    EXPECT_EQ(TCsvFile::FormatFloat(1000.0, comma), QStringLiteral("1000"));
}

TEST(CsvNumbers, PowerFiguresDeriveApparentPowerAndGuardZero)
{
    std::array<TPowerCalculation::TPhaseInput, 3> phases{};
    phases[0] = {3.0f, 4.0f, 10.0f, 2.0f, 60.0f};
    const auto block = TPowerCalculation::Calculate(phases, 3.0f, 4.0f);
    EXPECT_FLOAT_EQ(block[1][2], 5.0f);    // S
    EXPECT_FLOAT_EQ(block[1][3], 0.6f);    // P/S
    EXPECT_NEAR(block[1][4], 10.0f, 1e-4); // P(1) = 10 * 2 * cos 60
    EXPECT_NEAR(block[1][7], 0.5f, 1e-6);  // cos φ
    EXPECT_FLOAT_EQ(block[2][3], 0.0f);    // S = 0 -> ratio 0
    EXPECT_NEAR(block[0][4], 10.0f, 1e-4); // P(1)Σ
    EXPECT_FLOAT_EQ(block[0][3], 0.6f);
}

TEST(CsvFile, ReportLayoutUnderRussianSettings)
{
    LocaleGuard locale(QLocale(QLocale::Russian, QLocale::Russia));
    QTemporaryDir dir;
    std::vector<float> values(14275, 0.0f);
    values[0] = 220.1f;
    values[2749] = 49.98f;
    values[286] = 230.0f;
    values[1508] = 5.0f;
    values[314 + 2] = 0.1f;   // K(2) of Uа
    values[2115 + 50] = 7.5f; // fi(50) of phase a
    const QString path = dir.filePath(QStringLiteral("snapshot.csv"));
    TFileUtilities saver(1, values, QStringLiteral("TccnM7Dev"), kMoment);
    ASSERT_TRUE(saver.SaveToFile(path));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("snapshot.csv")});

    // the file exactly as the report has always been written
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex().toStdString(),
              "3a94408b1c6ff050b881f062a1e2c8b3356964ac4515af92d769929cfb1a5f06");
    const QStringList lines = ReadCsv(path);
    ASSERT_EQ(lines.size(), 74);
    EXPECT_EQ(lines[0], QStringLiteral("Тип прибора;Tarvel-M7(v4-6);"));
    EXPECT_EQ(lines[1], QStringLiteral("Номер прибора;1;"));
    EXPECT_EQ(lines[2], QString());
    EXPECT_EQ(lines[3], QStringLiteral("Дата/время;2026.12.06 15:24:10.123;"));
    EXPECT_EQ(lines[5], QStringLiteral(";U ном ф;U ном мф;I ном;"));
    EXPECT_EQ(lines[6], QStringLiteral(";220,100006103516;0;0;"));
    for (int i = 7; i <= 10; ++i)
        EXPECT_TRUE(lines[i].isEmpty());
    EXPECT_EQ(lines[11], QStringLiteral(";F;откл. F;K0;K2;"));
    EXPECT_EQ(lines[12], QStringLiteral(";49,9799995422363;-0,0200004577636719;0;0;"));
    EXPECT_TRUE(lines[14].startsWith(QStringLiteral(";Uа;Iа;fi UIa;Uв;")));
    EXPECT_TRUE(lines[15].startsWith(QStringLiteral("U д, I д;230;5;;0;0;;")));
    EXPECT_EQ(lines[15].count(u';'), 22);
    EXPECT_TRUE(lines[19].startsWith(QStringLiteral("K(2), fi(2);0,100000001490116;0;0;")));
    EXPECT_TRUE(lines[67].startsWith(QStringLiteral("K(50), fi(50);0;0;7,5;")));
    EXPECT_EQ(lines[69], QStringLiteral(";P;Q;S;cos fi;Pа;Qа;Sа;cos fi а;Pв;Qв;Sв;cos fi в;Pс;Qс;Sс;cos fi с;"));
    EXPECT_EQ(lines[70], QStringLiteral("Весь сигнал;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;"));
    EXPECT_EQ(lines[71], QStringLiteral("1 гармоника;0;0;0;0;0;0;0;1;0;0;0;1;0;0;0;1;"));
    EXPECT_TRUE(lines[72].isEmpty());
    EXPECT_TRUE(lines[73].isEmpty());
}

TEST(CsvFile, PointLocaleAndFileNames)
{
    LocaleGuard locale(QLocale(QLocale::English, QLocale::UnitedStates));
    QStandardPaths::setTestModeEnabled(true);
    const TCsvSaveOutcome first = SaveCsvSnapshot(ProgramDocumentsFolder(), 1, std::vector<float>(14275, 0.0f),
                                                  QStringLiteral("TccnM7Dev"), kMoment);
    const QString name = first.Path;
    EXPECT_TRUE(name.endsWith(QStringLiteral("/VD/Raruzor U7(D5)/monitor_m7(v4_6)_1_261206_152410123.csv")));
    EXPECT_TRUE(first.Saved);
    EXPECT_EQ(first.StatusText(), QStringLiteral("Последний файл: ") + name);
    EXPECT_EQ(TGenerateNameUtilities::DeviceFilePrefix(QStringLiteral("TccnR5ASDev")), QStringLiteral("r5AS(v4_6)"));
    EXPECT_EQ(TGenerateNameUtilities::DeviceTypeText(QStringLiteral("TccnM7SQDev")),
              QStringLiteral("Tarvel-M7(SQ v10+)"));

    std::vector<float> values(14275, 0.0f);
    values[2749] = 49.98f;
    // the same name twice: the second save replaces the first
    ASSERT_TRUE(TFileUtilities(1, std::vector<float>(14275, 1.0f), "TccnM7Dev", kMoment).SaveToFile(name));
    ASSERT_TRUE(TFileUtilities(1, values, "TccnM7Dev", kMoment).SaveToFile(name));
    EXPECT_EQ(ReadCsv(name)[12], QStringLiteral(";49.9799995422363;-0.0200004577636719;0;0;"));
    QDir(QFileInfo(name).absolutePath()).removeRecursively();
    QStandardPaths::setTestModeEnabled(false);
}

TEST(CsvFile, FailuresAreReportedAndContractsGuardNames)
{
    QTemporaryDir dir;
    QStringList errors;
    auto sink = [&](const QString &text) { errors << text; };
    // a file where the folder should be
    QFile blocker(dir.filePath(QStringLiteral("file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString badFolder = dir.filePath(QStringLiteral("file/sub/x.csv"));
    EXPECT_FALSE(TFileUtilities(0, {}, {}, kMoment).SaveToFile(badFolder, sink));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0], QStringLiteral("Ошибка при указании пути к файлу (%1).").arg(badFolder));

    // a folder with the file's name cannot be replaced
    const QString dirNamed = dir.filePath(QStringLiteral("taken.csv"));
    ASSERT_TRUE(QDir().mkpath(dirNamed));
    EXPECT_FALSE(TFileUtilities(0, {}, {}, kMoment).SaveToFile(dirNamed, sink));
    EXPECT_EQ(errors.value(1), QStringLiteral("Ошибка при удалении перезаписываемого файла (%1).").arg(dirNamed));

    // the snapshot save names the file in the folder it is given and reports
    // the failure both ways: through the sink and in its status text
    const TCsvSaveOutcome failed =
        SaveCsvSnapshot(dir.filePath(QStringLiteral("file/sub")), 3, {}, QStringLiteral("TccnM7SQDev"), kMoment, sink);
    EXPECT_FALSE(failed.Saved);
    EXPECT_EQ(failed.Path, dir.filePath(QStringLiteral("file/sub/monitor_m7_sq_3_261206_152410123.csv")));
    EXPECT_EQ(failed.StatusText(),
              QStringLiteral("Ошибка при сохранении в: %1 (не удалось создать папку)").arg(failed.Path));
    EXPECT_EQ(errors.value(2), QStringLiteral("Ошибка при указании пути к файлу (%1).").arg(failed.Path));
    EXPECT_EQ(errors.size(), 3) << "each failure told once";
    QString reason;
    EXPECT_FALSE(TFileUtilities(0, {}, {}, kMoment).SaveToFile(dirNamed, {}, &reason));
    EXPECT_EQ(reason, QStringLiteral("под этим именем папка"));

    EXPECT_THROW(TCsvFile(dir.filePath(QStringLiteral("x.CSV"))), EPreConditions);
    TCsvFile file(dir.filePath(QStringLiteral("x.csv")));
    EXPECT_THROW(file.WriteValue(QVariantList{1, 2}), EPreConditions);
}

TEST(CsvFile, AWriteCutShortLeavesNoFileBehind)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cut.csv"));
    bool saved = true;
    {
        // a disk that fills up part-way: failure, nothing thrown
        testsupport::TFileSizeLimit limit(4096);
        ASSERT_TRUE(limit.Active());
        saved =
            TFileUtilities(1, std::vector<float>(14275, 1.5f), QStringLiteral("TccnM7Dev"), kMoment).SaveToFile(path);
    }
    EXPECT_FALSE(saved);
    // neither a cut file under the final name nor a temporary one
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}

TEST(CsvFile, AFullDiskIsReportedWithTheSystemsReason)
{
    QTemporaryDir dir;
    QStringList shown;
    TCsvSaveOutcome outcome;
    {
        testsupport::TFileSizeLimit limit(4096);
        ASSERT_TRUE(limit.Active());
        outcome = SaveCsvSnapshot(dir.path(), 5, std::vector<float>(14275, 1.5f), QStringLiteral("TccnM7Dev"), kMoment,
                                  [&](const QString &text) { shown << text; });
    }
    EXPECT_FALSE(outcome.Saved);
    // the file-size limit fails a write as a full disk does, with the system's text
    EXPECT_EQ(outcome.Reason, QString::fromLocal8Bit(std::strerror(EFBIG)));
    EXPECT_EQ(outcome.StatusText(),
              QStringLiteral("Ошибка при сохранении в: %1 (%2)").arg(outcome.Path, outcome.Reason));
    EXPECT_EQ(shown, QStringList{outcome.StatusText()});
}
