#include "catalogue/CatalogueProtocols.h"

#include "catalogue/CatalogueObjectSupport.h"

using namespace Qt::StringLiterals;
using catalogue_detail::CloneOf;
using catalogue_detail::Line;

// --- Protocols -------------------------------------------------------------------------

std::unique_ptr<TccnCustomDeviceProtocol> TccnCustomDeviceProtocol::Clone() const
{
    return CloneOf<TccnCustomDeviceProtocol>(*this, TccnClassFamily::Protocol, u"TccnCustomDeviceProtocol.Clone");
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
