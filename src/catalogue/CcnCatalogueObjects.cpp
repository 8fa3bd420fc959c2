#include "catalogue/CcnCatalogueObjects.h"

#include "common/Contracts.h"

using namespace Qt::StringLiterals;

namespace {

template <class Base>
std::unique_ptr<Base> CreateTyped(QStringView className, TccnClassFamily family)
{
    std::unique_ptr<TccnPersistent> object = CatalogueClasses().Create(className, family);
    auto *typed = dynamic_cast<Base *>(object.get());
    if (!typed)
        return nullptr;
    object.release();
    return std::unique_ptr<Base>(typed);
}

// A clone is a new object of the same class followed by Assign.
template <class Base>
std::unique_ptr<Base> CloneOf(const Base &source, TccnClassFamily family, QAnyStringView context)
{
    std::unique_ptr<Base> copy = CreateTyped<Base>(source.ClassName(), family);
    CheckPostConditions(copy != nullptr, context);
    copy->Assign(source);
    return copy;
}

QString Line(const QString &label, const QString &value)
{
    return label + u'=' + value;
}

} // namespace

// --- Devices -------------------------------------------------------------------------

TccnCustomDevice::TccnCustomDevice(TDeviceType type)
    : deviceType_(type), supportedProtocols_(DeviceTypeSupportedProtocols(type))
{
}

void TccnCustomDevice::Assign(const TccnCustomDevice &source)
{
    FactoryNum = source.FactoryNum;
    Comment = source.Comment;
}

std::unique_ptr<TccnCustomDevice> TccnCustomDevice::Clone() const
{
    return CloneOf<TccnCustomDevice>(*this, TccnClassFamily::Device, u"TccnCustomDevice.Clone");
}

void TccnCustomDevice::GetProperties(TccnPropertyList &list)
{
    list.AddInteger(u"FactoryNum"_s, FactoryNum);
    list.AddText(u"Comment"_s, Comment);
}

void TccnR5Dev::Assign(const TccnCustomDevice &source)
{
    TccnTarvelDevice::Assign(source);
    if (const auto *r5 = dynamic_cast<const TccnR5Dev *>(&source)) {
        R5Test = r5->R5Test;
        TestStr = r5->TestStr;
    }
}

void TccnR5Dev::GetProperties(TccnPropertyList &list)
{
    TccnTarvelDevice::GetProperties(list);
    list.AddInteger(u"R5Test"_s, R5Test);
    list.AddText(u"TestStr"_s, TestStr);
}

// --- Protocols -------------------------------------------------------------------------

std::unique_ptr<TccnCustomDeviceProtocol> TccnCustomDeviceProtocol::Clone() const
{
    return CloneOf<TccnCustomDeviceProtocol>(*this, TccnClassFamily::Protocol,
                                             u"TccnCustomDeviceProtocol.Clone");
}

void TccnTarvelProtocol::Assign(const TccnCustomDeviceProtocol &source)
{
    const auto *s = dynamic_cast<const TccnTarvelProtocol *>(&source);
    CheckPreConditions(s != nullptr, u"TccnTarvelProtocol.Assign");
    DeviceAddress = s->DeviceAddress;
    MaxAttemptCount = s->MaxAttemptCount;
    MaxDataCount = s->MaxDataCount;
}

QStringList TccnTarvelProtocol::GetParamsList() const
{
    return {Line(u"Адрес: "_s, QString::number(DeviceAddress))};
}

void TccnTarvelProtocol::GetProperties(TccnPropertyList &list)
{
    list.AddInteger(u"DeviceAddress"_s, DeviceAddress);
    list.AddInteger(u"MaxAttemptCount"_s, MaxAttemptCount);
    list.AddInteger(u"MaxDataCount"_s, MaxDataCount);
}

void TccnIEC101Protocol::Assign(const TccnCustomDeviceProtocol &source)
{
    const auto *s = dynamic_cast<const TccnIEC101Protocol *>(&source);
    CheckPreConditions(s != nullptr, u"TccnIEC101Protocol.Assign");
    LinkAddress = s->LinkAddress;
    LinkAddressLength = s->LinkAddressLength;
    ASDUAddress = s->ASDUAddress;
    ASDUAddressLength = s->ASDUAddressLength;
    TransReasonLength = s->TransReasonLength;
    AOILength = s->AOILength;
    MaxFrameLength = s->MaxFrameLength;
}

