#include "protocol/CommandExecutor.h"

#include "common/Contracts.h"
#include "common/ProgramLog.h"

#include <QThread>

bool TNoDataResult::Handle(TCommandExecuter &executer, TR5Command &command) const
{
    executer.LogCommand(command);
    return true;
}

bool TNotAcceptedResult::Handle(TCommandExecuter &executer, TR5Command &command) const
{
    executer.LogCommand(command);
    return false;
}

bool TWrongPasswordResult::Handle(TCommandExecuter &executer, TR5Command &command) const
{
    executer.LogCommand(command);
    return false;
}

bool TOtherFailureResult::Handle(TCommandExecuter &executer, TR5Command &command) const
{
    executer.LogCommand(command);
    return false;
}

bool TLinkFailureResult::Handle(TCommandExecuter &executer, TR5Command &command) const
{
    TR5CommandTryingsRepeating repeating(&command, executer.MaxAttemptCount() - 1);
    executer.LogCommand(repeating);
    TR5ResultClass last = command.ResultClass();
    for (int i = 0; i < executer.MaxAttemptCount() - 1 && last == rcLinkFailure; ++i) {
        if (executer.StopRequested())
            break;
        executer.Pause(TR5CommandTryingsRepeating::kPauseMs);
        // A stop asked for during the pause sends nothing more.
        if (executer.StopRequested())
            break;
        repeating.Execute();
        last = repeating.ResultClass();
    }
    executer.LogCommand(repeating);
    last = command.ResultClass();
    return last == rcNoData || last == rcAcceptedWithNote || last == rcSuccess;
}

TCommandExecuter::TCommandExecuter(TR5PasswordCommand *passwordCommand, int maxAttemptCount, TExecuterHost host)
    : passwordCommand_(passwordCommand), maxAttemptCount_(maxAttemptCount), host_(std::move(host))
{
    CheckPreConditions(passwordCommand != nullptr, "TCommandExecuter.Create");
    CheckPreConditions(maxAttemptCount >= 1, "TCommandExecuter.Create");
    handlers_[rcOtherFailure] = std::make_unique<TOtherFailureResult>();
    handlers_[rcLinkFailure] = std::make_unique<TLinkFailureResult>();
    handlers_[rcNotAccepted] = std::make_unique<TNotAcceptedResult>();
    handlers_[rcNoData] = std::make_unique<TNoDataResult>();
    handlers_[rcAcceptedWithNote] = std::make_unique<TNoteResult>();
    handlers_[rcSuccess] = std::make_unique<TSuccessResult>();
    handlers_[rcPasswordNotRemoved] = std::make_unique<TPasswordNotRemovedResult>();
    handlers_[rcWrongPassword] = std::make_unique<TWrongPasswordResult>();
}

TCommandExecuter::~TCommandExecuter() = default;

bool TCommandExecuter::StopRequested() const
{
    return host_.StopRequested && host_.StopRequested();
}

void TCommandExecuter::ReportStatus(const QString &text, int severity) const
{
    if (host_.ReportStatus)
        host_.ReportStatus(text, severity);
}

void TCommandExecuter::LogCommand(const TR5Command &command) const
{
    QStringList lines;
    command.WriteLog(&lines);
    if (host_.Logger != nullptr)
        host_.Logger->LogLines(lines);
}

void TCommandExecuter::Pause(int ms) const
{
    if (host_.Sleep)
        host_.Sleep(ms);
    else
        QThread::msleep(static_cast<unsigned long>(ms));
}

bool TCommandExecuter::RunOnce(TR5Command &command)
{
    if (StopRequested())
        return true;
    command.Execute();
    // An exchange a stop cut short is no failure of the line or the meter:
    // nothing to log, retry or report.
    if (StopRequested())
        return true;
    const TR5ResultClass c = command.ResultClass();
    const bool accepted = handlers_[c]->Handle(*this, command);
    if (StopRequested())
        return true;
    const TR5ResultClass final = command.ResultClass();
    const bool ok = accepted && (final == rcNoData || final == rcAcceptedWithNote || final == rcSuccess);
    if (!ok && final != rcPasswordNotRemoved)
        ReportStatus(command.ErrorText(), TExecuterHost::kStatusError);
    return ok;
}

bool TCommandExecuter::Run(TR5Command *command)
{
    CheckPreConditions(command != nullptr, "TCommandExecuter.Run");
    if (RunOnce(*command))
        return false;
    if (command->ResultClass() != rcPasswordNotRemoved)
        return true;
    if (StopRequested())
        return false;
    passwordCommand_->Device()->CountPasswordRequest();
    passwordCommand_->Execute();
    if (passwordCommand_->ResultClass() != rcSuccess) {
        ReportStatus(passwordCommand_->ErrorText(), TExecuterHost::kStatusError);
        return true;
    }
    return !RunOnce(*command);
}
