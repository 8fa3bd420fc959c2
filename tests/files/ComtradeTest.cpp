#include "common/Cp1251.h"
#include "common/Contracts.h"
#include "common/Exceptions.h"
#include "common/UserFolders.h"
#include "files/Comtrade.h"
#include "support/FileSizeLimit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstring>

namespace {

const QDateTime kNow(QDate(2026, 12, 7), QTime(9, 30, 0, 250));

// A record as the meter writes it: nine analog channels (a = 0.01 for the
// voltages, 0.001 for the currents), four status channels, start time on
// line 18.
QStringList MeterConfigLines()
{
    QStringList lines{QStringLiteral("Tarvel-R5,N1234,1999"), QStringLiteral("13,9A,4D")};
    const char *names[9] = {"Ua", "Ub", "Uc", "Uab", "Ubc", "Uca", "Ia", "Ib", "Ic"};
    const char *phases[9] = {"A", "B", "C", "AB", "BC", "CA", "A", "B", "C"};
    for (int c = 0; c < 9; ++c) {
        const bool current = c >= 6;
        lines << QStringLiteral("%1,%2,%3,,%4,%5,%6,0,-32767,32767,%7,%8,%9")
                     .arg(c + 1)
                     .arg(QLatin1String(names[c]), QLatin1String(phases[c]))
                     .arg(current ? QStringLiteral("А") : QStringLiteral("В"))
                     .arg(current ? QStringLiteral("0.001") : QStringLiteral("0.01"))
                     .arg(c == 2 ? QStringLiteral("0.5") : QStringLiteral("0"))
                     .arg(c == 7 ? QStringLiteral("100") : QStringLiteral("1"))
                     .arg(c == 7 ? QStringLiteral("5") : QStringLiteral("1"))
                     .arg(c == 8 ? QStringLiteral("s") : QStringLiteral("P"));
    }
    for (int d = 1; d <= 4; ++d)
        lines << QStringLiteral("%1,D%1,,,0").arg(9 + d);
    lines << QStringLiteral("50") << QStringLiteral("1") << QStringLiteral("3200,1280")
          << QStringLiteral("15/06/2024,13:45:10.123456") << QStringLiteral("15/06/2024,13:45:10.150000")
          << QStringLiteral("BINARY") << QStringLiteral("1");
    return lines;
}

QByteArray Encode(const QStringList &lines, const char *lineEnd = "\r\n")
{
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += Cp1251::Encode(line) + lineEnd;
    return bytes;
}

int16_t RawValue(int channel, int record)
{
    return int16_t((channel + 1) * 1000 - record);
}

// `records` records of `analog` channels and one status word.
QByteArray MeterData(int records, int analog = 9)
{
    QByteArray dat;
    for (int n = 0; n < records; ++n) {
        const uint32_t header[2] = {uint32_t(n + 1), uint32_t(n * 312)};
        dat.append(reinterpret_cast<const char *>(header), 8);
        for (int c = 0; c < analog; ++c) {
            const int16_t raw = RawValue(c, n);
            dat.append(char(raw & 0xFF)).append(char((raw >> 8) & 0xFF));
        }
        dat.append("\x0F\x00", 2);
    }
    return dat;
}

} // namespace