QStringList TccnIEC101Protocol::GetParamsList() const
{
    return {Line(u"Адрес: "_s, QString::number(LinkAddress))};
}

void TccnIEC101Protocol::GetProperties(TccnPropertyList &list)
{
    list.AddInteger(u"LinkAddress"_s, LinkAddress);
    list.AddInteger(u"LinkAddressLength"_s, LinkAddressLength);
    list.AddInteger(u"ASDUAddress"_s, ASDUAddress);
    list.AddInteger(u"ASDUAddressLength"_s, ASDUAddressLength);
    list.AddInteger(u"TransReasonLength"_s, TransReasonLength);
    list.AddInteger(u"AOILength"_s, AOILength);
    list.AddInteger(u"MaxFrameLength"_s, MaxFrameLength);
}

void TccnIEC104Protocol::Assign(const TccnCustomDeviceProtocol &source)
{
    const auto *s = dynamic_cast<const TccnIEC104Protocol *>(&source);
    CheckPreConditions(s != nullptr, u"TccnIEC104Protocol.Assign");
    ASDUAddress = s->ASDUAddress;
    K = s->K;
    W = s->W;
    t1 = s->t1;
    t2 = s->t2;
    t3 = s->t3;
    t4 = s->t4;
    MaxFrameLength = s->MaxFrameLength;
}

void TccnIEC104Protocol::GetProperties(TccnPropertyList &list)
{
    list.AddInteger(u"ASDUAddress"_s, ASDUAddress);
    list.AddInteger(u"K"_s, K);
    list.AddInteger(u"W"_s, W);
    list.AddInteger(u"t1"_s, t1);
    list.AddInteger(u"t2"_s, t2);
    list.AddInteger(u"t3"_s, t3);
    list.AddInteger(u"t4"_s, t4);
    list.AddInteger(u"MaxFrameLength"_s, MaxFrameLength);
}

void TccnModbusProtocol::Assign(const TccnCustomDeviceProtocol &source)
{
    const auto *s = dynamic_cast<const TccnModbusProtocol *>(&source);
    CheckPreConditions(s != nullptr, u"TccnModbusProtocol.Assign");
    DevAddress = s->DevAddress;
    MaxAttemptCount = s->MaxAttemptCount;
}

QStringList TccnModbusProtocol::GetParamsList() const
{
    return {Line(u"Адрес: "_s, QString::number(DevAddress))};
}

void TccnModbusProtocol::GetProperties(TccnPropertyList &list)
{
    list.AddInteger(u"DevAddress"_s, DevAddress);
    list.AddInteger(u"MaxAttemptCount"_s, MaxAttemptCount);
}

// --- Interfaces ---------------------------------------------------------------------------

std::unique_ptr<TccnCustomCommInterface> TccnCustomCommInterface::Clone() const
{
    return CloneOf<TccnCustomCommInterface>(*this, TccnClassFamily::CommInterface,
                                            u"TccnCustomCommInterface.Clone");
}

void TccnComPortInterface::Assign(const TccnCustomCommInterface &source)
{
    const auto *s = dynamic_cast<const TccnComPortInterface *>(&source);
    CheckPreConditions(s != nullptr, u"TccnComPortInterface.Assign");
    PortName = s->PortName;
    Baudrate = s->Baudrate;
}

QStringList TccnComPortInterface::GetParamsList() const
{
    return {Line(u"Порт: "_s, PortName), Line(u"Ск-ть: "_s, QString::number(Baudrate))};
}

void TccnComPortInterface::GetProperties(TccnPropertyList &list)
{
    list.AddText(u"PortName"_s, PortName);
    list.AddInteger(u"Baudrate"_s, Baudrate);
}

