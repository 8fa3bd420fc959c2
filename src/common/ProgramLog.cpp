#include "common/ProgramLog.h"

#include "common/Cp1251.h"
#include "common/Contracts.h"
#include "common/UserFolders.h"

#include <QDateTime>
#include <QDir>

TFileLogger::TFileLogger(const QString &fileName) : fileName_(fileName)
{
    CheckPreConditions(fileName.endsWith(QLatin1String(".log"), Qt::CaseSensitive), "TFileLogger.Create");
}

TFileLogger::~TFileLogger()
{
    Close();
}

bool TFileLogger::Open()
{
    file_.setFileName(fileName_);
    opened_ = file_.open(QIODevice::WriteOnly | QIODevice::Truncate);
    return opened_;
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

bool TMonitorR5Logger::Opened() const
{
    std::lock_guard lock(mutex_);
    return file_->Opened();
}

QString TMonitorR5Logger::FileName() const
{
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