TEST(Comtrade, MeterRecordFillsAllNineSignals)
{
    const QByteArray dat = MeterData(1280);
    ASSERT_EQ(dat.size(), 1280 * 28);
    const TFileCOMTRADE record(dat, Encode(MeterConfigLines()), kNow);

    EXPECT_EQ(record.DeviceNumber(), 1234);
    EXPECT_EQ(record.AnalogCount(), 9);
    EXPECT_EQ(record.StatusCount(), 4);
    EXPECT_EQ(record.StartMoment(), QDateTime(QDate(2024, 6, 15), QTime(13, 45, 10, 123)));
    EXPECT_EQ(record.Channel(0).Name, QStringLiteral("Ua"));
    EXPECT_EQ(record.Channel(3).Phase, QStringLiteral("AB"));
    EXPECT_EQ(record.Channel(0).Units, QStringLiteral("В"));
    EXPECT_EQ(record.Channel(6).Units, QStringLiteral("А"));
    EXPECT_EQ(record.Channel(7).Primary, 100.0f);
    EXPECT_EQ(record.Channel(8).PrimarySecondary, QLatin1Char('s'));
    EXPECT_EQ(record.GetField(0, 0), QStringLiteral("Tarvel-R5"));
    EXPECT_EQ(record.GetLine(20), QStringLiteral("BINARY"));
    EXPECT_EQ(record.Cfg().size(), 22);
    EXPECT_TRUE(record.GetLine(99).isEmpty());
    EXPECT_TRUE(record.GetField(1, 7).isEmpty());
    EXPECT_EQ(record.Dat(), dat);

    ASSERT_EQ(record.Samples().size(), 9u * 1280u);
    for (int c = 0; c < 9; ++c) {
        const double a = c >= 6 ? 0.001 : 0.01;
        const double b = c == 2 ? 0.5 : 0.0;
        const double ratio = c == 7 ? 20.0 : 1.0;
        for (int n : {0, 1, 639, 1279}) {
            EXPECT_FLOAT_EQ(record.Sample(c, n), float((RawValue(c, n) * a + b) * ratio)) << c << "/" << n;
            EXPECT_EQ(record.Samples()[size_t(c) * 1280 + n], record.Sample(c, n));
        }
    }
    EXPECT_THROW(record.Sample(9, 0), EPreConditions);
    EXPECT_THROW(record.Sample(0, 1280), EPreConditions);
    EXPECT_THROW(record.Channel(-1), EPreConditions);
}

TEST(Comtrade, ConversionUsesMultiplierOffsetAndRatio)
{
    QStringList lines = MeterConfigLines();
    lines[2] = QStringLiteral("1,Ua,A,,V,0.01,0,0,-32767,32767,100,1,P");
    lines[3] = QStringLiteral("2,Ub,B,,V, 0.5 ,-2,0,-32767,32767,10,0,S"); // secondary 0 counts as 1
    lines[4] = QStringLiteral("3,Uc,C,,V,junk,,0,-32767,32767,x,,");       // unreadable: a 1, b 0, ratio 1
    QByteArray dat;
    const uint32_t header[2] = {1, 0};
    dat.append(reinterpret_cast<const char *>(header), 8);
    for (int16_t raw : {1000, -8, 7, 0, 0, 0, 0, 0, 0})
        dat.append(char(raw & 0xFF)).append(char((raw >> 8) & 0xFF));
    dat.append(2, '\0');
    const TFileCOMTRADE record(dat, Encode(lines), kNow);
    EXPECT_EQ(record.Sample(0, 0), 1000.0f);
    EXPECT_EQ(record.Sample(1, 0), -60.0f);
    EXPECT_EQ(record.Channel(1).Secondary, 1.0f) << "kept as 1";
    EXPECT_EQ(record.Channel(1).PrimarySecondary, QLatin1Char('S'));
    EXPECT_EQ(record.Sample(2, 0), 7.0f);
    EXPECT_EQ(record.Channel(2).Multiplier, 1.0f);
    EXPECT_EQ(record.Channel(2).Primary, 1.0f);
    EXPECT_EQ(record.Channel(2).PrimarySecondary, QLatin1Char(' '));
    EXPECT_EQ(record.Sample(0, 1), 0.0f) << "one record only";

    // factors that overflow single precision give 0, not an infinity
    lines[2] = QStringLiteral("1,Ua,A,,V,3e38,0,0,-32767,32767,1,1,P");
    lines[3] = QStringLiteral("2,Ub,B,,V,3e38,0,0,-32767,32767,0,1,P");
    const TFileCOMTRADE absurd(dat, Encode(lines), kNow);
    EXPECT_EQ(absurd.Sample(0, 0), 0.0f);
    EXPECT_EQ(absurd.Sample(1, 0), 0.0f);
}

