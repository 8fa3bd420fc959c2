#include "engine/PollRunLog.h"

#include "catalogue/CatalogueObjects.h"
#include "catalogue/ConnectionList.h"
#include "common/Contracts.h"
#include "common/ProgramLog.h"
#include "engine/PollSettings.h"

#include <limits>

TRequestCirclesFinishingReporter::TRequestCirclesFinishingReporter(std::function<void()> firstFinished)
    : firstFinished_(std::move(firstFinished))
{
    Reset();
}

void TRequestCirclesFinishingReporter::CircleFinished()
{
    if (NothingFinished() && firstFinished_)
        firstFinished_();
    if (counter_ >= std::numeric_limits<int32_t>::max() - 1)
        counter_ = 1;
    else
        ++counter_;
}

// ------------------------------------------------------ TRequestThreadLogger

namespace {

const QString kParseError = QStringLiteral("Внутренняя ошибка разбора настроек");

class EWrongModeClass
{};

template <class TMode>
const TMode &ModeAs(const TccnCustomConMode &mode)
{
    const auto *typed = dynamic_cast<const TMode *>(&mode);
    if (!typed)
        throw EWrongModeClass();
    return *typed;
}

void AppendComPort(QStringList &lines, const TccnComPortInterface &port)
{
    lines << QStringLiteral("COM-порт = ") + port.PortName
          << QStringLiteral("скорость = ") + QString::number(port.Baudrate);
}

void AppendModeLines(QStringList &lines, const TccnCustomConMode &mode)
{
    switch (mode.ConModeType()) {
    case cmtDirect232: AppendComPort(lines, ModeAs<TccnDirect232ConMode>(mode).ComPortInterface()); break;
    case cmtPhoneModem232: {
        const auto &phone = ModeAs<TccnPhoneModem232ConMode>(mode);
        AppendComPort(lines, phone.ComPortInterface());
        lines << QStringLiteral("номер = ") + phone.PhoneModem().PhoneNumber
              << QStringLiteral("строка инициализации = ") + phone.PhoneModem().InitString;
        break;
    }
    case cmtRadioModem232: {
        const auto &radio = ModeAs<TccnRadioModem232ConMode>(mode);
        AppendComPort(lines, radio.ComPortInterface());
        lines << QStringLiteral("позывной = ") + radio.RadioModem().CallNumber
              << QStringLiteral("строка инициализации = ") + radio.RadioModem().InitString;
        break;
    }
    case cmtDirectTCPIP: {
        const auto &tcp = ModeAs<TccnDirectTCPIPConMode>(mode).TCPIPInterface();
        lines << QStringLiteral("адрес = ") + tcp.IpAddress << QStringLiteral("порт = ") + QString::number(tcp.IpPort);
        break;
    }
    case cmtVDOptoAttach232: AppendComPort(lines, ModeAs<TccnVDOptoAttach232ConMode>(mode).ComPortInterface()); break;
    default: lines << QStringLiteral("неизвестный тип подключения: ") + ConModeTypeIdents().value(mode.ConModeType());
    }
}

} // namespace

TRequestThreadLogger::TRequestThreadLogger(TMonitorR5Logger *log, TShowStatus showStatus)
    : log_(log), showStatus_(std::move(showStatus))
{
    CheckPreConditions(log != nullptr, "TRequestThreadLogger.Create");
}

QStringList TRequestThreadLogger::PollStartLines(const TConnectionSettings &settings)
{
    QStringList lines{QStringLiteral("Старт опроса"), QStringLiteral("Настройки:")};
    const TccnConnection *connection = settings.Connection();
    const auto *protocol =
        connection ? dynamic_cast<const TccnTarvelProtocol *>(connection->CustomDeviceProtocol()) : nullptr;
    if (!protocol) {
        lines << kParseError;
        return lines;
    }
    lines << QStringLiteral("Тип протокола = ") + DeviceProtocolTypeNames().value(protocol->ProtocolType());
    const TccnCustomDevice *device = connection->CustomDevice();
    lines << QStringLiteral("номер прибора = ") + QString::number(device ? device->FactoryNum : 0);
    lines << QStringLiteral("максимальное кол-во попыток = ") + QString::number(protocol->MaxAttemptCount);
    const TccnCustomConMode *mode = connection->CustomConMode();
    if (!mode) {
        lines << kParseError;
        return lines;
    }
    lines << QStringLiteral("Тип подключения = ") + ConModeTypeNames().value(mode->ConModeType());
    try {
        AppendModeLines(lines, *mode);
    } catch (const EWrongModeClass &) {
        lines << kParseError;
    }
    return lines;
}

void TRequestThreadLogger::LogPollStart(const TConnectionSettings *settings)
{
    CheckPreConditions(settings != nullptr, "TRequestThreadLogger.LogPollStart");
    if (showStatus_)
        showStatus_(QStringLiteral("Старт опроса"));
    log_->LogLines(PollStartLines(*settings));
}

void TRequestThreadLogger::LogPollStop()
{
    log_->Log(QStringLiteral("Стоп опроса"));
    if (showStatus_)
        showStatus_(QStringLiteral("Стоп опроса"));
}
