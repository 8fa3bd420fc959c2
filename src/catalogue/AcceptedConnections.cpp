#include "catalogue/AcceptedConnections.h"

#include "catalogue/ConnectionList.h"

#include <algorithm>

using namespace Qt::StringLiterals;

const TccnDeviceTypeOptions *TccnDeviceTypeOptionsList::Items(int index) const
{
    if (index < 0 || index >= Count())
        return nullptr;
    return items_[size_t(index)].get();
}

TccnDeviceTypeOptions &TccnDeviceTypeOptionsList::AddDeviceTypeOptions(TDeviceType deviceType,
                                                                       TDeviceProtocolTypes allowedProtocols,
                                                                       TConModeTypes allowedConModes)
{
    if (allowedProtocols.IsEmpty())
        throw EccnOptions(u"Не задан список разрешенных типов протоколов"_s);
    if (allowedConModes.IsEmpty())
        throw EccnOptions(u"Не задан список разрешенных типов подключений"_s);
    items_.push_back(std::make_unique<TccnDeviceTypeOptions>(deviceType, allowedProtocols, allowedConModes));
    return *items_.back();
}

const TccnDeviceTypeOptions *TccnDeviceTypeOptionsList::FindDeviceTypeOptions(int deviceType) const
{
    for (const auto &options : items_)
        if (options->DeviceType == deviceType)
            return options.get();
    return nullptr;
}

bool TccnConnectionListUIOptions::CheckConnection(const TccnConnection *connection, QString &message) const
{
    message = u"Unknown error"_s;
    if (!connection) {
        message = u"Не задано подключение"_s;
        return false;
    }
    const TccnCustomDevice *device = connection->CustomDevice();
    if (!device)
        return true;
    const TccnDeviceTypeOptions *options = FindDeviceTypeOptions(device->DeviceType());
    if (!options) {
        message = u"Заданный тип измерителя не поддерживается"_s;
        return false;
    }
    if (const TccnCustomDeviceProtocol *protocol = connection->CustomDeviceProtocol();
        protocol && !options->AllowedProtocols.Contains(protocol->ProtocolType())) {
        message = u"Заданный тип протокола для данного типа измерителя не поддерживается"_s;
        return false;
    }
    if (const TccnCustomConMode *conMode = connection->CustomConMode();
        conMode && !options->AllowedConModes.Contains(conMode->ConModeType())) {
        message = u"Заданный тип подключения для данного типа измерителя не поддерживается"_s;
        return false;
    }
    return true;
}

bool IsPolledDeviceType(int deviceType)
{
    return std::ranges::find(kPolledDeviceTypes, deviceType) != kPolledDeviceTypes.end();
}

void ConfigureMonitorOptions(TccnConnectionListUIOptions &options)
{
    const TDeviceProtocolTypes tarvelOnly{dptTarvel};
    const TConModeTypes allModes{cmtDirect232, cmtPhoneModem232, cmtRadioModem232, cmtDirectTCPIP, cmtVDOptoAttach232};
    for (TDeviceType type : kPolledDeviceTypes)
        options.AddDeviceTypeOptions(type, tarvelOnly, allModes);
    options.CheckMode = false;
}