TEST(Comtrade, ShortAndLongDataFiles)
{
    const QByteArray config = Encode(MeterConfigLines());
    {
        const TFileCOMTRADE record(MeterData(100), config, kNow);
        EXPECT_NE(record.Sample(8, 99), 0.0f);
        for (int c = 0; c < 9; ++c)
            EXPECT_EQ(record.Sample(c, 100), 0.0f);
        EXPECT_EQ(record.Sample(0, 1279), 0.0f);
    }
    {
        // cut inside record 100, after the fourth channel value
        const QByteArray dat = MeterData(101).left(100 * 28 + 8 + 4 * 2 + 1);
        const TFileCOMTRADE record(dat, config, kNow);
        EXPECT_FLOAT_EQ(record.Sample(3, 100), RawValue(3, 100) * 0.01f);
        EXPECT_EQ(record.Sample(4, 100), 0.0f);
        EXPECT_EQ(record.Sample(0, 101), 0.0f);
    }
    {
        // zero padding and more records than kept
        QByteArray dat = MeterData(1300);
        dat.append(13, '\0');
        const TFileCOMTRADE record(dat, config, kNow);
        EXPECT_FLOAT_EQ(record.Sample(5, 1279), RawValue(5, 1279) * 0.01f);
    }
    {
        // twelve analog channels: the extra three are stepped over
        QStringList lines = MeterConfigLines();
        lines[1] = QStringLiteral("16,12A,4D");
        const TFileCOMTRADE record(MeterData(3, 12), Encode(lines), kNow);
        EXPECT_FLOAT_EQ(record.Sample(0, 2), RawValue(0, 2) * 0.01f);
        EXPECT_FLOAT_EQ(record.Sample(8, 2), RawValue(8, 2) * 0.001f);
    }
    {
        // fewer analog channels than signals: the rest stay 0
        QStringList lines = MeterConfigLines();
        lines[1] = QStringLiteral("7,3A,4D");
        const TFileCOMTRADE record(MeterData(5, 3), Encode(lines), kNow);
        EXPECT_FLOAT_EQ(record.Sample(2, 4), RawValue(2, 4) * 0.01f + 0.5f);
        EXPECT_EQ(record.Sample(3, 0), 0.0f);
        EXPECT_EQ(record.Sample(0, 5), 0.0f);
    }
    {
        QStringList lines = MeterConfigLines();
        lines[1] = QStringLiteral("4,0A,4D");
        const TFileCOMTRADE record(MeterData(1280), Encode(lines), kNow);
        for (float v : record.Samples())
            ASSERT_EQ(v, 0.0f);
    }
    {
        // absurd counts never make the reader step past the data
        QStringList lines = MeterConfigLines();
        lines[1] = QStringLiteral("0,2147483647A,2147483647D");
        const TFileCOMTRADE record(MeterData(50), Encode(lines), kNow);
        EXPECT_EQ(record.AnalogCount(), 2147483647);
        EXPECT_FLOAT_EQ(record.Sample(8, 0), RawValue(8, 0) * 0.001f);
        EXPECT_EQ(record.Sample(0, 1), 0.0f);
    }
    {
        const TFileCOMTRADE record(QByteArray(), config, kNow);
        EXPECT_EQ(record.Sample(0, 0), 0.0f);
        const TFileCOMTRADE tiny(QByteArray(7, '\x55'), config, kNow);
        EXPECT_EQ(tiny.Sample(0, 0), 0.0f);
    }
}

