#include "ui/ConnectionsTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ccn_test;
using namespace Qt::StringLiterals;

namespace {

const QString kFilter = u"Файлы списков подключений (*.ccnn)|*.ccnn|Все файлы (*.*)|*.*"_s;

TEST(FileDialog, RequestCarriesTheCallersOptions)
{
    TFileDialogRequest seen;
    int calls = 0;
    TFileDialogScript script([&](const TFileDialogRequest &request, QString &chosen) {
        seen = request;
        ++calls;
        chosen = u"/tmp/x/chosen.ccnn"_s;
        return true;
    });

    QString chosen = u"stale"_s;
    // Only modes 0 and 1 exist: anything else shows nothing.
    EXPECT_FALSE(ExecuteFileDialog(2, u"T"_s, u"/a/b.ccnn"_s, kFilter, false, false, false, chosen));
    EXPECT_FALSE(ExecuteFileDialog(-1, u"T"_s, u"/a/b.ccnn"_s, kFilter, false, false, false, chosen));
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(chosen.isEmpty());

    ASSERT_TRUE(ExecuteFileDialog(fdmSave, u"Сохранить"_s, u"/a/VD/list.dat"_s, kFilter, false, false, true, chosen));
    EXPECT_EQ(chosen, u"/tmp/x/chosen.ccnn"_s);
    EXPECT_EQ(seen.Mode, fdmSave);
    EXPECT_EQ(seen.Title, u"Сохранить"_s);
    EXPECT_EQ(seen.Directory, u"/a/VD"_s);
    EXPECT_EQ(seen.FileName, u"list.dat"_s);
    EXPECT_EQ(seen.DefaultExtension, u"dat"_s); // the proposed name's own extension first
    EXPECT_TRUE(seen.OverwritePrompt);
    EXPECT_FALSE(seen.MustExist);

    // No extension in the proposed name: the filter's first one.
    ASSERT_TRUE(ExecuteFileDialog(fdmOpen, u"Открыть"_s, u"/a/VD/"_s, kFilter, false, true, false, chosen));
    EXPECT_EQ(seen.Mode, fdmOpen);
    EXPECT_EQ(seen.Directory, u"/a/VD"_s);
    EXPECT_TRUE(seen.FileName.isEmpty());
    EXPECT_EQ(seen.DefaultExtension, u"ccnn"_s);
    EXPECT_TRUE(seen.MustExist);
    EXPECT_FALSE(seen.OverwritePrompt);
}

TEST(FileDialog, FolderPickGivesTheFolderWithADelimiter)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TFileDialogRequest seen;
    QString answer = dir.path();
    TFileDialogScript script([&](const TFileDialogRequest &request, QString &chosen) {
        seen = request;
        chosen = answer;
        return true;
    });
    QString chosen;
    ASSERT_TRUE(ExecuteFileDialog(fdmOpen, u"Папка"_s, dir.path(), kFilter, true, true, true, chosen));
    EXPECT_EQ(seen.FileName, u"*.*"_s);
    EXPECT_EQ(seen.Directory, dir.path());
    EXPECT_TRUE(seen.PickFolder);
    EXPECT_EQ(chosen, QDir::cleanPath(dir.path()) + u'/');

    // A file picked in folder mode stands for its folder.
    answer = dir.filePath(u"some.file"_s);
    ASSERT_TRUE(ExecuteFileDialog(fdmOpen, u"Папка"_s, dir.path(), kFilter, true, false, false, chosen));
    EXPECT_EQ(chosen, QDir::cleanPath(dir.path()) + u'/');
}

TEST(FileDialog, CancelGivesFailureAndNoPath)
{
    TFileDialogScript script([](const TFileDialogRequest &, QString &chosen) {
        chosen = u"/ignored"_s;
        return false;
    });
    QString chosen = u"stale"_s;
    EXPECT_FALSE(ExecuteFileDialog(fdmSave, u"T"_s, u"/a/b.ccnn"_s, kFilter, false, false, true, chosen));
    EXPECT_TRUE(chosen.isEmpty());
}

// The real dialog, answered by typing a name: a save dialog takes a new
// file even when the caller asks for an existing one (else nothing could
// ever be saved under a new name); an open dialog then refuses it.
TEST(FileDialog, OnlyAnOpenDialogInsistsOnAnExistingFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString fresh = dir.filePath(u"new.ccnn"_s);
    const auto answer = [&] {
        QTimer::singleShot(0, [&] {
            QPointer<QFileDialog> dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            // a refusal shows a warning over the dialog: close it, then give up
            QTimer::singleShot(100, [dialog] {
                if (auto *warning = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
                    warning->done(QMessageBox::Ok);
                QTimer::singleShot(0, [dialog] {
                    if (dialog && dialog->isVisible())
                        dialog->reject();
                });
            });
            dialog->selectFile(fresh);
            static_cast<QDialog *>(dialog.data())->accept(); // the dialog's own check runs
        });
    };
    QString chosen;
    answer();
    EXPECT_TRUE(
        ExecuteFileDialog(fdmSave, u"Сохранить"_s, dir.filePath(u"x.ccnn"_s), kFilter, false, true, true, chosen));
    EXPECT_EQ(QFileInfo(chosen).fileName(), u"new.ccnn"_s);

    answer();
    EXPECT_FALSE(ExecuteFileDialog(fdmOpen, u"Открыть"_s, dir.path() + u'/', kFilter, false, true, false, chosen));
    EXPECT_TRUE(chosen.isEmpty());
}

TEST(FileDialog, FiltersBecomeToolkitNameFilters)
{
    EXPECT_EQ(FileDialogNameFilters(kFilter),
              (QStringList{u"Файлы списков подключений (*.ccnn)"_s, u"Все файлы (*.*)"_s}));
    // Patterns in the description are replaced by the real ones; several
    // patterns are joined; a dangling description is dropped.
    EXPECT_EQ(FileDialogNameFilters(u"Текст (*.txt)|*.txt;*.csv|Без пары"_s), QStringList{u"Текст (*.txt *.csv)"_s});
    EXPECT_EQ(FileDialogNameFilters(QString()), QStringList());
    EXPECT_EQ(FilterDefaultExtension(kFilter), u"ccnn"_s);
    EXPECT_EQ(FilterDefaultExtension(u"Все (*.*)|*.*"_s), QString());
    EXPECT_EQ(FilterDefaultExtension(u"broken"_s), QString());
}

} // namespace
