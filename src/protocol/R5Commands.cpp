#include "protocol/R5Commands.h"

#include "channel/TcpChannel.h"
#include "common/Contracts.h"

#include <QDate>
#include <QTime>

#include <string>

TR5ResultClass R5ResultClass(qint32 code)
{
    switch (code) {
    case 0: return rcSuccess;
    case 26:
    case 33: return rcAcceptedWithNote;
    case 1:
    case 4:
    case 12:
    case 13:
    case 14:
    case 23:
    case 24:
    case 25: return rcNoData;
    case 2:
    case 3:
    case 6:
    case 9:
    case 10:
    case 20:
    case 21:
    case 100: return rcNotAccepted;
    case -1:
    case -2:
    case -3:
    case -4:
    case -9: return rcLinkFailure;
    case 15: return rcPasswordNotRemoved;
    case 17: return rcWrongPassword;
    default: return rcOtherFailure;
    }
}

TR5Command::TR5Command(TCustomR5Device *device) : device_(device)
{
    CheckPreConditions(device != nullptr, "TR5Command.Create");
}

TR5Command::~TR5Command() = default;

void TR5Command::DoR5Command()
{
    throw EPseudoAbstract(ClassName() + QStringLiteral(".DoR5Command"));
}

void TR5Command::Execute()
{
    errorCode_ = 0;
    answerReceived_ = false;
    DoR5Command();
    errorCode_ = static_cast<qint8>(device_->ErrorCode());
}

QString TR5Command::ErrorText() const
{
    return device_->ErrorText(static_cast<quint8>(GetErrorCode()));
}

void TR5Command::FillLogLines(QStringList &lines) const
{
    lines.clear();
    lines.append(QStringLiteral("(%1) %2").arg(GetErrorCode()).arg(ErrorText()));
    lines.append(CommandLine());
}

void TR5Command::WriteLog(QStringList *lines) const
{
    CheckPreConditions(lines != nullptr, "TR5Command.WriteLog");
    FillLogLines(*lines);
}

// --- data ---

void TR5DataCommand::DoR5Command()
{
    answer_.clear();
    qint32 expected = 0;
    QByteArray received;
    if (Device()->Exchange({}, expected, {}, &received, descriptor_[0], descriptor_[1], descriptor_[2],
                           descriptor_[3])) {
        answer_ = received;
        SetAnswerReceived(true);
    }
}

QString TR5DataCommand::CommandLine() const
{
    return QStringLiteral("Команда: Запрос данных");
}

void TR5DataCommand::FillLogLines(QStringList &lines) const
{
    TR5Command::FillLogLines(lines);
    auto hex = [](quint8 b) { return QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper(); };
    lines.append(QStringLiteral("Поля команды (в HEX). CMD: %1. CMD1: %2. iType: %3. iCount: %4.")
                     .arg(hex(descriptor_[0]), hex(descriptor_[1]), hex(descriptor_[2]), hex(descriptor_[3])));
}

// --- password ---

void TR5PasswordCommand::DoR5Command()
{
    SetAnswerReceived(Device()->RemovePassword(0, Password));
}

QString TR5PasswordCommand::CommandLine() const
{
    return QStringLiteral("Команда: Снятие пароля");
}

// --- fixed-length answers ---

void TR5SettingsCommand::DoR5Command()
{
    qint32 expected = kAnswerSize;
    SetAnswerReceived(
        Device()->Exchange({}, expected, SettingsAnswer, nullptr, R5Frame::kCmdService, R5Frame::kCmd1Settings, 1, 1));
}

QString TR5SettingsCommand::CommandLine() const
{
    return QStringLiteral("Команда: Запрос настроек напряжения");
}

void TR5DateTimeInfoCommand::DoR5Command()
{
    qint32 expected = kAnswerSize;
    SetAnswerReceived(
        Device()->Exchange({}, expected, DateTimeAnswer, nullptr, R5Frame::kCmdService, R5Frame::kCmd1DateTime, 1, 1));
}

QString TR5DateTimeInfoCommand::CommandLine() const
{
    return QStringLiteral("Команда: Запрос даты/времени прибора");
}

QDateTime TR5DateTimeInfoCommand::DateTime(Qt::TimeSpec zone) const
{
    const auto &a = DateTimeAnswer;
    const QDate date(2000 + a[2], a[1], a[0]);
    const QTime time(a[3], a[4], a[5], 0);
    if (!date.isValid() || !time.isValid())
        throw ER5InvalidDateTime(QStringLiteral("Неверные дата и время прибора: %1.%2.%3 %4:%5:%6.")
                                     .arg(a[0])
                                     .arg(a[1])
                                     .arg(a[2])
                                     .arg(a[3])
                                     .arg(a[4])
                                     .arg(a[5]));
    return QDateTime(date, time, zone);
}