TEST(Comtrade, HeaderFieldsFallBackWhenUnreadable)
{
    using namespace Comtrade;
    EXPECT_EQ(ParseDeviceNumber(QStringLiteral("N1234")), 1234);
    EXPECT_EQ(ParseDeviceNumber(QStringLiteral("1234")), 1234);
    EXPECT_EQ(ParseDeviceNumber(QStringLiteral("ABC")), 1);
    EXPECT_EQ(ParseDeviceNumber(QStringLiteral("R5 N 77")), 77);
    EXPECT_EQ(ParseDeviceNumber(QStringLiteral("N")), 1);
    EXPECT_EQ(ParseDeviceNumber(QString()), 1);
    EXPECT_EQ(ParseDeviceNumber(QStringLiteral("N99999999999")), 1);

    EXPECT_EQ(ParseChannelCount(QStringLiteral("9A"), u'A'), 9);
    EXPECT_EQ(ParseChannelCount(QStringLiteral(" 4D"), u'D'), 4);
    EXPECT_EQ(ParseChannelCount(QStringLiteral("12"), u'A'), 12);
    EXPECT_EQ(ParseChannelCount(QStringLiteral("xA"), u'A'), 0);
    EXPECT_EQ(ParseChannelCount(QStringLiteral("-3A"), u'A'), 0);
    EXPECT_EQ(ParseChannelCount(QString(), u'D'), 0);

    EXPECT_EQ(ParseFloat(QStringLiteral("0.01"), 1), 0.01f);
    EXPECT_EQ(ParseFloat(QStringLiteral(" -1.5e-3 "), 1), -1.5e-3f);
    for (const char *junk : {"", "0,5", "nan", "inf", "-inf", "1e39", "1.2.3", "12abc"})
        EXPECT_EQ(ParseFloat(QString::fromLatin1(junk), 7.0f), 7.0f) << junk;

    // the decimal point is "." under any regional settings
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    EXPECT_EQ(ParseFloat(QStringLiteral("0.25"), 1), 0.25f);
    QLocale::setDefault(previous);

    EXPECT_EQ(ParseMoment(QStringLiteral("15/06/2024"), QStringLiteral("13:45:10.123")),
              QDateTime(QDate(2024, 6, 15), QTime(13, 45, 10, 123)));
    EXPECT_EQ(ParseMoment(QStringLiteral("5/6/2024"), QStringLiteral("3:04:05.1")),
              QDateTime(QDate(2024, 6, 5), QTime(3, 4, 5, 100)));
    EXPECT_EQ(ParseMoment(QStringLiteral("15/06/2024"), QStringLiteral("13:45:10")),
              QDateTime(QDate(2024, 6, 15), QTime(13, 45, 10)));
    for (auto [date, time] : {std::pair{"32/01/2024", "00:00:00.000"},
                              {"29/02/2023", "00:00:00.000"},
                              {"15/06/24", "13:45:10.123"},
                              {"15-06-2024", "13:45:10.123"},
                              {"15/06/2024", "24:00:00.000"},
                              {"15/06/2024", "13:45"},
                              {"15/06/2024", "13:45:1x.000"},
                              {"15/06/2024", "13:45:10.1x3"}})
        EXPECT_FALSE(ParseMoment(QString::fromLatin1(date), QString::fromLatin1(time)).isValid())
            << date << " " << time;
}

TEST(Comtrade, StartMomentNamesTheFiles)
{
    QStringList lines = MeterConfigLines();
    {
        const TFileCOMTRADE record(MeterData(1), Encode(lines), kNow);
        EXPECT_TRUE(record.GetFileName(QStringLiteral("TccnR5AS2020Dev"))
                        .endsWith(QStringLiteral("/COMTRADE/osci_r5AS(v20)_1234_240615_134510123.cfg")));
    }
    lines[18] = QStringLiteral("31/02/2024,13:45:10.123456");
    EXPECT_EQ(TFileCOMTRADE(MeterData(1), Encode(lines), kNow).StartMoment(), kNow);
    lines[18] = QStringLiteral(",13:45:10.123456");
    EXPECT_EQ(TFileCOMTRADE(MeterData(1), Encode(lines), kNow).StartMoment(), kNow);
    lines.resize(18);
    const TFileCOMTRADE cut(MeterData(1), Encode(lines), kNow);
    EXPECT_EQ(cut.StartMoment(), kNow);
    EXPECT_EQ(cut.DeviceNumber(), 1234);
}

