#include "ui/FileDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

TFileDialogHook &DialogHook()
{
    static TFileDialogHook hook;
    return hook;
}

QString WithTrailingSlash(QString path)
{
    if (!path.isEmpty() && !path.endsWith(u'/'))
        path += u'/';
    return path;
}

} // namespace

void SetFileDialogHook(TFileDialogHook hook)
{
    DialogHook() = std::move(hook);
}

QStringList FileDialogNameFilters(const QString &filter)
{
    // The toolkit takes the patterns from the parentheses at the end of a
    // filter, so a description that already names them in parentheses has
    // them replaced by the real ones.
    static const QRegularExpression trailingPatterns(u"\\s*\\([^()]*\\)\\s*$"_s);
    const QStringList parts = filter.split(u'|');
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        description.remove(trailingPatterns);
        const QString patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts).join(u' ');
        if (patterns.isEmpty())
            continue;
        result << (description.isEmpty() ? patterns : description + u" ("_s + patterns + u')');
    }
    return result;
}

QString FilterDefaultExtension(const QString &filter)
{
    const QStringList parts = filter.split(u'|');
    if (parts.size() < 2)
        return {};
    const QString first = parts[1].split(u';', Qt::SkipEmptyParts).value(0).trimmed();
    const qsizetype dot = first.lastIndexOf(u'.');
    if (dot < 0)
        return {};
    const QString extension = first.mid(dot + 1);
    if (extension.isEmpty() || extension.contains(u'*') || extension.contains(u'?'))
        return {};
    return extension;
}

bool ExecuteFileDialog(int mode, const QString &title, const QString &initialPath, const QString &filter,
                       bool pickFolder, bool mustExist, bool overwritePrompt, QString &chosen, QWidget *parent)
{
    chosen.clear();
    if (mode != fdmSave && mode != fdmOpen)
        return false;

    TFileDialogRequest request;
    request.Mode = mode;
    request.Title = title;
    request.NameFilters = FileDialogNameFilters(filter);
    request.PickFolder = pickFolder;
    if (pickFolder) {
        request.FileName = u"*.*"_s;
        request.Directory = initialPath;
    } else {
        const QFileInfo info(initialPath);
        request.FileName = info.fileName();
        request.DefaultExtension = info.suffix();
        if (request.DefaultExtension.isEmpty())
            request.DefaultExtension = FilterDefaultExtension(filter);
        request.Directory = initialPath.isEmpty() ? QString() : info.path();
        request.MustExist = mustExist;
        request.OverwritePrompt = overwritePrompt;
    }

    QString result;
    if (DialogHook()) {
        if (!DialogHook()(request, result) || result.isEmpty())
            return false;
    } else {
        QFileDialog dialog(parent, request.Title, request.Directory);
        dialog.setAcceptMode(mode == fdmSave ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        if (pickFolder) {
            dialog.setFileMode(QFileDialog::Directory);
        } else {
            // An open dialog only takes existing files when asked to; the
            // folder of the typed name must exist in every case.
            dialog.setFileMode(mode == fdmOpen && mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
            dialog.setOption(QFileDialog::DontConfirmOverwrite, !overwritePrompt);
            dialog.setDefaultSuffix(request.DefaultExtension);
            if (!request.FileName.isEmpty())
                dialog.selectFile(request.FileName);
        }
        dialog.setOption(QFileDialog::ReadOnly, false);
        if (!request.NameFilters.isEmpty())
            dialog.setNameFilters(request.NameFilters);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return false;
        result = dialog.selectedFiles().constFirst();
    }

    if (pickFolder) {
        const QFileInfo info(result);
        chosen = WithTrailingSlash(info.isDir() ? QDir::cleanPath(result) : info.path());
    } else {
        chosen = result;
    }
    return true;
}
