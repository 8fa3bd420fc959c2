#include "catalogue/ConnectionList.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray ReadAll(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

void WriteAll(const QString &fileName, const QByteArray &data)
{
    QFile file(fileName);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(data), data.size());
}

void FillList(TccnConnectionList &list, int count)
{
    for (int i = 0; i < count; ++i) {
        TccnConnection c;
        auto device = std::make_unique<TccnM7Dev>();
        device->FactoryNum = 100 + i;
        device->Comment = u"Ячейка %1"_s.arg(i);
        c.SetCustomDevice(std::move(device));
        c.SetCustomDeviceProtocol(std::make_unique<TccnTarvelProtocol>());
        c.SetCustomConMode(std::make_unique<TccnDirectTCPIPConMode>());
        list.AddConnection(c);
    }
}

QStringList FileNames(const QTemporaryDir &dir)
{
    return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
}

TEST(ConnectionListFile, SavedFilesLoadBackInAnyFormat)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TccnConnectionList list;
    FillList(list, 3);
    for (int format : {csfBinary, csfText}) {
        const QString name = dir.filePath(u"list_%1.ccnn"_s.arg(format));
        list.SaveToFile(name, format);
        EXPECT_EQ(ReadAll(name), list.SaveToBytes(format));
        TccnConnectionList loaded;
        loaded.LoadFromFile(name, csfAny);
        EXPECT_EQ(loaded.Count(), 3);
        EXPECT_EQ(loaded.Items(2)->CustomDevice()->Comment, u"Ячейка 2"_s);
    }
    // Saving over an existing file replaces it.
    const QString name = dir.filePath(u"list_1.ccnn"_s);
    TccnConnectionList shorter;
    FillList(shorter, 1);
    shorter.SaveToFile(name, csfBinary);
    EXPECT_EQ(ReadAll(name), shorter.SaveToBytes(csfBinary));
    EXPECT_EQ(FileNames(dir).size(), 2); // no temporary files left behind
}

TEST(ConnectionListFile, AnUnknownFormatLeavesTheOldFileAsItWas)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString name = dir.filePath(u"keep.ccnn"_s);
    TccnConnectionList old;
    FillList(old, 2);
    old.SaveToFile(name, csfText);
    const QByteArray before = ReadAll(name);

    TccnConnectionList list;
    for (int format : {0, 3, 99}) {
        try {
            list.SaveToFile(name, format);
            FAIL() << format;
        } catch (const EccnConnectionList &e) {
            EXPECT_EQ(e.Message(), u"Сохранение в файл в неизвестном формате не поддерживается"_s);
        }
        EXPECT_EQ(ReadAll(name), before);
    }
    // Nor is a missing file created.
    const QString absent = dir.filePath(u"absent.ccnn"_s);
    EXPECT_THROW(list.SaveToFile(absent, csfAny), EccnConnectionList);
    EXPECT_FALSE(QFileInfo::exists(absent));
}

// Lowers the file size limit for the life of the object, so writes fail
// part way as on a full disk (works for root too).
class TFileSizeLimit
{
public:
    explicit TFileSizeLimit(rlim_t bytes)
    {
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limited = old_;
        limited.rlim_cur = bytes;
        active_ = setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~TFileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    bool Active() const { return active_; }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
    bool active_ = false;
};

TEST(ConnectionListFile, AFailedWriteLeavesTheOldFileAsItWas)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString name = dir.filePath(u"keep.ccnn"_s);
    TccnConnectionList old;
    FillList(old, 1);
    old.SaveToFile(name, csfBinary);
    const QByteArray before = ReadAll(name);

    TccnConnectionList big;
    FillList(big, 50);
    ASSERT_GT(big.SaveToBytes(csfText).size(), 4 * before.size());
    {
        TFileSizeLimit limit(rlim_t(before.size() + 16));
        ASSERT_TRUE(limit.Active());
        EXPECT_THROW(big.SaveToFile(name, csfText), EccnConnectionList);
    }
    EXPECT_EQ(ReadAll(name), before);
    EXPECT_EQ(FileNames(dir), QStringList{u"keep.ccnn"_s});

    // A folder that does not exist: nothing is created anywhere.
    EXPECT_THROW(big.SaveToFile(dir.filePath(u"no/such/folder/x.ccnn"_s), csfBinary), EccnConnectionList);
}

TEST(ConnectionListFile, ASmallListCutByAFullDiskIsNotRenamedIntoPlace)
{
    // small enough to sit in a write buffer: the failure must still be seen
    QTemporaryDir dir;
    const QString name = dir.filePath(u"keep.ccnn"_s);
    TccnConnectionList old;
    FillList(old, 1);
    old.SaveToFile(name, csfBinary);
    const QByteArray before = ReadAll(name);
    TccnConnectionList bigger;
    FillList(bigger, 3);
    ASSERT_LT(bigger.SaveToBytes(csfBinary).size(), 16000);
    {
        TFileSizeLimit limit(rlim_t(before.size() + 16));
        ASSERT_TRUE(limit.Active());
        EXPECT_THROW(bigger.SaveToFile(name, csfBinary), EccnConnectionList);
    }
    EXPECT_EQ(ReadAll(name), before);
}

// Nor the list it was to replace: a bad file costs the operator nothing.
TEST(ConnectionListFile, AFailedLoadChangesNeitherTheFileNorTheList)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TccnConnectionList list;
    FillList(list, 2);

    QByteArray tooNew = list.SaveToBytes(csfText);
    tooNew.replace("(\r\n    1\r\n    5\r\n    6\r\n    21)", "(9 0 0 0)");
    QByteArray truncated = list.SaveToBytes(csfBinary);
    truncated.chop(5);
    const QByteArray cases[] = {QByteArray(), QByteArray("not a list"), tooNew, truncated};
    int index = 0;
    for (const QByteArray &content : cases) {
        const QString name = dir.filePath(u"bad%1.ccnn"_s.arg(index++));
        WriteAll(name, content);
        const QDateTime modified = QFileInfo(name).lastModified();
        for (int format : {csfAny, csfBinary, csfText}) {
            TccnConnectionList loaded;
            FillList(loaded, 3);
            loaded.UIParams().ConnectionGridParams.DevTypeColWidth = 211;
            const QByteArray kept = loaded.SaveToBytes(csfBinary);
            EXPECT_THROW(loaded.LoadFromFile(name, format), EccnConnectionList);
            EXPECT_EQ(loaded.SaveToBytes(csfBinary), kept) << index << ' ' << format;
            EXPECT_EQ(loaded.Count(), 3);
        }
        EXPECT_EQ(ReadAll(name), content);
        EXPECT_EQ(QFileInfo(name).lastModified(), modified);
    }

    try {
        list.LoadFromFile(dir.filePath(u"missing.ccnn"_s), csfAny);
        FAIL();
    } catch (const EccnConnectionList &e) {
        EXPECT_TRUE(e.Message().contains(u"missing.ccnn"_s));
    }
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(u"missing.ccnn"_s)));
}

} // namespace
