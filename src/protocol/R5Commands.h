#pragma once

// The commands of one polling run. Each knows which request it sends through
// the driver, where it keeps the answer, and which lines it gives the log.

#include "protocol/R5Driver.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>

// A meter clock that is no valid date and time.
class ER5InvalidDateTime : public Exception
{
public:
    using Exception::Exception;
};

// Result classes of a command's ErrorCode.
enum TR5ResultClass : int {
    rcOtherFailure = 0,
    rcLinkFailure = 1,
    rcNotAccepted = 2,
    rcNoData = 3,
    rcAcceptedWithNote = 4,
    rcSuccess = 5,
    rcPasswordNotRemoved = 6,
    rcWrongPassword = 7,
};

// The class of a code as a command holds it (driver codes as -9..-1).
TR5ResultClass R5ResultClass(qint32 code);

class TR5Command
{
public:
    // The driver must be given (contract).
    explicit TR5Command(TCustomR5Device *device);
    virtual ~TR5Command();

    TR5Command(const TR5Command &) = delete;
    TR5Command &operator=(const TR5Command &) = delete;

    // Does the exchange; the base raises EPseudoAbstract.
    virtual void DoR5Command();
    // Empties the list, then "(code) text" and the command's own line.
    virtual void FillLogLines(QStringList &lines) const;
    virtual qint32 GetErrorCode() const { return errorCode_; }
    virtual QString ClassName() const { return QStringLiteral("TR5Command"); }

    // ErrorCode 0, DoR5Command, then the driver's code as a signed byte.
    void Execute();
    TR5ResultClass ResultClass() const { return R5ResultClass(GetErrorCode()); }
    QString ErrorText() const;
    // The list must be given (contract).
    void WriteLog(QStringList *lines) const;

    TCustomR5Device *Device() const { return device_; }
    qint32 ErrorCode() const { return errorCode_; }
    // The last run brought the command's answer whole. A code that counts as
    // success may come without data ("not ready", "more parts follow"), and
    // a stop cuts an answer short: then what the command holds is old.
    bool AnswerReceived() const { return answerReceived_; }

protected:
    // The command's own log line ("Команда: ...").
    virtual QString CommandLine() const { return QString(); }
    void SetAnswerReceived(bool received) { answerReceived_ = received; }

private:
    TCustomR5Device *device_;
    qint32 errorCode_ = 0;
    bool answerReceived_ = false;
};

// Four bytes of a data request: CMD, CMD1, iType, iCount.
using TR5Descriptor = std::array<quint8, 4>;

class TR5DataCommand : public TR5Command
{
public:
    using TR5Command::TR5Command;
    void DoR5Command() override;
    void FillLogLines(QStringList &lines) const override;
    QString ClassName() const override { return QStringLiteral("TR5DataCommand"); }

    void SetDescriptor(const TR5Descriptor &descriptor) { descriptor_ = descriptor; }
    const TR5Descriptor &Descriptor() const { return descriptor_; }
    const QByteArray &Answer() const { return answer_; }
    qint32 AnswerLength() const { return static_cast<qint32>(answer_.size()); }

protected:
    QString CommandLine() const override;

private:
    TR5Descriptor descriptor_{};
    QByteArray answer_;
};

class TR5PasswordCommand : public TR5Command
{
public:
    using TR5Command::TR5Command;
    void DoR5Command() override;
    QString ClassName() const override { return QStringLiteral("TR5PasswordCommand"); }

    QString Password;

protected:
    QString CommandLine() const override;
};

class TR5SettingsCommand : public TR5Command
{
public:
    static constexpr int kAnswerSize = 551;
    using TR5Command::TR5Command;
    void DoR5Command() override;
    QString ClassName() const override { return QStringLiteral("TR5SettingsCommand"); }

    std::array<quint8, kAnswerSize> SettingsAnswer{};

protected:
    QString CommandLine() const override;
};

class TR5DateTimeInfoCommand : public TR5Command
{
public:
    static constexpr int kAnswerSize = 105;
    static constexpr int kUnknownFirmwareVersion = 409;
    using TR5Command::TR5Command;
    void DoR5Command() override;
    QString ClassName() const override { return QStringLiteral("TR5DateTimeInfoCommand"); }

