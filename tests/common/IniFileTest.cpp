#include "common/Cp1251.h"
#include "common/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace {

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

TEST(MemIniFile, KeepsUnknownSectionsAndWritesCp1251WithCrLf)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("monitor.ini"));
    WriteAll(path, Cp1251::Encode(u"; a comment\n[Своё]\nключ = значение \r\nlone\n\n[FORMPOSITION]\nMainForm=0A0b\n"));

    TMemIniFile ini(path);
    EXPECT_EQ(ini.ReadString(QStringLiteral("своё"), QStringLiteral("КЛЮЧ"), {}), QStringLiteral(" значение"));
    QByteArray bytes;
    ASSERT_TRUE(ini.ReadBinary(QStringLiteral("formposition"), QStringLiteral("mainform"), bytes));
    EXPECT_EQ(bytes, QByteArray("\x0A\x0B"));
    ini.WriteInteger(QStringLiteral("Подключения"), QStringLiteral("Выбрано"), -1);
    ini.WriteBinary(QStringLiteral("FORMPOSITION"), QStringLiteral("MainForm"), QByteArray("\xAB\x01", 2));
    ASSERT_TRUE(ini.UpdateFile());

    EXPECT_EQ(ReadAll(path), Cp1251::Encode(u"[Своё]\r\nключ= значение\r\nlone\r\n\r\n"
                                            u"[FORMPOSITION]\r\nMainForm=AB01\r\n\r\n"
                                            u"[Подключения]\r\nВыбрано=-1\r\n\r\n"));
    EXPECT_EQ(TMemIniFile(path).ReadInteger(QStringLiteral("Подключения"), QStringLiteral("Выбрано"), 5), -1);
}

TEST(MemIniFile, MissingFilesAndBadValuesFallBackToDefaults)
{
    QTemporaryDir dir;
    TMemIniFile ini(dir.filePath(QStringLiteral("none.ini")));
    EXPECT_TRUE(ini.Sections().isEmpty());
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("a"), QStringLiteral("b"), -1), -1);
    QByteArray bytes("x");
    EXPECT_FALSE(ini.ReadBinary(QStringLiteral("a"), QStringLiteral("b"), bytes));
    EXPECT_TRUE(bytes.isEmpty());
    for (const char *bad : {"ABC", "+1", "zz", "0x"}) {
        ini.WriteString(QStringLiteral("a"), QStringLiteral("b"), QString::fromLatin1(bad));
        EXPECT_FALSE(ini.ReadBinary(QStringLiteral("a"), QStringLiteral("b"), bytes)) << bad;
    }
    ini.WriteString(QStringLiteral("a"), QStringLiteral("b"), QString());
    EXPECT_TRUE(ini.ReadBinary(QStringLiteral("a"), QStringLiteral("b"), bytes));
    EXPECT_TRUE(bytes.isEmpty());
}

TEST(MemIniFile, AFailedWriteKeepsThePreviousFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("monitor.ini"));
    WriteAll(path, "[a]\r\nb=1\r\n\r\n");
    TMemIniFile ini(path);
    ini.WriteString(QStringLiteral("a"), QStringLiteral("b"), QString(4096, u'x'));
    // a file-size limit stands for a full disk (permissions do not stop root)
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit limited = old;
    limited.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    QString reason;
    const bool written = ini.UpdateFile(&reason);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_FALSE(reason.isEmpty()) << "the system's reason, for the operator";
    EXPECT_EQ(ReadAll(path), QByteArray("[a]\r\nb=1\r\n\r\n"));
}