void TccnTCPIPInterface::Assign(const TccnCustomCommInterface &source)
{
    const auto *s = dynamic_cast<const TccnTCPIPInterface *>(&source);
    CheckPreConditions(s != nullptr, u"TccnTCPIPInterface.Assign");
    IpAddress = s->IpAddress;
    IpPort = s->IpPort;
}

QStringList TccnTCPIPInterface::GetParamsList() const
{
    return {Line(u"IP-адрес: "_s, IpAddress), Line(u"IP-порт: "_s, QString::number(IpPort))};
}

void TccnTCPIPInterface::GetProperties(TccnPropertyList &list)
{
    list.AddText(u"IpAddress"_s, IpAddress);
    list.AddInteger(u"IpPort"_s, IpPort);
}

// --- Hardware ---------------------------------------------------------------------------------

std::unique_ptr<TccnCustomCommHardware> TccnCustomCommHardware::Clone() const
{
    return CloneOf<TccnCustomCommHardware>(*this, TccnClassFamily::CommHardware,
                                           u"TccnCustomCommHardware.Clone");
}

void TccnCustomModem::Assign(const TccnCustomCommHardware &source)
{
    const auto *s = dynamic_cast<const TccnCustomModem *>(&source);
    CheckPreConditions(s != nullptr, u"TccnCustomModem.Assign");
    InitString = s->InitString;
}

void TccnCustomModem::GetProperties(TccnPropertyList &list)
{
    list.AddText(u"InitString"_s, InitString);
}

void TccnPhoneModem::Assign(const TccnCustomCommHardware &source)
{
    const auto *s = dynamic_cast<const TccnPhoneModem *>(&source);
    CheckPreConditions(s != nullptr, u"TccnPhoneModem.Assign");
    TccnCustomModem::Assign(source);
    ConnectType = s->ConnectType;
    PhoneNumber = s->PhoneNumber;
    DialType = s->DialType;
}

QStringList TccnPhoneModem::GetParamsList() const
{
    if (ConnectType != pmctDialing)
        return {};
    return {Line(u"Номер: "_s, PhoneNumber)};
}

void TccnPhoneModem::GetProperties(TccnPropertyList &list)
{
    TccnCustomModem::GetProperties(list);
    list.AddEnumeration(u"ConnectType"_s, ConnectType, PhoneModemConnectTypeIdents());
    list.AddText(u"PhoneNumber"_s, PhoneNumber);
    list.AddEnumeration(u"DialType"_s, DialType, PhoneModemDialTypeIdents());
}

void TccnRadioModem::Assign(const TccnCustomCommHardware &source)
{
    const auto *s = dynamic_cast<const TccnRadioModem *>(&source);
    CheckPreConditions(s != nullptr, u"TccnRadioModem.Assign");
    TccnCustomModem::Assign(source);
    CallNumber = s->CallNumber;
}

QStringList TccnRadioModem::GetParamsList() const
{
    return {Line(u"Позывной: "_s, CallNumber)};
}

void TccnRadioModem::GetProperties(TccnPropertyList &list)
{
    TccnCustomModem::GetProperties(list);
    list.AddText(u"CallNumber"_s, CallNumber);
}

void TccnVDOptoAttach::Assign(const TccnCustomCommHardware &source)
{
    CheckPreConditions(dynamic_cast<const TccnVDOptoAttach *>(&source) != nullptr,
                       u"TccnVDOptoAttach.Assign");
}

// --- Connection modes ------------------------------------------------------------------------

TccnCustomConMode::TccnCustomConMode(TConModeType type,
                                     std::unique_ptr<TccnCustomCommInterface> commInterface,
                                     std::unique_ptr<TccnCustomCommHardware> hardware)
    : conModeType_(type), interface_(std::move(commInterface)), hardware_(std::move(hardware))
{
}

void TccnCustomConMode::Assign(const TccnCustomConMode &source)
{
    CheckPreConditions(source.ClassName() == ClassName(), u"TccnCustomConMode.Assign");
    MaxAttemptCountOnConnect = source.MaxAttemptCountOnConnect;
    if (interface_ && source.interface_)
        interface_->Assign(*source.interface_);
    if (hardware_ && source.hardware_)
        hardware_->Assign(*source.hardware_);
}

