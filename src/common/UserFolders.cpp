#include "common/UserFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

QString WithDelimiter(QString path)
{
    if (!path.isEmpty() && !path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

} // namespace

QString ProgramTitle()
{
    return QStringLiteral("Raruzor U7(D5)");
}
QString MakerFolderName()
{
    return QStringLiteral("VD");
}

QString ProgramFileBaseName()
{
    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    return name.isEmpty() ? QStringLiteral("raruzor-monitor") : name;
}

QString GetLocalAppDataFolder()
{
    // Generic (not per-application) location: the program adds its own
    // maker/program folders below it, as on every platform.
    return WithDelimiter(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
}

QString GetDocumentsFolder()
{
    return WithDelimiter(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
}

QString GetProgramSubFolder(const QString &base, const QString &programName)
{
    return WithDelimiter(base) + MakerFolderName() + QLatin1Char('/') + programName + QLatin1Char('/');
}

QString ProgramDataFolder()
{
    return GetProgramSubFolder(GetLocalAppDataFolder(), ProgramTitle());
}
QString ProgramDocumentsFolder()
{
    return GetProgramSubFolder(GetDocumentsFolder(), ProgramTitle());
}

bool MakeOwnerOnlyFolder(const QString &folder)
{
    QStringList missing;
    for (QString path = QDir::cleanPath(QFileInfo(folder).absoluteFilePath()); !QFileInfo(path).exists();
         path = QFileInfo(path).path()) {
        missing.prepend(path);
        if (QFileInfo(path).isRoot())
            break;
    }
    QDir dir;
    for (const QString &path : missing)
        dir.mkdir(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return QFileInfo(folder).isDir();
}
