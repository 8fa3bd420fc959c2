#include "common/ProgramLog.h"

#include "common/Cp1251.h"
#include "common/Contracts.h"
#include "common/UserFolders.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>

#include <sys/file.h>

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
    file_.setFileName(fileName_);
    if (!exclusive) {
        opened_ = file_.open(QIODevice::WriteOnly | QIODevice::Truncate);
        return opened_;
    }
    // Not truncated before the lock is ours. The lock goes with the process,
    // so one that died leaves nothing in the way.
    if (!file_.open(QIODevice::ReadWrite))
        return false;
    if (::flock(file_.handle(), LOCK_EX | LOCK_NB) != 0 || !file_.resize(0)) {
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
    file_ = std::make_unique<TFileLogger>(name + QStringLiteral("-%1.log").arg(QCoreApplication::applicationPid()));
    return file_->Open(true);
}

bool TMonitorR5Logger::Opened() const
{
    std::lock_guard lock(mutex_);
    return file_->Opened();
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