int TR5DateTimeInfoCommand::FirmwareVersion() const
{
    const auto &a = DateTimeAnswer;
    std::string text;
    if (a[32] == '.')
        text = {char(a[30]), char(a[31]), char(a[33]), char(a[34])};
    else
        text = {char(a[31]), char(a[32]), char(a[33])};
    // Plain decimal digits only: a sign, blanks or other bytes make it no number.
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return kUnknownFirmwareVersion;
        value = value * 10 + (c - '0');
    }
    return value > 65535 ? kUnknownFirmwareVersion : value;
}

void TR5TimeSettingsCommand::DoR5Command()
{
    qint32 expected = kAnswerSize;
    SetAnswerReceived(Device()->Exchange({}, expected, IntervalsAnswer, nullptr, R5Frame::kCmdService,
                                         R5Frame::kCmd1Intervals, 1, 1));
}

QString TR5TimeSettingsCommand::CommandLine() const
{
    return QStringLiteral("Команда: Запрос настроек интервалов времени");
}

// --- oscillogram ---

void TR5OscillogramCommand::Reset()
{
    Parts.clear();
    Last.clear();
}

void TR5OscillogramCommand::DoR5Command()
{
    const quint32 offset = static_cast<quint32>(Parts.size());
    const std::array<quint8, 4> data = {quint8(offset & 0xFF), quint8((offset >> 8) & 0xFF),
                                        quint8((offset >> 16) & 0xFF), quint8(offset >> 24)};
    qint32 expected = 0;
    QByteArray received;
    if (!Device()->Exchange(data, expected, {}, &received, R5Frame::kCmdMeasurements, R5Frame::kCmd1Oscillogram, 1,
                            OscPeriods) ||
        received.isEmpty())
        return;
    if (Device()->ErrorCode() == r5cMorePartsFollow) {
        if (Parts.size() + received.size() > kMaxPartsSize) {
            Device()->SetErrorCode(r5eReadError);
            return;
        }
        Parts.append(received);
    } else {
        Last = received;
    }
    SetAnswerReceived(true);
}

QString TR5OscillogramCommand::CommandLine() const
{
    return QStringLiteral("Команда: Запрос осциллограммы");
}

// --- retries ---

static TCustomR5Device *DeviceOf(TR5Command *command)
{
    CheckPreConditions(command != nullptr, "TR5CommandTryingsRepeating.Create");
    return command->Device();
}

TR5CommandTryingsRepeating::TR5CommandTryingsRepeating(TR5Command *command, int additionalAttempts)
    : TR5Command(DeviceOf(command)), command_(command), additionalAttempts_(additionalAttempts)
{}

void TR5CommandTryingsRepeating::DoR5Command()
{
    ++count_;
    Device()->CountRetry();
    TPCACustom *channel = Device()->Channel();
    if (command_->ResultClass() == rcLinkFailure && dynamic_cast<TPCAEthernetTCP *>(channel) != nullptr) {
        // A TCP link that failed is rebuilt before the command goes again; if
        // that fails the old link error stays and the caller tries again. A
        // stop meanwhile (the reconnect pauses) leaves the command unsent:
        // the driver sends nothing once a stop is asked for.
        if (Device()->StopRequested())
            return;
        // A reconnect that does not connect is a failed connection.
        if (channel->Disconnect() == 0 && channel->Connect() == 0) {
            Device()->CountReconnect();
            command_->Execute();
        } else {
            Device()->CountFailedReconnect();
        }
        SetAnswerReceived(command_->AnswerReceived());
        return;
    }
    command_->Execute();
    SetAnswerReceived(command_->AnswerReceived());
}

void TR5CommandTryingsRepeating::FillLogLines(QStringList &lines) const
{
    command_->FillLogLines(lines);
    if (count_ > 0) {
        lines.append(QStringLiteral("дополнительных попыток %1 из указанных %2").arg(count_).arg(additionalAttempts_));
        lines.append(QStringLiteral("интервал между попытками = %1 мс").arg(kPauseMs));
    }
}

// --- sets ---

TR5Commands::TR5Commands(TCustomR5Device *device)
{
    CheckPreConditions(device != nullptr, "TR5Commands.Create");
    data_ = std::make_unique<TR5DataCommand>(device);
    dateTime_ = std::make_unique<TR5DateTimeInfoCommand>(device);
    password_ = std::make_unique<TR5PasswordCommand>(device);
    settings_ = std::make_unique<TR5SettingsCommand>(device);
    timeSettings_ = std::make_unique<TR5TimeSettingsCommand>(device);
    oscillogram_ = device->CreateOscillogramCommand();
}

TR5Commands::~TR5Commands() = default;

void TCommandsVD::SetDefault(quint8 n)
{
    items_.clear();
    items_.append(TR5Descriptor{R5Frame::kCmdMeasurements, R5Frame::kCmd1Data, 0x02, n});
}
