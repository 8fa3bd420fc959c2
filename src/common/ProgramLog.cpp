#include "common/ProgramLog.h"

#include "common/Cp1251.h"
#include "common/Contracts.h"
#include "common/UserFolders.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <sys/file.h>

namespace {

// Why the file could not be made or written, in the user's words; the
// system's own text when none of the usual causes is seen.
QString WhyNotOpened(const QString &fileName, const QString &systemText)
{
    const QFileInfo file(fileName);
    const QString folder = file.absolutePath();
    QFileInfo nearest(folder); // the nearest of its folders that is there
    while (!nearest.exists() && !nearest.isRoot())
        nearest = QFileInfo(nearest.absolutePath());
    if (!nearest.isDir())
        return QStringLiteral("%1 — не папка").arg(nearest.absoluteFilePath());
    if (nearest.absoluteFilePath() != QFileInfo(folder).absoluteFilePath())
        return nearest.isWritable() ? QStringLiteral("не удалось создать папку %1").arg(folder)
                                    : QStringLiteral("не удалось создать папку %1: нет прав на запись в %2")
                                          .arg(folder, nearest.absoluteFilePath());
    if (file.isDir())
        return QStringLiteral("на месте файла папка");
    if (file.exists() && !file.isWritable())
        return QStringLiteral("нет прав на запись в файл");
    if (!file.exists() && !nearest.isWritable())
        return QStringLiteral("нет прав на запись в папку %1").arg(folder);
    return systemText;
}

} // namespace

TFileLogger::TFileLogger(const QString &fileName) : fileName_(fileName)
{
    CheckPreConditions(fileName.endsWith(QLatin1String(".log"), Qt::CaseSensitive), "TFileLogger.Create");
}

TFileLogger::~TFileLogger()
{
    Close();
}

bool TFileLogger::Open(bool exclusive)
{
    error_.clear();
    held_ = false;
    file_.setFileName(fileName_);
    // A service's log folder is missing until its first run made it: a run by
    // hand makes it too, where it may.
    QDir().mkpath(QFileInfo(fileName_).absolutePath());
    // Exclusive: not truncated before the lock is ours. The lock goes with
    // the process, so one that died leaves nothing in the way.
    if (!file_.open(exclusive ? QIODevice::ReadWrite : QIODevice::WriteOnly | QIODevice::Truncate)) {
        error_ = WhyNotOpened(fileName_, file_.errorString());
        return false;
    }
    held_ = exclusive && ::flock(file_.handle(), LOCK_EX | LOCK_NB) != 0;
    if (held_)
        error_ = QStringLiteral("файл ведёт другой процесс");
    else if (exclusive && !file_.resize(0))
        error_ = file_.errorString();
    if (!error_.isEmpty()) {
        file_.close();
        return false;
    }
    opened_ = true;
    return true;
}

void TFileLogger::WriteLine(const QString &text)
{
    if (!opened_)
        return;
    QByteArray line = Cp1251::Encode(text);
    line.append("\r\n", 2);
    if (file_.write(line) != line.size() || !file_.flush())
        throw EInOutError(QStringLiteral("Ошибка записи в файл %1").arg(fileName_));
}

void TFileLogger::Close()
{
    if (file_.isOpen())
        file_.close();
    opened_ = false;
}

QString TMonitorR5Logger::DefaultFileName()
{
    return ProgramFileBaseName() + QStringLiteral(".log");
}

TMonitorR5Logger::TMonitorR5Logger()
{
    const QString folder = ProgramDataFolder();
    if (!folder.isEmpty())
        QDir().mkpath(folder);
    file_ = std::make_unique<TFileLogger>(folder + DefaultFileName());
    CheckPostConditions(file_ != nullptr, "TMonitorR5Logger.Create");
}

TMonitorR5Logger::TMonitorR5Logger(const QString &fileName) : file_(std::make_unique<TFileLogger>(fileName)) {}

TMonitorR5Logger::~TMonitorR5Logger()
{
    try {
        std::lock_guard lock(mutex_);
        file_->Close();
    } catch (...) {
        // the program is ending: nothing useful to do with a failure here
    }
}

bool TMonitorR5Logger::Open()
{
    std::lock_guard lock(mutex_);
    return file_->Open();
}

bool TMonitorR5Logger::OpenOwn()
{
    std::lock_guard lock(mutex_);
    if (file_->Open(true))
        return true;
    QString name = file_->FileName();
    name.chop(4); // ".log"
    auto own = std::make_unique<TFileLogger>(name + QStringLiteral("-%1.log").arg(QCoreApplication::applicationPid()));
    const bool opened = own->Open(true);
    if (opened || file_->Held())
        file_ = std::move(own);
    return opened;
}

bool TMonitorR5Logger::Opened() const
{
    std::lock_guard lock(mutex_);
    return file_->Opened();
}

QString TMonitorR5Logger::OpenError() const
{
    std::lock_guard lock(mutex_);
    return QStringLiteral("Ведение лог-файла невозможно: %1 (%2)").arg(file_->FileName(), file_->Error());
}

QString TMonitorR5Logger::FileName() const
{
    std::lock_guard lock(mutex_);
    return file_->FileName();
}

QString TMonitorR5Logger::TimeStamp()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("[dd.MM.yyyy HH:mm:ss.zzz] "));
}

void TMonitorR5Logger::Log(const QString &text)
{
    std::lock_guard lock(mutex_);
    file_->WriteLine(TimeStamp() + text);
}

void TMonitorR5Logger::LogLines(const QStringList &lines)
{
    const QString indent(kIndent, QLatin1Char(' '));
    std::lock_guard lock(mutex_);
    file_->WriteLine(TimeStamp());
    for (const QString &line : lines)
        file_->WriteLine(indent + line);
}

void TMonitorR5Logger::LogProgramStart()
{
    Log(QStringLiteral("Старт программы"));
}
void TMonitorR5Logger::LogProgramClose()
{
    Log(QStringLiteral("Закрытие программы"));
}
