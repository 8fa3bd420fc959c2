#pragma once

// Runs a command, sorts its code into a result class and applies that class's
// policy: accept; log and accept; log and give up; retry over the link (with
// a TCP reconnect); or remove the meter's password once and repeat. The
// executor knows the engine only through TExecuterHost, so the thread manager
// can live above this library.

#include "protocol/R5Commands.h"

#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>

class TMonitorR5Logger;

struct TExecuterHost
{
    // True when the polling run is stopped or a stop was asked for; empty
    // means never. Asked at every step boundary; the driver gets the same
    // (SetStopCheck) so that a stop also cuts an exchange short.
    std::function<bool()> StopRequested;
    // Status text and severity (kStatusInformation.. kStatusError, the
    // engine's own scale); may be empty.
    std::function<void(const QString &text, int severity)> ReportStatus;
    static constexpr int kStatusInformation = 0;
    static constexpr int kStatusWarning = 1;
    static constexpr int kStatusError = 2;
    // The program log for command reports; may be null.
    TMonitorR5Logger *Logger = nullptr;
    // Pause between attempts; empty means QThread::msleep. Tests may count.
    std::function<void(int ms)> Sleep;
};

class TCommandExecuter;

// The policy of one result class.
class TCommandResult
{
public:
    virtual ~TCommandResult() = default;
    // Applies the policy to a command just executed; true when accepted.
    virtual bool Handle(TCommandExecuter &executer, TR5Command &command) const = 0;
};

// 5: success.
class TSuccessResult : public TCommandResult
{
public:
    bool Handle(TCommandExecuter &, TR5Command &) const override { return true; }
};

// 4: accepted with a note (current period, more parts follow).
class TNoteResult : public TCommandResult
{
public:
    bool Handle(TCommandExecuter &, TR5Command &) const override { return true; }
};

// 3: no data (yet): logged, accepted.
class TNoDataResult : public TCommandResult
{
public:
    bool Handle(TCommandExecuter &executer, TR5Command &command) const override;
};

// 2: request not accepted by the meter: logged, failed.
class TNotAcceptedResult : public TCommandResult
{
public:
    bool Handle(TCommandExecuter &executer, TR5Command &command) const override;
};

// 1: link failure: retried up to MaxAttemptCount sends in all.
class TLinkFailureResult : public TCommandResult
{
public:
    bool Handle(TCommandExecuter &executer, TR5Command &command) const override;
};

// 6: password not removed: accepted here; Run then removes the password.
class TPasswordNotRemovedResult : public TCommandResult
{
public:
    bool Handle(TCommandExecuter &, TR5Command &) const override { return true; }
};

// 7: wrong password: logged, failed.
class TWrongPasswordResult : public TCommandResult
{
public:
    bool Handle(TCommandExecuter &executer, TR5Command &command) const override;
};

// 0: any other failure: logged, failed.
class TOtherFailureResult : public TCommandResult
{
public:
    bool Handle(TCommandExecuter &executer, TR5Command &command) const override;
};

class TCommandExecuter
{
public:
    // The password command must be given and maxAttemptCount be at least 1
    // (contract).
    TCommandExecuter(TR5PasswordCommand *passwordCommand, int maxAttemptCount, TExecuterHost host);
    ~TCommandExecuter();

    TCommandExecuter(const TCommandExecuter &) = delete;
    TCommandExecuter &operator=(const TCommandExecuter &) = delete;

    // Runs the command with its class policy and the password recovery;
    // true when the command FAILED. A stop asked for at any step boundary
    // ends the command as done.
    bool Run(TR5Command *command);

    bool StopRequested() const;
    void ReportStatus(const QString &text, int severity) const;
    // Writes the command's log lines as one block entry.
    void LogCommand(const TR5Command &command) const;
    void Pause(int ms) const;

    int MaxAttemptCount() const { return maxAttemptCount_; }
    TR5PasswordCommand *PasswordCommand() const { return passwordCommand_; }

private:
    bool RunOnce(TR5Command &command);

    std::array<std::unique_ptr<TCommandResult>, 8> handlers_;
    TR5PasswordCommand *passwordCommand_;
    int maxAttemptCount_;
    TExecuterHost host_;
};
