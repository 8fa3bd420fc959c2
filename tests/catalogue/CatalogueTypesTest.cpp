#include "catalogue/ConnectionList.h"
#include "catalogue/AcceptedConnections.h"
#include "common/Contracts.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(CatalogueNames, TablesCoverEveryCodeWithTheExactLetters)
{
    ASSERT_EQ(DeviceTypeNames().size(), kDeviceTypeCount);
    ASSERT_EQ(DeviceTypeFullNames().size(), kDeviceTypeCount);
    ASSERT_EQ(DeviceTypeIdents().size(), kDeviceTypeCount);
    ASSERT_EQ(DeviceTypeClassNames().size(), kDeviceTypeCount);
    ASSERT_EQ(DeviceProtocolTypeNames().size(), kDeviceProtocolTypeCount);
    ASSERT_EQ(ConModeTypeNames().size(), kConModeTypeCount);

    // Cyrillic М and С in KL2М/KL2С/KL2М(A), Latin C in KL2C(A), Cyrillic х in QP.
    EXPECT_EQ(DeviceTypeNames()[dtKL2M], QString::fromUtf8("KL2\xD0\x9C"));
    EXPECT_EQ(DeviceTypeNames()[dtKL2C], QString::fromUtf8("KL2\xD0\xA1"));
    EXPECT_EQ(DeviceTypeNames()[dtKL2AM], QString::fromUtf8("KL2\xD0\x9C(A)"));
    EXPECT_EQ(DeviceTypeNames()[dtKL2AC], u"KL2C(A)"_s);
    EXPECT_EQ(DeviceTypeNames()[dtQP1x], QString::fromUtf8("QP 1.\xD1\x85 (x=1..5)"));
    EXPECT_EQ(DeviceTypeNames()[dtM7], u"M7L1 (v4..6)"_s);
    EXPECT_EQ(DeviceTypeNames()[dtConverterJX], u"Преобразователь JX"_s);

    EXPECT_EQ(DeviceTypeFullNames()[dtM7], QString::fromUtf8("Tarvel\xE2\x80\x93M7L1 (v4..6)"));
    EXPECT_EQ(DeviceTypeFullNames()[dtKL], u"Tarvel\u2013KL"_s);
    EXPECT_EQ(DeviceTypeFullNames()[dtConverterJX], u"Преобразователь JX"_s);

    EXPECT_EQ(DeviceProtocolTypeNames()[dptIEC101], u"МЭК 101"_s);
    EXPECT_EQ(ConModeTypeNames()[cmtVDOptoAttach232], u"ОП - RS232 (USB)"_s);
    EXPECT_EQ(ConModeTypeNames()[cmtDirect232], u"COM-порт"_s);
    EXPECT_EQ(PhoneModemConnectTypeNames()[pmctDialing], u"Коммутируемый (АТС)"_s);
    EXPECT_EQ(PhoneModemDialTypeNames()[pmdtPulse], u"Импульсный"_s);
}

TEST(CatalogueNames, SupportedProtocolsAsStoredBitSets)
{
    EXPECT_EQ(DeviceTypeSupportedProtocols(dtKL).Bits(), 1);
    EXPECT_EQ(DeviceTypeSupportedProtocols(dtKL2).Bits(), 3);
    EXPECT_EQ(DeviceTypeSupportedProtocols(dtKL2M).Bits(), 1);
    EXPECT_EQ(DeviceTypeSupportedProtocols(dtKL2A).Bits(), 3);
    EXPECT_EQ(DeviceTypeSupportedProtocols(dtR5).Bits(), 7);
    for (TDeviceType t : {dtR5AS, dtR5AS2020, dtM7, dtM7L12020, dtM7L22020, dtM7SQ})
        EXPECT_EQ(DeviceTypeSupportedProtocols(t).Bits(), 31) << int(t);
    for (TDeviceType t : {dtG3, dtTW, dtConverterJX})
        EXPECT_EQ(DeviceTypeSupportedProtocols(t).Bits(), 8) << int(t);

    TccnCodeSet set{0, 3};
    EXPECT_TRUE(set.Contains(3));
    EXPECT_FALSE(set.Contains(8));
    EXPECT_FALSE(set.Contains(-1));
    set.Include(200); // out of range: ignored
    EXPECT_EQ(set.Bits(), 9);
}