TEST(Comtrade, QuirkyConfigurationTexts)
{
    using namespace Comtrade;
    const QStringList meter = MeterConfigLines();
    // LF only, CR only, NUL padding, no final line break: the same lines
    EXPECT_EQ(SplitLines(Encode(meter, "\n")), meter);
    EXPECT_EQ(SplitLines(Encode(meter, "\r")), meter);
    QByteArray padded = Encode(meter);
    padded.append(64, '\0').append("garbage after the padding");
    EXPECT_EQ(SplitLines(padded), meter);
    QByteArray unterminated = Encode(meter);
    unterminated.chop(2);
    EXPECT_EQ(SplitLines(unterminated), meter);
    EXPECT_EQ(SplitLines("a\r\n\r\nb\n\rc"), (QStringList{"a", "", "b", "", "c"}));
    EXPECT_TRUE(SplitLines(QByteArrayView()).isEmpty());
    EXPECT_EQ(SplitLines("\xC2\xEE\xEB\xFC\xF2"), QStringList{QStringLiteral("Вольт")});

    EXPECT_EQ(Field(meter, 1, 1), QStringLiteral("9A"));
    EXPECT_EQ(Field(meter, 1, 3), QString());
    EXPECT_EQ(Field(meter, -1, 0), QString());
    EXPECT_EQ(Field(meter, 0, -1), QString());
    EXPECT_EQ(Field(QStringList{",,x,"}, 0, 2), QStringLiteral("x"));
    EXPECT_EQ(Field(QStringList{",,x,"}, 0, 3), QString());

    // an empty configuration: defaults everywhere, no samples
    const TFileCOMTRADE empty(MeterData(10), QByteArray(), kNow);
    EXPECT_EQ(empty.DeviceNumber(), 1);
    EXPECT_EQ(empty.AnalogCount(), 0);
    EXPECT_EQ(empty.StartMoment(), kNow);
    EXPECT_EQ(empty.Channel(8).Multiplier, 1.0f);
    EXPECT_EQ(empty.Channel(8).Secondary, 1.0f);
    EXPECT_EQ(empty.Sample(0, 0), 0.0f);

    // long texts are cut to their field sizes
    QStringList lines = meter;
    lines[2] = QStringLiteral("1,%1,ABC,,%2,0.01").arg(QString(100, u'n'), QString(40, u'u'));
    const TFileCOMTRADE longTexts(QByteArray(), Encode(lines), kNow);
    EXPECT_EQ(longTexts.Channel(0).Name.size(), 64);
    EXPECT_EQ(longTexts.Channel(0).Phase, QStringLiteral("AB"));
    EXPECT_EQ(longTexts.Channel(0).Units.size(), 32);
}

// Garbled copies of a good record (bytes changed, cut anywhere) are read
// without a crash or a read past the streams; run under the sanitizers.
TEST(Comtrade, SurvivesMutatedRecords)
{
    const QByteArray config = Encode(MeterConfigLines());
    const QByteArray dat = MeterData(40);
    QRandomGenerator random(20261207);
    for (int round = 0; round < 300; ++round) {
        QByteArray c = config.left(random.bounded(config.size() + 1));
        QByteArray d = dat.left(random.bounded(dat.size() + 1));
        for (int k = random.bounded(8); k > 0; --k) {
            if (!c.isEmpty())
                c[random.bounded(c.size())] = char(random.bounded(256));
            if (!d.isEmpty())
                d[random.bounded(d.size())] = char(random.bounded(256));
        }
        const TFileCOMTRADE record(d, c, kNow);
        ASSERT_EQ(record.Samples().size(), 9u * 1280u);
        ASSERT_TRUE(record.StartMoment().isValid());
        for (float v : record.Samples())
            ASSERT_TRUE(std::isfinite(v));
    }
}

