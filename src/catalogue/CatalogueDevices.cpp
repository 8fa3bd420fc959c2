#include "catalogue/CatalogueDevices.h"

#include "catalogue/CatalogueObjectSupport.h"

using namespace Qt::StringLiterals;
using catalogue_detail::CloneOf;
using catalogue_detail::Line;

// --- Devices -------------------------------------------------------------------------

TccnCustomDevice::TccnCustomDevice(TDeviceType type)
    : deviceType_(type), supportedProtocols_(DeviceTypeSupportedProtocols(type))
{}

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