TEST(CatalogueObjects, CreatedByCodeWithTheirRowsClassAndDefaults)
{
    for (int code = 0; code < kDeviceTypeCount; ++code) {
        auto device = CreateDeviceByType(code);
        ASSERT_TRUE(device) << code;
        EXPECT_EQ(device->DeviceType(), code);
        EXPECT_EQ(device->ClassName(), DeviceTypeClassNames()[code]);
        EXPECT_EQ(device->FactoryNum, 0);
        EXPECT_TRUE(device->Comment.isEmpty());
        EXPECT_EQ(device->SupportedProtocols(), DeviceTypeSupportedProtocols(TDeviceType(code)));
    }
    EXPECT_FALSE(CreateDeviceByType(21));
    EXPECT_FALSE(CreateDeviceByType(-1));
    EXPECT_TRUE(dynamic_cast<TccnKL2FamilyDev *>(CreateDeviceByType(dtKL2AC).get()));
    EXPECT_FALSE(dynamic_cast<TccnKL2FamilyDev *>(CreateDeviceByType(dtQP1x).get()));

    for (int code = 0; code < kDeviceProtocolTypeCount; ++code) {
        auto protocol = CreateDeviceProtocolByType(code);
        ASSERT_TRUE(protocol);
        EXPECT_EQ(protocol->ProtocolType(), code);
        EXPECT_EQ(protocol->ClassName(), DeviceProtocolTypeClassNames()[code]);
    }
    for (int code = 0; code < kConModeTypeCount; ++code) {
        auto mode = CreateConModeByType(code);
        ASSERT_TRUE(mode);
        EXPECT_EQ(mode->ConModeType(), code);
        EXPECT_EQ(mode->ClassName(), ConModeTypeClassNames()[code]);
        EXPECT_EQ(mode->MaxAttemptCountOnConnect, 5);
        ASSERT_TRUE(mode->CustomCommInterface());
    }
    // A name of another family is not a device.
    EXPECT_FALSE(CreateDevice(u"TccnTarvelProtocol"));
    EXPECT_TRUE(CreateDevice(u"tccnm7dev")); // identifiers ignore case

    TccnR5Dev r5;
    EXPECT_EQ(r5.R5Test, 1091);
    EXPECT_EQ(r5.TestStr, u"Привет"_s);
    TccnIEC104Protocol iec104;
    EXPECT_EQ(iec104.K, 12);
    EXPECT_EQ(iec104.t4, 25);
    EXPECT_EQ(iec104.MaxFrameLength, 255);
    TccnIEC101Protocol iec101;
    EXPECT_EQ(iec101.MaxFrameLength, 255);
    TccnTarvelProtocol tarvel;
    EXPECT_EQ(tarvel.DeviceAddress, 1);
    EXPECT_EQ(tarvel.MaxDataCount, 1000);

    TccnRadioModem232ConMode radio;
    EXPECT_EQ(radio.ComPortInterface().PortName, u"COM1"_s);
    EXPECT_TRUE(radio.RadioModem().CallNumber.isEmpty());
    EXPECT_FALSE(TccnDirectTCPIPConMode().CustomCommHardware());
    EXPECT_FALSE(TccnDirect232ConMode().CustomCommHardware());
    EXPECT_EQ(TccnDirectTCPIPConMode().TCPIPInterface().IpPort, 0);
}

TEST(CatalogueObjects, ParameterLines)
{
    TccnPhoneModem232ConMode phone;
    EXPECT_EQ(phone.ComPortInterface().GetParamsList(), (QStringList{u"Порт: =COM1"_s, u"Ск-ть: =115200"_s}));
    EXPECT_EQ(phone.PhoneModem().ConnectType, pmctDialing);
    EXPECT_EQ(phone.PhoneModem().DialType, pmdtTone);
    EXPECT_EQ(phone.PhoneModem().GetParamsList(), QStringList{u"Номер: ="_s});
    phone.PhoneModem().ConnectType = pmctDirect;
    EXPECT_TRUE(phone.PhoneModem().GetParamsList().isEmpty());

    TccnRadioModem232ConMode radio;
    radio.RadioModem().CallNumber = u"R-12"_s;
    EXPECT_EQ(radio.RadioModem().GetParamsList(), QStringList{u"Позывной: =R-12"_s});

    TccnDirectTCPIPConMode tcp;
    tcp.TCPIPInterface().IpAddress = u"10.0.0.5"_s;
    tcp.TCPIPInterface().IpPort = 502;
    EXPECT_EQ(tcp.TCPIPInterface().GetParamsList(), (QStringList{u"IP-адрес: =10.0.0.5"_s, u"IP-порт: =502"_s}));

    TccnTarvelProtocol tarvel;
    tarvel.DeviceAddress = 77;
    EXPECT_EQ(tarvel.GetParamsList(), QStringList{u"Адрес: =77"_s});
    TccnIEC101Protocol iec101;
    iec101.LinkAddress = 3;
    EXPECT_EQ(iec101.GetParamsList(), QStringList{u"Адрес: =3"_s});
    EXPECT_TRUE(TccnIEC104Protocol().GetParamsList().isEmpty());
    TccnModbusTCPProtocol modbus;
    modbus.DevAddress = 9;
    EXPECT_EQ(modbus.GetParamsList(), QStringList{u"Адрес: =9"_s});
    EXPECT_TRUE(TccnVDOptoAttach().GetParamsList().isEmpty());
}

