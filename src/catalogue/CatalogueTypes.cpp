#include "catalogue/CatalogueTypes.h"

using namespace Qt::StringLiterals;

const QStringList &DeviceTypeNames()
{
    // Mind the letters: KL2М, KL2С, KL2М(A) and QP х carry Cyrillic ones,
    // KL2C(A) is all Latin.
    static const QStringList names = {
        u"KL"_s,
        u"KL2"_s,
        u"KL2\u041C"_s,
        u"KL2\u0421"_s,
        u"KL2(A)"_s,
        u"KL2\u041C(A)"_s,
        u"KL2C(A)"_s,
        u"QP 1.\u0445 (x=1..5)"_s,
        u"QP 2.\u0445"_s,
        u"QP 1.7"_s,
        u"R5"_s,
        u"R5 (A/S v4..6)"_s,
        u"R5 (A/S v20+)"_s,
        u"M7L1 (v4..6)"_s,
        u"M7L1 (v20+)"_s,
        u"M7L2 (v20+)"_s,
        u"PX"_s,
        u"G3"_s,
        u"TW"_s,
        u"M7 (SQ v10+)"_s,
        u"Преобразователь JX"_s,
    };
    return names;
}

const QStringList &DeviceTypeFullNames()
{
    static const QStringList names = [] {
        QStringList result;
        const QStringList &shortNames = DeviceTypeNames();
        for (int code = 0; code < kDeviceTypeCount; ++code)
            result << (code == dtConverterJX ? shortNames[code] : u"Tarvel\u2013"_s + shortNames[code]);
        return result;
    }();
    return names;
}

const QStringList &DeviceProtocolTypeNames()
{
    static const QStringList names = {u"Tarvel"_s, u"МЭК 101"_s, u"МЭК 104"_s, u"Modbus RTU"_s, u"Modbus TCP"_s};
    return names;
}

const QStringList &ConModeTypeNames()
{
    static const QStringList names = {u"COM-порт"_s, u"Модем"_s, u"Радиомодем"_s, u"TCP/IP"_s, u"ОП - RS232 (USB)"_s};
    return names;
}

const QStringList &PhoneModemConnectTypeNames()
{
    static const QStringList names = {u"Коммутируемый (АТС)"_s, u"Прямой"_s};
    return names;
}

const QStringList &PhoneModemDialTypeNames()
{
    static const QStringList names = {u"Тональный"_s, u"Импульсный"_s};
    return names;
}

const QStringList &DeviceTypeIdents()
{
    static const QStringList idents = {
        u"dtKL"_s,       u"dtKL2"_s,      u"dtKL2M"_s, u"dtKL2C"_s, u"dtKL2A"_s, u"dtKL2AM"_s,    u"dtKL2AC"_s,
        u"dtQP1x"_s,     u"dtQP2x"_s,     u"dtQP17"_s, u"dtR5"_s,   u"dtR5AS"_s, u"dtR5AS2020"_s, u"dtM7"_s,
        u"dtM7L12020"_s, u"dtM7L22020"_s, u"dtPX"_s,   u"dtG3"_s,   u"dtTW"_s,   u"dtM7SQ"_s,     u"dtConverterJX"_s,
    };
    return idents;
}

const QStringList &DeviceProtocolTypeIdents()
{
    static const QStringList idents = {u"dptTarvel"_s, u"dptIEC101"_s, u"dptIEC104"_s, u"dptModbusRTU"_s,
                                       u"dptModbusTCP"_s};
    return idents;
}

const QStringList &ConModeTypeIdents()
{
    static const QStringList idents = {u"cmtDirect232"_s, u"cmtPhoneModem232"_s, u"cmtRadioModem232"_s,
                                       u"cmtDirectTCPIP"_s, u"cmtVDOptoAttach232"_s};
    return idents;
}

const QStringList &PhoneModemConnectTypeIdents()
{
    static const QStringList idents = {u"pmctDialing"_s, u"pmctDirect"_s};
    return idents;
}

const QStringList &PhoneModemDialTypeIdents()
{
    static const QStringList idents = {u"pmdtTone"_s, u"pmdtPulse"_s};
    return idents;
}

const QStringList &DeviceTypeClassNames()
{
    static const QStringList names = {
        u"TccnKLDev"_s,          u"TccnKL2Dev"_s,   u"TccnKL2MDev"_s,     u"TccnKL2CDev"_s, u"TccnKL2ADev"_s,
        u"TccnKL2AMDev"_s,       u"TccnKL2ACDev"_s, u"TccnQP1xDev"_s,     u"TccnQP2xDev"_s, u"TccnQP17Dev"_s,
        u"TccnR5Dev"_s,          u"TccnR5ASDev"_s,  u"TccnR5AS2020Dev"_s, u"TccnM7Dev"_s,   u"TccnM7L12020Dev"_s,
        u"TccnM7L22020Dev"_s,    u"TccnPXDev"_s,    u"TccnG3Dev"_s,       u"TccnTWDev"_s,   u"TccnM7SQDev"_s,
        u"TccnConverterJXDev"_s,
    };
    return names;
}

const QStringList &DeviceProtocolTypeClassNames()
{
    static const QStringList names = {u"TccnTarvelProtocol"_s, u"TccnIEC101Protocol"_s, u"TccnIEC104Protocol"_s,
                                      u"TccnModbusRTUProtocol"_s, u"TccnModbusTCPProtocol"_s};
    return names;
}

const QStringList &ConModeTypeClassNames()
{
    static const QStringList names = {u"TccnDirect232ConMode"_s, u"TccnPhoneModem232ConMode"_s,
                                      u"TccnRadioModem232ConMode"_s, u"TccnDirectTCPIPConMode"_s,
                                      u"TccnVDOptoAttach232ConMode"_s};
    return names;
}

TDeviceProtocolTypes DeviceTypeSupportedProtocols(TDeviceType type)
{
    constexpr TDeviceProtocolTypes tarvel{dptTarvel};
    constexpr TDeviceProtocolTypes tarvel101{dptTarvel, dptIEC101};
    constexpr TDeviceProtocolTypes tarvel101104{dptTarvel, dptIEC101, dptIEC104};
    constexpr TDeviceProtocolTypes all{dptTarvel, dptIEC101, dptIEC104, dptModbusRTU, dptModbusTCP};
    constexpr TDeviceProtocolTypes modbusRtu{dptModbusRTU};
    switch (type) {
    case dtKL2:
    case dtKL2A: return tarvel101;
    case dtR5: return tarvel101104;
    case dtR5AS:
    case dtR5AS2020:
    case dtM7:
    case dtM7L12020:
    case dtM7L22020:
    case dtM7SQ: return all;
    case dtG3:
    case dtTW:
    case dtConverterJX: return modbusRtu;
    default: return tarvel;
    }
}

int IndexOfIdent(const QStringList &idents, QStringView ident)
{
    for (qsizetype i = 0; i < idents.size(); ++i)
        if (QStringView(idents[i]).compare(ident, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}