std::unique_ptr<TccnCustomConMode> TccnCustomConMode::Clone() const
{
    return CloneOf<TccnCustomConMode>(*this, TccnClassFamily::ConMode, u"TccnCustomConMode.Clone");
}

void TccnCustomConMode::GetProperties(TccnPropertyList &list)
{
    list.AddInteger(u"MaxAttemptCountOnConnect"_s, MaxAttemptCountOnConnect);
    list.AddObject(u"CustomCommInterface"_s, interface_.get());
    list.AddObject(u"CustomCommHardware"_s, hardware_.get());
}

namespace {

// Typed access to a mode's own parts; another class there is a programming
// error.
template <class T>
T &PartOf(TccnPersistent *part, QAnyStringView context)
{
    auto *typed = dynamic_cast<T *>(part);
    CheckPostConditions(typed != nullptr, context);
    return *typed;
}

} // namespace

TccnDirect232ConMode::TccnDirect232ConMode()
    : TccnCustomConMode(cmtDirect232, std::make_unique<TccnComPortInterface>(), nullptr)
{
}

TccnComPortInterface &TccnDirect232ConMode::ComPortInterface() const
{
    return PartOf<TccnComPortInterface>(CustomCommInterface(), u"TccnDirect232ConMode.ComPortInterface");
}

TccnPhoneModem232ConMode::TccnPhoneModem232ConMode()
    : TccnCustomConMode(cmtPhoneModem232, std::make_unique<TccnComPortInterface>(),
                        std::make_unique<TccnPhoneModem>())
{
}

TccnComPortInterface &TccnPhoneModem232ConMode::ComPortInterface() const
{
    return PartOf<TccnComPortInterface>(CustomCommInterface(), u"TccnPhoneModem232ConMode.ComPortInterface");
}

TccnPhoneModem &TccnPhoneModem232ConMode::PhoneModem() const
{
    return PartOf<TccnPhoneModem>(CustomCommHardware(), u"TccnPhoneModem232ConMode.PhoneModem");
}

TccnRadioModem232ConMode::TccnRadioModem232ConMode()
    : TccnCustomConMode(cmtRadioModem232, std::make_unique<TccnComPortInterface>(),
                        std::make_unique<TccnRadioModem>())
{
}

TccnComPortInterface &TccnRadioModem232ConMode::ComPortInterface() const
{
    return PartOf<TccnComPortInterface>(CustomCommInterface(), u"TccnRadioModem232ConMode.ComPortInterface");
}

TccnRadioModem &TccnRadioModem232ConMode::RadioModem() const
{
    return PartOf<TccnRadioModem>(CustomCommHardware(), u"TccnRadioModem232ConMode.RadioModem");
}

TccnDirectTCPIPConMode::TccnDirectTCPIPConMode()
    : TccnCustomConMode(cmtDirectTCPIP, std::make_unique<TccnTCPIPInterface>(), nullptr)
{
}

TccnTCPIPInterface &TccnDirectTCPIPConMode::TCPIPInterface() const
{
    return PartOf<TccnTCPIPInterface>(CustomCommInterface(), u"TccnDirectTCPIPConMode.TCPIPInterface");
}

TccnVDOptoAttach232ConMode::TccnVDOptoAttach232ConMode()
    : TccnCustomConMode(cmtVDOptoAttach232, std::make_unique<TccnComPortInterface>(),
                        std::make_unique<TccnVDOptoAttach>())
{
}

TccnComPortInterface &TccnVDOptoAttach232ConMode::ComPortInterface() const
{
    return PartOf<TccnComPortInterface>(CustomCommInterface(),
                                        u"TccnVDOptoAttach232ConMode.ComPortInterface");
}

TccnVDOptoAttach &TccnVDOptoAttach232ConMode::VDOptoAttach() const
{
    return PartOf<TccnVDOptoAttach>(CustomCommHardware(), u"TccnVDOptoAttach232ConMode.VDOptoAttach");
}

// --- Registry ------------------------------------------------------------------------------