TEST(CatalogueObjects, AssignAndCloneCopyEveryPropertyIntoIndependentObjects)
{
    TccnR5Dev r5;
    r5.FactoryNum = 4242;
    r5.Comment = u"щит 3"_s;
    r5.R5Test = 7;
    r5.TestStr = u"x"_s;
    auto clone = r5.Clone();
    auto *r5Clone = dynamic_cast<TccnR5Dev *>(clone.get());
    ASSERT_TRUE(r5Clone);
    EXPECT_EQ(r5Clone->FactoryNum, 4242);
    EXPECT_EQ(r5Clone->Comment, u"щит 3"_s);
    EXPECT_EQ(r5Clone->R5Test, 7);
    EXPECT_EQ(r5Clone->TestStr, u"x"_s);

    // Between device types the common part carries over.
    TccnM7Dev m7;
    m7.Assign(r5);
    EXPECT_EQ(m7.FactoryNum, 4242);
    EXPECT_EQ(m7.Comment, u"щит 3"_s);
    TccnR5Dev fresh;
    fresh.Assign(m7);
    EXPECT_EQ(fresh.FactoryNum, 4242);
    EXPECT_EQ(fresh.R5Test, 1091);

    TccnPhoneModem232ConMode phone;
    phone.MaxAttemptCountOnConnect = 2;
    phone.ComPortInterface().PortName = u"COM7"_s;
    phone.ComPortInterface().Baudrate = 9600;
    phone.PhoneModem().PhoneNumber = u"8-800"_s;
    phone.PhoneModem().DialType = pmdtPulse;
    phone.PhoneModem().InitString = u"ATZ"_s;
    auto modeClone = phone.Clone();
    auto *phoneClone = dynamic_cast<TccnPhoneModem232ConMode *>(modeClone.get());
    ASSERT_TRUE(phoneClone);
    EXPECT_EQ(phoneClone->MaxAttemptCountOnConnect, 2);
    EXPECT_EQ(phoneClone->ComPortInterface().PortName, u"COM7"_s);
    EXPECT_EQ(phoneClone->ComPortInterface().Baudrate, 9600u);
    EXPECT_EQ(phoneClone->PhoneModem().PhoneNumber, u"8-800"_s);
    EXPECT_EQ(phoneClone->PhoneModem().DialType, pmdtPulse);
    EXPECT_EQ(phoneClone->PhoneModem().InitString, u"ATZ"_s);
    EXPECT_NE(phoneClone->CustomCommInterface(), phone.CustomCommInterface());
    phone.ComPortInterface().PortName = u"COM8"_s;
    EXPECT_EQ(phoneClone->ComPortInterface().PortName, u"COM7"_s);

    TccnIEC104Protocol iec;
    iec.t3 = 99;
    auto iecClone = iec.Clone();
    EXPECT_EQ(dynamic_cast<TccnIEC104Protocol &>(*iecClone).t3, 99);
}

TEST(CatalogueObjects, AssignFromAnotherClassIsAContractFailure)
{
    TccnTarvelProtocol tarvel;
    TccnModbusRTUProtocol modbus;
    EXPECT_THROW(tarvel.Assign(modbus), EPreConditions);
    TccnDirect232ConMode direct;
    TccnDirectTCPIPConMode tcp;
    EXPECT_THROW(direct.Assign(tcp), EPreConditions);
    TccnComPortInterface port;
    EXPECT_THROW(port.Assign(TccnTCPIPInterface()), EPreConditions);
}