TEST(Comtrade, SavesBothFilesUnchanged)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QByteArray dat = MeterData(20);
    const TFileCOMTRADE record(dat, Encode(MeterConfigLines(), "\n"), kNow);
    const QString cfgPath = folder.filePath(QStringLiteral("sub/dir/osci.cfg"));
    ASSERT_TRUE(record.SaveToFile(cfgPath));

    QFile cfg(cfgPath);
    ASSERT_TRUE(cfg.open(QIODevice::ReadOnly));
    EXPECT_EQ(cfg.readAll(), Encode(MeterConfigLines(), "\r\n")) << "CR LF, Windows-1251";
    QFile data(folder.filePath(QStringLiteral("sub/dir/osci.dat")));
    ASSERT_TRUE(data.open(QIODevice::ReadOnly));
    EXPECT_EQ(data.readAll(), dat);
    data.close();

    // a second save replaces both files
    const TFileCOMTRADE other(MeterData(2), Encode(MeterConfigLines()), kNow);
    ASSERT_TRUE(other.SaveToFile(cfgPath));
    ASSERT_TRUE(data.open(QIODevice::ReadOnly));
    EXPECT_EQ(data.readAll(), MeterData(2));

    // nothing to write: no files
    const QString nothing = folder.filePath(QStringLiteral("none.cfg"));
    EXPECT_FALSE(TFileCOMTRADE(QByteArray(), Encode(MeterConfigLines()), kNow).SaveToFile(nothing));
    EXPECT_FALSE(TFileCOMTRADE(dat, QByteArray(), kNow).SaveToFile(nothing));
    EXPECT_FALSE(QFile::exists(nothing));

    // a folder in the way of the file: the operator is told, nothing written
    QDir(folder.path()).mkpath(QStringLiteral("blocked.cfg"));
    QString shown;
    EXPECT_FALSE(
        record.SaveToFile(folder.filePath(QStringLiteral("blocked.cfg")), [&](const QString &text) { shown = text; }));
    EXPECT_TRUE(shown.startsWith(QStringLiteral("Ошибка при удалении перезаписываемого файла (")));
}

TEST(Comtrade, AFailedSaveKeepsThePairSavedBefore)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString cfgPath = folder.filePath(QStringLiteral("osci.cfg"));
    const QString datPath = folder.filePath(QStringLiteral("osci.dat"));
    const QByteArray oldDat = MeterData(2);
    ASSERT_TRUE(TFileCOMTRADE(oldDat, Encode(MeterConfigLines()), kNow).SaveToFile(cfgPath));

    // the operator confirmed the overwrite, and the disk fills part way
    const TFileCOMTRADE bigger(MeterData(20), Encode(MeterConfigLines()), kNow);
    QString reason;
    {
        testsupport::TFileSizeLimit limit(oldDat.size() + 100);
        ASSERT_TRUE(limit.Active());
        EXPECT_THROW(bigger.SaveToFile(cfgPath, {}, &reason), EInOutError);
    }
    EXPECT_EQ(reason, QString::fromLocal8Bit(std::strerror(EFBIG))) << "the system's text";
    QFile cfg(cfgPath);
    ASSERT_TRUE(cfg.open(QIODevice::ReadOnly));
    EXPECT_EQ(cfg.readAll(), Encode(MeterConfigLines(), "\r\n"));
    QFile dat(datPath);
    ASSERT_TRUE(dat.open(QIODevice::ReadOnly));
    EXPECT_EQ(dat.readAll(), oldDat);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 2) << "no pieces left behind";
}