    // The meter clock (bytes 0-5: day, month, year - 2000, hour, minute,
    // second); raises ER5InvalidDateTime when it is no valid date and time.
    // The fields are read as local time or as UTC: local time costs a
    // time-zone look-up (a stat of the zone file) on every call, UTC none.
    QDateTime DateTime(Qt::TimeSpec zone = Qt::LocalTime) const;
    // From bytes 30-34 (b0..b4): "22.18" -> 2218 (b0 b1 b3 b4 when b2 is a
    // point), else b1 b2 b3; 409 when that is no number or above 65535.
    int FirmwareVersion() const;

    std::array<quint8, kAnswerSize> DateTimeAnswer{};

protected:
    QString CommandLine() const override;
};

class TR5TimeSettingsCommand : public TR5Command
{
public:
    static constexpr int kAnswerSize = 192;
    using TR5Command::TR5Command;
    void DoR5Command() override;
    QString ClassName() const override { return QStringLiteral("TR5TimeSettingsCommand"); }

    std::array<quint8, kAnswerSize> IntervalsAnswer{};

protected:
    QString CommandLine() const override;
};

class TR5OscillogramCommand : public TR5Command
{
public:
    // Far above any real record; a meter that keeps saying "more parts
    // follow" cannot make the program eat its memory.
    static constexpr qsizetype kMaxPartsSize = 16 * 1024 * 1024;

    using TR5Command::TR5Command;
    void DoR5Command() override;
    QString ClassName() const override { return QStringLiteral("TR5OscillogramCommand"); }
    void Reset();

    quint8 OscPeriods = 2;
    QByteArray Parts; // the COMTRADE data stream, part after part
    QByteArray Last;  // the COMTRADE configuration text

protected:
    QString CommandLine() const override;
};

// Runs a wrapped command again over the link; over TCP it reconnects first.
class TR5CommandTryingsRepeating : public TR5Command
{
public:
    static constexpr int kPauseMs = 100;

    // The command must be given (contract); it is not owned.
    TR5CommandTryingsRepeating(TR5Command *command, int additionalAttempts);
    void DoR5Command() override;
    void FillLogLines(QStringList &lines) const override;
    QString ClassName() const override { return QStringLiteral("TR5CommandTryingsRepeating"); }

    TR5Command *Command() const { return command_; }
    int Count() const { return count_; }
    int AdditionalAttempts() const { return additionalAttempts_; }

private:
    TR5Command *command_;
    int count_ = 0;
    int additionalAttempts_;
};

// The commands of one polling run, all bound to its driver.
class TR5Commands
{
public:
    explicit TR5Commands(TCustomR5Device *device);
    ~TR5Commands();

    TR5DataCommand *DataCommand() const { return data_.get(); }
    TR5DateTimeInfoCommand *DateTimeCommand() const { return dateTime_.get(); }
    TR5PasswordCommand *PasswordCommand() const { return password_.get(); }
    TR5SettingsCommand *SettingsCommand() const { return settings_.get(); }
    TR5TimeSettingsCommand *TimeSettingsCommand() const { return timeSettings_.get(); }
    // Null for meters without oscillograms.
    TR5OscillogramCommand *OscillogramCommand() const { return oscillogram_.get(); }

private:
    std::unique_ptr<TR5DataCommand> data_;
    std::unique_ptr<TR5DateTimeInfoCommand> dateTime_;
    std::unique_ptr<TR5PasswordCommand> password_;
    std::unique_ptr<TR5SettingsCommand> settings_;
    std::unique_ptr<TR5TimeSettingsCommand> timeSettings_;
    std::unique_ptr<TR5OscillogramCommand> oscillogram_;
};

// The data requests of one polling cycle.
class TCommandsVD
{
public:
    // Empties the list and adds the single request 01 01 02 n.
    void SetDefault(quint8 n);
    void Clear() { items_.clear(); }
    void Add(const TR5Descriptor &descriptor) { items_.append(descriptor); }
    qsizetype Count() const { return items_.size(); }
    const TR5Descriptor &operator[](qsizetype i) const { return items_[i]; }
    const QList<TR5Descriptor> &Items() const { return items_; }

private:
    QList<TR5Descriptor> items_;
};