TEST(CatalogueOptions, AddRefusesEmptySetsProtocolsFirst)
{
    TccnConnectionListUIOptions options;
    try {
        options.AddDeviceTypeOptions(dtM7, TccnCodeSet(), TccnCodeSet());
        FAIL();
    } catch (const EccnOptions &e) {
        EXPECT_EQ(e.Message(), u"Не задан список разрешенных типов протоколов"_s);
    }
    try {
        options.AddDeviceTypeOptions(dtM7, TccnCodeSet{dptTarvel}, TccnCodeSet());
        FAIL();
    } catch (const EccnOptions &e) {
        EXPECT_EQ(e.Message(), u"Не задан список разрешенных типов подключений"_s);
    }
    EXPECT_EQ(options.DeviceTypeOptionsList().Count(), 0);

    options.AddDeviceTypeOptions(dtKL, TccnCodeSet{0}, TccnCodeSet{1});
    options.AddDeviceTypeOptions(dtKL, TccnCodeSet{1}, TccnCodeSet{1});
    ASSERT_TRUE(options.FindDeviceTypeOptions(dtKL));
    EXPECT_EQ(options.FindDeviceTypeOptions(dtKL)->AllowedProtocols.Bits(), 1); // the first one
    EXPECT_FALSE(options.FindDeviceTypeOptions(dtM7));
    EXPECT_FALSE(options.DeviceTypeOptionsList().Items(2));
}

TEST(CatalogueOptions, CheckConnectionInThisProgramsConfiguration)
{
    TccnConnectionListUIOptions options;
    ConfigureMonitorOptions(options);
    EXPECT_FALSE(options.CheckMode);
    ASSERT_EQ(options.DeviceTypeOptionsList().Count(), 6);
    const TDeviceType order[] = {dtM7, dtR5AS, dtM7SQ, dtM7L12020, dtM7L22020, dtR5AS2020};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(options.DeviceTypeOptionsList().Items(i)->DeviceType, order[i]);
        EXPECT_EQ(options.DeviceTypeOptionsList().Items(i)->AllowedProtocols.Bits(), 1);
        EXPECT_EQ(options.DeviceTypeOptionsList().Items(i)->AllowedConModes.Bits(), 31);
    }
    for (int type = -1; type <= kDeviceTypeCount; ++type)
        EXPECT_EQ(IsPolledDeviceType(type), options.FindDeviceTypeOptions(type) != nullptr) << type;

    QString message;
    EXPECT_FALSE(options.CheckConnection(nullptr, message));
    EXPECT_EQ(message, u"Не задано подключение"_s);

    TccnConnection empty;
    EXPECT_TRUE(options.CheckConnection(&empty, message));
    EXPECT_EQ(message, u"Unknown error"_s);

    TccnConnection kl2;
    kl2.SetCustomDevice(std::make_unique<TccnKL2Dev>());
    EXPECT_FALSE(options.CheckConnection(&kl2, message));
    EXPECT_EQ(message, u"Заданный тип измерителя не поддерживается"_s);

    TccnConnection m7;
    m7.SetCustomDevice(std::make_unique<TccnM7Dev>());
    EXPECT_TRUE(options.CheckConnection(&m7, message)); // no protocol, no mode
    m7.SetCustomDeviceProtocol(std::make_unique<TccnModbusRTUProtocol>());
    EXPECT_FALSE(options.CheckConnection(&m7, message));
    EXPECT_EQ(message, u"Заданный тип протокола для данного типа измерителя не поддерживается"_s);
    m7.SetCustomDeviceProtocol(std::make_unique<TccnTarvelProtocol>());
    for (int mode = 0; mode < kConModeTypeCount; ++mode) {
        m7.SetCustomConMode(CreateConModeByType(mode));
        EXPECT_TRUE(options.CheckConnection(&m7, message)) << mode;
    }

    TccnConnectionListUIOptions narrow;
    narrow.AddDeviceTypeOptions(dtM7, TccnCodeSet{dptTarvel}, TccnCodeSet{cmtDirectTCPIP});
    EXPECT_FALSE(narrow.CheckConnection(&m7, message));
    EXPECT_EQ(message, u"Заданный тип подключения для данного типа измерителя не поддерживается"_s);
}

} // namespace