TEST(Comtrade, SaveUsesTheDocumentsSubfolder)
{
    QStandardPaths::setTestModeEnabled(true);
    const TFileCOMTRADE record(MeterData(3), Encode(MeterConfigLines()), kNow);
    const QString name = record.GetFileName(QStringLiteral("TccnM7Dev"));
    EXPECT_EQ(name, ProgramDocumentsFolder() + QStringLiteral("COMTRADE/osci_m7(v4_6)_1234_240615_134510123.cfg"));
    EXPECT_TRUE(QDir(ProgramDocumentsFolder() + QStringLiteral("COMTRADE")).exists());
    EXPECT_TRUE(record.Save(QStringLiteral("TccnM7Dev")));
    EXPECT_TRUE(QFile::exists(name));
    QString dat = name;
    dat.replace(QStringLiteral(".cfg"), QStringLiteral(".dat"));
    EXPECT_TRUE(QFile::exists(dat));
    QFile::remove(name);
    QFile::remove(dat);
    QStandardPaths::setTestModeEnabled(false);
}

// A polling run goes on after a failed save: it gets the text to report,
// never an exception.
TEST(Comtrade, ARunsSaveTellsTheFileAndWhyItFailed)
{
    QStandardPaths::setTestModeEnabled(true);
    const TFileCOMTRADE record(MeterData(20), Encode(MeterConfigLines()), kNow);
    const QString name = record.GetFileName(QStringLiteral("TccnM7Dev"));
    QString failure;
    {
        testsupport::TFileSizeLimit limit(100);
        ASSERT_TRUE(limit.Active());
        EXPECT_NO_THROW(failure = record.TrySave(QStringLiteral("TccnM7Dev")));
    }
    EXPECT_EQ(failure, QStringLiteral("Ошибка при сохранении осциллограммы в %1: %2")
                           .arg(name, QString::fromLocal8Bit(std::strerror(EFBIG))));
    EXPECT_FALSE(QFile::exists(name));
    EXPECT_EQ(record.TrySave(QStringLiteral("TccnM7Dev")), QString()) << "saved once there is room";
    EXPECT_TRUE(QFile::exists(name));

    // a file where the folder should be
    const QString folder = QFileInfo(name).absolutePath();
    ASSERT_TRUE(QDir(folder).removeRecursively());
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_EQ(record.TrySave(QStringLiteral("TccnM7Dev")),
              QStringLiteral("Ошибка при сохранении осциллограммы в %1: не удалось создать папку").arg(name));
    QFile::remove(folder);
    QStandardPaths::setTestModeEnabled(false);
}

// Records written by other tools (kept outside the project, beside the
// checkout): each is read by the fallback rules or refused, never a crash or
// a read beyond its files.
TEST(ComtradeForeignRecords, AreReadWithinTheirFiles)
{
    const QDir folder(QStringLiteral(MONITOR_SHARED_CORPUS "/comtrade"));
    const QStringList configs = folder.entryList({QStringLiteral("*.cfg"), QStringLiteral("*.cff")}, QDir::Files);
    if (configs.isEmpty())
        GTEST_SKIP() << "no foreign COMTRADE records beside this checkout";
    for (const QString &name : configs) {
        QFile cfg(folder.filePath(name));
        QFile dat(folder.filePath(QFileInfo(name).completeBaseName() + QStringLiteral(".dat")));
        ASSERT_TRUE(cfg.open(QIODevice::ReadOnly)) << name.toStdString();
        const QByteArray data = dat.open(QIODevice::ReadOnly) ? dat.readAll() : QByteArray();
        const TFileCOMTRADE file(data, cfg.readAll(), QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5)));
        EXPECT_EQ(file.Samples().size(), size_t(Comtrade::Signals) * Comtrade::Records) << name.toStdString();
        EXPECT_TRUE(file.StartMoment().isValid()) << name.toStdString();
    }
}