namespace {

template <class T>
void Add(TccnClassRegistry &registry, TccnClassFamily family)
{
    registry.Register(T().ClassName(), family, [] { return std::make_unique<T>(); });
}

TccnClassRegistry BuildRegistry()
{
    using F = TccnClassFamily;
    TccnClassRegistry r;
    Add<TccnKLDev>(r, F::Device);
    Add<TccnKL2Dev>(r, F::Device);
    Add<TccnKL2MDev>(r, F::Device);
    Add<TccnKL2CDev>(r, F::Device);
    Add<TccnKL2ADev>(r, F::Device);
    Add<TccnKL2AMDev>(r, F::Device);
    Add<TccnKL2ACDev>(r, F::Device);
    Add<TccnQP1xDev>(r, F::Device);
    Add<TccnQP2xDev>(r, F::Device);
    Add<TccnQP17Dev>(r, F::Device);
    Add<TccnR5Dev>(r, F::Device);
    Add<TccnR5ASDev>(r, F::Device);
    Add<TccnR5AS2020Dev>(r, F::Device);
    Add<TccnM7Dev>(r, F::Device);
    Add<TccnM7L12020Dev>(r, F::Device);
    Add<TccnM7L22020Dev>(r, F::Device);
    Add<TccnPXDev>(r, F::Device);
    Add<TccnG3Dev>(r, F::Device);
    Add<TccnTWDev>(r, F::Device);
    Add<TccnM7SQDev>(r, F::Device);
    Add<TccnConverterJXDev>(r, F::Device);

    Add<TccnTarvelProtocol>(r, F::Protocol);
    Add<TccnIEC101Protocol>(r, F::Protocol);
    Add<TccnIEC104Protocol>(r, F::Protocol);
    Add<TccnModbusRTUProtocol>(r, F::Protocol);
    Add<TccnModbusTCPProtocol>(r, F::Protocol);

    Add<TccnComPortInterface>(r, F::CommInterface);
    Add<TccnTCPIPInterface>(r, F::CommInterface);

    Add<TccnPhoneModem>(r, F::CommHardware);
    Add<TccnRadioModem>(r, F::CommHardware);
    Add<TccnVDOptoAttach>(r, F::CommHardware);

    Add<TccnDirect232ConMode>(r, F::ConMode);
    Add<TccnPhoneModem232ConMode>(r, F::ConMode);
    Add<TccnRadioModem232ConMode>(r, F::ConMode);
    Add<TccnDirectTCPIPConMode>(r, F::ConMode);
    Add<TccnVDOptoAttach232ConMode>(r, F::ConMode);
    return r;
}

} // namespace

const TccnClassRegistry &CatalogueClasses()
{
    static const TccnClassRegistry registry = BuildRegistry();
    return registry;
}

std::unique_ptr<TccnCustomDevice> CreateDevice(QStringView className)
{
    return CreateTyped<TccnCustomDevice>(className, TccnClassFamily::Device);
}

std::unique_ptr<TccnCustomDeviceProtocol> CreateDeviceProtocol(QStringView className)
{
    return CreateTyped<TccnCustomDeviceProtocol>(className, TccnClassFamily::Protocol);
}

std::unique_ptr<TccnCustomConMode> CreateConMode(QStringView className)
{
    return CreateTyped<TccnCustomConMode>(className, TccnClassFamily::ConMode);
}

std::unique_ptr<TccnCustomDevice> CreateDeviceByType(int type)
{
    if (type < 0 || type >= kDeviceTypeCount)
        return nullptr;
    return CreateDevice(DeviceTypeClassNames().at(type));
}

std::unique_ptr<TccnCustomDeviceProtocol> CreateDeviceProtocolByType(int type)
{
    if (type < 0 || type >= kDeviceProtocolTypeCount)
        return nullptr;
    return CreateDeviceProtocol(DeviceProtocolTypeClassNames().at(type));
}

std::unique_ptr<TccnCustomConMode> CreateConModeByType(int type)
{
    if (type < 0 || type >= kConModeTypeCount)
        return nullptr;
    return CreateConMode(ConModeTypeClassNames().at(type));
}
