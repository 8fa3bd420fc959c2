#include "channel/ChannelSettings.h"

#include "common/Cp1251.h"

#include <QFile>

QString PCAErrorText(int code)
{
    switch (code) {
    case pceOk: return QString();
    case pceNotImplemented: return QStringLiteral("Действие не реализовано.");
    case pceNotInitialized: return QStringLiteral("Не было начальной инициализации модуля.");
    case pceBadHandle: return QStringLiteral("Неверный Handle.");
    case pceBadType: return QStringLiteral("Неверный тип PCA.");
    case pceTimeout: return QStringLiteral("Превышено время ожидания.");
    case pcePortBusy: return QStringLiteral("Порт занят другим приложением.");
    case pcePortNotFound: return QStringLiteral("Com-порт не найден.");
    case pceWrite: return QStringLiteral("Ошибка записи в порт");
    case pceRead: return QStringLiteral("Ошибка чтения из порта");
    case pceModemNotFound: return QStringLiteral("Модем не найден.");
    case pceBadPortName: return QStringLiteral("Неверное имя порта.");
    case pceModemNoCarrier: return QStringLiteral("Не удалось установить соединение с модемом.");
    case pceModemInit: return QStringLiteral("Инициализация модема не прошла.");
    case pceSocketCreate: return QStringLiteral("Ошибка при создании сокета.");
    case pceServerNotFound: return QStringLiteral("Удаленный сервер не найден.");
    case pceBadIpAndPort: return QStringLiteral("Неверные IP и порт.");
    case pceBadAddress: return QStringLiteral("Неверные адрес.");
    case pceConnectionLost: return QStringLiteral("Соединение потеряно.");
    case pcePortInit: return QStringLiteral("Инициализация порта выполнена с ошибкой.");
    case pceDeviceUnknown: return QStringLiteral("Подключенное устройство неопределяется.");
    case pceNoOptoAttach: return QStringLiteral("Нет соединения с оптической приставкой.");
    case pcePortNoPermission:
        return QStringLiteral("Нет прав на доступ к порту. Пользователь должен входить в группу dialout: "
                              "sudo usermod -aG dialout $USER, затем выйти из сеанса и войти снова.");
    default: return QStringLiteral("Неизвестный код ошибки.");
    }
}

template <std::size_t Capacity>
QString TPCAShortString<Capacity>::Text() const
{
    return Cp1251::Decode(QByteArrayView(Chars, static_cast<qsizetype>(Size())));
}

template <std::size_t Capacity>
void TPCAShortString<Capacity>::SetText(QStringView text)
{
    SetBytes(Cp1251::Encode(text));
}

template struct TPCAShortString<6>;
template struct TPCAShortString<15>;
template struct TPCAShortString<255>;

TPCASettings PCAZeroSettings()
{
    TPCASettings settings{};
    return settings;
}

TPCALinkKind PCALinkKind(const TPCASettings &settings)
{
    switch (settings.ChannelType) {
    case pcaComPort:
        switch (settings.ComPort.Mode) {
        case cpmPhoneModem: return plkPhoneModem;
        case cpmRadioModem: return plkRadioModem;
        default: return plkSerial;
        }
    case pcaEthernetTCP: return plkTcp;
    default: return plkUnknown;
    }
}

bool operator==(const TPCASettings &a, const TPCASettings &b)
{
    return std::memcmp(a.Bytes, b.Bytes, sizeof a.Bytes) == 0;
}

QString PCAComPortName(const TPCASettings &settings)
{
    if (settings.ChannelType != pcaComPort)
        return QString();
    const TPCAShortString<255> &full = settings.ComPort.FullPortName;
    if (full.Size() > 0)
        return QFile::decodeName(full.Bytes());
    return settings.ComPort.PortName.Text();
}

void PCASetComPortName(TPCASettings &settings, const QString &name)
{
    settings.ComPort.PortName.SetText(name);
    settings.ComPort.FullPortName.SetBytes(QFile::encodeName(name));
}
