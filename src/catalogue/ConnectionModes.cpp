#include "catalogue/ConnectionModes.h"

#include "catalogue/CatalogueObjectSupport.h"

using namespace Qt::StringLiterals;
using catalogue_detail::CloneOf;
using catalogue_detail::Line;

// --- Interfaces ---------------------------------------------------------------------------

std::unique_ptr<TccnCustomCommInterface> TccnCustomCommInterface::Clone() const
{
    return CloneOf<TccnCustomCommInterface>(*this, TccnClassFamily::CommInterface, u"TccnCustomCommInterface.Clone");
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
    return CloneOf<TccnCustomCommHardware>(*this, TccnClassFamily::CommHardware, u"TccnCustomCommHardware.Clone");
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
    CheckPreConditions(dynamic_cast<const TccnVDOptoAttach *>(&source) != nullptr, u"TccnVDOptoAttach.Assign");
}

// --- Connection modes ------------------------------------------------------------------------

TccnCustomConMode::TccnCustomConMode(TConModeType type, std::unique_ptr<TccnCustomCommInterface> commInterface,
                                     std::unique_ptr<TccnCustomCommHardware> hardware)
    : conModeType_(type), interface_(std::move(commInterface)), hardware_(std::move(hardware))
{}

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
{}

TccnComPortInterface &TccnDirect232ConMode::ComPortInterface() const
{
    return PartOf<TccnComPortInterface>(CustomCommInterface(), u"TccnDirect232ConMode.ComPortInterface");
}

TccnPhoneModem232ConMode::TccnPhoneModem232ConMode()
    : TccnCustomConMode(cmtPhoneModem232, std::make_unique<TccnComPortInterface>(), std::make_unique<TccnPhoneModem>())
{}

TccnComPortInterface &TccnPhoneModem232ConMode::ComPortInterface() const
{
    return PartOf<TccnComPortInterface>(CustomCommInterface(), u"TccnPhoneModem232ConMode.ComPortInterface");
}

TccnPhoneModem &TccnPhoneModem232ConMode::PhoneModem() const
{
    return PartOf<TccnPhoneModem>(CustomCommHardware(), u"TccnPhoneModem232ConMode.PhoneModem");
}

TccnRadioModem232ConMode::TccnRadioModem232ConMode()
    : TccnCustomConMode(cmtRadioModem232, std::make_unique<TccnComPortInterface>(), std::make_unique<TccnRadioModem>())
{}

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
{}

TccnTCPIPInterface &TccnDirectTCPIPConMode::TCPIPInterface() const
{
    return PartOf<TccnTCPIPInterface>(CustomCommInterface(), u"TccnDirectTCPIPConMode.TCPIPInterface");
}

TccnVDOptoAttach232ConMode::TccnVDOptoAttach232ConMode()
    : TccnCustomConMode(cmtVDOptoAttach232, std::make_unique<TccnComPortInterface>(),
                        std::make_unique<TccnVDOptoAttach>())
{}

TccnComPortInterface &TccnVDOptoAttach232ConMode::ComPortInterface() const
{
    return PartOf<TccnComPortInterface>(CustomCommInterface(), u"TccnVDOptoAttach232ConMode.ComPortInterface");
}

TccnVDOptoAttach &TccnVDOptoAttach232ConMode::VDOptoAttach() const
{
    return PartOf<TccnVDOptoAttach>(CustomCommHardware(), u"TccnVDOptoAttach232ConMode.VDOptoAttach");
}
